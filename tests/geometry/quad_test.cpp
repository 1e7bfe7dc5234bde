// Quad: corner records, nested transform, drawing with real GL, copies.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cstring>
#include <memory>

#include "geometry/quad.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/geometry_payloads.h"

using namespace tools::writer;

namespace {

// The window has no alpha channel: colours are compared as RGB.
using Rgb = std::array<int, 3>;

QuadCorner corner(float x, float y, float z, float u = 0, float v = 0, float r = 1, float g = 1,
                  float b = 1, float a = 1)
{
    return QuadCorner{x, y, z, u, v, r, g, b, a};
}

// A 2 x 2 square, counter-clockwise from the lower left, texture upright.
std::array<QuadCorner, 4> square(float r = 1, float g = 1, float b = 1)
{
    return {corner(-1, -1, 0, 0, 0, r, g, b), corner(1, -1, 0, 1, 0, r, g, b),
            corner(1, 1, 0, 1, 1, r, g, b), corner(-1, 1, 0, 0, 1, r, g, b)};
}

void expectCorner(const QuadCorner& c, const Quad& q, int i)
{
    SCOPED_TRACE(i);
    EXPECT_EQ((std::array<float, 3>{c.x, c.y, c.z}),
              (std::array<float, 3>{q.corners[i][0], q.corners[i][1], q.corners[i][2]}));
    EXPECT_EQ((std::array<float, 2>{c.u, c.v}),
              (std::array<float, 2>{q.cornerUV[i][0], q.cornerUV[i][1]}));
    EXPECT_EQ((std::array<float, 4>{c.r, c.g, c.b, c.a}),
              (std::array<float, 4>{q.cornerColors[i][0], q.cornerColors[i][1],
                                    q.cornerColors[i][2], q.cornerColors[i][3]}));
}

bool isInitialCorner(const Quad& q, int i)
{
    static const float zero[9] = {};
    return std::memcmp(q.corners[i], zero, 12) == 0 && std::memcmp(q.cornerUV[i], zero, 8) == 0 &&
           std::memcmp(q.cornerColors[i], zero, 16) == 0;
}

}  // namespace

TEST(QuadLoad, PayloadRoundTrip)
{
    QuadFields f;
    f.transform.position = {0, 1, -5};
    f.transform.angles = {0, 90, 0};
    f.corners = {corner(-1, 1, 0, 0, 0, 0.1f, 0.2f, 0.3f, 0.4f), corner(-1, 0.15f, 0, 1, 0),
                 corner(1, 0.15f, 0.5f, 1, 1, 0, 0, 0, 1), corner(1, 1, -0.5f, 0, 1, 1, 0, 1, 0)};
    const Bytes payload = quadPayload(f);
    ASSERT_EQ(247u, payload.size());
    // As the authoring tool writes it: the transform first, then the corners.
    EXPECT_EQ(chunk(275, transformPayload(f.transform, true)), Bytes(payload.begin(), payload.begin() + 96));
    EXPECT_EQ(161, payload[96] | payload[97] << 8);

    Quad q;
    loadExact(q, payload);
    for (int i = 0; i < 4; ++i)
        expectCorner(f.corners[i], q, i);
    EXPECT_EQ(f.transform.position, (Vec3{q.position[0], q.position[1], q.position[2]}));
    EXPECT_EQ(f.transform.angles, (Vec3{q.angles[0], q.angles[1], q.angles[2]}));
    EXPECT_TRUE(q.useColors);
    EXPECT_EQ(10, q.order);
    EXPECT_EQ(275, q.typeId());
}

TEST(QuadLoad, CornerRecordsAloneKeepTheTransform)
{
    // As a splitter does: a quad placed by hand, then given its corners.
    Quad q;
    q.position[1] = 4;
    q.angles[2] = 30;
    q.useColors = false;
    loadExact(q, quadCornersChunk(square(0.5f, 0.25f, 0)));
    EXPECT_EQ(4, q.position[1]);
    EXPECT_EQ(30, q.angles[2]);
    EXPECT_FALSE(q.useColors);
    for (int i = 0; i < 4; ++i)
        expectCorner(square(0.5f, 0.25f, 0)[i], q, i);
}

TEST(QuadLoad, CornerRecordsOfOddLength)
{
    platform::TestDouble platform;
    const Bytes written = quadCornersChunk(square());
    const Bytes records(written.begin() + 6, written.end());
    ASSERT_EQ(144u, records.size());
    {  // Two whole records and part of a third: only the whole ones.
        Quad q;
        loadExact(q, chunk(161, Bytes(records.begin(), records.begin() + 36 * 2 + 20)));
        expectCorner(square()[0], q, 0);
        expectCorner(square()[1], q, 1);
        EXPECT_TRUE(isInitialCorner(q, 2));
        EXPECT_TRUE(isInitialCorner(q, 3));
    }
    {  // Longer than four records: the rest is skipped and the next sub-chunk read.
        Quad q;
        Bytes longer = records;
        append(longer, f32(42));
        loadExact(q, StreamWriter()
                         .add(161, longer)
                         .add(nestedTransformChunk(TransformFields{{7, 8, 9}}))
                         .bytes());
        for (int i = 0; i < 4; ++i)
            expectCorner(square()[i], q, i);
        EXPECT_EQ(7, q.position[0]);
    }
    {  // Declared past the end of the payload: nothing of it is used.
        Quad q;
        loadExact(q, chunkWithLength(161, 145, records));
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(isInitialCorner(q, i));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(QuadLoad, UnknownSubChunkIsReportedOnceAndSkipped)
{
    platform::TestDouble platform;
    Quad q;
    loadExact(q, StreamWriter()
                     .add(162, Bytes(144, 0xff))
                     .add(quadCornersChunk(square(0, 1, 0)))
                     .bytes());
    ASSERT_EQ(1u, platform.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", platform.boxes[0].text);
    EXPECT_EQ("ERROR", platform.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, platform.boxes[0].type);
    expectCorner(square(0, 1, 0)[3], q, 3);
}

TEST(QuadLoad, CutShortPayloadKeepsOnlyWholeSubChunks)
{
    platform::TestDouble platform;
    QuadFields f;
    f.transform.position = {1, 2, 3};
    f.corners = square(0.5f, 0.5f, 1);
    const Bytes full = quadPayload(f);
    const size_t transformEnd = 6 + 90, cornersEnd = transformEnd + 6 + 144;
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        Quad q;
        loadExact(q, Bytes(full.begin(), full.begin() + long(cut)));
        EXPECT_EQ(cut >= transformEnd ? 3.0f : 0.0f, q.position[2]);
        for (int i = 0; i < 4; ++i) {
            if (cut >= cornersEnd)
                expectCorner(f.corners[i], q, i);
            else
                EXPECT_TRUE(isInitialCorner(q, i));
        }
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(QuadParameters, CornerNamesFollowTheTransformNames)
{
    Quad q;
    ASSERT_EQ(11 + 40, q.parameters->count());
    const char* corner1[] = {"Vertex 1",  "Vertex1 X", "Vertex1 Y", "Vertex1 Z", "Vertex1 U",
                             "Vertex1 V", "ColorV1 R", "ColorV1 G", "ColorV1 B", "ColorV1 A"};
    float* fields1[] = {&q.corners[0][0],      &q.corners[0][0],      &q.corners[0][1],
                        &q.corners[0][2],      &q.cornerUV[0][0],     &q.cornerUV[0][1],
                        &q.cornerColors[0][0], &q.cornerColors[0][1], &q.cornerColors[0][2],
                        &q.cornerColors[0][3]};
    void* item = q.parameters->first();
    for (int i = 0; i < 11; ++i)
        item = q.parameters->next();
    for (int i = 0; i < 10; ++i) {
        EXPECT_STREQ(corner1[i], q.parameters->currentTag());
        EXPECT_EQ(static_cast<void*>(fields1[i]), item) << corner1[i];
        item = q.parameters->next();
    }
    EXPECT_EQ(static_cast<void*>(&q.corners[2][0]), q.parameters->find("Vertex 3"));
    EXPECT_EQ(static_cast<void*>(&q.cornerUV[2][1]), q.parameters->find("Vertex3 V"));
    EXPECT_EQ(static_cast<void*>(&q.cornerColors[1][1]), q.parameters->find("ColorV2 G"));
    EXPECT_EQ(nullptr, q.parameters->find("Vertex1"));
    EXPECT_EQ(nullptr, q.parameters->find("Vertex 1 X"));
    // The last one entered.
    q.parameters->first();
    for (int i = 1; i < q.parameters->count(); ++i)
        q.parameters->next();
    EXPECT_STREQ("ColorV4 A", q.parameters->currentTag());
    EXPECT_EQ(static_cast<void*>(&q.cornerColors[3][3]), q.parameters->current());
}

TEST(QuadCopy, CloneCarriesCornersColourFlagTransformAndChildren)
{
    Quad source;
    QuadFields f;
    f.transform.position = {0, 0, -0.5f};
    f.corners = square(0, 0, 0);
    f.corners[2].u = 0.75f;
    loadExact(source, quadPayload(f));
    source.useColors = false;
    source.order = 11;
    source.start = 3;
    source.children->append("KID", new Counter);

    std::unique_ptr<SceneObject> copy(source.clone());
    auto* q = dynamic_cast<Quad*>(copy.get());
    ASSERT_NE(nullptr, q);
    for (int i = 0; i < 4; ++i)
        expectCorner(f.corners[i], *q, i);
    EXPECT_FALSE(q->useColors);
    EXPECT_EQ(-0.5f, q->position[2]);
    EXPECT_EQ(11, q->order);
    EXPECT_EQ(3, q->start);
    EXPECT_EQ(1, q->isCopy);
    EXPECT_EQ(1, q->children->count());
    EXPECT_EQ(static_cast<void*>(&q->cornerColors[2][3]), q->parameters->find("ColorV3 A"));

    // copyInto alone is the transform's: corners stay where they were.
    Quad target;
    source.copyInto(&target);
    EXPECT_EQ(-0.5f, target.position[2]);
    EXPECT_TRUE(target.useColors);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(isInitialCorner(target, i));
}

class QuadDraw : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    Rgb pixel(int x, int y)
    {
        uint8_t p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    int litPixels()
    {
        std::vector<uint8_t> p(kWidth * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        int lit = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            lit += (p[i] | p[i + 1] | p[i + 2]) != 0;
        return lit;
    }

    // Where a point under the current matrices lands in the window.
    std::array<double, 2> project(double x, double y, double z)
    {
        GLdouble mv[16], pr[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        GLdouble wx, wy, wz;
        gluProject(x, y, z, mv, pr, vp, &wx, &wy, &wz);
        return {wx, wy};
    }

    std::unique_ptr<Quad> loadedQuad(const std::array<QuadCorner, 4>& corners,
                                     const Vec3& position = {0, 0, -5})
    {
        QuadFields f;
        f.transform.position = position;
        f.corners = corners;
        auto q = std::make_unique<Quad>();
        loadExact(*q, quadPayload(f));
        return q;
    }
};

TEST_F(QuadDraw, DrawsItsFaceInsideItsTransform)
{
    auto q = loadedQuad(square(1, 0, 0));
    std::array<float, 16> before, after;
    glGetFloatv(GL_MODELVIEW_MATRIX, before.data());
    EXPECT_EQ(1, q->step(false));
    glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
    EXPECT_EQ(before, after);

    EXPECT_EQ((Rgb{255, 0, 0}), pixel(kWidth / 2, kHeight / 2));
    EXPECT_EQ((Rgb{0, 0, 0}), pixel(0, 0));
    EXPECT_EQ((Rgb{0, 0, 0}), pixel(kWidth - 1, kHeight - 1));

    // The face covers exactly the projection of its corners, 5 units away.
    glTranslatef(0, 0, -5);
    auto lowerLeft = project(-1, -1, 0), upperRight = project(1, 1, 0);
    glLoadIdentity();
    const double expected = (upperRight[0] - lowerLeft[0]) * (upperRight[1] - lowerLeft[1]);
    EXPECT_NEAR(expected, litPixels(), expected * 0.1);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(QuadDraw, CornerColoursAreSentAndTheLastStaysCurrent)
{
    auto corners = square(1, 1, 1);
    corners[3].r = 0.25f;
    corners[3].g = 0.5f;
    corners[3].b = 0.75f;
    corners[3].a = 1;
    auto q = loadedQuad(corners);
    glColor4f(0, 1, 0, 1);
    q->step(false);
    float current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_FLOAT_EQ(0.25f, current[0]);
    EXPECT_FLOAT_EQ(0.5f, current[1]);
    EXPECT_FLOAT_EQ(0.75f, current[2]);
}

TEST_F(QuadDraw, WithoutCornerColoursTheParentsColourShows)
{
    auto q = loadedQuad(square(1, 0, 0));
    q->useColors = false;
    glColor4f(0, 1, 0, 1);
    q->step(false);
    EXPECT_EQ((Rgb{0, 255, 0}), pixel(kWidth / 2, kHeight / 2));
    float current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(0, current[0]);
    EXPECT_EQ(1, current[1]);
}

TEST_F(QuadDraw, AnimatingOneCornersAlphaFadesOnlyThatCorner)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    auto q = loadedQuad(square(1, 1, 1));
    auto* alpha3 = static_cast<float*>(q->parameters->find("ColorV3 A"));
    ASSERT_NE(nullptr, alpha3);
    *alpha3 = 0;
    q->step(false);

    // Corner 1 is at the lower left, corner 3 at the upper right.
    glTranslatef(0, 0, -5);
    auto near1 = project(-0.8, -0.8, 0), near3 = project(0.8, 0.8, 0);
    auto near2 = project(0.8, -0.8, 0), near4 = project(-0.8, 0.8, 0);
    glLoadIdentity();
    const int at1 = pixel(int(near1[0]), int(near1[1]))[0];
    const int at2 = pixel(int(near2[0]), int(near2[1]))[0];
    const int at3 = pixel(int(near3[0]), int(near3[1]))[0];
    const int at4 = pixel(int(near4[0]), int(near4[1]))[0];
    EXPECT_LT(at3, 60);
    EXPECT_GT(at1, 200);
    EXPECT_GT(at2, 200);
    EXPECT_GT(at4, 200);
    // Half way across, half faded: the alpha is interpolated over the face.
    const int centre = pixel(kWidth / 2, kHeight / 2)[0];
    EXPECT_GT(centre, 90);
    EXPECT_LT(centre, 170);
    // Only the alpha was driven.
    EXPECT_EQ(1, q->cornerColors[2][0]);
    EXPECT_EQ(1, q->cornerColors[3][3]);
}

TEST_F(QuadDraw, TextureCoordinatesFollowTheirCorners)
{
    // Red (0,0), green (1,0), blue (0,1), white (1,1).
    GLuint name = bindCornerTexture();

    const int cx = kWidth / 2, cy = kHeight / 2, d = 6;
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255},
        white{255, 255, 255};
    {
        auto q = loadedQuad(square());
        q->step(false);
        EXPECT_EQ(red, pixel(cx - d, cy - d));
        EXPECT_EQ(green, pixel(cx + d, cy - d));
        EXPECT_EQ(white, pixel(cx + d, cy + d));
        EXPECT_EQ(blue, pixel(cx - d, cy + d));
    }
    {  // The coordinates move with a dynamic on "Vertex1 U" and "Vertex1 V".
        glClear(GL_COLOR_BUFFER_BIT);
        auto q = loadedQuad(square());
        *static_cast<float*>(q->parameters->find("Vertex1 U")) = 1;
        *static_cast<float*>(q->parameters->find("Vertex1 V")) = 1;
        q->step(false);
        EXPECT_EQ(white, pixel(cx - d - 4, cy - d - 4));
    }
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &name);
}

TEST_F(QuadDraw, CornerOrderIsKeptAsStored)
{
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    auto ccw = loadedQuad(square(1, 1, 1));
    ccw->step(false);
    EXPECT_GT(litPixels(), 300);

    // Clockwise on screen: no winding is corrected, so the face is culled.
    glClear(GL_COLOR_BUFFER_BIT);
    auto s = square(1, 1, 1);
    auto cw = loadedQuad({s[0], s[3], s[2], s[1]});
    cw->step(false);
    EXPECT_EQ(0, litPixels());
    glDisable(GL_CULL_FACE);
}

TEST_F(QuadDraw, EmptyPayloadDrawsNothingButStepsChildren)
{
    Quad q;
    loadExact(q, {});
    auto* child = new Counter;
    q.children->append("KID", child);
    EXPECT_EQ(1, q.step(false));
    EXPECT_EQ(1, child->steps);
    EXPECT_EQ(0, litPixels());
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(QuadDraw, StepOnlyDrawsNothingAndLeavesTheColour)
{
    auto q = loadedQuad(square(1, 0, 0));
    auto* child = new Counter;
    q->children->append("KID", child);
    glColor4f(0, 0, 1, 1);
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    EXPECT_EQ(1, q->step(true));
    EXPECT_EQ(1, child->steps);
    EXPECT_EQ(0, litPixels());
    float current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    EXPECT_EQ(0, current[0]);
    EXPECT_EQ(1, current[2]);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
}
