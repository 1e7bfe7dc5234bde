// Ripples as authors write them, as inspect shows them and as the renderer
// draws them.
#include <gtest/gtest.h>

#include <sstream>

#include "demo/object_loader.h"
#include "geometry/mesh_deformer.h"
#include "platform/test_double.h"
#include "tests/support/description.h"
#include "tests/support/scene_rendering.h"
#include "tools/demotool/inspect.h"
#include "tools/writer/deformer_payloads.h"
#include "tools/writer/mesh_payloads.h"

using namespace authoring;

TEST(RippleDescription, FieldsLoadBackInspectShowsThemAndPlacementIsChecked)
{
    platform::TestDouble quiet;
    const std::string resources = R"({"totalFrames": 9, "resources": [
        {"class": "grid", "tag": "grd", "cells": [4, 4]},
        {"class": "ripple", "tag": "rip", "startRadius": 0.25, "speed": 0.5, "amplitude": 2, "width": 1.5,
         "centre": [-1, 0.75]})";
    const Bytes data = compiled(resources + R"(], "timeline": [{"frame": 1, "commands": [
        {"place": "grd"}, {"place": "rip", "parent": "grd"}]}]})");
    ObjectList list(true);
    list.deleter = &SceneObject::destroy;
    ChunkStream stream(data.data(), int32_t(data.size()));
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == 2102)
            ObjectLoader(data.data() + stream.position(), int32_t(length)).load(&list, nullptr);
        stream.skip(length);
    });
    auto* rip = dynamic_cast<Ripple*>(static_cast<SceneObject*>(list.find("rip")));
    ASSERT_NE(nullptr, rip);
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 2, 1.5f, -1, 0.75f}),
              (std::vector<float>{rip->startRadius, rip->speed, rip->amplitude, rip->waveWidth, rip->centre[0],
                                  rip->centre[1]}));
    EXPECT_TRUE(quiet.boxes.empty());

    std::ostringstream out;
    EXPECT_TRUE(demotool::inspect(data, out)) << out.str();
    for (const char* line : {"resource 450 Ripple", "ripple start radius 0.25, speed 0.5, amplitude 2, width 1.5",
                             "centre -1 0.75"})
        EXPECT_NE(std::string::npos, out.str().find(line)) << line << "\n" << out.str();

    const std::string timeline = R"(], "timeline": [{"frame": 1, "commands": [{"place": "grd"}, )";
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {resources + R"(, {"class": "ripple", "tag": "bad", "width": 0}]})", "'width' must be above 0"},
             {resources + timeline + R"({"place": "rip"}]}]})", "give it a 'parent'"},
             {resources + R"(, {"class": "box", "tag": "box"})" + timeline +
                  R"({"place": "box"}, {"place": "rip", "parent": "box"}]}]})",
              "parent 'box' is a box"}}) {
        const std::string error = errorOf(text);
        EXPECT_NE(std::string::npos, error.find(message)) << error;
    }
}

namespace {

// Lit pixels more than one row away from the middle row.
int litOffTheMiddle(const RenderedFrame& f)
{
    int lit = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            lit += (y < f.height / 2 - 1 || y > f.height / 2 + 1) && brightness(f, x, y) > 60;
    return lit;
}

}  // namespace

TEST(RippleRender, LiftsAGridSeenEdgeOnIntoViewAndLeavesItFlatOnceEnded)
{
    platform::TestDouble quiet;
    GridFields grid;
    grid.width = grid.height = 4;
    grid.cellsX = grid.cellsY = 16;
    grid.transform.angles = {90, 0, 0};  // the grid's plane holds the line of sight
    RippleFields ripple;
    ripple.startRadius = 0.1f;
    ripple.speed = 0.25f;
    ripple.amplitude = 0.5f;
    ripple.width = 0.6f;

    RenderedScene scene;
    scene.add(300, "cam", cameraOnZ(6));
    scene.add(170, "grd", gridPayload(grid));
    scene.add(450, "rip", ripplePayload(ripple));
    scene.place("cam", "cam");
    scene.place("grd", "grd", "cam");
    scene.place("rip", "rip", "grd");
    // The ring passes the far corners (2.83 from the centre) at its 12th step.
    const std::vector<RenderedFrame> frames = scene.render(16);
    EXPECT_GT(litOffTheMiddle(frames[2]), 20);
    EXPECT_GT(litOffTheMiddle(frames[8]), 20);
    EXPECT_EQ(0, litOffTheMiddle(frames[13]));
    EXPECT_EQ(0, litOffTheMiddle(frames[15]));

    // Without the ripple the same grid shows nothing off the middle.
    RenderedScene still;
    still.add(300, "cam", cameraOnZ(6));
    still.add(170, "grd", gridPayload(grid));
    still.place("cam", "cam");
    still.place("grd", "grd", "cam");
    EXPECT_EQ(0, litOffTheMiddle(still.render(1)[0]));
    EXPECT_TRUE(quiet.boxes.empty());
}
