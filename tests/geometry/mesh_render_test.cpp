// Grids and models as the user sees them: demo data through the offline
// renderer, one table of scenes and the pixels each must show.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/render/render.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

constexpr int kW = 64, kH = 48;

// A 4 x 4 texture in quadrants: red lower left, green lower right, blue
// upper left, white upper right; nearest filter, clamped.
Bytes quadrantTexture(const std::string& tag)
{
    Bytes rgb;
    for (int i = 0; i < 16; ++i) {  // bottom row first
        const int q = (i % 4) / 2 + (i / 8) * 2;
        append(rgb, {uint8_t(q == 0 || q == 3 ? 255 : 0), uint8_t(q % 2 ? 255 : 0), uint8_t(q >= 2 ? 255 : 0)});
    }
    TextureParameters p;
    p.minFilter = p.magFilter = kGlNearest;
    p.wrapS = p.wrapT = kGlClampToEdge;
    return textureResource(tag, bmp24(4, 4, rgb), textureParameters(p));
}

Bytes generic(int16_t id, const std::string& tag, const Bytes& body)
{
    return resource(id, Envelope{tag, true, body, true, 0, {}, ""});
}

Bytes place(const std::string& resource, const std::string& parent = "", bool transformCopy = false)
{
    return placeCommand(Place{resource, resource, 0, 0, 1, parent, "", transformCopy});
}

RenderedFrame render(const Bytes& resources, const Bytes& commands)
{
    WindowSettings window{"", true, kW, kH};
    PlaybackSettings playback{true, 0};
    const CameraPayload camera{{0, 0, 5}};
    const Bytes all = cat({generic(300, "cam", cameraPayload(camera)), resources, u8(0)});
    Bytes data = cat({chunk(2100, windowSettings(window)), chunk(2101, playbackSettings(playback)),
                      chunk(2103, RenderStateWriter::standard(0, 0, 0, 1).bytes()), chunk(2102, all),
                      chunk(2104, StreamWriter()
                                      .add(totalFramesChunk(1))
                                      .add(25, timelineEntry(1, cat({place("cam"), commands})))
                                      .bytes())});
    const std::string path = ::testing::TempDir() + "mesh_render" + std::to_string(getpid()) + ".dat";
    EXPECT_TRUE(writeFile(path, data));
    RenderOptions options;
    std::string error;
    options.frames.parse("1", &error);
    std::vector<RenderedFrame> out;
    EXPECT_TRUE(renderDemo(path, options, out, &error)) << error;
    std::remove(path.c_str());
    return out.empty() ? RenderedFrame{} : out.back();
}

// 'R', 'G', 'B', 'W' for full channels, '.' for black, '?' otherwise.
char colourAt(const RenderedFrame& f, int x, int y)  // y up from the bottom
{
    const uint8_t* p = &f.rgb[(size_t(f.height - 1 - y) * size_t(f.width) + size_t(x)) * 3];
    const int bits = (p[0] > 200) | (p[1] > 200) << 1 | (p[2] > 200) << 2;
    const bool clean = (p[0] > 200 || p[0] < 30) && (p[1] > 200 || p[1] < 30) && (p[2] > 200 || p[2] < 30);
    return clean ? ".RG?B??W"[bits] : '?';
}

// Lower left, lower right, upper right, upper left of the centre (d pixels
// out), then the far left and far right of the middle row.
std::string probe(const RenderedFrame& f, int d = 5)
{
    const int cx = kW / 2, cy = kH / 2;
    return {colourAt(f, cx - d, cy - d), colourAt(f, cx + d, cy - d), colourAt(f, cx + d, cy + d),
            colourAt(f, cx - d, cy + d), ' ', colourAt(f, cx - 4 * d, cy), colourAt(f, cx + 4 * d, cy)};
}

MeshFields squareAt(float x, float half)
{
    MeshFields m;
    m.vertices = {x - half, -half, 0, x + half, -half, 0, x + half, half, 0, x - half, half, 0};
    m.indices = {0, 1, 2, 0, 2, 3};
    return m;
}

}  // namespace

TEST(MeshRender, GridsAndModelsShowWhatTheirArraysSay)
{
    platform::TestDouble quiet;
    GridFields grid;
    grid.width = 2;
    grid.height = 2;
    grid.cellsX = 2;
    grid.cellsY = 1;
    GridFields noCells = grid;
    noCells.cellsX = 0;

    // Texture coordinates through their own index array: each corner takes
    // the colour of the corner opposite. Read through the vertex indices
    // they would give other colours (the first coordinate is a decoy).
    MeshFields turned = squareAt(0, 1);
    turned.texCoords = {0.1f, 0.9f, 0, 0.1f, 0.1f, 0, 0.9f, 0.1f, 0, 0.9f, 0.9f, 0, 0.1f, 0.9f, 0};
    turned.texIndices = {3, 4, 1, 3, 1, 2};

    // Two meshes side by side; the one on the right alone under "mB".
    const Bytes model = modelResource("mdl", modelPayload({{"mA", squareAt(-1.5f, 0.5f)}, {"mB", squareAt(1.5f, 0.5f)}}));

    struct Case {
        const char* name;
        Bytes resources;
        Bytes commands;
        std::string expected;
    } cases[] = {
        {"2 x 2 grid of 2 x 1 cells, textured", cat({quadrantTexture("tex"), generic(170, "grd", gridPayload(grid))}),
         cat({place("tex", "cam"), place("grd", "tex")}), "RGWB .."},
        {"grid of no cells", cat({quadrantTexture("tex"), generic(170, "grd", gridPayload(noCells))}),
         cat({place("tex", "cam"), place("grd", "tex")}), ".... .."},
        {"texture indices of their own", cat({quadrantTexture("tex"), modelResource("one", modelPayload({{"sq", turned}}))}),
         cat({place("tex", "cam"), place("one", "tex")}), "WBRG .."},
        {"model draws both meshes", model, place("mdl", "cam"), ".... WW"},
        {"transform copy of a model draws nothing", model, place("mdl", "cam", true), ".... .."},
        {"mesh placed by its own tag draws alone", model, cat({place("mdl", "cam", true), place("mB", "mdl")}),
         ".... .W"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, probe(render(c.resources, c.commands)));
    }
    EXPECT_TRUE(quiet.boxes.empty());
}
