// The two halves of the sound library. The channels, the mixer and the
// exported names are one code (demosound.cpp); each system supplies the
// audio output and the silent clock behind this interface (output_sdl.cpp on
// Linux, output_waveout.cpp on Windows, output_web.cpp in a web page).
#pragma once

#include <cstdint>
#include <string>

namespace demosound {

constexpr int kMixFrames = 512;

// Shared: adds every playing channel into out (16-bit stereo frames at the
// mixing rate), or only moves the channels on when out is null. The caller
// holds the mixer lock.
void mix(int16_t* out, int frames);

// Shared: the silent clock's step. Mixes (into nothing) every frame due
// since the clock started, microseconds ago.
void catchUpSilently(int64_t microseconds);

// Shared: closes everything; what unloading the library must do at the latest.
void closeEngine();

// Shared: the position of the first channel that plays, in frames of its
// sample; -1 when none plays. What a measurement of the output follows.
double firstPlayingPosition();

// Per system. Opens the device, which calls mix() from its own thread with
// the lock held; false with the reason when there is no device.
bool openOutput(int mixRate, std::string& why);
void closeOutput();  // waits until the device no longer calls mix()
// Runs catchUpSilently about every 5 ms on a thread of its own, lock held.
void startSilentClock();
void stopSilentClock();
// Holds off whichever of the two is running.
void lockMixer();
void unlockMixer();
// Frames the output has mixed ahead of what is heard now. A channel set
// going (or moved while it plays) starts that far into its sound, so that
// what is heard at once is the place it was set to; 0 where the output
// does not tell.
double outputLead();
// One line where the user can see it (stderr), never a box; once a process,
// even when the library is loaded again in it.
void tell(const std::string& line);

}  // namespace demosound
