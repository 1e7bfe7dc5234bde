// demoplayer in a web page: the page writes the demo bytes it was given to
// the player's own executable (/demo in the in-memory file system) and calls
// web_play, which loads them and plays through the player's frame loop.
#include <emscripten.h>

#include <algorithm>
#include <string>

#include "demo/timeline.h"
#include "platform/platform.h"
#include "platform/web/web_platform.h"
#include "player/demo_data.h"
#include "player/frame_clock.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "sound/demosound/exports.h"

void provideSoundLibrary();  // sound_library.cpp

namespace {

void tellFrame(int32_t frame, bool drawn)
{
    EM_ASM({ Module.page.frame($0, !!$1, $2); }, frame, drawn, platform::web::frameStart());
}

// A still frame is the picture `demotool render` makes: windowed.
void windowed(void*, PlayerSettings& settings)
{
    settings.fullscreen = 0;
}

// Plays frames 1 to `last` without pacing, as the offline renderer does:
// drawn (for a still picture: every frame, those before the last out of
// sight) or only stepped (to start later on). The
// page's clock is held meanwhile (the caller's hold), and the music moves on
// by one frame's time at every frame, so that it is where playing through
// would have left it.
void playUpTo(Player& player, int32_t last, bool draw)
{
    const PlayerSettings& settings = player.settings;
    platform::web::setPresenting(false);
    int32_t frame = 1;
    for (int32_t played = 1; played <= last; ++played) {
        if (!player.cursor)
            player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
        timelineCheck(player, frame);
        // Drawn frames before the last are drawn out of sight (one pixel):
        // the last one shows what drawing them all would.
        if (draw)
            platform::web::drawUnseen(played < last);
        runFrame(player, !draw);
        if (settings.frameRate > 0)
            demosound::advance(1.0 / settings.frameRate);
        // Stepped frames are never presented: the page still gets its turns.
        platform::web::takeTurn();
        if (++frame > settings.totalFrames) {
            player.instances->clear();
            frame = 1;
        }
    }
    platform::web::setPresenting(true);
}

}  // namespace

// offset: where the demo data starts in /demo (0 for raw data, 151552 in a
// packed player). firstFrame: the frame to start at (1 and up). pause: draw
// firstFrame and stop there. Returns 0 when the demo ended or was stopped,
// 1 when no window could be opened, 2 when the still frame is past the end
// of a demo that does not loop (the page was told).
extern "C" EMSCRIPTEN_KEEPALIVE int web_play(int offset, int firstFrame, int pause)
{
    platform::web::startPlay();
    provideSoundLibrary();
    // Held until the frame loop starts: the music, started as the demo
    // loads or by frames played to reach the first, keeps its place until
    // the first frame shows (and a still frame never lets it play).
    platform::web::holdClock(true);
    const std::string self = platform::executablePath();
    Player player;
    if (!readContainer(player, self.c_str(), uint32_t(offset), pause ? &windowed : nullptr, nullptr) ||
        !player.window.context) {
        player.shutdown();
        platform::web::holdClock(false);
        return 1;
    }
    // The music the demo loaded is decoded by now, before any frame plays.
    demosound::finishLoads();
    const PlayerSettings& settings = player.settings;
    const int32_t passLength = std::max<int32_t>(1, settings.totalFrames);
    int32_t first = std::max(1, firstFrame);
    if (first > passLength && !settings.loop) {
        // As `demotool render` refuses it, rather than showing another frame.
        const std::string text = "frame " + std::to_string(first) + " is past the end of the demo (" +
                                 std::to_string(passLength) + " frames, no loop)";
        if (pause) {
            EM_ASM({ Module.page.message('ERROR', UTF8ToString($0)); }, text.c_str());
            player.shutdown();
            platform::web::holdClock(false);
            return 2;
        }
        first = passLength;
    }
    if (int64_t(first) > 2 * int64_t(passLength)) {
        // A looping demo shows the same point of its loop, in the second
        // pass (what a pass leaves in the active list carries over): the
        // picture a user expects, reached in at most two passes, where
        // stepping to frame 2,000,000,000 would take hours.
        first = passLength + (first - 1) % passLength + 1;
    }
    const int32_t wrapped = (first - 1) % passLength + 1;

    if (pause) {
        playUpTo(player, first, true);
        tellFrame(wrapped, true);
        player.shutdown();
        platform::web::holdClock(false);
        return 0;
    }
    if (first > 1) {
        // The frames before the first are stepped, as a late player catches up.
        playUpTo(player, first - 1, false);
        first = wrapped;
    }
    platform::web::setFramePeriod(settings.frameRate > 0 ? 1000.0 / settings.frameRate : 0);
    platform::web::settle();
    platform::web::holdClock(false);
    {
        FrameClock clock;
        runFrameLoop(player, clock, first, &tellFrame);
    }
    platform::web::setFramePeriod(0);
    player.shutdown();
    return 0;
}

int main()
{
    return 0;
}
