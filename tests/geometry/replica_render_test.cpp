// Replicators, quad splitters and piece assemblies as the user sees them:
// demo data through the offline renderer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "tests/support/scene_rendering.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/writer/replica_payloads.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

constexpr int kCx = RenderedScene::kW / 2, kCy = RenderedScene::kH / 2;

// 'R', 'G', 'B', 'W' for full channels, '.' for black, '?' otherwise, at
// (x, y) pixels from the centre, y up.
char colourAt(const RenderedFrame& f, int x, int y)
{
    if (f.rgb.empty())
        return '!';
    const uint8_t* p = &f.rgb[(size_t(kCy - 1 - y) * size_t(f.width) + size_t(kCx + x)) * 3];
    const int bits = (p[0] > 200) | (p[1] > 200) << 1 | (p[2] > 200) << 2;
    const bool clean = (p[0] > 200 || p[0] < 30) && (p[1] > 200 || p[1] < 30) && (p[2] > 200 || p[2] < 30);
    return clean ? ".RG?B??W"[bits] : '?';
}

// The four cells' middles from the lower left, counter-clockwise; then just
// right of the lower-left cell, just above it, and left of the grid.
std::string cells(const RenderedFrame& f)
{
    return {colourAt(f, -5, -5), colourAt(f, 5, -5), colourAt(f, 5, 5),  colourAt(f, -5, 5), ' ',
            colourAt(f, 2, -5),  colourAt(f, -5, 2), colourAt(f, -16, -5)};
}

// A 2 x 2 grid of 2 x 2 cells under a texture in quadrants (red lower left,
// green lower right, white upper right, blue upper left), cut into t0 to t3.
RenderedScene splitScene(bool centre)
{
    RenderedScene scene;
    scene.add(300, "cam", cameraOnZ(5));
    Bytes rgb;
    for (int i = 0; i < 16; ++i) {  // 4 x 4, bottom row first
        const int q = (i % 4) / 2 + (i / 8) * 2;
        append(rgb, {uint8_t(q == 0 || q == 3 ? 255 : 0), uint8_t(q % 2 ? 255 : 0), uint8_t(q >= 2 ? 255 : 0)});
    }
    TextureParameters p;
    p.minFilter = p.magFilter = kGlNearest;
    append(scene.resources, textureResource("tex", bmp24(4, 4, rgb), textureParameters(p)));
    GridFields grid;
    grid.width = grid.height = 2;
    grid.cellsX = grid.cellsY = 2;
    scene.add(170, "grd", gridPayload(grid));
    scene.add(350, "spl", splitterPayload({{}, "grd", {"t0", "t1", "t2", "t3"}, centre}));
    scene.place("cam", "cam");
    scene.place("tex", "tex", "cam");
    return scene;
}

}  // namespace

TEST(ReplicaRender, CopiesOnACircleAndOnALattice)
{
    platform::TestDouble quiet;
    QuadFields square;  // white, 0.5 wide: 6 pixels
    for (size_t i = 0; i < 4; ++i)
        square.corners[i] = {i == 1 || i == 2 ? 0.25f : -0.25f, i >= 2 ? 0.25f : -0.25f, 0};
    for (bool lattice : {false, true}) {
        RenderedScene scene;
        scene.add(300, "cam", cameraOnZ(5));
        scene.add(160, "sq", quadPayload(square));
        ReplicatorFields r;
        r.source = "sq";
        r.instances = {"i0", "i1", "i2", "i3"};
        r.layout = lattice ? ReplicatorFields::Layout::Lattice : ReplicatorFields::Layout::Circle;
        r.radius = 1.5f;  // 17 pixels
        r.counts[0] = 3;  // the fourth instance stays at the origin
        r.spacing[0] = 2;
        scene.add(325, "rep", replicatorPayload(r));
        scene.place("cam", "cam");
        scene.place("rep", "rep", "cam");
        const RenderedFrame f = scene.render()[0];
        // Along the middle row from X = -2 to 2 by 0.5, then up and down the
        // middle column at 1.5.
        std::string seen;
        for (int x : {-23, -17, -12, -6, 0, 6, 12, 17, 23})
            seen += colourAt(f, x, 0);
        seen += {' ', colourAt(f, 0, 17), colourAt(f, 0, -17)};
        EXPECT_EQ(lattice ? "W...W...W .." : ".W.....W. WW", seen) << (lattice ? "lattice" : "circle");
    }
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST(ReplicaRender, TilesDrawTheirCellsAndTogetherTheGrid)
{
    platform::TestDouble quiet;
    const struct {
        bool centre;
        const char* placed;
        const char* expected;
    } cases[] = {{false, "grd", "RGWB GB."}, {false, "t0", "R... ..."}, {true, "t0", "R... ..."}, {true, "spl", "RGWB GB."}};
    for (const auto& c : cases) {
        RenderedScene scene = splitScene(c.centre);
        scene.place(c.placed, c.placed, "tex");
        EXPECT_EQ(c.expected, cells(scene.render()[0])) << c.placed << (c.centre ? " centred" : "");
    }
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST(ReplicaRender, AnAssemblyStartsScatteredAndEndsWithEveryPieceAtHome)
{
    platform::TestDouble quiet;
    RenderedScene scene = splitScene(true);
    scene.add(355, "asm", assemblyPayload({"spl", 1, 0.35f, 2, 0.95f, 0.1f, 7}));
    scene.commands.push_back(placeCommand(Place{"asm", "asm", 0, 40, 1, "tex", ""}));
    const std::vector<RenderedFrame> frames = scene.render(40);
    const std::string first = cells(frames[0]);
    EXPECT_GE(std::count(first.begin(), first.begin() + 4, '.'), 3) << first;
    EXPECT_EQ("RGWB GB.", cells(frames[39]));
    EXPECT_TRUE(quiet.boxes.empty());
}
