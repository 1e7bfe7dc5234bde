// Transform: payload reading, placement on the modelview matrix and copies.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstring>
#include <memory>

#include "geometry/transform.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/geometry_payloads.h"

using namespace tools::writer;

namespace {

using Matrix = std::array<float, 16>;

Vec3 vec(const float* v)
{
    return {v[0], v[1], v[2]};
}

void expectFields(const TransformFields& expected, const Transform& t)
{
    EXPECT_EQ(expected.position, vec(t.position));
    EXPECT_EQ(expected.angles, vec(t.angles));
    EXPECT_EQ(expected.axis1, vec(t.axis1));
    EXPECT_EQ(expected.axis2, vec(t.axis2));
    EXPECT_EQ(expected.axis3, vec(t.axis3));
}

Matrix modelview()
{
    Matrix m;
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

void expectMatrixNear(const Matrix& expected, const Matrix& actual)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected[i], actual[i], 1e-5f) << "element " << i;
}

const TransformFields kSample{{1.5f, -2, 3}, {10, 20, 30}, {0, 0, 1}, {1, 0, 0}, {0.6f, 0.8f, 0}};

// A child that records the matrix it is stepped under and its parent's
// transform-applied flag at that moment; it can also move its parent the
// way a careless animation would (without undo and re-apply).
class Probe : public SceneObject {
public:
    explicit Probe(Transform* parent = nullptr) : parent(parent) {}
    int step(bool stepOnly) override
    {
        ++steps;
        if (parent) {
            parentApplied = parent->transformApplied;
            parent->position[0] += moveParentBy;
        }
        if (!stepOnly)
            glGetFloatv(GL_MODELVIEW_MATRIX, seen.data());
        return SceneObject::step(stepOnly);
    }
    SceneObject* clone() override
    {
        auto* copy = new Probe(parent);
        copyInto(copy);
        return copy;
    }
    Transform* parent;
    float moveParentBy = 0;
    int steps = 0;
    int parentApplied = -1;
    Matrix seen{};
};

}  // namespace

TEST(TransformLoad, EmptyPayloadIsIdentity)
{
    const Bytes cases[] = {{}, {0}, {5}};
    for (const Bytes& payload : cases) {
        Transform t;
        loadExact(t, payload);
        expectFields(TransformFields{}, t);
        EXPECT_EQ(10, t.order);
    }
}

TEST(TransformLoad, StandaloneAndNestedPayloadsRoundTrip)
{
    const Bytes standalone = transformPayload(kSample);
    const Bytes nested = transformPayload(kSample, true);
    ASSERT_EQ(91u, standalone.size());
    ASSERT_EQ(90u, nested.size());
    EXPECT_EQ(0, standalone.back());
    // The stray zero byte changes nothing.
    for (const Bytes* payload : {&standalone, &nested}) {
        Transform t;
        loadExact(t, *payload);
        expectFields(kSample, t);
        EXPECT_EQ(10, t.order) << "the payload never sets the order";
    }
    Transform viaFunction;
    loadTransform(viaFunction, nested.data(), int32_t(nested.size()));
    expectFields(kSample, viaFunction);
}

TEST(TransformLoad, UnknownSubChunkIsReportedOnceAndSkipped)
{
    platform::TestDouble platform;
    Transform t;
    loadExact(t, StreamWriter()
                     .add(5, cat({f32(1), f32(2), f32(3)}))
                     .add(7, cat({f32(9), f32(9), f32(9)}))
                     .add(6, cat({f32(4), f32(5), f32(6)}))
                     .bytes());
    ASSERT_EQ(1u, platform.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", platform.boxes[0].text);
    EXPECT_EQ("ERROR", platform.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, platform.boxes[0].type);
    EXPECT_EQ((Vec3{1, 2, 3}), vec(t.position));
    EXPECT_EQ((Vec3{4, 5, 6}), vec(t.angles));
}

TEST(TransformLoad, OddSubChunkLengths)
{
    platform::TestDouble platform;
    {  // Shorter than a vector: only the components it holds.
        Transform t;
        loadExact(t, chunk(10, cat({f32(7), f32(8)})));
        EXPECT_EQ((Vec3{7, 8, 0}), vec(t.axis1));
    }
    {  // Longer: the first 12 bytes, the rest skipped, the next sub-chunk still read.
        Transform t;
        loadExact(t, StreamWriter()
                         .add(6, cat({f32(1), f32(2), f32(3), f32(99)}))
                         .add(12, cat({f32(0), f32(1), f32(1)}))
                         .bytes());
        EXPECT_EQ((Vec3{1, 2, 3}), vec(t.angles));
        EXPECT_EQ((Vec3{0, 1, 1}), vec(t.axis3));
    }
    {  // Declared past the end of the payload: nothing of it is used.
        Transform t;
        loadExact(t, chunkWithLength(5, 20, cat({f32(1), f32(2), f32(3)})));
        EXPECT_EQ((Vec3{0, 0, 0}), vec(t.position));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(TransformLoad, CutShortPayloadKeepsOnlyWholeSubChunks)
{
    platform::TestDouble platform;
    const Bytes full = transformPayload(kSample);
    const TransformFields identity;
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        Transform t;
        loadExact(t, Bytes(full.begin(), full.begin() + long(cut)));
        // Every sub-chunk is 18 bytes: 6 of header, 12 of floats.
        auto whole = [&](int index) { return cut >= size_t(18 * (index + 1)); };
        EXPECT_EQ(whole(0) ? kSample.position : identity.position, vec(t.position));
        EXPECT_EQ(whole(1) ? kSample.angles : identity.angles, vec(t.angles));
        EXPECT_EQ(whole(2) ? kSample.axis1 : identity.axis1, vec(t.axis1));
        EXPECT_EQ(whole(3) ? kSample.axis2 : identity.axis2, vec(t.axis2));
        EXPECT_EQ(whole(4) ? kSample.axis3 : identity.axis3, vec(t.axis3));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(TransformLoad, NestedSubChunkRunningPastItsStreamIsIgnored)
{
    const Bytes nested = transformPayload(kSample, true);
    for (uint32_t declared : {uint32_t(nested.size() + 1), 0xFFFFFFFFu}) {
        Bytes stream = chunkWithLength(275, declared, nested);
        ChunkStream s(stream.data(), int32_t(stream.size()));
        s.skip(6);
        Transform t;
        loadNestedTransform(t, s, declared);
        expectFields(TransformFields{}, t);
        EXPECT_EQ(0, s.remaining());
    }
    Bytes stream = cat({chunk(275, nested), s16(1)});
    ChunkStream s(stream.data(), int32_t(stream.size()));
    s.skip(6);
    Transform t;
    loadNestedTransform(t, s, uint32_t(nested.size()));
    expectFields(kSample, t);
    EXPECT_EQ(2, s.remaining()) << "the stream is left just past the sub-chunk";
}

TEST(TransformParameters, NamesInOrderBoundToFields)
{
    Transform t;
    const std::pair<const char*, float*> expected[] = {
        {"Posici\xf3", &t.position[0]},          {"Posici\xf3 X", &t.position[0]},
        {"Posici\xf3 Y", &t.position[1]},        {"Posici\xf3 Z", &t.position[2]},
        {"Rotaci\xf3", &t.angles[0]},            {"Rotaci\xf3 1", &t.angles[0]},
        {"Vector Rotaci\xf3 1", &t.axis1[0]},    {"Rotaci\xf3 2", &t.angles[1]},
        {"Vector Rotaci\xf3 2", &t.axis2[0]},    {"Rotaci\xf3 3", &t.angles[2]},
        {"Vector Rotaci\xf3 3", &t.axis3[0]},
    };
    ASSERT_EQ(11, t.parameters->count());
    void* item = t.parameters->first();
    for (const auto& [name, field] : expected) {
        ASSERT_NE(nullptr, item);
        EXPECT_STREQ(name, t.parameters->currentTag());
        EXPECT_EQ(static_cast<void*>(field), item) << name;
        item = t.parameters->next();
    }
    EXPECT_EQ(275, t.typeId());
}

TEST(TransformCopy, CloneCarriesFieldsOrderAndChildren)
{
    Transform source;
    TransformFields f = kSample;
    loadExact(source, transformPayload(f));
    source.order = 11;
    source.length = 7;
    source.children->append("KID1", new Probe);
    source.children->append("KID2", new Probe);

    std::unique_ptr<SceneObject> copy(source.clone());
    auto* t = dynamic_cast<Transform*>(copy.get());
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(275, t->typeId());
    expectFields(kSample, *t);
    EXPECT_EQ(11, t->order);
    EXPECT_EQ(7, t->length);
    EXPECT_EQ(1, t->isCopy);
    EXPECT_EQ(0, source.isCopy);
    ASSERT_EQ(2, t->children->count());
    t->children->first();
    EXPECT_STREQ("KID1", t->children->currentTag());
    // The copy's parameters drive the copy, not the source.
    EXPECT_EQ(static_cast<void*>(&t->position[0]), t->parameters->find("Posici\xf3 X"));
}

class TransformStep : public GLTest {};

TEST_F(TransformStep, OrderDecidesWhereTheChildLandsAndTheMatrixComesBack)
{
    // Rotation 1 is 90 degrees about X, position (0, 0, -5).
    const struct {
        int16_t order;
        std::array<float, 3> childOrigin;  // relative to the matrix before the step
    } cases[] = {
        {10, {0, 0, -5}},  // translate, then rotate in place
        {11, {0, 5, 0}},   // rotate first: -Z turns into +Y
        {12, {0, 0, 0}},   // unknown order: the matrix is left alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        Transform t;
        t.position[2] = -5;
        t.angles[0] = 90;
        t.order = c.order;
        auto* probe = new Probe(&t);
        t.children->append("PRB", probe);

        EXPECT_EQ(1, t.step(false));
        EXPECT_EQ(1, probe->steps);
        EXPECT_EQ(1, probe->parentApplied) << "the flag is set while children are stepped";
        EXPECT_EQ(0, t.transformApplied);
        EXPECT_NEAR(c.childOrigin[0], probe->seen[12], 1e-5f);
        EXPECT_NEAR(c.childOrigin[1], probe->seen[13], 1e-5f);
        EXPECT_NEAR(c.childOrigin[2], probe->seen[14], 1e-5f);
        expectMatrixNear(Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, modelview());

        // The same from a matrix that is not the identity.
        glTranslatef(1, 2, 3);
        glRotatef(30, 0, 1, 0);
        const Matrix before = modelview();
        t.step(false);
        expectMatrixNear(before, modelview());
    }
}

TEST_F(TransformStep, ThreeRotationsAboutTheirOwnAxesInOrderAndAnExactUndo)
{
    // Three non-zero angles about three different (not unit) axes: a child
    // sees the matrix built step by step with GL itself, and the matrix is
    // back after the step and after apply then undo.
    for (int16_t order : {int16_t(10), int16_t(11)}) {
        SCOPED_TRACE(order);
        Transform t;
        const float position[3] = {0.5f, -1.25f, -4};
        const float angles[3] = {35, -60, 110};
        const float axes[3][3] = {{1, 2, 0}, {0, 1, -1}, {3, 0, 1}};
        std::memcpy(t.position, position, sizeof position);
        std::memcpy(t.angles, angles, sizeof angles);
        std::memcpy(t.axis1, axes[0], sizeof axes[0]);
        std::memcpy(t.axis2, axes[1], sizeof axes[1]);
        std::memcpy(t.axis3, axes[2], sizeof axes[2]);
        t.order = order;
        auto* probe = new Probe;
        t.children->append("PRB", probe);

        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0.25f, 0.5f, -2);
        glRotatef(20, 0, 0, 1);
        const Matrix before = modelview();
        if (order == 10)
            glTranslatef(position[0], position[1], position[2]);
        for (int i = 0; i < 3; ++i)
            glRotatef(angles[i], axes[i][0], axes[i][1], axes[i][2]);
        if (order == 11)
            glTranslatef(position[0], position[1], position[2]);
        const Matrix expected = modelview();
        glLoadMatrixf(before.data());

        t.step(false);
        expectMatrixNear(expected, probe->seen);
        expectMatrixNear(before, modelview());
        t.apply();
        expectMatrixNear(expected, modelview());
        t.undo();
        expectMatrixNear(before, modelview());
    }
}

TEST_F(TransformStep, StepOnlyLeavesGLAloneAndStillStepsChildren)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -3);
    const Matrix before = modelview();

    Transform t;
    t.position[0] = 2;
    t.angles[1] = 45;
    auto* probe = new Probe(&t);
    // If the pass applied and undid the transform, this move between the two
    // would leave the matrix shifted.
    probe->moveParentBy = 1;
    t.children->append("PRB", probe);

    EXPECT_EQ(1, t.step(true));
    EXPECT_EQ(1, probe->steps);
    EXPECT_EQ(0, probe->parentApplied);
    EXPECT_EQ(0, t.transformApplied);
    EXPECT_EQ(before, modelview());

    // The drawing pass does touch the matrix, which is what the check above relies on.
    t.step(false);
    EXPECT_NEAR(before[12] - 1, modelview()[12], 1e-5f);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(TransformStep, LifetimeEndsThroughTheStep)
{
    Transform t;
    t.length = 2;
    t.frame = 1;
    EXPECT_EQ(1, t.step(false));
    EXPECT_EQ(0, t.step(false));
}

TEST_F(TransformStep, LocalMatrixIsOwnTransformAndLeavesGLAsItWas)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(25, 1, 1, 0);
    glTranslatef(4, 0, -2);
    const Matrix before = modelview();

    Transform t;
    t.position[0] = 1;
    t.position[1] = 2;
    t.position[2] = 3;
    t.angles[0] = 90;
    t.axis1[0] = 0;
    t.axis1[2] = 1;  // 90 degrees about Z: X turns into Y

    std::unique_ptr<float[]> m(t.localMatrix());
    // Translate then rotate: the translation column is the position.
    expectMatrixNear(Matrix{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1},
                     Matrix{m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9],
                            m[10], m[11], m[12], m[13], m[14], m[15]});
    EXPECT_EQ(before, modelview());
    EXPECT_EQ(0, t.transformApplied);

    // Rotate then translate: the position is turned with the rotation.
    t.order = 11;
    m.reset(t.localMatrix());
    EXPECT_NEAR(-2, m[12], 1e-5f);
    EXPECT_NEAR(1, m[13], 1e-5f);
    EXPECT_NEAR(3, m[14], 1e-5f);
    EXPECT_NEAR(0, m[0], 1e-5f);
    EXPECT_NEAR(1, m[1], 1e-5f);
    EXPECT_EQ(before, modelview());
    EXPECT_EQ(0, t.transformApplied);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(GL_MODELVIEW, mode);
}
