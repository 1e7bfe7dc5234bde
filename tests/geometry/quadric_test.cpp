// Quadric shapes and polygon mode (with the blend payloads, all crafted
// short): payloads, GLU drawing in pixels, clones with their own handle.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/polygon_mode.h"
#include "geometry/quadric.h"
#include "objects/blend_mode.h"
#include "platform/test_double.h"
#include "tests/objects/probe.h"
#include "tests/support/scene_loading.h"
#include "tests/support/scene_rendering.h"
#include "tools/writer/blend_payloads.h"
#include "tools/writer/quadric_payloads.h"

using namespace tools::writer;
using namespace tools::render;

namespace {

using QuadricDraw = GLTest;
constexpr int kCx = RenderedScene::kW / 2, kCy = RenderedScene::kH / 2;

QuadFields whiteSquare(float x, float half)
{
    QuadFields q;
    q.transform.position = {x, 0, 0};
    const float xy[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    for (size_t i = 0; i < 4; ++i)
        q.corners[i] = {xy[i][0], xy[i][1], 0};
    return q;
}

int litInRow(const RenderedFrame& f, int y, int from, int to)
{
    int n = 0;
    for (int x = from; x < to; ++x)
        n += brightness(f, x, y) > 100;
    return n;
}

}  // namespace

// Each payload cut at every length, loaded from an exact-size copy: a field
// is set only when its bytes are all there, and under the sanitizers a read
// past the cut is reported.
TEST(CraftedPayloads, CutsKeepTheFieldsTheyDoNotHoldWhole)
{
    platform::TestDouble quiet;
    QuadricFields f;
    f.kind = 405;
    f.radius1 = 5, f.radius2 = 6, f.height = 7, f.startAngle = 8, f.sweepAngle = 9, f.slices = 40000, f.stacks = 11;
    f.drawStyle = GLU_LINE, f.normals = GLU_SMOOTH, f.orientation = GLU_INSIDE, f.textured = true;
    const Bytes trail = motionTrailPayload({{GL_SRC_ALPHA, -2}, 7}), mode = polygonModePayload({GL_BACK, GL_POINT});
    const Bytes record = StreamWriter().add(quadricSizesChunk(f)).add(quadricStyleChunk(f)).add(405).bytes(false);
    for (long cut = 0; cut <= long(record.size()); ++cut) {
        MotionTrail t;
        BlendMode b;
        PolygonMode p;
        loadExact(t, Bytes(trail.begin(), trail.begin() + std::min<long>(cut, 7)));
        loadExact(b, Bytes(trail.begin(), trail.begin() + std::min<long>(cut, 7)));
        loadExact(p, Bytes(mode.begin(), mode.begin() + std::min<long>(cut, 5)));
        EXPECT_EQ((std::vector<int32_t>{cut >= 2 ? GL_SRC_ALPHA : 0, cut >= 4 ? -2 : 0, cut >= 6 ? 7 : 0}),
                  (std::vector<int32_t>{t.sourceFactor, t.destinationFactor, t.trailLength}));
        EXPECT_EQ(cut >= 4 ? -2 : 0, b.destinationFactor);
        EXPECT_EQ((std::vector<int32_t>{cut >= 2 ? GL_BACK : 0, cut >= 4 ? GL_POINT : 0}),
                  (std::vector<int32_t>{p.face, p.mode}));
        // The records' lengths say 24 and 14; a cut one holds what is there.
        Quadric q;
        loadExact(q, Bytes(record.begin(), record.begin() + cut));
        const long sizes = cut - 6, style = cut - 36;
        EXPECT_EQ((std::vector<float>{sizes >= 4 ? 5.0f : 0, sizes >= 8 ? 6.0f : 0, sizes >= 20 ? 9.0f : 0}),
                  (std::vector<float>{q.radius1, q.radius2, q.sweepAngle}));
        EXPECT_EQ((std::vector<int32_t>{sizes >= 22 ? 40000 : 0, sizes >= 24 ? 11 : 0, style >= 4 ? GLU_LINE : GLU_FILL,
                                        style >= 12 ? GLU_INSIDE : GLU_OUTSIDE, style >= 14 ? 1 : 0,
                                        cut >= 56 ? 405 : 0}),
                  (std::vector<int32_t>{q.slices, q.stacks, q.drawStyle, q.orientation, q.textured, q.kind}))
            << cut;
    }
    EXPECT_TRUE(quiet.boxes.empty());
    // Kind chunks are bare headers: the next id follows directly. A record
    // shorter than its fields fills those it holds and nothing after it. An
    // unknown id is reported and skipped.
    Quadric q;
    loadExact(q, StreamWriter().add(402).add(15, Bytes(4, 0)).add(9, Bytes(3, 1)).add(404).bytes());
    EXPECT_EQ((std::vector<int32_t>{404, 0, GLU_NONE}), (std::vector<int32_t>{q.kind, q.drawStyle, q.normals}));
    // Only the low byte of the texture flag counts: 0x0100 is false.
    Bytes style(14, 0);
    style[13] = 1;
    Quadric high;
    high.textured = 1;
    loadExact(high, StreamWriter().add(15, style).bytes());
    EXPECT_EQ(0, high.textured);
    ASSERT_EQ(1u, quiet.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", quiet.boxes[0].text);
    EXPECT_EQ("ERROR", quiet.boxes[0].caption);
}

TEST(QuadricRender, SphereDiskWithHoleQuarterPartialDiskNoKindAndWireframe)
{
    platform::TestDouble quiet;
    // Seen from z = 5: a unit is 11.6 pixels.
    auto render = [](int16_t kind, float inner, float outer, bool withChild = false, float from = 0, float sweep = 90) {
        QuadricFields q;
        q.kind = kind;
        q.radius1 = inner, q.radius2 = outer, q.slices = 32, q.startAngle = from, q.sweepAngle = sweep;
        q.transform.position = {withChild ? 1.0f : 0.0f, 0, 0};
        RenderedScene scene;
        scene.add(300, "CAMR", cameraOnZ(5));
        scene.add(400, "SHAP", quadricPayload(q));
        scene.add(160, "CHLD", quadPayload(whiteSquare(0, 0.2f)));
        scene.place("CAMR", "CAM1");
        scene.place("SHAP", "SHP1", "CAM1");
        if (withChild)
            scene.place("CHLD", "CHD1", "SHP1");
        return scene.render().back();
    };
    RenderedFrame sphere = render(403, 1, 0);
    EXPECT_NEAR(24, litInRow(sphere, kCy, 0, RenderedScene::kW), 2);
    RenderedFrame disk = render(404, 0.5f, 1.5f);  // dark in the hole and beyond the ring
    EXPECT_EQ((std::vector<bool>{false, false, true, true, true, false}),
              (std::vector<bool>{brightness(disk, kCx, kCy) > 100, brightness(disk, kCx + 4, kCy) > 100,
                                 brightness(disk, kCx + 12, kCy) > 100, brightness(disk, kCx - 13, kCy) > 100,
                                 brightness(disk, kCx, kCy - 12) > 100, brightness(disk, kCx + 20, kCy) > 100}));
    RenderedFrame quarter = render(405, 0, 1.5f);  // from +Y towards +X: upper right only
    EXPECT_EQ((std::vector<bool>{true, false, false, false}),
              (std::vector<bool>{brightness(quarter, kCx + 6, kCy - 6) > 100, brightness(quarter, kCx - 6, kCy - 6) > 100,
                                 brightness(quarter, kCx + 6, kCy + 6) > 100, brightness(quarter, kCx - 6, kCy + 6) > 100}));
    // From +X a sweep of 180 degrees: the lower half (no end angle of 180).
    RenderedFrame half = render(405, 0, 1.5f, false, 90, 180);
    EXPECT_EQ((std::vector<bool>{false, false, true, true}),
              (std::vector<bool>{brightness(half, kCx + 6, kCy - 6) > 100, brightness(half, kCx - 6, kCy - 6) > 100,
                                 brightness(half, kCx + 6, kCy + 6) > 100, brightness(half, kCx - 6, kCy + 6) > 100}));
    // Down the axis: kind 401 is a tube of radius 1 whatever radius 2 says,
    // kind 402 closes to its apex.
    RenderedFrame tube = render(401, 1, 0), cone = render(402, 1, 0);
    EXPECT_EQ((std::vector<bool>{false, true, true}),
              (std::vector<bool>{brightness(tube, kCx, kCy) > 100, brightness(tube, kCx + 13, kCy) > 100,
                                 brightness(cone, kCx, kCy) > 100}));
    RenderedFrame none = render(0, 1, 1, true);  // only the child, inside the transform
    EXPECT_EQ(0, brightness(none, kCx, kCy));
    EXPECT_GT(brightness(none, kCx + 12, kCy), 700);
    EXPECT_NEAR(5, litInRow(none, kCy, 0, RenderedScene::kW), 1);

    RenderedScene scene;
    scene.add(300, "CAMR", cameraOnZ(5));
    scene.add(345, "WIRE", polygonModePayload({GL_FRONT_AND_BACK, GL_LINE}));
    scene.add(160, "LEFT", quadPayload(whiteSquare(-1.2f, 0.8f)));
    scene.add(160, "RGHT", quadPayload(whiteSquare(1.4f, 0.5f)));
    scene.place("CAMR", "CAM1");
    scene.place("WIRE", "WIR1", "CAM1");
    scene.place("LEFT", "LFT1", "WIR1");
    scene.place("RGHT", "RGT1", "CAM1", "WIR1");
    RenderedFrame wire = scene.render().back();
    // The left square, 19 pixels wide, shows its two sides in the middle
    // row; the one after the polygon mode is filled.
    int left = litInRow(wire, kCy, 0, kCx);
    EXPECT_TRUE(left >= 2 && left <= 4) << left;
    EXPECT_GE(litInRow(wire, kCy - 9, 0, kCx) + litInRow(wire, kCy - 10, 0, kCx), 15);  // its top edge
    EXPECT_NEAR(12, litInRow(wire, kCy, kCx, RenderedScene::kW), 1);
}

TEST_F(QuadricDraw, ClonesHaveTheirOwnHandleAndAMissingHandleDrawsOnlyTheChildren)
{
    auto* source = new Quadric;
    source->kind = Quadric::kSphere;
    source->radius1 = 1, source->slices = 16, source->stacks = 8, source->position[2] = -5;
    source->children->append("PRB", new Probe(0));
    auto centreAfterStep = [&](SceneObject& o) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        o.step(false);
        return int(Picture::read(kWidth, kHeight).at(kWidth / 2, kHeight / 2)[0]);
    };
    std::unique_ptr<SceneObject> copy(source->clone());
    auto* clone = dynamic_cast<Quadric*>(copy.get());
    ASSERT_TRUE(clone && clone->quadric);
    EXPECT_NE(source->quadric, clone->quadric);
    delete source;
    EXPECT_EQ(255, centreAfterStep(*clone));
    // As when gluNewQuadric fails: the children still step, nothing is
    // drawn, and a clone made from it gets a handle and draws.
    gluDeleteQuadric(clone->quadric);
    clone->quadric = nullptr;
    EXPECT_EQ(0, centreAfterStep(*clone));
    EXPECT_EQ(2, static_cast<Probe*>(clone->children->first())->steps);
    std::unique_ptr<SceneObject> again(clone->clone());
    EXPECT_EQ(255, centreAfterStep(*again));
}

TEST(QuadricFields, ParametersFollowTheTransformsAndAClonesCarriesEveryField)
{
    Quadric q;
    ASSERT_EQ(11 + 5, q.parameters->count());
    q.parameters->first();
    for (int i = 0; i < 11; ++i)
        q.parameters->next();
    const std::pair<const char*, float*> expected[] = {{"Radi 1", &q.radius1},      {"Radi 2", &q.radius2},
                                                       {"Altura", &q.height},       {"Angle Inicial", &q.startAngle},
                                                       {"Angle Final", &q.sweepAngle}};
    float value = 1;
    for (const auto& [name, field] : expected) {
        EXPECT_STREQ(name, q.parameters->currentTag());
        EXPECT_EQ(static_cast<void*>(field), q.parameters->current());
        *field = value++;
        q.parameters->next();
    }
    q.position[1] = 6, q.slices = 7, q.stacks = 8, q.kind = Quadric::kCone;
    q.drawStyle = GLU_LINE, q.normals = GLU_SMOOTH, q.orientation = GLU_INSIDE, q.textured = 1;
    std::unique_ptr<SceneObject> made(q.clone());
    auto* c = dynamic_cast<Quadric*>(made.get());
    ASSERT_NE(nullptr, c);
    EXPECT_EQ((std::vector<float>{1, 2, 3, 4, 5, 6}),
              (std::vector<float>{c->radius1, c->radius2, c->height, c->startAngle, c->sweepAngle, c->position[1]}));
    EXPECT_EQ((std::vector<int32_t>{7, 8, 402, GLU_LINE, GLU_SMOOTH, GLU_INSIDE, 1}),
              (std::vector<int32_t>{c->slices, c->stacks, c->kind, c->drawStyle, c->normals, c->orientation,
                                    c->textured}));
}

// An inner polygon mode that changes only the back face still leaves both
// faces filled; step-only passes of the state objects touch no GL state.
TEST_F(QuadricDraw, PolygonModeRefillsBothFacesAndStepOnlyPassesLeaveTheState)
{
    PolygonMode points;
    points.face = GL_BACK, points.mode = GL_POINT;
    BlendMode blend;
    blend.sourceFactor = blend.destinationFactor = GL_ONE;
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);  // as an enclosing wire-frame
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    points.step(true);
    blend.step(true);
    auto state = [] {
        GLint v[5] = {};
        glGetIntegerv(GL_POLYGON_MODE, v);
        glGetIntegerv(GL_BLEND_SRC, &v[2]);
        glGetIntegerv(GL_BLEND_DST, &v[3]);
        v[4] = glIsEnabled(GL_BLEND);
        return std::vector<GLint>(v, v + 5);
    };
    EXPECT_EQ((std::vector<GLint>{GL_LINE, GL_LINE, GL_ZERO, GL_SRC_COLOR, 1}), state());
    points.step(false);
    EXPECT_EQ((std::vector<GLint>{GL_FILL, GL_FILL, GL_ZERO, GL_SRC_COLOR, 1}), state());
}

// What sub-chunk 15 and the sizes ask of GLU, seen in pixels and state: each
// row draws one quadric 5 units in front of the eye (11.6 pixels a unit).
TEST_F(QuadricDraw, SizesAndGluStateShowAsTheDataSays)
{
    const int cx = kWidth / 2, cy = kHeight / 2;
    auto lit = [](const Picture& p, int x, int y) { return p.at(x, y)[0] + p.at(x, y)[1] + p.at(x, y)[2] > 300; };
    auto litCount = [&](const Picture& p, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < kWidth; ++x)
                n += lit(p, x, y);
        return n;
    };
    auto rgb = [](const Picture& p, int x, int y) {
        return std::vector<int>{p.at(x, y)[0] > 127, p.at(x, y)[1] > 127, p.at(x, y)[2] > 127};
    };
    const GLfloat tilted[3] = {0.6f, 0, 0.8f};
    const struct Row {
        const char* what;
        int16_t kind;
        float radius1, radius2, height;
        int32_t slices, stacks, drawStyle, normals, orientation;
        uint8_t textured;
        void (*setUp)();
        std::function<void(const Picture&)> check;
    } rows[] = {
        // Four slices: seen down its axis a diamond, not a disk.
        {"coarse sphere", Quadric::kSphere, 1, 0, 0, 4, 32, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture& p) {
             EXPECT_EQ((std::vector<bool>{true, true, false, false}),
                       (std::vector<bool>{lit(p, cx + 9, cy), lit(p, cx, cy + 9), lit(p, cx + 7, cy + 7),
                                          lit(p, cx - 7, cy - 7)}));
         }},
        // The base (radius 1) lies away from the eye, the apex towards it.
        {"cone", Quadric::kCone, 1, 0, 2, 16, 1, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture& p) { EXPECT_NEAR(24, litCount(p, cy, cy + 1), 2); }},
        {"filled disk", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture& p) { EXPECT_GT(litCount(p, 0, kHeight), 800); }},
        // Only the loops and spokes, then only the 33 distinct vertices.
        {"wire disk", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_LINE, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture& p) {
             const int n = litCount(p, 0, kHeight);
             EXPECT_TRUE(n > 60 && n < 500) << n;
         }},
        {"point disk", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_POINT, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture& p) {
             const int n = litCount(p, 0, kHeight);
             EXPECT_TRUE(n > 10 && n <= 33) << n;
         }},
        // Turned inwards, the disk shows its back to the eye and is culled.
        {"inside, culled", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_FILL, GLU_NONE, GLU_INSIDE, 0,
         [] { glEnable(GL_CULL_FACE); }, [&](const Picture& p) { EXPECT_EQ(0, litCount(p, 0, kHeight)); }},
        {"outside, culled", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0,
         [] { glEnable(GL_CULL_FACE); }, [&](const Picture& p) { EXPECT_GT(litCount(p, 0, kHeight), 800); }},
        // Texture coordinates spread the corner texture over the disk;
        // without them the whole disk takes one texel.
        {"textured", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 1,
         [] { bindCornerTexture(); },
         [&](const Picture& p) {
             EXPECT_EQ((std::vector<std::vector<int>>{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}),
                       (std::vector<std::vector<int>>{rgb(p, cx - 8, cy - 8), rgb(p, cx + 8, cy - 8),
                                                      rgb(p, cx - 8, cy + 8), rgb(p, cx + 8, cy + 8)}));
         }},
        {"untextured under a texture", Quadric::kDisk, 0, 1.5f, 0, 16, 2, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0,
         [] { bindCornerTexture(); },
         [&](const Picture& p) {
             const std::vector<int> one = rgb(p, cx - 8, cy - 8);
             EXPECT_EQ((std::vector<std::vector<int>>{one, one, one}),
                       (std::vector<std::vector<int>>{rgb(p, cx + 8, cy - 8), rgb(p, cx - 8, cy + 8),
                                                      rgb(p, cx + 8, cy + 8)}));
         }},
        // Without normals of its own the quadric leaves the current normal.
        {"no normals", Quadric::kSphere, 1, 0, 0, 8, 8, GLU_FILL, GLU_NONE, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture&) {
             GLfloat n[4];
             glGetFloatv(GL_CURRENT_NORMAL, n);
             EXPECT_EQ((std::vector<float>{tilted[0], tilted[1], tilted[2]}), (std::vector<float>{n[0], n[1], n[2]}));
         }},
        {"smooth normals", Quadric::kSphere, 1, 0, 0, 8, 8, GLU_FILL, GLU_SMOOTH, GLU_OUTSIDE, 0, nullptr,
         [&](const Picture&) {
             GLfloat n[4];
             glGetFloatv(GL_CURRENT_NORMAL, n);
             EXPECT_NE((std::vector<float>{tilted[0], tilted[1], tilted[2]}), (std::vector<float>{n[0], n[1], n[2]}));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        glColor3f(1, 1, 1);
        glNormal3fv(tilted);
        GLuint texture = 0;
        if (row.setUp)
            row.setUp();
        glGetIntegerv(GL_TEXTURE_BINDING_2D, reinterpret_cast<GLint*>(&texture));
        Quadric q;
        q.kind = row.kind;
        q.radius1 = row.radius1, q.radius2 = row.radius2, q.height = row.height;
        q.slices = row.slices, q.stacks = row.stacks;
        q.drawStyle = row.drawStyle, q.normals = row.normals, q.orientation = row.orientation;
        q.textured = row.textured;
        q.position[2] = -5;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        q.step(false);
        row.check(Picture::read(kWidth, kHeight));
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        if (texture)
            glDeleteTextures(1, &texture);
    }
}
