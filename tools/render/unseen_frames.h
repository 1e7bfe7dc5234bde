// Frames nobody looks at (those before the one a render or a jump wants)
// still have to be stepped and drawn as the player does, since objects keep
// state from what they draw. Drawing them into a 1 x 1 hidden window that
// shares the player's context keeps every GL call, every state and every
// query the same (state belongs to the context, not to the window) while the
// rasteriser has one pixel to fill instead of the whole picture.
#pragma once

#include <cstdint>

struct Player;
namespace platform {
struct Window;
struct DeviceContext;
}

namespace tools::render {

class UnseenFrames {
public:
    explicit UnseenFrames(Player& player) : player_(player) {}
    ~UnseenFrames() { close(); }
    UnseenFrames(const UnseenFrames&) = delete;
    UnseenFrames& operator=(const UnseenFrames&) = delete;

    // Plays one frame as the player does (timeline check, then runFrame),
    // without stepping only: drawn into the small window unless `seen`.
    void play(int32_t frame, bool seen);
    // Back to the player's own window (play with seen = true does it too).
    void show();
    // Back to the player's window, and the small one destroyed (before the
    // player shuts down, which unregisters the window class).
    void close();

private:
    bool hide();

    Player& player_;
    platform::Window* small_ = nullptr;
    platform::DeviceContext* ownDc_ = nullptr;  // the player's, while hidden
    bool failed_ = false;                        // no small window: draw in the real one
};

}  // namespace tools::render
