#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/demotool/demo_input.h"
#include "tools/media/png.h"
#include "tools/render/render.h"
#include "tools/render/video.h"

namespace tools::demotool {

using namespace tools::media;
using namespace tools::render;

namespace {

// Window sides are 16-bit signed values in the demo's settings.
constexpr int kLargestSide = 32767;

// "" or why `text` is no window size.
std::string sizeProblem(const std::string& text, int& width, int& height)
{
    const std::string usage = "wants WIDTHxHEIGHT such as 320x240, not '" + text + "'";
    size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size())
        return usage;
    const std::string sides[2] = {text.substr(0, x), text.substr(x + 1)};
    int* out[2] = {&width, &height};
    for (int i = 0; i < 2; ++i) {
        if (sides[i].find_first_not_of("0123456789") != std::string::npos)
            return usage;
        // Past 5 digits it is past the limit whatever the digits are.
        const long value = sides[i].size() > 5 ? kLargestSide + 1L : std::atol(sides[i].c_str());
        if (value < 1)
            return "'" + text + "' has a side of 0 pixels; sides start at 1";
        if (value > kLargestSide)
            return "'" + text + "' passes the largest window side, " + std::to_string(kLargestSide) + " pixels";
        *out[i] = int(value);
    }
    return "";
}

}  // namespace

bool parseSize(const std::string& text, int& width, int& height)
{
    return sizeProblem(text, width, height).empty();
}

namespace {

struct RenderArguments {
    std::string demo, outDir, video;
    std::string frames, size;
    std::string from = "1", to;
    bool drawEveryFrame = false;
};

int runRender(const RenderArguments& a);
int runVideo(const RenderArguments& a);

}  // namespace

CLI::Option* addSizeOption(CLI::App& command, std::string& text, const std::string& description)
{
    return command.add_option("--size", text, description)
        ->check(CLI::Validator(
            [](std::string& value) {
                int w, h;
                return sizeProblem(value, w, h);
            },
            "WxH"));
}

CLI::Option* checkFrameNumber(CLI::Option* option)
{
    return option->check(CLI::Validator(
        [](std::string& value) {
            render::FrameList list;
            std::string error;
            const bool single = value.find_first_of(",-") == std::string::npos;
            return single && list.parse(value, &error) ? std::string()
                                                      : "wants a frame number from 1 or a time (10s, 1:05.5, 64b), not '" +
                                                            value + "'";
        },
        "N|TIME"));
}

bool frameOfOption(const std::string& command, const std::string& option, const std::string& text,
                   const common::TimeScale& scale, int32_t& frame)
{
    render::FrameList list;
    std::string error;
    if (!list.parse(text, &error, &scale)) {
        std::cerr << "demotool " << command << ": " << option << " " << error << "\n";
        return false;
    }
    frame = list.last();
    if (common::isTimeText(text))
        std::cerr << option << " " << text << " is frame " << frame << "\n";
    return true;
}

Run addRender(CLI::App& command)
{
    auto a = std::make_shared<RenderArguments>();
    command.add_option("DEMO", a->demo, "a description (built in memory), demo data or a packed demo")->required();
    CLI::Option* out = command.add_option("--out", a->outDir, "write the frames as DIR/frame-NNNNN.png")->type_name("DIR");
    CLI::Option* video = command.add_option(
        "--video", a->video,
        "encode the frames with the demo's music into a video through ffmpeg; the name's extension\n"
        "(.mp4, .webm, .mkv, .mov, .gif) picks the container");
    out->excludes(video);
    command.add_option("--frames", a->frames, "frames to write, such as 1,10,20-25, or times: 10s, 1:05-1:10, 64b (beats, with the\n"
                       "description's bpm); a time t is frame 1 + round(t x frame rate) (default: every frame)")
        ->check(CLI::Validator(
            [](std::string& text) {
                render::FrameList list;
                std::string error;
                return list.parse(text, &error) ? std::string() : error;
            },
            "LIST"))
        ->excludes(video);
    CLI::Option* from = checkFrameNumber(command.add_option("--from", a->from, "first frame of the video, or a time (10s, 1:05.5, 64b) (default 1)"))
        ->needs(video);
    checkFrameNumber(command.add_option("--to", a->to, "last frame of the video, or a time (default: the demo's last)"))
        ->needs(video);
    (void)from;
    addSizeOption(command, a->size, "window size, such as 640x480 (default: the demo's)");
    command.add_flag("--draw-every-frame", a->drawEveryFrame,
                     "draw the frames before those asked for in the demo's window too, as the player does\n"
                     "(by default they are drawn into a 1x1 hidden window: the same pictures, much faster)");
    return [a, &command] {
        if (a->outDir.empty() && a->video.empty()) {
            std::cerr << "demotool render: give --out DIR or --video FILE\n" << command.help();
            return 2;
        }
        return a->video.empty() ? runRender(*a) : runVideo(*a);
    };
}

namespace {

int runRender(const RenderArguments& a)
{
    const std::string& demo = a.demo;
    const std::string& outDir = a.outDir;
    render::RenderOptions options;
    options.drawEveryFrame = a.drawEveryFrame;
    if (!a.size.empty())
        parseSize(a.size, options.width, options.height);
    DemoInput input;
    TemporaryDataFile data;
    if (!prepareDemo("render", demo, input, data))
        return 1;
    std::string error;
    if (!a.frames.empty() && !options.frames.parse(a.frames, &error, &input.time)) {
        std::cerr << "demotool render: --frames " << error << "\n";
        return 2;
    }
    // The offline renderer makes no sound.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        std::cerr << "demotool render: cannot make " << outDir << ": " << ec.message() << "\n";
        return 1;
    }

    // Frames are read back, never shown: no window needs to reach the screen.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    bool progressShown = false;
    options.progress = [&](int32_t frame, int32_t last) {
        if (last < 50 || (frame % 50 != 0 && frame != last))
            return;
        std::cerr << "\rrendering frame " << frame << "/" << last << std::flush;
        progressShown = true;
    };
    std::string writeError;
    auto save = [&](const render::RenderedFrame& frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", int(frame.frame));
        std::string path = (std::filesystem::path(outDir) / name).string();
        if (!writer::writeFile(path, media::encodePng(frame.width, frame.height, frame.rgb))) {
            writeError = "cannot write " + path;
            return false;
        }
        return true;
    };
    error.clear();
    bool ok = render::renderDemo(data.path(), options, save, &error);
    if (progressShown)
        std::cerr << "\n";
    if (!ok) {
        std::cerr << "demotool render: " << demo << ": " << error << "\n";
        return 1;
    }
    if (!writeError.empty()) {
        std::cerr << "demotool render: " << writeError << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

std::string clockText(double seconds)
{
    int total = int(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", total / 60, total % 60);
    return text;
}

int runVideo(const RenderArguments& a)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    DemoInput input;
    TemporaryDataFile data;
    if (!prepareDemo("render", a.demo, input, data))
        return 1;
    render::VideoOptions options;
    options.output = a.video;
    if (!frameOfOption("render", "--from", a.from, input.time, options.from) ||
        (!a.to.empty() && !frameOfOption("render", "--to", a.to, input.time, options.to)))
        return 2;
    if (options.to != 0 && options.to < options.from) {
        std::cerr << "demotool render: --to " << a.to << " (frame " << options.to << ") comes before --from " << a.from
                  << " (frame " << options.from << ")\n";
        return 2;
    }
    options.drawEveryFrame = a.drawEveryFrame;
    if (!a.size.empty())
        parseSize(a.size, options.width, options.height);

    const auto begin = std::chrono::steady_clock::now();
    bool progressShown = false;
    options.progress = [&](int32_t done, int32_t total) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        double fps = seconds > 0 ? done / seconds : 0;
        if (done != total && done % 5 != 0)
            return;
        std::cerr << "\rframe " << done << "/" << total << "  " << int(fps * 10) / 10.0 << " fps  "
                  << (fps > 0 ? clockText((total - done) / fps) : std::string("?")) << " left   " << std::flush;
        progressShown = true;
    };
    // Ctrl-C stops after the frame being made; ffmpeg then closes the file.
    interrupted = 0;
    options.stopRequested = [] { return interrupted != 0; };
    struct sigaction handler {}, previous {};
    handler.sa_handler = onInterrupt;
    sigaction(SIGINT, &handler, &previous);
    render::VideoResult result;
    std::string error;
    bool ok = render::exportVideo(data.path(), options, result, &error);
    sigaction(SIGINT, &previous, nullptr);
    if (progressShown)
        std::cerr << "\n";
    if (!ok) {
        std::cerr << "demotool render: " << a.demo << ": " << error << "\n";
        return 1;
    }
    std::cerr << a.video << ": " << result.frames << " frames at " << result.frameRate << " fps"
              << (result.withMusic ? " with the demo's music" : ", no music") << "\n";
    if (result.stopped) {
        std::cerr << "stopped by Ctrl-C: the video holds the frames made so far\n";
        return 130;
    }
    return 0;
}

}  // namespace

}  // namespace tools::demotool
