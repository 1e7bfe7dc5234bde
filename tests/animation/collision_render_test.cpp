// The collision world played through the renderer: a head-on collision and
// a ball falling under a force onto a floor turned by its parent transform.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/dynamics.h"
#include "tests/support/scene_rendering.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/quadric_payloads.h"
#include "tools/writer/world_payloads.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

Bytes ball(float x, float y, float radius)
{
    QuadricFields q;
    q.transform.position = {x, y, 0};
    q.radius1 = radius;
    return quadricPayload(q);
}

// The topmost and bottommost lit rows of column band [x0, x1), -1 when none.
std::pair<int, int> litRows(const RenderedFrame& f, int x0, int x1)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < RenderedScene::kH; ++y)
        for (int x = x0; x < x1; ++x)
            if (brightness(f, x, y) > 0) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
    return {top, bottom};
}

}  // namespace

TEST(CollisionRender, HeadOnTheMovingSphereStopsAndTheOtherCarriesOn)
{
    // From z = 20 a unit is about 2.9 pixels: A starts at x = -8 moving 0.5
    // per frame, B rests at the centre.
    RenderedScene scene;
    scene.add(300, "CAMR", cameraOnZ(20));
    scene.add(420, "WRLD", worldPayload({}));
    scene.add(400, "BALA", ball(-8, 0, 1));
    scene.add(400, "BALB", ball(0, 0, 1));
    scene.place("CAMR", "CAM1");
    scene.place("WRLD", "WRL1", "CAM1");
    scene.place("BALA", "BAL1", "WRL1");
    scene.place("BALB", "BAL2", "WRL1");
    scene.commands.push_back(dynamicCommand(
        attachDynamic(1003, "MOVA", "BAL1", "", 0, 200, fields("Posici\xF3", false, 0, 1, {0.5f, 0, 0}))));
    const std::vector<RenderedFrame> frames = scene.render(30);
    const int cx = RenderedScene::kW / 2, cy = RenderedScene::kH / 2;
    const float unit = 2.9f;
    auto at = [&](const RenderedFrame& f, float x) { return brightness(f, int(cx + x * unit), cy); };
    EXPECT_GT(at(frames[0], -8), 0);
    EXPECT_GT(at(frames[0], 0), 0);
    // A stopped where it touched B (x = -2); B left for the right edge.
    const RenderedFrame& last = frames.back();
    EXPECT_GT(at(last, -2), 0);
    EXPECT_EQ(0, at(last, -6));
    EXPECT_EQ(0, at(last, 0));
    EXPECT_GT(at(last, 8), 0);
}

TEST(CollisionRender, BallUnderAForceBouncesOnATurnedFloorAndNeverFallsThrough)
{
    RenderedScene scene;
    scene.add(300, "CAMR", cameraOnZ(10));
    scene.add(420, "WRLD", worldPayload({{{"GRAV", 0.02f, {0, -1, 0}}}, {}, true}));
    TransformFields turn;
    turn.angles = {-90, 0, 0};  // the grid's +Z becomes +Y: a floor at y = 0
    scene.add(275, "TURN", transformPayload(turn));
    GridFields floor;
    floor.width = floor.height = 8;
    scene.add(170, "FLOR", gridPayload(floor));
    scene.add(400, "BALL", ball(0, 3, 0.5f));
    scene.place("CAMR", "CAM1");
    scene.place("WRLD", "WRL1", "CAM1");
    scene.place("TURN", "TRN1", "WRL1");
    scene.place("FLOR", "FLR1", "TRN1");
    scene.place("GRAV", "GRV1", "WRL1");
    scene.place("BALL", "BAL1", "GRV1");
    const std::vector<RenderedFrame> frames = scene.render(80);
    // From z = 10 a unit is about 5.8 pixels: the floor line is row 24, a
    // resting ball's bottom row 23.
    const int cx = RenderedScene::kW / 2;
    int lowestBottom = 0, lowestTop = 0, lowestFrame = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        auto [top, bottom] = litRows(frames[i], cx - 4, cx + 4);
        ASSERT_GE(top, 0) << "ball lost at frame " << i;
        EXPECT_LE(bottom, RenderedScene::kH / 2 + 1) << "through the floor at frame " << i;
        if (top > lowestTop)
            lowestTop = top, lowestFrame = int(i);
        lowestBottom = std::max(lowestBottom, bottom);
    }
    // It reached the floor and came up again by more than a ball's height.
    EXPECT_GE(lowestBottom, RenderedScene::kH / 2 - 1);
    int highestAfter = RenderedScene::kH;
    for (size_t i = size_t(lowestFrame); i < frames.size(); ++i)
        highestAfter = std::min(highestAfter, litRows(frames[i], cx - 4, cx + 4).first);
    EXPECT_LT(highestAfter, lowestTop - 6);
}
