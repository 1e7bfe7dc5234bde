#include "platform/test_double.h"

namespace platform {

TestDouble::TestDouble() : previous_(installedHooks())
{
    installHooks(this);
}

TestDouble::~TestDouble()
{
    installHooks(previous_);
}

int TestDouble::messageBox(const char* text, const char* caption, unsigned type)
{
    boxes.push_back({text ? text : "", caption ? caption : "", type});
    if (answers.empty())
        return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

bool TestDouble::queryPerformanceFrequency(int64_t* out)
{
    if (frequencyFails) {
        *out = 0;  // as the system reports "no counter"
        return false;
    }
    *out = frequency;
    return true;
}

bool TestDouble::queryPerformanceCounter(int64_t* count)
{
    ++counterReads;
    if (onCounterRead)
        onCounterRead();
    *count = counter;
    counter += counterAdvance;
    return true;
}

uint32_t TestDouble::timeGetTime()
{
    const uint32_t now = milliseconds;
    milliseconds += millisecondAdvance;
    return now;
}

bool TestDouble::failStep(const char* step)
{
    stepsSeen.push_back(step);
    return failSteps.count(step) != 0;
}

void TestDouble::defaultHandled(unsigned message, uintptr_t wParam) { defaulted.push_back({message, wParam}); }

}  // namespace platform
