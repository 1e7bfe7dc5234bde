// What the fuzz targets share: quiet message boxes, one window and GL context
// for the whole run, and a fresh player per input that leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/player.h"

namespace fuzzing {

// Message boxes are answered at once and forgotten. Call before any input is
// read; repeated calls do nothing.
void beQuiet();

// Opens the run's window and draws one frame in it, so that the GL stack has
// made its threads and caches before the first input is timed and checked for
// leaks. For LLVMFuzzerInitialize.
void openWindow();

// A fresh player that plays in the run's window (opened by the first one).
// Destroying it releases everything the input made and puts the GL state back
// as the window had it, so that no input sees what an earlier one did.
class FuzzPlayer {
public:
    FuzzPlayer();
    ~FuzzPlayer();

    // Timeline checks and frames 1 to `frames`; every third one stepped only.
    void play(int frames);

    Player player;

    FuzzPlayer(const FuzzPlayer&) = delete;
    FuzzPlayer& operator=(const FuzzPlayer&) = delete;
};

// The input as a file, for readers that take a path. Always the same path;
// the file lives in memory and goes with the process.
const char* inputFile(const uint8_t* data, size_t size);

}  // namespace fuzzing
