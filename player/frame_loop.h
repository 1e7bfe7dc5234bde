// The frame loop and its pieces, kept apart so that an offline renderer can
// run timeline check and drawing frames without pacing.
#pragma once

#include <cstdint>
#include <functional>

struct Player;
class FrameClock;

// Empties the message queue through the window procedure. False when
// WM_QUIT came (its code in *quitCode).
bool pumpMessages(int* quitCode);
// Applies the cursor's entry when its start frame is `frame`, then moves the
// cursor on (back to the first entry after the last).
void timelineCheck(Player& player, int32_t frame);
// One pass over the active list; clears, draws and presents unless stepOnly.
// beforePresent, when given, runs after drawing and before the buffers swap
// (the offline renderer reads the picture back there).
void runFrame(Player& player, bool stepOnly, const std::function<void()>& beforePresent = nullptr);
// Runs frames until the end of the demo (without the loop flag), Escape or
// WM_QUIT. Returns the WM_QUIT code, or 0. A front end that has already
// stepped the frames before `firstFrame` starts the loop there; onFrame, when
// given, hears of every frame played (drawn, or only stepped to catch up).
int runFrameLoop(Player& player, FrameClock& clock, int32_t firstFrame = 1,
                 const std::function<void(int32_t frame, bool drawn)>& onFrame = nullptr);
