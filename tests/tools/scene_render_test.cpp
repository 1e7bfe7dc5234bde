// Scenes built as demo data and looked at through the offline renderer, the
// way a user checks a demo frame by frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "tools/writer/animation_payloads.h"
#include "tools/writer/geometry_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/render/render.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

constexpr int kW = 64, kH = 48;

struct Rgb {
    int r, g, b;
};

struct Scene {
    Bytes resources;
    std::vector<Bytes> commands;  // frame 1's commands
    float clear[3] = {0, 0, 0};

    void add(int16_t id, const std::string& tag, const Bytes& body)
    {
        Envelope e;
        e.tag = tag;
        e.body = body;
        append(resources, resource(id, e));
    }

    RenderedFrame render(int frames = 1)
    {
        WindowSettings window;
        window.width = kW;
        window.height = kH;
        PlaybackSettings playback;
        playback.frameRate = 0;
        Bytes all;
        for (const Bytes& c : commands)
            append(all, c);
        Bytes data = cat({chunk(2100, windowSettings(window)), chunk(2101, playbackSettings(playback)),
                          chunk(2103, RenderStateWriter::standard(clear[0], clear[1], clear[2], 1).bytes()),
                          chunk(2102, cat({resources, u8(0)})),
                          chunk(2104, StreamWriter().add(totalFramesChunk(int16_t(frames))).add(25, timelineEntry(1, all)).bytes())});
        std::string path = ::testing::TempDir() + "scene_render" + std::to_string(getpid()) + ".dat";
        EXPECT_TRUE(writeFile(path, data));
        RenderOptions options;
        std::string error;
        options.frames.parse(std::to_string(frames), &error);
        std::vector<RenderedFrame> out;
        EXPECT_TRUE(renderDemo(path, options, out, &error)) << error;
        std::remove(path.c_str());
        return out.empty() ? RenderedFrame{} : out.back();
    }
};

Rgb pixel(const RenderedFrame& f, int x, int y)  // y from the top
{
    size_t i = (size_t(y) * size_t(f.width) + size_t(x)) * 3;
    return {f.rgb[i], f.rgb[i + 1], f.rgb[i + 2]};
}

// Columns of the middle row that are not the clear colour.
int coveredWidth(const RenderedFrame& f)
{
    int n = 0;
    for (int x = 0; x < f.width; ++x) {
        Rgb p = pixel(f, x, f.height / 2);
        n += (p.r + p.g + p.b) > 30;
    }
    return n;
}

Bytes cameraAt(float z, float proximity = 1, float fade = 0)
{
    CameraPayload c;
    c.position[0] = c.position[1] = 0;
    c.position[2] = z;
    c.fadeValue = fade;
    c.proximity = proximity;
    return cameraPayload(c);
}

QuadFields square(float half, float r, float g, float b)
{
    QuadFields q;
    const float xy[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    for (int i = 0; i < 4; ++i) {
        q.corners[size_t(i)].x = xy[i][0];
        q.corners[size_t(i)].y = xy[i][1];
        q.corners[size_t(i)].r = r;
        q.corners[size_t(i)].g = g;
        q.corners[size_t(i)].b = b;
    }
    return q;
}

Bytes place(const std::string& resource, const std::string& as, const std::string& parent = "",
            const std::string& after = "")
{
    Place p;
    p.resourceTag = resource;
    p.instanceTag = as;
    p.parentTag = parent;
    p.afterTag = after;
    return placeCommand(p);
}

}  // namespace

TEST(SceneRender, CameraShowsARedQuadAtTheOriginOverTheCentre)
{
    platform::TestDouble quiet;
    Scene scene;
    scene.add(300, "CAMR", cameraAt(5));
    scene.add(160, "QUAD", quadPayload(square(0.5f, 1, 0, 0)));
    scene.commands = {place("CAMR", "CAM1"), place("QUAD", "QD_1", "CAM1")};
    RenderedFrame f = scene.render();
    Rgb centre = pixel(f, kW / 2, kH / 2);
    EXPECT_GT(centre.r, 200);
    EXPECT_LT(centre.g + centre.b, 20);
    Rgb corner = pixel(f, 1, 1);
    EXPECT_EQ(0, corner.r + corner.g + corner.b);
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST(SceneRender, ProximityTwoPutsTheEyeTwiceAsFar)
{
    platform::TestDouble quiet;
    int widths[2];
    for (int i = 0; i < 2; ++i) {
        Scene scene;
        scene.add(300, "CAMR", cameraAt(i == 0 ? 10 : 5, i == 0 ? 1 : 2));
        scene.add(160, "QUAD", quadPayload(square(1, 1, 1, 1)));
        scene.commands = {place("CAMR", "CAM1"), place("QUAD", "QD_1", "CAM1")};
        widths[i] = coveredWidth(scene.render());
    }
    EXPECT_GT(widths[0], 4);
    EXPECT_NEAR(widths[0], widths[1], 1);
    Scene near;
    near.add(300, "CAMR", cameraAt(5));
    near.add(160, "QUAD", quadPayload(square(1, 1, 1, 1)));
    near.commands = {place("CAMR", "CAM1"), place("QUAD", "QD_1", "CAM1")};
    EXPECT_NEAR(2 * widths[0], coveredWidth(near.render()), 2);
}

TEST(SceneRender, ColourAndScaleApplyToWhatIsDrawnUnderThem)
{
    platform::TestDouble quiet;
    BoxFields big;
    big.dimensions = {100, 100, 100};
    BoxFields unit;
    unit.dimensions = {1, 1, 1};
    ColorPayload blue;
    blue.red = 0;
    blue.green = 0;
    blue.blue = 1;
    ScalePayload tiny;
    tiny.x = tiny.y = tiny.z = 0.01f;

    Scene scaled;
    scaled.add(300, "CAMR", cameraAt(5));
    scaled.add(3, "BLUE", colorPayload(blue));
    scaled.add(150, "TINY", scalePayload(tiny));
    scaled.add(250, "BIG_", boxPayload(big));
    scaled.commands = {place("CAMR", "CAM1"), place("BLUE", "COL1", "CAM1"), place("TINY", "SCL1", "COL1"),
                       place("BIG_", "BOX1", "SCL1")};
    RenderedFrame a = scaled.render();
    Rgb centre = pixel(a, kW / 2, kH / 2);
    EXPECT_GT(centre.b, 150);  // coloured by the Color above it
    EXPECT_LT(centre.r + centre.g, 20);

    Scene plain;
    plain.add(300, "CAMR", cameraAt(5));
    plain.add(3, "BLUE", colorPayload(blue));
    plain.add(250, "UNIT", boxPayload(unit));
    plain.commands = {place("CAMR", "CAM1"), place("BLUE", "COL1", "CAM1"), place("UNIT", "BOX1", "COL1")};
    RenderedFrame b = plain.render();
    // A box of 100 scaled by 0.01 looks like a box of 1.
    EXPECT_GT(coveredWidth(b), 4);
    EXPECT_NEAR(coveredWidth(b), coveredWidth(a), 1);
}

TEST(SceneRender, FadeValuesDarkenThePicture)
{
    platform::TestDouble quiet;
    auto brightness = [](float fade) {
        Scene scene;
        scene.add(300, "CAMR", cameraAt(5, 1, fade));
        scene.add(160, "QUAD", quadPayload(square(3, 1, 1, 1)));  // fills the view
        scene.commands = {place("CAMR", "CAM1"), place("QUAD", "QD_1", "CAM1")};
        return pixel(scene.render(), kW / 2, kH / 2).g;
    };
    int none = brightness(0);
    EXPECT_GT(none, 240);
    EXPECT_NEAR(none / 2, brightness(0.75f), 3);
    EXPECT_LT(brightness(1.0f), 3);
    EXPECT_EQ(none, brightness(0.25f));  // black added with weight: no change
}

TEST(SceneRender, ObjectsAppearAtTheirStartAndEndAfterTheirLength)
{
    platform::TestDouble quiet;
    Scene scene;
    scene.add(300, "CAMR", cameraAt(5));
    scene.add(160, "QUAD", quadPayload(square(0.5f, 0, 1, 0)));
    Place p;
    p.resourceTag = "QUAD";
    p.instanceTag = "QD_1";
    p.parentTag = "CAM1";
    p.start = 3;  // on the camera's clock
    p.length = 4;
    scene.commands = {place("CAMR", "CAM1"), placeCommand(p)};
    std::vector<int> green;
    for (int frame = 1; frame <= 9; ++frame)
        green.push_back(pixel(scene.render(frame), kW / 2, kH / 2).g > 200);
    // The camera starts at frame 1 with its own frame counter at 0.
    EXPECT_EQ((std::vector<int>{0, 0, 0, 1, 1, 1, 1, 0, 0}), green);
}

TEST(SceneRender, CameraFadingInWithAResettingDynamic)
{
    platform::TestDouble quiet;
    Scene scene;
    scene.add(300, "CAMR", cameraAt(5));
    scene.add(160, "QUAD", quadPayload(square(3, 1, 1, 1)));  // fills the view
    DynamicFields fade;
    fade.parameter = "Fadding V";
    fade.reset = true;
    fade.initial = 1.0f;
    fade.perFrame = -0.02f;
    AttachDynamic dynamic;
    dynamic.dynamicTag = "FADE";
    dynamic.length = 50;
    dynamic.parentTag = "CAM1";
    dynamic.payload = scalarDynamicPayload(fade);
    scene.commands = {place("CAMR", "CAM1"), place("QUAD", "QD_1", "CAM1"), dynamicCommand(dynamic)};
    std::vector<int> green;
    for (int frame : {1, 12, 13, 25, 30})
        green.push_back(pixel(scene.render(frame), kW / 2, kH / 2).g);
    EXPECT_NEAR(255 * 0.04, green[0], 4);  // 0.98 after the first step: about 4 %
    EXPECT_NEAR(128, green[1], 12);          // about half in frames 12 and 13
    EXPECT_NEAR(128, green[2], 12);
    EXPECT_GT(green[3], 250);  // full from frame 25 on
    EXPECT_GT(green[4], 250);
}
