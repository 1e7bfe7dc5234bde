// Blend mode and motion trail: pixels through the renderer, the trail's
// snapshots, its clone and what it leaves behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "objects/blend_mode.h"
#include "objects/color.h"
#include "platform/test_double.h"
#include "tests/objects/probe.h"
#include "tests/support/scene_rendering.h"
#include "tools/writer/blend_payloads.h"
#include "tools/writer/geometry_payloads.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

using TrailDraw = GLTest;

// Counts the objects of its kind alive.
class Tracked : public SceneObject {
public:
    Tracked() { ++alive; }
    ~Tracked() override { --alive; }
    SceneObject* clone() override { auto* copy = new Tracked; copyInto(copy); return copy; }
    static int alive;
};
int Tracked::alive = 0;

// A probe that counts the steps of all its kind, clones included.
class CountingProbe : public Probe {
public:
    int step(bool stepOnly) override
    {
        ++all;
        return Probe::step(stepOnly);
    }
    SceneObject* clone() override
    {
        auto* copy = new CountingProbe;
        copy->half = half;
        copyInto(copy);
        return copy;
    }
    static int64_t all;
};
int64_t CountingProbe::all = 0;

// The first child of each snapshot, oldest first.
std::vector<Probe*> snapshotProbes(MotionTrail& trail)
{
    std::vector<Probe*> probes;
    for (void* s = trail.snapshots->first(); s; s = trail.snapshots->next())
        probes.push_back(static_cast<Probe*>(static_cast<BlendMode*>(s)->children->first()));
    return probes;
}

}  // namespace

TEST(BlendRender, AdditiveBlendingAddsOverlappingQuads)
{
    platform::TestDouble quiet;
    RenderedScene scene;
    scene.add(300, "CAMR", cameraOnZ(5));
    scene.add(340, "ADD", blendModePayload({GL_SRC_ALPHA, GL_ONE}));
    for (int i = 0; i < 2; ++i) {  // half red from x -1.5 to 0.5, half green from -0.5 to 1.5, nearer
        QuadFields q;
        q.transform.position = {i ? 0.5f : -0.5f, 0, i * 0.1f};
        const float xy[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (size_t c = 0; c < 4; ++c)
            q.corners[c] = {xy[c][0], xy[c][1], 0, 0, 0, i ? 0.0f : 0.5f, i ? 0.5f : 0.0f, 0, 1};
        scene.add(160, i ? "GRN" : "RED", quadPayload(q));
    }
    scene.place("CAMR", "CAM1");
    scene.place("ADD", "ADD1", "CAM1");
    scene.place("RED", "RED1", "ADD1");
    scene.place("GRN", "GRN1", "ADD1", "RED1");
    RenderedFrame f = scene.render().back();
    const int y = RenderedScene::kH / 2;  // 11.6 pixels a unit
    const int expected[3][3] = {{18, 128, 128}, {33, 256, 128}, {46, 128, 0}};  // x, all channels, red
    for (const auto& e : expected) {
        EXPECT_NEAR(e[1], brightness(f, e[0], y), 3) << e[0];
        EXPECT_NEAR(e[2], brightness(f, e[0], y, true), 2) << e[0];
    }
}

TEST(TrailRender, OldestSnapshotShowsThroughTheDepthTestWithGradedAlpha)
{
    platform::TestDouble quiet;
    auto centre = [](int16_t length) {
        RenderedScene scene;
        scene.add(300, "CAMR", cameraOnZ(5));
        scene.add(341, "TRAI", motionTrailPayload({{GL_SRC_ALPHA, GL_ONE}, length}));
        scene.add(250, "BOX", boxPayload({}));
        scene.place("CAMR", "CAM1");
        scene.place("TRAI", "TR1", "CAM1");
        scene.place("BOX", "BX1", "TR1");
        std::vector<int> red;
        for (const RenderedFrame& f : scene.render(4))
            red.push_back(brightness(f, RenderedScene::kW / 2, RenderedScene::kH / 2, true));
        return red;
    };
    // Saved alpha 1: the oldest of c snapshots is drawn first, at 1 - 1/c,
    // and hides the others; three are kept from frame 3 on.
    std::vector<int> two = centre(2);
    ASSERT_EQ(4u, two.size());
    EXPECT_EQ(0, two[0]);
    EXPECT_NEAR(128, two[1], 2);
    EXPECT_NEAR(170, two[2], 2);
    EXPECT_NEAR(170, two[3], 2);
    // The newest alone, at alpha 0. The first step of an instance placed at
    // its own frame 1 takes the plain path and draws the box as it is.
    EXPECT_EQ((std::vector<int>{255, 0, 0, 0}), centre(0));
}

TEST_F(TrailDraw, ColourAfterTheTrailIsTheColourBeforeIt)
{
    MotionTrail trail;
    trail.trailLength = 3;
    auto* paint = new Color;  // red, in the snapshots and the trail's own step
    paint->components[1] = paint->components[2] = 0;
    trail.children->append("PRB", new Probe(0));  // before the paint: sees the trail's colour
    trail.children->append("PNT", paint);
    for (int i = 0; i < 5; ++i) {
        glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
        trail.step(i % 2 == 1);
        // Alphas graded from the saved 0.8 over the c snapshots: the oldest
        // at 1 - 0.8 / c, the newest at 1 - 0.8, in the saved colour.
        const std::vector<Probe*> probes = snapshotProbes(trail);
        const float c = float(probes.size());
        EXPECT_NEAR(1 - 0.8f / c, probes.front()->color[3], 1e-5) << i;
        EXPECT_NEAR(0.2f, probes.back()->color[3], 1e-5) << i;
        EXPECT_EQ((std::vector<float>{0.2f, 0.4f, 0.6f}), std::vector<float>(probes.back()->color, probes.back()->color + 3)) << i;
        float after[4];
        glGetFloatv(GL_CURRENT_COLOR, after);
        EXPECT_EQ((std::vector<float>{0.2f, 0.4f, 0.6f, 0.8f}), std::vector<float>(after, after + 4)) << i;
    }
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(TrailDraw, QueueHoldsLengthPlusOneAndANegativeLengthKeepsOne)
{
    // A negative length widens the first test (start + count < frame - n -
    // count) and pops one snapshot whenever there is one: with frame 1 and
    // n = -5 the plain path takes the steps at counts 0 to 2, then the queue
    // holds the newest snapshot alone. A length past 254 keeps 255: their
    // alphas are then one 8-bit level apart. Each trail first fast-forwards
    // `skip` frames (with a lifetime of `life`), which must leave what as
    // many single steps leave, at a bounded cost.
    const struct {
        int32_t length;
        int16_t life;
        int skip;
        std::vector<int32_t> counts;
    } cases[] = {{0, 0, 0, {0, 1, 1, 1, 1, 1}},
                 {2, 0, 0, {1, 2, 3, 3, 3, 3}},
                 {-5, 0, 0, {0, 0, 0, 1, 1, 1}},
                 {-1, 0, 0, {0, 1, 1, 1, 1, 1}},
                 {2, 0, 1, {2, 3, 3, 3, 3, 3}},
                 {2, 0, 40, {3, 3, 3, 3, 3, 3}},
                 {2, 10, 40, {3, 3, 3, 3, 3, 3}},
                 {-5, 0, 40, {1, 1, 1, 1, 1, 1}},
                 {300, 0, 0, {1, 2, 3, 4, 5, 6}},
                 {300, 0, 700, {255, 255, 255, 255, 255, 255}},
                 {12288, 0, 29300, {255, 255, 255, 255, 255, 255}}};
    for (const auto& c : cases) {
        // What the snapshots hold: the step counts of their cloned probes.
        auto run = [&](bool fastForward) {
            MotionTrail trail;
            trail.trailLength = c.length;
            trail.length = c.life;
            trail.frame = 1;  // as the timeline places it
            auto* probe = new CountingProbe;
            probe->half = 0;
            trail.children->append("PRB", probe);
            if (fastForward) {
                trail.skipFrames(c.skip);
            } else {
                for (int i = 0; i < c.skip; ++i)
                    trail.step(true);
            }
            std::vector<int32_t> counts, stepCounts;
            for (size_t i = 0; i < c.counts.size(); ++i) {
                trail.step(false);
                counts.push_back(trail.snapshots->count);
            }
            for (Probe* p : snapshotProbes(trail))
                stepCounts.push_back(p->stepCount);
            EXPECT_EQ(c.counts, counts) << c.length << " " << c.skip;
            return stepCounts;
        };
        CountingProbe::all = 0;
        std::vector<int32_t> fastForwarded = run(true);
        // The child once a step, and the snapshots of the last 255 steps of
        // the fast-forward once a step since they were made: no more.
        EXPECT_LE(CountingProbe::all, c.skip + 6 + 255 * 256 / 2 + 6 * 255) << c.length << " " << c.skip;
        if (int64_t(c.skip) * (c.length < 255 ? c.length + 1 : 255) <= 200000) {
            EXPECT_EQ(run(false), fastForwarded) << c.length << " " << c.skip;
        }
    }
}

TEST_F(TrailDraw, CloneOfAFullTrailHasItsSnapshotsInOrderAndNoChildren)
{
    MotionTrail trail;
    trail.trailLength = 25;
    trail.sourceFactor = GL_ONE;
    trail.destinationFactor = GL_ONE_MINUS_SRC_ALPHA;
    auto* probe = new Probe(0);
    trail.children->append("PRB", probe);
    for (int i = 1; i <= 30; ++i) {
        probe->half = float(i);  // each snapshot clones a different probe
        trail.step(true);
    }
    SceneObject* made = trail.clone();
    auto* copy = dynamic_cast<MotionTrail*>(made);
    ASSERT_NE(nullptr, copy);
    std::vector<Probe*> original = snapshotProbes(trail), cloned = snapshotProbes(*copy);
    ASSERT_EQ(26u, cloned.size());
    for (size_t i = 0; i < 26; ++i) {
        EXPECT_EQ(float(i + 5), cloned[i]->half);
        EXPECT_NE(original[i], cloned[i]);
        EXPECT_TRUE(original[i]->lastStepOnly);  // no snapshot draws in a step-only pass
    }
    EXPECT_TRUE(probe->lastStepOnly);
    EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 25, GL_ONE, GL_ONE_MINUS_SRC_ALPHA}),
              (std::vector<int32_t>{copy->children->count(), copy->stepCount, copy->isCopy, copy->trailLength,
                                    copy->sourceFactor, copy->destinationFactor}));
    delete made;
}

// Run under LeakSanitizer too: every snapshot's subtree must go.
TEST_F(TrailDraw, LongRunOverASubtreeLeavesNothingBehind)
{
    {
        auto* trail = new MotionTrail;
        trail->trailLength = 4;
        // A subtree with a blend mode and a trail of its own inside.
        auto* group = new Tracked;
        auto* inner = new MotionTrail;
        inner->trailLength = 2;
        inner->children->append("LEAF", new Tracked);
        auto* blend = new BlendMode;
        blend->children->append("LEAF", new Tracked);
        group->children->append("INNR", inner);
        group->children->append("BLND", blend);
        group->children->append("LEAF", new Tracked);
        trail->children->append("GRP", group);
        // The subtree holds up to 7 (the inner trail keeps 3 leaves), each of
        // the 5 snapshots up to 6 (a cloned trail has no children).
        for (int i = 0; i < 400; ++i) {
            trail->step(i % 3 == 0);
            ASSERT_LE(Tracked::alive, 7 + 5 * 6) << i;
        }
        EXPECT_GE(Tracked::alive, 7 + 5 * 3);
        SceneObject* copy = trail->clone();
        delete trail;
        delete copy;
    }
    EXPECT_EQ(0, Tracked::alive);
}
