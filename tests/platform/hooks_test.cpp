// Message boxes with and without a display, and the test double that stands
// in for the system in other tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/test_double.h"

namespace {

using namespace platform;

TEST(MessageBoxWithoutDisplay, WritesOneLineAndAnswersAtOnce) {
    ASSERT_EQ(installedHooks(), nullptr);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    const int ok = messageBox("Cannot open file\ndemo.dat", "Demo", MB_OK | MB_ICONSTOP);
    const int yes = messageBox("Run fullscreen?", "Setup", MB_YESNO | MB_ICONINFORMATION);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, IDOK);
    EXPECT_EQ(yes, IDYES);
    EXPECT_EQ(err, "Demo: Cannot open file\ndemo.dat\nSetup: Run fullscreen?\n");
}

TEST(TestDouble, RecordsBoxesAndGivesQueuedAnswers) {
    {
        TestDouble hooks;
        ASSERT_EQ(installedHooks(), &hooks);
        hooks.answers = {IDNO};
        testing::internal::CaptureStderr();
        EXPECT_EQ(messageBox("first?", "Q", MB_YESNO), IDNO);
        EXPECT_EQ(messageBox("second?", "Q", MB_YESNO), IDYES);
        EXPECT_EQ(messageBox("done", "Info", MB_OK | MB_ICONINFORMATION), IDOK);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ASSERT_EQ(hooks.boxes.size(), 3u);
        EXPECT_EQ(hooks.boxes[0].text, "first?");
        EXPECT_EQ(hooks.boxes[2].caption, "Info");
        EXPECT_EQ(hooks.boxes[2].type, MB_OK | MB_ICONINFORMATION);
    }
    EXPECT_EQ(installedHooks(), nullptr);
}

TEST(TestDouble, DrivesTheClocks) {
    TestDouble hooks;
    int64_t value = 0;
    ASSERT_TRUE(queryPerformanceFrequency(&value));
    EXPECT_EQ(value, 1000000);
    hooks.frequencyFails = true;
    EXPECT_FALSE(queryPerformanceFrequency(&value));

    hooks.counter = 500;
    hooks.counterAdvance = 100;
    hooks.onCounterRead = [&] {
        if (hooks.counterReads == 3) postQuitMessage(9);
    };
    std::vector<int64_t> reads;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(queryPerformanceCounter(&value));
        reads.push_back(value);
    }
    EXPECT_EQ(reads, (std::vector<int64_t>{500, 600, 700}));
    Message m;
    ASSERT_TRUE(peekMessage(&m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 9u);

    hooks.milliseconds = 40;
    hooks.millisecondAdvance = 5;
    EXPECT_EQ(timeGetTime(), 40u);
    EXPECT_EQ(timeGetTime(), 45u);
}

TEST(SystemClocks, CounterMovesForwardAtItsFrequency) {
    ASSERT_EQ(installedHooks(), nullptr);
    int64_t frequency = 0, first = 0, second = 0;
    ASSERT_TRUE(queryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency, 0);
    ASSERT_TRUE(queryPerformanceCounter(&first));
    const uint32_t startMs = timeGetTime();
    // Spin 20 ms of counter time; the millisecond clock must agree roughly.
    do ASSERT_TRUE(queryPerformanceCounter(&second));
    while (second - first < frequency / 50);
    const uint32_t elapsedMs = timeGetTime() - startMs;
    EXPECT_GE(elapsedMs, 18u);
    EXPECT_LT(elapsedMs, 1000u);
}

}  // namespace
