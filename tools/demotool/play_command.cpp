// `demotool play`: a description (built in memory) or demo data in a window,
// with the music, through the player's own frame pieces. With --watch the
// description is rebuilt on every edit and play goes on at the same frame.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "demo/settings_record.h"
#include "demo/timeline.h"
#include "platform/platform.h"
#include "player/demo_data.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "tools/demotool/commands.h"
#include "tools/demotool/demo_input.h"
#include "tools/description/description.h"
#include "tools/render/preview.h"
#include "tools/render/unseen_frames.h"

namespace tools::demotool {

using namespace tools::description;
using namespace tools::render;

namespace {

struct PlayArguments {
    std::string input, size;
    std::string from = "1";
    bool windowed = false, watch = false;
};

struct WindowChoice {
    int width = 0, height = 0;
    bool windowed = false;
};

void chooseWindow(void* user, PlayerSettings& settings)
{
    const WindowChoice& choice = *static_cast<const WindowChoice*>(user);
    if (choice.windowed || choice.width > 0)
        settings.fullscreen = 0;
    if (choice.width > 0) {
        settings.width = int16_t(choice.width);
        settings.height = int16_t(choice.height);
    }
}

// One loaded demo: the player with its window, stepped to `frame`.
class Session {
public:
    Session(const std::string& dataPath, const WindowChoice& window) : dataPath_(dataPath), window_(window) {}

    bool open(std::string* error)
    {
        frame_ = 1;
        if (!player_) {
            player_ = std::make_unique<Player>();
            if (!readContainer(*player_, dataPath_.c_str(), 0, &chooseWindow, &window_) ||
                !player_->window.context) {
                *error = "the demo opens no window (its data has no render state, chunk 2103)";
                return false;
            }
            return true;
        }
        // The window and its context stay (no flicker, and the same window
        // keeps the focus); everything else is read again into it.
        player_->clearScene();
        PlayerSettings kept = player_->settings;
        clearSettings(player_->settings);
        readContainer(*player_, dataPath_.c_str(), 0);
        // The window stays as it is.
        player_->settings.width = kept.width;
        player_->settings.height = kept.height;
        player_->settings.fullscreen = kept.fullscreen;
        return true;
    }
    // Replays from frame 1 up to (not including) `target`, every frame drawn
    // as when it plays but out of sight, so that the next frame shows what
    // playing through would have shown.
    void seek(int32_t target, std::string* error)
    {
        if (open(error)) {
            const PlayerSettings& settings = player_->settings;
            if (!settings.loop)
                target = std::min(target, std::max<int32_t>(1, settings.totalFrames));
            render::UnseenFrames unseen(*player_);
            while (frame_ < target && step(&unseen)) {
            }
        }
    }
    // One frame; false at the end of a demo that does not loop.
    bool step(render::UnseenFrames* unseen = nullptr)
    {
        Player& p = *player_;
        if (frame_ > std::max<int32_t>(1, p.settings.totalFrames)) {
            if (!p.settings.loop)
                return false;
            p.instances->clear();
            frame_ = 1;
        }
        if (!p.cursor)
            p.cursor = static_cast<TimelineEntry*>(p.timeline->first());
        if (unseen) {
            unseen->play(frame_, false);
        } else {
            timelineCheck(p, frame_);
            runFrame(p, false);
        }
        ++frame_;
        return true;
    }
    Player& player() { return *player_; }
    int32_t frame() const { return frame_; }  // the next frame to play

private:
    std::string dataPath_;
    WindowChoice window_;
    std::unique_ptr<Player> player_;
    int32_t frame_ = 1;
};

int runPlay(const PlayArguments& a)
{
    WindowChoice window;
    window.windowed = a.windowed;
    if (!a.size.empty())
        parseSize(a.size, window.width, window.height);

    DemoInput input;
    TemporaryDataFile data;
    if (!prepareDemo("play", a.input, input, data))
        return 1;
    int32_t from = 1;
    if (!frameOfOption("play", "--from", a.from, input.time, from))
        return 2;
    std::vector<std::string> watched = input.watched;
    // Demo data is played as it is: nothing to rebuild.
    const bool watch = a.watch && input.description;
    if (a.watch && !watch)
        std::cerr << "demotool play: " << a.input
                  << " is demo data, not a description: --watch has nothing to rebuild; playing it as it is\n";
    const std::string dataPath = data.path();

    Session session(dataPath, window);
    std::string error;
    session.seek(1, &error);
    if (!error.empty()) {
        std::cerr << "demotool play: " << a.input << ": " << error << "\n";
        return 1;
    }
    {
        const PlayerSettings& settings = session.player().settings;
        const int32_t frames = std::max<int32_t>(1, settings.totalFrames);
        if (from > frames && !settings.loop) {
            std::cerr << "demotool play: " << a.input << ": frame " << from << " is past the end of the demo ("
                      << frames << " frames, no loop)\n";
            return 1;
        }
        if (from > 1)
            session.seek(from, &error);
    }
    render::ReloadDecision reload(render::stampsOf(watched));
    using Clock = std::chrono::steady_clock;
    auto nextFrame = Clock::now();
    auto nextPoll = Clock::now();
    bool paused = false;
    // With --watch the preview stays on the last frame of a demo that does
    // not loop, so that the next save has a window to show in.
    bool holding = false;
    for (;;) {
        // The player's pump looks at which keys are down after the queue is
        // empty, which misses a tap shorter than a frame; presses are taken
        // from the messages here before they are dispatched as usual.
        bool keyPressed[256] = {};
        platform::Message message;
        while (platform::peekMessage(&message)) {
            if (message.message == platform::WM_QUIT)
                return int(message.wParam);
            if (message.message == platform::WM_KEYDOWN && message.wParam < 256 && !(message.lParam & (1 << 30)))
                keyPressed[message.wParam] = true;
            platform::translateMessage(message);
            platform::dispatchMessage(message);
        }
        auto pressed = [&](int key) { return keyPressed[key]; };
        const int kLeft = 37, kRight = 39, kHome = 36;
        if (pressed(platform::VK_ESCAPE))
            return 0;
        const int32_t rate = std::max(1, int(session.player().settings.frameRate > 0
                                                  ? session.player().settings.frameRate
                                                  : 25));
        const PlayerSettings& settings = session.player().settings;
        // The frame on screen is the one before the next to play.
        const int32_t shown = std::max(1, session.frame() - 1);
        int32_t seekTo = 0;
        if (pressed(platform::VK_SPACE)) {
            paused = !paused;
            std::cerr << (paused ? "paused at frame " : "playing from frame ") << shown << "\n";
            // The music runs on its own clock: picking up again replays to the frame.
            if (!paused)
                seekTo = session.frame();
        }
        if (pressed(kHome))
            seekTo = 1;
        if (pressed(kLeft))
            seekTo = std::max(1, shown - rate);
        if (pressed(kRight)) {
            seekTo = shown + rate;
            if (!settings.loop)
                seekTo = std::min(seekTo, std::max<int32_t>(1, settings.totalFrames));
        }
        if (seekTo > 0 && (pressed(kHome) || pressed(kLeft) || pressed(kRight)))
            std::cerr << "frame " << seekTo << (paused ? " (paused)" : "") << "\n";

        if (watch && Clock::now() >= nextPoll) {
            nextPoll = Clock::now() + std::chrono::milliseconds(200);
            if (reload.poll(render::stampsOf(watched))) {
                DemoInput fresh;
                std::string buildError = readDemoInput("play", a.input, fresh, true);
                if (buildError.empty() && !data.write(fresh.data, &buildError))
                    buildError = "demotool play: " + buildError;
                if (!buildError.empty()) {
                    // The last good version plays on.
                    std::cerr << buildError << "\n";
                } else {
                    watched = fresh.watched;
                    // Where it was: the frame on screen when held or paused, else the next one.
                    seekTo = holding || paused ? shown : session.frame();
                    std::cerr << "reloaded at frame " << seekTo << "\n";
                }
                // A failed build keeps the files of the last good one watched.
                reload.rebuilt(render::stampsOf(watched));
            }
        }
        if (seekTo > 0) {
            session.seek(seekTo, &error);
            if (!error.empty()) {
                std::cerr << "demotool play: " << error << "\n";
                return 1;
            }
            nextFrame = Clock::now();
            const int32_t last = std::max<int32_t>(1, session.player().settings.totalFrames);
            // Held at the end, a reload or a jump to the last frame shows it and holds on.
            holding = holding && seekTo >= last && !session.player().settings.loop;
            if (paused || holding)
                session.step();  // show where the jump landed
        }
        if (paused || holding) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        auto now = Clock::now();
        if (now < nextFrame) {
            std::this_thread::sleep_for(std::min<Clock::duration>(nextFrame - now, std::chrono::milliseconds(5)));
            continue;
        }
        if (!session.step()) {
            if (!watch)
                return 0;
            holding = true;
            std::cerr << "holding the last frame (" << shown
                      << "); edits reload here, Escape or closing the window ends\n";
        }
        nextFrame += std::chrono::microseconds(1000000 / rate);
        if (Clock::now() - nextFrame > std::chrono::milliseconds(250))
            nextFrame = Clock::now();  // far behind (a breakpoint, a slow build): no rush to catch up
    }
}

}  // namespace

Run addPlay(CLI::App& command)
{
    auto a = std::make_shared<PlayArguments>();
    command.add_option("INPUT", a->input, "a JSON description (built in memory) or demo data")->required();
    checkFrameNumber(command.add_option("--from", a->from,
                                        "start at this frame, or a time: 10s, 1:05.5, 64b (beats, with the\n"
                                        "description's bpm); a time t is frame 1 + round(t x frame rate) (default 1)"));
    addSizeOption(command, a->size, "window size, such as 640x480; implies --windowed");
    command.add_flag("--windowed", a->windowed, "play in a window even when the demo asks for fullscreen");
    command.add_flag("--watch", a->watch,
                     "rebuild when the description or a file it names changes and go on at the same frame");
    command.footer("Keys: Space pauses and resumes, Left and Right step a second, Home restarts, Escape ends.");
    return [a] { return runPlay(*a); };
}

}  // namespace tools::demotool
