// Times as authors count them, turned into the frames the data holds: frames
// ("120"), seconds ("10s", "2.5s"), minutes and seconds ("1:05.5") and, with
// a tempo, beats ("64b", beat 0 being the start).
#pragma once

#include <cstdint>
#include <string>

namespace tools::common {

struct TimeScale {
    int frameRate = 0;  // frames per second; 0: an unpaced demo, where seconds have no frame
    double bpm = 0;     // beats per minute; 0: no tempo given
};

// A point in time (a frame to start at or show) at t seconds is frame
// 1 + round(t x rate); a span (a length, a wait) of t seconds is round(t x
// rate) frames. Halves round away from zero: 0.5 frames is 1.
enum class TimeUse { point, span };

// True when `text` carries a unit (s, b or minutes:seconds), not a plain
// frame number.
bool isTimeText(const std::string& text);

// The frames of `text`. A plain whole number is taken as frames as it is
// (signs allowed, for fields that take negative frames); a time must not be
// negative. False with the reason in *error for anything else, a time in an
// unpaced demo, beats without a tempo, or more than 2^31 frames.
bool framesOfTime(const std::string& text, TimeUse use, const TimeScale& scale, int64_t& frames,
                  std::string* error);

}  // namespace tools::common
