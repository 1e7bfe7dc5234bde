#include "player/frame_clock.h"

#include "platform/platform.h"

FrameClock::FrameClock() : state_(new State)
{
    start();
}

FrameClock::~FrameClock()
{
    delete state_;
}

void FrameClock::start()
{
    int64_t frequency = 0;
    if (platform::queryPerformanceFrequency(&frequency) && frequency > 0) {
        platform::queryPerformanceCounter(&state_->startCount);
        state_->highResolution = 1;
        state_->ticksPerSecond = frequency;
        state_->secondsPerTick = float(1.0 / double(frequency));
    } else {
        state_->highResolution = 0;
        state_->startMilliseconds = platform::timeGetTime();
        state_->secondsPerTick = 0.001f;
        state_->ticksPerSecond = 1000;
    }
}

long double FrameClock::elapsed() const
{
    if (state_->highResolution) {
        int64_t now = 0;
        platform::queryPerformanceCounter(&now);
        return (long double)(now - state_->startCount) * state_->secondsPerTick * 1000.0L;
    }
    uint32_t difference = platform::timeGetTime() - state_->startMilliseconds;
    return (long double)difference * 0.001L * 1000.0L;
}
