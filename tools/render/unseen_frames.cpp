#include "tools/render/unseen_frames.h"

#include "demo/timeline.h"
#include "platform/platform.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "player/window.h"

namespace tools::render {

void UnseenFrames::close()
{
    show();
    if (small_)
        platform::destroyWindow(small_);
    small_ = nullptr;
}

bool UnseenFrames::hide()
{
    if (ownDc_)
        return true;
    if (failed_ || !player_.window.context)
        return false;
    if (!small_) {
        // Same class and pixel format as the player's window, so that its
        // context can be made current on it; hidden, never shown.
        small_ = platform::createWindow(kWindowClassName, "", 1, 1, false);
        if (!small_) {
            failed_ = true;
            return false;
        }
    }
    platform::DeviceContext* dc = platform::getDC(small_);
    if (!dc || !platform::makeCurrent(dc, player_.window.context)) {
        platform::makeCurrent(player_.window.dc, player_.window.context);
        failed_ = true;
        return false;
    }
    ownDc_ = player_.window.dc;
    // runFrame presents on the player's device context: the small window's
    // swap shows nothing.
    player_.window.dc = dc;
    return true;
}

void UnseenFrames::show()
{
    if (!ownDc_)
        return;
    player_.window.dc = ownDc_;
    ownDc_ = nullptr;
    platform::makeCurrent(player_.window.dc, player_.window.context);
}

void UnseenFrames::play(int32_t frame, bool seen)
{
    if (seen)
        show();
    else
        hide();
    if (!player_.cursor)
        player_.cursor = static_cast<TimelineEntry*>(player_.timeline->first());
    timelineCheck(player_, frame);
    runFrame(player_, false);
}

}  // namespace tools::render
