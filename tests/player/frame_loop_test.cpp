#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "demo/object_loader.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "platform/test_double.h"
#include "player/frame_clock.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "tests/support/gl_fixture.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

// Records each step (frame number as seen by the loop, drawn or not, and the
// driven clock in milliseconds) and can act at a given step.
struct Probe : SceneObject {
    struct Step {
        bool stepOnly;
        int64_t micros;
    };
    platform::TestDouble* clock = nullptr;
    std::vector<Step> steps;
    std::function<void(int)> onStep;

    int step(bool stepOnly) override
    {
        steps.push_back({stepOnly, clock->counter});
        if (onStep)
            onStep(int(steps.size()));
        return SceneObject::step(stepOnly);
    }
    int drawn() const
    {
        int n = 0;
        for (const Step& s : steps)
            n += !s.stepOnly;
        return n;
    }
};

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(createGLWindow(player.window, "loop", 32, 32, 16, false));
        clock_.counterAdvance = 1000;  // 1 ms per counter read: busy-waits progress
        probe = new Probe;
        probe->clock = &clock_;
        player.active->append("PROB", probe);
    }

    void run(int frameRate, int totalFrames, bool catchUp, bool loop = false)
    {
        player.settings.frameRate = frameRate;
        player.settings.totalFrames = totalFrames;
        player.settings.catchUp = catchUp;
        player.settings.loop = loop;
        FrameClock clock;
        exitCode = runFrameLoop(player, clock);
    }

    platform::TestDouble clock_;
    Player player;
    Probe* probe = nullptr;
    int exitCode = -1;
};

}  // namespace

TEST_F(FrameLoopTest, PacesEachDrawnFrameToTheFrameRate)
{
    run(20, 10, false);
    ASSERT_EQ(10u, probe->steps.size());
    EXPECT_EQ(10, probe->drawn());
    for (size_t i = 1; i < probe->steps.size(); ++i) {
        int64_t gap = probe->steps[i].micros - probe->steps[i - 1].micros;
        EXPECT_GT(gap, 50000) << "frame " << i + 1;
        EXPECT_LT(gap, 56000) << "frame " << i + 1;
    }
    EXPECT_EQ(0, exitCode);
}

TEST_F(FrameLoopTest, FrameRateZeroNeverWaitsNorCatchesUp)
{
    probe->onStep = [&](int) { clock_.counter += 500000; };  // every frame is very late
    run(0, 6, true);
    EXPECT_EQ(6u, probe->steps.size());
    EXPECT_EQ(6, probe->drawn());
}

TEST_F(FrameLoopTest, CatchUpStepsLateFramesWithoutDrawing)
{
    // Frame 3 takes 180 ms: frames due meanwhile are stepped only.
    probe->onStep = [&](int n) {
        if (n == 3)
            clock_.counter += 180000;
    };
    run(20, 12, true);
    ASSERT_EQ(12u, probe->steps.size());  // every frame exactly once
    EXPECT_FALSE(probe->steps[2].stepOnly);
    // The frames that fell due during the slow one are stepped only, at once.
    EXPECT_TRUE(probe->steps[3].stepOnly);
    EXPECT_TRUE(probe->steps[4].stepOnly);
    EXPECT_LT(probe->steps[4].micros - probe->steps[2].micros, 190000);
    EXPECT_FALSE(probe->steps[5].stepOnly);
    // Afterwards drawn frames keep to the clock again.
    int64_t last = probe->steps.back().micros;
    EXPECT_NEAR(double(last), 11 * 50000.0, 60000.0);
}

TEST_F(FrameLoopTest, CatchUpDrawsFramesOnTimeAndStepsOnlyThoseAPeriodLate)
{
    // Frame N is due (N - 1) periods after the clock start. Fast frames are
    // all drawn, none early; slow ones fall behind until the clock passes the
    // time the next frame is due, and only then is a frame stepped undrawn.
    constexpr int64_t kPeriod = 50000;
    constexpr int64_t kReadSlack = 1000;  // clock reads between a check and the step
    clock_.counterAdvance = 20;           // a fine clock: 20 us per read
    const struct {
        const char* name;
        int64_t drawMicros;  // what every drawn frame costs
    } loads[] = {{"fast", 0}, {"slower than the period", 80000}, {"over three periods", 180000}};
    for (const auto& load : loads) {
        SCOPED_TRACE(load.name);
        player.active->remove(probe);
        probe = new Probe;
        probe->clock = &clock_;
        player.active->append("PROB", probe);
        Probe& p = *probe;
        p.onStep = [&](int) {
            if (!p.steps.back().stepOnly)
                clock_.counter += load.drawMicros;
        };
        run(20, 100, true);  // 4.95 s from the first frame to the last
        ASSERT_EQ(100u, p.steps.size());
        const int64_t origin = p.steps[0].micros;
        for (size_t i = 0; i < p.steps.size(); ++i) {
            const int64_t late = p.steps[i].micros - origin - int64_t(i) * kPeriod;
            if (p.steps[i].stepOnly) {
                EXPECT_GT(late, kPeriod - kReadSlack) << "frame " << i + 1;
            } else {
                EXPECT_GE(late, -kReadSlack) << "frame " << i + 1;
                EXPECT_LE(late, kPeriod + kReadSlack) << "frame " << i + 1;
            }
        }
        if (load.drawMicros == 0)
            EXPECT_EQ(100, p.drawn());
        else
            EXPECT_LT(p.drawn(), 100);
    }
}

TEST_F(FrameLoopTest, StartsAtTheFrameGivenAndTellsEveryFramePlayed)
{
    // The third frame played is slow: frames that fall due meanwhile are
    // stepped, and the listener hears of those as not drawn.
    probe->onStep = [&](int n) {
        if (n == 3)
            clock_.counter += 120000;
    };
    player.settings.frameRate = 20;
    player.settings.totalFrames = 10;
    player.settings.catchUp = true;
    std::vector<std::pair<int32_t, bool>> told;
    FrameClock clock;
    runFrameLoop(player, clock, 4, [&](int32_t frame, bool drawn) { told.emplace_back(frame, drawn); });
    ASSERT_EQ(7u, probe->steps.size());  // frames 4 to 10
    ASSERT_EQ(7u, told.size());
    int stepped = 0;
    for (size_t i = 0; i < told.size(); ++i) {
        EXPECT_EQ(int32_t(4 + i), told[i].first);
        EXPECT_EQ(!probe->steps[i].stepOnly, told[i].second) << "frame " << told[i].first;
        stepped += !told[i].second;
    }
    EXPECT_GE(stepped, 1);
}

TEST_F(FrameLoopTest, CatchUpStopsAtTheLastFrame)
{
    probe->onStep = [&](int n) {
        if (n == 2)
            clock_.counter += 10000000;  // ten seconds late
    };
    run(20, 8, true);
    EXPECT_EQ(8u, probe->steps.size());  // never past total frames within one catch-up
}

TEST_F(FrameLoopTest, EscapeEndsThePlayerBeforeTheNextFrame)
{
    probe->onStep = [&](int n) {
        if (n == 4)
            platform::postMessage({platform::WM_KEYDOWN, uintptr_t(platform::VK_ESCAPE), 0});
    };
    run(20, 100, true);
    EXPECT_EQ(4u, probe->steps.size());
    EXPECT_EQ(0, exitCode);
}

TEST_F(FrameLoopTest, CloseEndsWithTheQuitCode)
{
    probe->onStep = [&](int n) {
        if (n == 2)
            platform::postMessage({platform::WM_CLOSE, 0, 0});
    };
    run(0, 100, false);
    EXPECT_EQ(2u, probe->steps.size());
    EXPECT_EQ(0, exitCode);
}

TEST_F(FrameLoopTest, LoopingReappliesTheFirstEntry)
{
    // A resource cloned by the entry at frame 1; three frames a pass.
    struct Clonable : Probe {
        SceneObject* clone() override
        {
            auto* c = new Clonable;
            c->clock = clock;
            copyInto(c);
            return c;
        }
    };
    auto* resource = new Clonable;
    resource->clock = &clock_;
    player.resources->append("RES_", resource);

    Place place;
    place.resourceTag = "RES_";
    place.instanceTag = "INST";
    Bytes timeline = StreamWriter().add(25, timelineEntry(1, placeCommand(place))).bytes();
    ObjectLoader loader(timeline.data(), int32_t(timeline.size()));
    LoadContext context = player.loadContext(true);
    loader.load(player.timeline, &context);

    probe->onStep = [&](int n) {
        if (n == 7)
            platform::postMessage({platform::WM_KEYDOWN, uintptr_t(platform::VK_ESCAPE), 0});
    };
    run(0, 3, false, true);
    // Passes started at steps 1, 4 and 7: three instances, each found once in
    // the instance list of its own pass.
    EXPECT_EQ(4, player.active->count());  // the probe and three clones
    EXPECT_EQ(1, player.instances->count());
}

TEST(FrameClock, MillisecondModeWithoutCounterAndWrapAround)
{
    platform::TestDouble double_;
    double_.frequencyFails = true;
    double_.milliseconds = 0xFFFFFFF0u;
    FrameClock clock;
    EXPECT_FALSE(clock.highResolution());
    double_.milliseconds += 0x20;  // the timer wrapped
    EXPECT_DOUBLE_EQ(32.0, double(clock.elapsed()));
}

TEST(FrameClock, HighResolutionCountsFromStart)
{
    platform::TestDouble double_;
    double_.frequency = 1000;
    double_.counter = 5000;
    FrameClock clock;
    EXPECT_TRUE(clock.highResolution());
    double_.counter = 7500;
    EXPECT_NEAR(2500.0, double(clock.elapsed()), 1e-3);
    clock.start();
    EXPECT_NEAR(0.0, double(clock.elapsed()), 1e-3);
}
