// What the page's front end tells the web layer beyond platform.h: how the
// frame loop's waits may sleep, and whether presented frames wait for the
// browser's next paint.
#pragma once

namespace platform {
namespace web {

// Every play starts as in a fresh page, whatever the last one left.
void startPlay();
// With true, frames are drawn out of sight into a 1 x 1 framebuffer of the
// current context (frames played only to reach a later one, which is then
// drawn with false); the canvas keeps the picture it shows.
void drawUnseen(bool unseen);
// Holds the page's clock (Module.clock) while frames are played only to
// reach a later one, so that nothing timed (the music) runs on meanwhile;
// holds nest.
void holdClock(bool hold);

// The library a page loads in place of the one a demo carries: each name is
// looked up by `entry` (null for a name it lacks); `unload` runs when the
// player frees it.
struct BuiltInLibrary {
    void* (*entry)(const char* name);
    void (*unload)();
};
void provideLibrary(const BuiltInLibrary* library);
// The frame loop's period in milliseconds (0: no pacing). The layer sleeps
// through the loop's wait instead of letting it spin, waking just before the
// period is over.
void setFramePeriod(double milliseconds);
// With false, presenting a frame does not wait for the next paint (frames
// played only to reach a given one); the page still gets a turn now and then.
void setPresenting(bool presenting);
// The page-clock time (ms) at which the frame being played started: the
// loop's first clock read after its message pump, which its pacing and the
// timeline's start of music both follow.
double frameStart();
// Gives the page a turn if it has had none for 30 ms, for a loop that steps
// frames without presenting them.
void takeTurn();
// Waits for the page to show the new canvas, before a loop starts its clock.
void settle();

// Forgets what the GL supplement keeps (gl_exports.cpp: current colour,
// normal, texture coordinate, shade and polygon modes, culling, a pending
// error, pixel stores, textures), for a new context: every play starts as
// a fresh player.
void resetGLState();

}  // namespace web
}  // namespace platform
