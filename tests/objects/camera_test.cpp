#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "objects/camera.h"
#include "platform/test_double.h"
#include "tests/objects/probe.h"
#include "tools/writer/object_payloads.h"

using namespace tools::writer;

namespace {

void setView(Camera& camera, float px, float py, float pz, float proximity = 1)
{
    camera.position[0] = px, camera.position[1] = py, camera.position[2] = pz;
    camera.centre[0] = camera.centre[1] = camera.centre[2] = 0;
    camera.up[0] = 0, camera.up[1] = 1, camera.up[2] = 0;
    camera.proximity = proximity;
}

void loadBytes(Camera& camera, const Bytes& bytes)
{
    // Exactly as many bytes as given, so that a read past them is a read
    // past the allocation.
    uint8_t* exact = new uint8_t[bytes.size() + 1];
    if (!bytes.empty())
        std::memcpy(exact, bytes.data(), bytes.size());
    camera.load(exact, int32_t(bytes.size()));
    delete[] exact;
}

void expectVec(std::vector<float> expected, const float* actual, const char* what)
{
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(expected[i], actual[i]) << what << "[" << i << "]";
}

void expectNear4(std::array<float, 4> actual, float x, float y, float z, float w, const char* what)
{
    EXPECT_NEAR(x, actual[0], 1e-4) << what;
    EXPECT_NEAR(y, actual[1], 1e-4) << what;
    EXPECT_NEAR(z, actual[2], 1e-4) << what;
    EXPECT_NEAR(w, actual[3], 1e-4) << what;
}

// Red pixels on the picture's middle row.
int redWidth(const Picture& p)
{
    int n = 0;
    for (int x = 0; x < p.width; ++x) {
        const uint8_t* c = p.at(x, p.height / 2);
        n += c[0] > 200 && c[1] < 50 && c[2] < 50;
    }
    return n;
}

using CameraView = GLTest;
using CameraFade = GLTest;

}  // namespace

TEST(CameraParameters, SeventeenNamesInOrderAddressingTheFields)
{
    Camera camera;
    const std::vector<std::pair<std::string, const float*>> expected = {
        {"Posici\xf3", &camera.position[0]},   {"Posici\xf3 X", &camera.position[0]},
        {"Posici\xf3 Y", &camera.position[1]}, {"Posici\xf3 Z", &camera.position[2]},
        {"Centre", &camera.centre[0]},         {"Centre X", &camera.centre[0]},
        {"Centre Y", &camera.centre[1]},       {"Centre Z", &camera.centre[2]},
        {"UP vector", &camera.up[0]},          {"UP vector X", &camera.up[0]},
        {"UP vector Y", &camera.up[1]},        {"UP vector Z", &camera.up[2]},
        {"Fadding R", &camera.fadeColor[0]},   {"Fadding G", &camera.fadeColor[1]},
        {"Fadding B", &camera.fadeColor[2]},   {"Fadding V", &camera.fadeValue},
        {"Proximitat", &camera.proximity},
    };
    ASSERT_EQ(int32_t(expected.size()), camera.parameters->count());
    size_t i = 0;
    for (void* item = camera.parameters->first(); item; item = camera.parameters->next(), ++i) {
        EXPECT_EQ(expected[i].first, camera.parameters->currentTag()) << i;
        EXPECT_EQ(expected[i].second, item) << expected[i].first;
    }
    // The vector names reach the three components as consecutive floats.
    float* p = static_cast<float*>(camera.parameters->find("Posici\xf3"));
    p[0] = 1, p[1] = 2, p[2] = 3;
    expectVec({1, 2, 3}, camera.position, "position");
    *static_cast<float*>(camera.parameters->find("Posici\xf3 Y")) = 7;
    expectVec({1, 7, 3}, camera.position, "position");
    EXPECT_EQ(300, camera.typeId());
}

TEST(CameraPayload, RoundTripsEveryGroup)
{
    platform::TestDouble double_;
    CameraPayload written;
    written.position[0] = 1.5f, written.position[1] = -2, written.position[2] = 3.25f;
    written.up[0] = 0.1f, written.up[1] = 0.9f, written.up[2] = -0.2f;
    written.centre[0] = -4, written.centre[1] = 5, written.centre[2] = 6.5f;
    written.fadeColor[0] = 0.25f, written.fadeColor[1] = 0.5f, written.fadeColor[2] = 0.75f;
    written.fadeValue = 0.6f;
    written.proximity = 1.75f;
    Camera camera;
    loadBytes(camera, cameraPayload(written));
    expectVec({1.5f, -2, 3.25f}, camera.position, "position");
    expectVec({0.1f, 0.9f, -0.2f}, camera.up, "up");
    expectVec({-4, 5, 6.5f}, camera.centre, "centre");
    expectVec({0.25f, 0.5f, 0.75f}, camera.fadeColor, "fade colour");
    EXPECT_FLOAT_EQ(0.6f, camera.fadeValue);
    EXPECT_FLOAT_EQ(1.75f, camera.proximity);
    EXPECT_TRUE(double_.boxes.empty());

    // The shipped camera: five chunks and the trailing byte.
    Bytes shipped = cameraPayload({});
    EXPECT_EQ(size_t(3 * 18 + 22 + 10 + 1), shipped.size());
    Camera second;
    loadBytes(second, shipped);
    expectVec({5, 5, 5}, second.position, "position");
    expectVec({0, 1, 0}, second.up, "up");
    expectVec({0, 0, 0}, second.centre, "centre");
    expectVec({0, 0, 0, 0}, second.fadeColor, "fade");
    EXPECT_FLOAT_EQ(1, second.proximity);
}

TEST(CameraPayload, WithoutFadeOrProximityTheCameraNeitherFadesNorZooms)
{
    CameraPayload written;
    written.withFade = false;
    written.withProximity = false;
    Camera camera;
    loadBytes(camera, cameraPayload(written));
    EXPECT_EQ(0, camera.fadeValue);
    EXPECT_EQ(1, camera.proximity);
    float eye[3];
    camera.eye(eye);
    expectVec({5, 5, 5}, eye, "eye");
}

TEST(CameraPayload, UnknownIdsAreReportedSkippedAndReadingGoesOn)
{
    platform::TestDouble double_;
    Camera camera;
    loadBytes(camera, StreamWriter()
                          .add(301, cat({f32(1), f32(2), f32(3)}))
                          .add(300, cat({f32(9), f32(9), f32(9)}))
                          .add(-7)
                          .add(305, f32(3))
                          .bytes());
    ASSERT_EQ(2u, double_.boxes.size());
    for (const auto& box : double_.boxes) {
        EXPECT_EQ("ID DESCONEGUDA", box.text);
        EXPECT_EQ("ERROR", box.caption);
        EXPECT_EQ(platform::MB_OK, box.type);
    }
    expectVec({1, 2, 3}, camera.position, "position");
    expectVec({0, 0, 0}, camera.centre, "centre");
    EXPECT_FLOAT_EQ(3, camera.proximity);
}

TEST(CameraPayload, ChunkLengthsBoundWhatIsCopied)
{
    platform::TestDouble double_;
    Camera camera;
    // Shorter than the group: only the bytes present; longer: the group only,
    // the rest skipped without reaching the next group's fields.
    loadBytes(camera, StreamWriter()
                          .add(301, f32(4))
                          .add(304, cat({f32(0.5f), f32(0.25f)}))
                          .add(302, cat({f32(1), f32(2), f32(3), f32(77), f32(88)}))
                          .add(305, cat({f32(2), f32(99)}))
                          .add(303, cat({f32(-1), f32(-2), f32(-3)}))
                          .bytes());
    EXPECT_TRUE(double_.boxes.empty());
    expectVec({4, 0, 0}, camera.position, "position");
    expectVec({0.5f, 0.25f, 0}, camera.fadeColor, "fade colour");
    EXPECT_EQ(0, camera.fadeValue);
    expectVec({1, 2, 3}, camera.up, "up");
    expectVec({-1, -2, -3}, camera.centre, "centre");
    EXPECT_FLOAT_EQ(2, camera.proximity);

    // A chunk whose stated length runs past the payload carries nothing.
    Camera cut;
    loadBytes(cut, cat({StreamWriter().add(303, cat({f32(7), f32(7), f32(7)})).bytes(false),
                        chunkWithLength(301, 12, cat({f32(1), f32(2)}))}));
    expectVec({7, 7, 7}, cut.centre, "centre");
    expectVec({0, 0, 0}, cut.position, "position");

    Camera huge;
    loadBytes(huge, chunkWithLength(304, 0xFFFFFFF0u, cat({f32(1), f32(1), f32(1), f32(1)})));
    expectVec({0, 0, 0, 0}, huge.fadeColor, "fade");
    EXPECT_TRUE(double_.boxes.empty());
}

TEST(CameraPayload, CutShortPayloadsFillOnlyTheWholeChunksBeforeTheCut)
{
    platform::TestDouble double_;
    CameraPayload written;
    written.position[0] = 11, written.up[0] = 12, written.centre[0] = 13;
    written.fadeColor[0] = 14, written.proximity = 15;
    Bytes whole = cameraPayload(written);
    // Chunk ends: 301, 302, 303 (6 + 12 each), 304 (6 + 16), 305 (6 + 4).
    const size_t ends[] = {18, 36, 54, 76, 86};
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        // The bytes past the cut are still the real payload: any read past
        // the stated size would show up as a filled group.
        Camera camera;
        camera.load(whole.data(), int32_t(cut));
        EXPECT_EQ(cut >= ends[0] ? 11 : 0, camera.position[0]) << cut;
        EXPECT_EQ(cut >= ends[1] ? 12 : 0, camera.up[0]) << cut;
        EXPECT_EQ(cut >= ends[2] ? 13 : 0, camera.centre[0]) << cut;
        EXPECT_EQ(cut >= ends[3] ? 14 : 0, camera.fadeColor[0]) << cut;
        EXPECT_EQ(cut >= ends[4] ? 15 : 1, camera.proximity) << cut;
        loadBytes(camera, Bytes(whole.begin(), whole.begin() + long(cut)));
    }
    EXPECT_TRUE(double_.boxes.empty());
    Camera empty;
    empty.load(nullptr, 0);
    empty.load(nullptr, 50);
    EXPECT_EQ(1, empty.proximity);
}

TEST(CameraPayload, EyeLiesOnTheLineFromTheCentreThroughThePosition)
{
    Camera camera;
    setView(camera, 5, 5, 5);
    float eye[3];
    for (auto [proximity, expected] : {std::pair<float, float>{1, 5}, {2, 10}, {0.5f, 2.5f}, {0, 0}}) {
        camera.proximity = proximity;
        camera.eye(eye);
        expectVec({expected, expected, expected}, eye, "eye");
    }
    camera.centre[0] = 1, camera.centre[1] = 2, camera.centre[2] = 3;
    camera.proximity = 3;
    camera.eye(eye);
    expectVec({13, 11, 9}, eye, "eye");
}

TEST_F(CameraView, ShowsTheOriginAtThePictureCentre)
{
    Camera camera;
    setView(camera, 0, 0, 5);
    auto* square = new Probe(0.5f);
    square->setPaint(1, 0, 0);
    camera.children->append("SQUR", square);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    EXPECT_EQ(1, camera.step(false));
    ASSERT_EQ(1, square->steps);

    // The eye maps to the view origin, the centre straight ahead at distance 5.
    expectNear4(transformed(square->matrix, 0, 0, 5), 0, 0, 0, 1, "eye");
    expectNear4(transformed(square->matrix, 0, 0, 0), 0, 0, -5, 1, "centre");
    EXPECT_EQ(2, square->stackDepth);

    Picture p = Picture::read(kWidth, kHeight);
    const int cx = kWidth / 2, cy = kHeight / 2;
    // Half-size 0.5 at distance 5 spans about 5.8 pixels either side.
    for (auto [dx, dy] : {std::pair<int, int>{0, 0}, {-4, -4}, {3, 3}, {-4, 3}, {3, -4}}) {
        const uint8_t* c = p.at(cx + dx, cy + dy);
        EXPECT_TRUE(c[0] > 200 && c[1] == 0 && c[2] == 0) << dx << "," << dy;
    }
    for (auto [dx, dy] : {std::pair<int, int>{-9, 0}, {8, 0}, {0, -9}, {0, 8}, {-30, -22}}) {
        const uint8_t* c = p.at(cx + dx, cy + dy);
        EXPECT_TRUE(c[0] == 0 && c[1] == 0 && c[2] == 0) << dx << "," << dy;
    }
}

TEST_F(CameraView, TheShippedCameraLooksFromFiveFiveFiveAndProximityScalesTheDistance)
{
    for (auto [proximity, eye] : {std::pair<float, float>{1, 5}, {2, 10}, {0.5f, 2.5f}}) {
        Camera camera;
        setView(camera, 5, 5, 5, proximity);
        auto* probe = new Probe(0);
        camera.children->append("PROB", probe);
        glLoadIdentity();
        camera.step(false);
        const float distance = eye * std::sqrt(3.0f);
        expectNear4(transformed(probe->matrix, eye, eye, eye), 0, 0, 0, 1, "eye");
        expectNear4(transformed(probe->matrix, 0, 0, 0), 0, 0, -distance, 1, "centre");
        // World up stays in the view's vertical plane, pointing up.
        auto up = transformed(probe->matrix, 0, 1, 0, 0);
        EXPECT_NEAR(0, up[0], 1e-5);
        EXPECT_GT(up[1], 0);
    }
}

TEST_F(CameraView, ProximityTwoHalvesTheSquareOnScreen)
{
    int widths[2];
    for (int i = 0; i < 2; ++i) {
        Camera camera;
        setView(camera, 0, 0, 5, i == 0 ? 1.0f : 2.0f);
        auto* square = new Probe(1);
        square->setPaint(1, 0, 0);
        camera.children->append("SQUR", square);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        camera.step(false);
        widths[i] = redWidth(Picture::read(kWidth, kHeight));
    }
    EXPECT_GT(widths[0], 16);
    EXPECT_NEAR(widths[0] / 2.0, widths[1], 1.0);
}

TEST_F(CameraView, ModelviewAfterTheStepIsWhatItWasBefore)
{
    for (float fade : {0.0f, 0.75f, -0.1f}) {
        for (bool stepOnly : {false, true}) {
            Camera camera;
            setView(camera, 1, 2, 6, 1.5f);
            camera.fadeValue = fade;
            camera.children->append("PROB", new Probe(0.3f));
            glLoadIdentity();
            glTranslatef(0.5f, -1, -2);
            glRotatef(30, 0, 1, 0);
            auto before = modelview();
            GLint depth = modelviewDepth();
            camera.step(stepOnly);
            EXPECT_EQ(before, modelview()) << fade << " " << stepOnly;
            EXPECT_EQ(depth, modelviewDepth()) << fade << " " << stepOnly;
            EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        }
    }
}

TEST_F(CameraView, StepOnlyAdvancesCountersWithoutTouchingGL)
{
    Camera camera;
    setView(camera, 0, 0, 5);
    camera.fadeValue = 0.75f;
    camera.fadeColor[0] = 1;
    camera.length = 2;
    camera.frame = 1;
    auto* probe = new Probe(0.5f);
    probe->setPaint(0, 1, 0);
    camera.children->append("PROB", probe);

    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Picture before = Picture::read(kWidth, kHeight);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glEnable(GL_TEXTURE_2D);

    EXPECT_EQ(1, camera.step(true));
    EXPECT_EQ(1, probe->steps);
    EXPECT_TRUE(probe->lastStepOnly);
    // No view was pushed for the child.
    EXPECT_EQ(1, probe->stackDepth);
    EXPECT_EQ(modelview(), (std::array<float, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(GL_ZERO, src);
    EXPECT_EQ(GL_ONE_MINUS_SRC_COLOR, dst);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    float color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    expectVec({0.1f, 0.2f, 0.3f, 0.4f}, color, "colour");
    EXPECT_TRUE(before == Picture::read(kWidth, kHeight));
    EXPECT_EQ(0, camera.step(true));
    EXPECT_EQ(0, camera.frame);
}

TEST_F(CameraFade, BlendStateAndAlphaFollowTheFadeValue)
{
    struct Case {
        float value;
        GLint src, dst;
        float alpha;
    };
    const Case cases[] = {
        {0.25f, GL_SRC_ALPHA, GL_ONE, 0.5f}, {0.5f, GL_ONE, GL_SRC_ALPHA, 1},
        {0.75f, GL_ONE, GL_SRC_ALPHA, 0.5f}, {1, GL_ONE, GL_SRC_ALPHA, 0},
        {-0.25f, GL_SRC_ALPHA, GL_ONE, -0.5f}, {0.001f, GL_SRC_ALPHA, GL_ONE, 0.002f},
    };
    for (const Case& c : cases) {
        Camera camera;
        setView(camera, 0, 0, 5);
        camera.fadeColor[0] = 0.3f, camera.fadeColor[1] = 0.6f, camera.fadeColor[2] = 0.9f;
        camera.fadeValue = c.value;
        glBlendFunc(GL_ZERO, GL_ZERO);
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glLoadIdentity();
        camera.step(false);
        GLint src = 0, dst = 0;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        EXPECT_EQ(c.src, src) << c.value;
        EXPECT_EQ(c.dst, dst) << c.value;
        float color[4];
        glGetFloatv(GL_CURRENT_COLOR, color);
        expectVec({0.3f, 0.6f, 0.9f, c.alpha}, color, "fade colour");
        // The pass ends with blending off, depth test on and texturing off.
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << c.value;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << c.value;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << c.value;
    }

    // Fade value 0: no pass at all.
    Camera camera;
    setView(camera, 0, 0, 5);
    glBlendFunc(GL_ZERO, GL_ZERO);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    camera.step(false);
    GLint src = -1;
    glGetIntegerv(GL_BLEND_SRC, &src);
    EXPECT_EQ(GL_ZERO, src);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    float color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    expectVec({0.1f, 0.2f, 0.3f, 0.4f}, color, "colour");
}

TEST_F(CameraFade, SphereCoversThePictureAndBlendsItWithTheFadeColour)
{
    // Picture: a uniform colour; every pixel must come out the same.
    const int picture[3] = {200, 120, 40};
    struct Case {
        float value;
        float fade;  // grey level of the fade colour
        int expected[3];
    };
    const Case cases[] = {
        // Black: the first half changes nothing, the second scales the picture down.
        {0.25f, 0, {200, 120, 40}},
        {0.5f, 0, {200, 120, 40}},
        {0.75f, 0, {100, 60, 20}},
        {1, 0, {0, 0, 0}},
        // Grey 0.2 (51): added with weight 2V up to 0.5, then at full weight
        // over a picture scaled by 1 - 2(V - 0.5).
        {0.25f, 0.2f, {226, 146, 66}},
        {0.5f, 0.2f, {251, 171, 91}},
        {0.75f, 0.2f, {151, 111, 71}},
        {1, 0.2f, {51, 51, 51}},
    };
    const int tolerance = 2 * channelStep() + 1;
    for (const Case& c : cases) {
        Camera camera;
        setView(camera, 0, 0, 5);
        camera.fadeColor[0] = camera.fadeColor[1] = camera.fadeColor[2] = c.fade;
        camera.fadeValue = c.value;
        glClearColor(picture[0] / 255.0f, picture[1] / 255.0f, picture[2] / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        camera.step(false);
        Picture p = Picture::read(kWidth, kHeight);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int k = 0; k < 3; ++k)
                    wrong += std::abs(int(p.at(x, y)[k]) - c.expected[k]) > tolerance;
        EXPECT_EQ(0, wrong) << "fade " << c.value << " grey " << c.fade << ": centre "
                            << int(p.at(32, 24)[0]) << "," << int(p.at(32, 24)[1]) << ","
                            << int(p.at(32, 24)[2]);
    }
}

TEST_F(CameraFade, FadeIsDrawnOverTheChildrenAroundTheZoomedEye)
{
    // A red square under a half faded-out black sphere, with the eye moved
    // away by the proximity: the sphere still surrounds the eye.
    Camera camera;
    setView(camera, 0, 0, 5, 2);
    camera.fadeValue = 0.75f;
    auto* square = new Probe(0.5f);
    square->setPaint(1, 0, 0);
    camera.children->append("SQUR", square);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    camera.step(false);
    Picture p = Picture::read(kWidth, kHeight);
    const int tolerance = 2 * channelStep() + 1;
    EXPECT_NEAR(128, p.at(32, 24)[0], tolerance);
    EXPECT_EQ(0, p.at(32, 24)[2]);
    EXPECT_NEAR(128, p.at(1, 1)[2], tolerance);
    EXPECT_NEAR(128, p.at(kWidth - 2, kHeight - 2)[2], tolerance);
}

TEST_F(CameraView, CloneKeepsViewAndFadeButNotChildrenOrCounters)
{
    auto* camera = new Camera;
    setView(*camera, 0, 0, 5, 1.25f);
    camera->up[0] = 0.5f;
    camera->centre[2] = -1;
    camera->fadeColor[0] = 1, camera->fadeColor[1] = 1, camera->fadeColor[2] = 1;
    camera->fadeValue = 1;
    camera->transformApplied = 1;
    camera->stepCount = 4, camera->start = 2, camera->length = 9, camera->frame = 3;
    std::strcpy(camera->path, "scenes/cam.bin");
    std::strcpy(camera->dataPath, "scenes/cam.dat");
    camera->children->append("ONE", new Probe);
    camera->children->append("TWO", new Probe);

    auto* copy = dynamic_cast<Camera*>(camera->clone());
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(1, copy->isCopy);
    EXPECT_STREQ("scenes/cam.bin", copy->path);
    EXPECT_STREQ("scenes/cam.dat", copy->dataPath);
    expectVec({0, 0, 5}, copy->position, "position");
    expectVec({0.5f, 1, 0}, copy->up, "up");
    expectVec({0, 0, -1}, copy->centre, "centre");
    expectVec({1, 1, 1}, copy->fadeColor, "fade colour");
    EXPECT_EQ(1, copy->fadeValue);
    EXPECT_EQ(1.25f, copy->proximity);
    EXPECT_EQ(1, copy->transformApplied);
    EXPECT_EQ(0, copy->stepCount);
    EXPECT_EQ(0, copy->start);
    EXPECT_EQ(0, copy->length);
    EXPECT_EQ(0, copy->frame);
    EXPECT_EQ(0, copy->children->count());
    // Its own parameter list, on its own fields.
    EXPECT_EQ(&copy->proximity, copy->parameters->find("Proximitat"));
    EXPECT_EQ(&copy->position[1], copy->parameters->find("Posici\xf3 Y"));

    // Its own quadric: it still draws the fade once the source is gone.
    delete camera;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    copy->step(false);
    Picture p = Picture::read(kWidth, kHeight);
    EXPECT_EQ(255, p.at(32, 24)[0]);
    EXPECT_EQ(255, p.at(0, 0)[1]);
    delete copy;
}
