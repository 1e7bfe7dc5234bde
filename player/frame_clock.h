// Milliseconds since the first frame, from the high-resolution counter or,
// without one, from the millisecond timer.
#pragma once

#include <cstdint>

class FrameClock {
public:
    FrameClock();  // starts the clock once
    virtual ~FrameClock();

    void start();
    long double elapsed() const;
    bool highResolution() const { return state_->highResolution; }

    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

private:
    struct State {
        int64_t ticksPerSecond = 0;
        float secondsPerTick = 0;
        uint32_t startMilliseconds = 0;
        uint8_t highResolution = 0;
        int64_t startCount = 0;
    };
    State* state_;
};
