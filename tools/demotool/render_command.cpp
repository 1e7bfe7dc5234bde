#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "tools/demotool/commands.h"
#include "tools/writer/png.h"
#include "tools/writer/render.h"

namespace demotool {

namespace {

bool parseSize(const std::string& text, int& width, int& height)
{
    size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size())
        return false;
    auto positive = [](const std::string& digits, int& out) {
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        out = std::atoi(digits.c_str());
        return out >= 1 && out <= 32767;
    };
    return positive(text.substr(0, x), width) && positive(text.substr(x + 1), height);
}

}  // namespace

int runRender(const Args& args)
{
    const char* usage = "usage: demotool render DEMO --out DIR [--frames LIST] [--size WxH]\n";
    std::string demo, outDir;
    authoring::RenderOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--out" || arg == "--frames" || arg == "--size";
        if (takesValue && i + 1 >= args.size()) {
            std::cerr << "demotool render: " << arg << " needs a value\n" << usage;
            return 2;
        }
        if (arg == "--out") {
            outDir = args[++i];
        } else if (arg == "--frames") {
            std::string error;
            if (!options.frames.parse(args[++i], &error)) {
                std::cerr << "demotool render: --frames: " << error << "\n";
                return 2;
            }
        } else if (arg == "--size") {
            if (!parseSize(args[++i], options.width, options.height)) {
                std::cerr << "demotool render: --size wants WIDTHxHEIGHT such as 320x240, not '" << args[i] << "'\n";
                return 2;
            }
        } else if (demo.empty() && (arg.empty() || arg[0] != '-')) {
            demo = arg;
        } else {
            std::cerr << "demotool render: unexpected argument '" << arg << "'\n" << usage;
            return 2;
        }
    }
    if (demo.empty() || outDir.empty()) {
        std::cerr << usage;
        return 2;
    }
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
    auto save = [&](const authoring::RenderedFrame& frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", int(frame.frame));
        std::string path = (std::filesystem::path(outDir) / name).string();
        if (!authoring::writeFile(path, authoring::encodePng(frame.width, frame.height, frame.rgb))) {
            writeError = "cannot write " + path;
            return false;
        }
        return true;
    };
    std::string error;
    bool ok = authoring::renderDemo(demo, options, save, &error);
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

}  // namespace demotool
