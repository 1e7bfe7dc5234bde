// Ripples as authors write them, as inspect shows them and as the renderer
// draws them.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/test_double.h"
#include "tests/support/description.h"
#include "tests/support/scene_rendering.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/deformer_payloads.h"
#include "tools/writer/mesh_payloads.h"

using namespace tools::writer;
using namespace tools::inspect;
using namespace tools::render;

TEST(RippleDescription, InspectShowsTheFieldsAndPlacementIsChecked)
{
    const std::string resources = R"({"totalFrames": 9, "resources": [{"class": "grid", "tag": "grd"},
        {"class": "ripple", "tag": "rip", "startRadius": 0.25, "speed": 0.5, "amplitude": 2, "width": 1.5,
         "centre": [-1, 0.75]}, {"class": "box", "tag": "box"})";
    const std::string placing = R"(], "timeline": [{"frame": 1, "commands": [{"place": "grd"}, {"place": "box"}, )";
    std::ostringstream out;
    EXPECT_TRUE(tools::inspect::inspect(compiled(resources + placing + R"({"place": "rip", "parent": "grd"}]}]})"), out));
    for (const char* line : {"resource 450 Ripple", "tag rip", "ripple start radius 0.25, speed 0.5, amplitude 2, width 1.5",
                             "centre -1 0.75"})
        EXPECT_NE(std::string::npos, out.str().find(line)) << line << "\n" << out.str();
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {resources + R"(, {"class": "ripple", "tag": "bad", "width": 0}]})", "'width' must be above 0"},
             {resources + placing + R"({"place": "rip"}]}]})", "give it a 'parent'"},
             {resources + placing + R"({"place": "rip", "parent": "box"}]}]})", "parent 'box' is a box"}})
        EXPECT_NE(std::string::npos, errorOf(text).find(message)) << errorOf(text);
}

TEST(RippleRender, LiftsAGridSeenEdgeOnIntoViewAndLeavesItFlatOnceEnded)
{
    platform::TestDouble quiet;
    GridFields grid;
    grid.width = grid.height = 4;
    grid.cellsX = grid.cellsY = 16;
    grid.transform.angles = {90, 0, 0};  // the line of sight lies in the grid's plane
    RippleFields ripple{0.1f, 0.25f, 0.5f, 0.6f, {0, 0}};
    RenderedScene scene;
    scene.add(300, "cam", cameraOnZ(6));
    scene.add(170, "grd", gridPayload(grid));
    scene.add(450, "rip", ripplePayload(ripple));
    scene.place("cam", "cam");
    scene.place("grd", "grd", "cam");
    scene.place("rip", "rip", "grd");
    // Lit pixels more than a row away from the middle row.
    auto lit = [](const RenderedFrame& f) {
        int n = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                n += std::abs(y - f.height / 2) > 1 && brightness(f, x, y) > 60;
        return n;
    };
    // The ring passes the far corners (2.83 from the centre) at its 12th step.
    const std::vector<RenderedFrame> frames = scene.render(14);
    EXPECT_EQ((std::vector<bool>{true, true, false, false}),
              (std::vector<bool>{lit(frames[2]) > 20, lit(frames[8]) > 20, lit(frames[12]) > 0, lit(frames[13]) > 0}));
    EXPECT_TRUE(quiet.boxes.empty());
}
