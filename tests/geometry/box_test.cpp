// Box: dimensions payload, faces drawn with real GL, copies.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "geometry/box.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/geometry_payloads.h"

using namespace tools::writer;

namespace {

// The window has no alpha channel: colours are compared as RGB.
using Rgb = std::array<int, 3>;

Vec3 vec(const float* v)
{
    return {v[0], v[1], v[2]};
}

}  // namespace

TEST(BoxLoad, PayloadRoundTrip)
{
    BoxFields f;
    f.transform.position = {0, -1, -5};
    f.transform.angles = {15, 0, 0};
    f.dimensions = {3, 0.5f, 2};
    Box b;
    loadExact(b, boxPayload(f));
    EXPECT_EQ(f.dimensions, vec(b.dimensions));
    EXPECT_EQ(f.transform.position, vec(b.position));
    EXPECT_EQ(f.transform.angles, vec(b.angles));
    EXPECT_EQ(250, b.typeId());

    Box empty;
    loadExact(empty, {});
    EXPECT_EQ((Vec3{0, 0, 0}), vec(empty.dimensions));
    EXPECT_EQ((Vec3{0, 0, 0}), vec(empty.position));
}

TEST(BoxLoad, DimensionsOfOddLength)
{
    platform::TestDouble platform;
    {  // Shorter: the sizes it holds.
        Box b;
        loadExact(b, chunk(251, cat({f32(4), f32(5)})));
        EXPECT_EQ((Vec3{4, 5, 0}), vec(b.dimensions));
    }
    {  // Longer: 12 bytes, the rest skipped, the next sub-chunk read.
        Box b;
        loadExact(b, StreamWriter()
                         .add(251, cat({f32(1), f32(2), f32(3), f32(4)}))
                         .add(nestedTransformChunk(TransformFields{{0, 0, -9}}))
                         .bytes());
        EXPECT_EQ((Vec3{1, 2, 3}), vec(b.dimensions));
        EXPECT_EQ(-9, b.position[2]);
    }
    {  // Declared past the end: nothing of it is used.
        Box b;
        loadExact(b, chunkWithLength(251, 13, cat({f32(1), f32(2), f32(3)})));
        EXPECT_EQ((Vec3{0, 0, 0}), vec(b.dimensions));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BoxLoad, UnknownSubChunkIsReportedOnceAndSkipped)
{
    platform::TestDouble platform;
    Box b;
    loadExact(b, StreamWriter()
                     .add(161, Bytes(144, 0))
                     .add(251, cat({f32(1), f32(2), f32(3)}))
                     .bytes());
    ASSERT_EQ(1u, platform.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", platform.boxes[0].text);
    EXPECT_EQ("ERROR", platform.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, platform.boxes[0].type);
    EXPECT_EQ((Vec3{1, 2, 3}), vec(b.dimensions));
}

TEST(BoxLoad, CutShortPayloadKeepsOnlyWholeSubChunks)
{
    platform::TestDouble platform;
    BoxFields f;
    f.transform.position = {1, 2, 3};
    f.dimensions = {4, 5, 6};
    const Bytes full = boxPayload(f);
    const size_t transformEnd = 6 + 90, dimensionsEnd = transformEnd + 6 + 12;
    ASSERT_EQ(dimensionsEnd + 1, full.size());
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        Box b;
        loadExact(b, Bytes(full.begin(), full.begin() + long(cut)));
        EXPECT_EQ(cut >= transformEnd ? f.transform.position : Vec3(), vec(b.position));
        EXPECT_EQ(cut >= dimensionsEnd ? f.dimensions : Vec3(), vec(b.dimensions));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BoxParameters, DimensionNamesFollowTheTransformNames)
{
    Box b;
    ASSERT_EQ(11 + 4, b.parameters->count());
    b.parameters->first();
    for (int i = 0; i < 11; ++i)
        b.parameters->next();
    const std::pair<const char*, float*> expected[] = {
        {"Dimensio", &b.dimensions[0]},
        {"Dimensio X", &b.dimensions[0]},
        {"Dimensio Y", &b.dimensions[1]},
        {"Dimensio Z", &b.dimensions[2]},
    };
    for (const auto& [name, field] : expected) {
        EXPECT_STREQ(name, b.parameters->currentTag());
        EXPECT_EQ(static_cast<void*>(field), b.parameters->current());
        b.parameters->next();
    }
}

TEST(BoxCopy, CloneCarriesDimensionsTransformAndChildren)
{
    Box source;
    BoxFields f;
    f.transform.position = {1, 2, 3};
    f.dimensions = {2, 4, 8};
    loadExact(source, boxPayload(f));
    source.order = 11;
    source.length = 9;
    source.children->append("KID1", new Counter);
    source.children->append("KID2", new Counter);

    std::unique_ptr<SceneObject> copy(source.clone());
    auto* b = dynamic_cast<Box*>(copy.get());
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(f.dimensions, vec(b->dimensions));
    EXPECT_EQ(f.transform.position, vec(b->position));
    EXPECT_EQ(11, b->order);
    EXPECT_EQ(9, b->length);
    EXPECT_EQ(1, b->isCopy);
    EXPECT_EQ(2, b->children->count());
    EXPECT_EQ(static_cast<void*>(&b->dimensions[1]), b->parameters->find("Dimensio Y"));
}

TEST(BoxCopy, CopyIntoGivesOnlyTheDimensionsAndOnlyToABox)
{
    Box source;
    source.dimensions[0] = 3;
    source.position[0] = 7;
    source.children->append("KID", new Counter);

    Box box;
    source.copyInto(&box);
    EXPECT_EQ((Vec3{3, 0, 0}), vec(box.dimensions));
    EXPECT_EQ(0, box.position[0]);
    EXPECT_EQ(0, box.children->count());
    EXPECT_EQ(0, box.isCopy);

    // A plain transform has no dimensions to receive: it stays as it was.
    Transform plain;
    source.copyInto(&plain);
    EXPECT_EQ(0, plain.position[0]);
    EXPECT_EQ(0, plain.children->count());
    EXPECT_EQ((Vec3{1, 0, 0}), vec(plain.axis1));
    EXPECT_EQ(10, plain.order);
}

class BoxDraw : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        glClearColor(0, 0, 0, 0);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glColor4f(1, 1, 1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -5);
    }

    Rgb pixel(int x, int y)
    {
        uint8_t p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    float depth(int x, int y)
    {
        float d = -1;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
        return d;
    }

    // Window position of a point under the current matrices.
    std::array<double, 3> project(double x, double y, double z)
    {
        GLdouble mv[16], pr[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        GLdouble w[3];
        gluProject(x, y, z, mv, pr, vp, &w[0], &w[1], &w[2]);
        return {w[0], w[1], w[2]};
    }

    struct Bounds {
        int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1, count = 0;
    };
    Bounds litBounds()
    {
        std::vector<uint8_t> p(kWidth * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        Bounds b;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* q = &p[(y * kWidth + x) * 4];
                if (q[0] | q[1] | q[2]) {
                    b.minX = std::min(b.minX, x);
                    b.maxX = std::max(b.maxX, x);
                    b.minY = std::min(b.minY, y);
                    b.maxY = std::max(b.maxY, y);
                    ++b.count;
                }
            }
        return b;
    }

    std::unique_ptr<Box> box(const Vec3& dimensions)
    {
        auto b = std::make_unique<Box>();
        b->dimensions[0] = dimensions[0];
        b->dimensions[1] = dimensions[1];
        b->dimensions[2] = dimensions[2];
        return b;
    }
};

TEST_F(BoxDraw, CoversTheProjectionOfItsNearFace)
{
    for (const Vec3& d : {Vec3{2, 2, 2}, Vec3{3, 1, 2}, Vec3{1, 2.5f, 0.5f}}) {
        SCOPED_TRACE(testing::Message() << d[0] << " x " << d[1] << " x " << d[2]);
        glClear(GL_COLOR_BUFFER_BIT);
        auto b = box(d);
        EXPECT_EQ(1, b->step(false));
        // Seen head-on, the near face (z = +size/2) hides the rest.
        const auto lo = project(-d[0] / 2, -d[1] / 2, d[2] / 2);
        const auto hi = project(d[0] / 2, d[1] / 2, d[2] / 2);
        const Bounds lit = litBounds();
        EXPECT_NEAR(lo[0], lit.minX, 1.0);
        EXPECT_NEAR(hi[0], lit.maxX + 1, 1.0);
        EXPECT_NEAR(lo[1], lit.minY, 1.0);
        EXPECT_NEAR(hi[1], lit.maxY + 1, 1.0);
    }
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(BoxDraw, SizeTwoSpansMinusOneToOneInDepth)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    auto b = box({2, 2, 2});
    b->step(false);
    // The nearest surface at the centre is z = +1 of the box.
    EXPECT_NEAR(project(0, 0, 1)[2], depth(kWidth / 2, kHeight / 2), 1e-4);

    // And from behind, z = -1.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glRotatef(180, 0, 1, 0);
    b->step(false);
    EXPECT_NEAR(project(0, 0, -1)[2], depth(kWidth / 2, kHeight / 2), 1e-4);
}

TEST_F(BoxDraw, EveryFaceIsWoundOutwardsAndCarriesTheWholeTexture)
{
    // Red (0,0), green (1,0), blue (0,1), white (1,1).
    GLuint name = bindCornerTexture();
    // Only faces turned towards the viewer are drawn.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255},
        white{255, 255, 255};
    const struct {
        const char* face;
        float angle, ax, ay, az;  // turns that face towards the viewer
        Rgb lowerLeft, lowerRight, upperRight, upperLeft;
    } faces[] = {
        {"front", 0, 1, 0, 0, red, green, white, blue},
        {"back", 180, 0, 1, 0, red, green, white, blue},
        {"top", 90, 1, 0, 0, red, green, white, blue},
        {"bottom", -90, 1, 0, 0, white, blue, red, green},
        {"right", -90, 0, 1, 0, red, green, white, blue},
        {"left", 90, 0, 1, 0, red, green, white, blue},
    };
    const int cx = kWidth / 2, cy = kHeight / 2, d = 6;
    auto b = box({2, 2, 2});
    for (const auto& f : faces) {
        SCOPED_TRACE(f.face);
        glClear(GL_COLOR_BUFFER_BIT);
        glPushMatrix();
        glRotatef(f.angle, f.ax, f.ay, f.az);
        b->step(false);
        glPopMatrix();
        EXPECT_EQ(f.lowerLeft, pixel(cx - d, cy - d));
        EXPECT_EQ(f.lowerRight, pixel(cx + d, cy - d));
        EXPECT_EQ(f.upperRight, pixel(cx + d, cy + d));
        EXPECT_EQ(f.upperLeft, pixel(cx - d, cy + d));
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &name);
}

TEST_F(BoxDraw, ZeroDepthIsAFlatRectangleSeenFromBothSides)
{
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    auto b = box({2, 2, 0});
    b->step(false);
    const int front = litBounds().count;
    EXPECT_GT(front, 300);

    glClear(GL_COLOR_BUFFER_BIT);
    glRotatef(180, 0, 1, 0);
    b->step(false);
    EXPECT_EQ(front, litBounds().count);
    glDisable(GL_CULL_FACE);
}

TEST_F(BoxDraw, NegativeDimensionsTurnTheFacesInsideOut)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    auto b = box({-2, -2, -2});
    b->step(false);
    // The near face now looks inwards and is culled: the far one shows.
    EXPECT_NEAR(project(0, 0, -1)[2], depth(kWidth / 2, kHeight / 2), 1e-4);
    glDisable(GL_CULL_FACE);
}

TEST_F(BoxDraw, ChildrenFirstInsideTheTransformAndTheMatrixComesBack)
{
    auto b = box({1, 1, 1});
    b->position[0] = 0.5f;
    b->angles[1] = 30;
    auto* child = new Counter;
    b->children->append("KID", child);
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    EXPECT_EQ(1, b->step(false));
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(before[i], after[i], 1e-5f);
    EXPECT_EQ(1, child->steps);
    EXPECT_EQ(0, b->transformApplied);
    // The translation moved the box right of the centre.
    const Bounds lit = litBounds();
    EXPECT_GT(lit.minX + lit.maxX, kWidth);
}

TEST_F(BoxDraw, StepOnlyDrawsNothingAndStillStepsChildren)
{
    auto b = box({2, 2, 2});
    auto* child = new Counter;
    b->children->append("KID", child);
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    EXPECT_EQ(1, b->step(true));
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
    EXPECT_EQ(1, child->steps);
    EXPECT_EQ(0, litBounds().count);
}
