// Stand-in for the system parts tests must control: message boxes (recorded
// and answered from a queue), a driven clock, and forced failure of window
// steps. Installs itself for its lifetime.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform {

class TestDouble : public Hooks {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type = 0;
    };

    TestDouble();
    ~TestDouble() override;
    TestDouble(const TestDouble&) = delete;
    TestDouble& operator=(const TestDouble&) = delete;

    // Every box shown, in order.
    std::vector<Box> boxes;
    // Answers for the next boxes; when empty a box answers IDOK (IDYES for Yes/No).
    std::deque<int> answers;

    // Clock. The counter and the millisecond time only move when the test
    // moves them, or by the auto-advance amounts on every read (so busy-wait
    // loops finish). A read returns the value first, then advances it.
    int64_t frequency = 1000000;
    bool frequencyFails = false;  // forces the millisecond timer
    int64_t counter = 0;
    uint32_t milliseconds = 0;
    int64_t counterAdvance = 0;       // added to counter after each counter read
    uint32_t millisecondAdvance = 0;  // added to milliseconds after each timeGetTime
    // Called at the start of every counter read, before its value is taken
    // (to post a message or jump time at a given point).
    std::function<void()> onCounterRead;
    int counterReads = 0;

    // Window steps that fail, and every step asked about, in order.
    std::set<std::string> failSteps;
    std::vector<std::string> stepsSeen;
    // Every message handed to the default handling (message, wParam), in order.
    std::vector<std::pair<unsigned, uintptr_t>> defaulted;

    int messageBox(const char* text, const char* caption, unsigned type) override;
    bool queryPerformanceFrequency(int64_t* frequency) override;
    bool queryPerformanceCounter(int64_t* count) override;
    uint32_t timeGetTime() override;
    bool failStep(const char* step) override;
    void defaultHandled(unsigned message, uintptr_t wParam) override;

private:
    Hooks* previous_;
};

}  // namespace platform
