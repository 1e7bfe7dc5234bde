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

using namespace authoring;

namespace {

constexpr int kCx = RenderedScene::kW / 2, kCy = RenderedScene::kH / 2;
constexpr float kPixelsPerUnit = 11.6f;  // camera at z = 5

bool litAt(const RenderedFrame& f, float x, float y)  // in units, y up
{
    return brightness(f, kCx + int(x * kPixelsPerUnit), kCy - 1 - int(y * kPixelsPerUnit)) > 300;
}

// A 4 x 4 texture in quadrants: red lower left, green lower right, blue
// upper left, white upper right; nearest filter, clamped.
Bytes quadrantTexture()
{
    Bytes rgb;
    for (int i = 0; i < 16; ++i) {  // bottom row first
        const int q = (i % 4) / 2 + (i / 8) * 2;
        append(rgb, {uint8_t(q == 0 || q == 3 ? 255 : 0), uint8_t(q % 2 ? 255 : 0), uint8_t(q >= 2 ? 255 : 0)});
    }
    TextureParameters p;
    p.minFilter = p.magFilter = kGlNearest;
    p.wrapS = p.wrapT = kGlClampToEdge;
    return textureResource("tex", bmp24(4, 4, rgb), textureParameters(p));
}

// Lower left, lower right, upper right, upper left of the centre (d pixels
// out), then just right of the lower-left cell, just above it and left of the
// grid: 'R', 'G', 'B', 'W' for full channels, '.' for black, '?' otherwise.
std::string probe(const RenderedFrame& f, int d = 5)
{
    auto at = [&](int x, int y) {  // y up from the centre
        const uint8_t* p = &f.rgb[(size_t(kCy - 1 - y) * size_t(f.width) + size_t(kCx + x)) * 3];
        const int bits = (p[0] > 200) | (p[1] > 200) << 1 | (p[2] > 200) << 2;
        const bool clean = (p[0] > 200 || p[0] < 30) && (p[1] > 200 || p[1] < 30) && (p[2] > 200 || p[2] < 30);
        return clean ? ".RG?B??W"[bits] : '?';
    };
    if (f.rgb.empty())
        return "no frame";
    return {at(-d, -d), at(d, -d), at(d, d), at(-d, d), ' ', at(2, -d), at(-d, 2), at(-16, -d)};
}

// A 2 x 2 grid of 2 x 2 cells under the quadrant texture, and a splitter
// cutting it into tiles t0 to t3.
RenderedScene splitScene(bool centre)
{
    RenderedScene scene;
    scene.add(300, "cam", cameraOnZ(5));
    append(scene.resources, quadrantTexture());
    GridFields grid;
    grid.width = grid.height = 2;
    grid.cellsX = grid.cellsY = 2;
    scene.add(170, "grd", gridPayload(grid));
    SplitterFields splitter;
    splitter.source = "grd";
    splitter.tiles = {"t0", "t1", "t2", "t3"};
    splitter.centre = centre;
    scene.add(350, "spl", splitterPayload(splitter));
    scene.place("cam", "cam");
    scene.place("tex", "tex", "cam");
    return scene;
}

}  // namespace

TEST(ReplicaRender, CopiesOnACircleAndOnALattice)
{
    platform::TestDouble quiet;
    QuadFields square;
    for (size_t i = 0; i < 4; ++i)
        square.corners[i] = {i == 1 || i == 2 ? 0.25f : -0.25f, i >= 2 ? 0.25f : -0.25f, 0};
    for (bool lattice : {false, true}) {
        SCOPED_TRACE(lattice ? "lattice" : "circle");
        RenderedScene scene;
        scene.add(300, "cam", cameraOnZ(5));
        scene.add(160, "sq", quadPayload(square));
        ReplicatorFields r;
        r.source = "sq";
        r.instances = lattice ? std::vector<std::string>{"i0", "i1", "i2"}
                              : std::vector<std::string>{"i0", "i1", "i2", "i3"};
        r.layout = lattice ? ReplicatorFields::Layout::Lattice : ReplicatorFields::Layout::Circle;
        r.radius = 1.5f;
        r.counts[0] = 3;
        r.spacing[0] = 2;
        scene.add(325, "rep", replicatorPayload(r));
        scene.place("cam", "cam");
        scene.place("rep", "rep", "cam");
        const RenderedFrame f = scene.render()[0];
        const std::vector<std::vector<float>> lit =
            lattice ? std::vector<std::vector<float>>{{-2, 0}, {0, 0}, {2, 0}}
                    : std::vector<std::vector<float>>{{1.5f, 0}, {0, 1.5f}, {-1.5f, 0}, {0, -1.5f}};
        const std::vector<std::vector<float>> dark =
            lattice ? std::vector<std::vector<float>>{{-1, 0}, {1, 0}, {0, 1.5f}}
                    : std::vector<std::vector<float>>{{0, 0}, {1.06f, 1.06f}, {-1.06f, -1.06f}};
        for (const auto& p : lit)
            EXPECT_TRUE(litAt(f, p[0], p[1])) << p[0] << ", " << p[1];
        for (const auto& p : dark)
            EXPECT_FALSE(litAt(f, p[0], p[1])) << p[0] << ", " << p[1];
    }
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST(ReplicaRender, TilesDrawTheirCellsAndTogetherTheGrid)
{
    platform::TestDouble quiet;
    struct Case {
        const char* name;
        bool centre;
        std::vector<std::string> placed;
        std::string expected;
    } cases[] = {
        {"the grid itself", false, {"grd"}, "RGWB GB."},
        {"one tile alone", false, {"t0"}, "R... ..."},
        {"one centred tile alone", true, {"t0"}, "R... ..."},
        {"the splitter", true, {"spl"}, "RGWB GB."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderedScene scene = splitScene(c.centre);
        for (const std::string& tag : c.placed)
            scene.place(tag, tag, "tex");
        EXPECT_EQ(c.expected, probe(scene.render()[0]));
    }
    EXPECT_TRUE(quiet.boxes.empty());
}

// Pieces start away from home and all sit at home in the last frame.
TEST(ReplicaRender, AnAssemblyEndsWithEveryPieceAtHome)
{
    platform::TestDouble quiet;
    RenderedScene scene = splitScene(true);
    AssemblyFields a;
    a.source = "spl";
    a.startHeight = 1;
    a.startOffset = 2;
    a.depthSpread = 0.35f;
    a.phaseEnd = 0.95f;
    a.flight = 0.1f;
    a.seed = 7;
    scene.add(355, "asm", assemblyPayload(a));
    scene.commands.push_back(placeCommand(Place{"asm", "asm", 0, 40, 1, "tex", ""}));
    const std::vector<RenderedFrame> frames = scene.render(40);
    const std::string first = probe(frames[0]), last = probe(frames[39]);
    EXPECT_EQ("RGWB GB.", last);
    EXPECT_GE(std::count(first.begin(), first.begin() + 4, '.'), 3) << first;
    EXPECT_TRUE(quiet.boxes.empty());
}
