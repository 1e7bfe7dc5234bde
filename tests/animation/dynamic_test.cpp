// Dynamics: the name table, the payload, the per-frame changes of each kind,
// and the matrix and colour state of the targets they drive.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "animation/dynamic.h"
#include "animation/vector_math.h"
#include "geometry/box.h"
#include "geometry/quad.h"
#include "geometry/transform.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/scale.h"
#include "sound/music_track.h"
#include "tests/objects/probe.h"
#include "tests/support/dynamics.h"
#include "tools/writer/animation_payloads.h"

using namespace tools::writer;

namespace {

using V3 = std::array<float, 3>;

// Made as the timeline makes them: start, length, target, then the payload;
// placed first among the parent's children unless `after` is given.
template <typename Kind>
Kind* attach(SceneObject* parent, int16_t start, int16_t length, const DynamicFields& f, const char* tag = "DYNA",
             const char* after = nullptr)
{
    auto* dynamic = new Kind;
    dynamic->start = start;
    dynamic->length = length;
    dynamic->target = parent;
    EXPECT_TRUE(parent->children->insert(after, tag, dynamic));
    Bytes payload = std::is_same<Kind, ScalarDynamic>::value ? scalarDynamicPayload(f) : vectorDynamicPayload(f);
    dynamic->load(payload.data(), int32_t(payload.size()));
    return dynamic;
}

V3 vec(const float* p)
{
    return {p[0], p[1], p[2]};
}

void expectNear(const V3& expected, const float* actual, float tolerance)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(expected[size_t(i)], actual[i], tolerance) << "component " << i;
}

// Registers the same name twice, over two different floats.
class TwoVolumes : public SceneObject {
public:
    TwoVolumes()
    {
        parameters->append("Volum", &first);
        parameters->append("Volum", &second);
    }
    float first = 10;
    float second = 10;
};

using DynamicTargets = GLTest;

}  // namespace

TEST(DynamicTable, EightyTwoNamesByteForByte)
{
    EXPECT_STREQ("", Dynamic::parameterNames[0]);
    const std::vector<std::pair<int, const char*>> fixed = {
        {1, "Dimensio X"},  {3, "Dimensio Z"},           {4, "Posici\xf3 X"},  {6, "Posici\xf3 Z"},
        {7, "Rotaci\xf3 1"}, {9, "Rotaci\xf3 3"},         {10, "COLOR R"},       {13, "COLOR A"},
        {14, "Dimensio"},   {15, "Posici\xf3"},           {16, "Rotaci\xf3"},    {17, "Vector Rotaci\xf3 1"},
        {19, "Vector Rotaci\xf3 3"}, {20, "Centre X"},    {22, "Centre Z"},      {23, "UP vector X"},
        {25, "UP vector Z"}, {26, "Fadding V"},          {27, "Fadding R"},     {29, "Fadding B"},
        {30, "Centre"},     {31, "UP vector"},           {32, "Proximitat"},    {33, "Valor"},
        {34, "Valor X"},    {36, "Valor Z"},             {77, "Radi 1"},        {78, "Radi 2"},
        {79, "Altura"},     {80, "Angle Inicial"},       {81, "Angle Final"},   {82, "Volum"},
    };
    for (const auto& [index, name] : fixed)
        EXPECT_STREQ(name, Dynamic::parameterNames[index]) << index;
    EXPECT_EQ(uint8_t(0xf3), uint8_t(Dynamic::parameterNames[15][6]));
    EXPECT_EQ(7u, std::strlen(Dynamic::parameterNames[15]));

    const char* formats[] = {"Vertex %i", "Vertex%i X", "Vertex%i Y", "Vertex%i Z", "Vertex%i U",
                             "Vertex%i V", "ColorV%i R", "ColorV%i G", "ColorV%i B", "ColorV%i A"};
    for (int n = 1; n <= 4; ++n) {
        for (int f = 0; f < 10; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, formats[f], n);
            EXPECT_STREQ(name, Dynamic::parameterNames[37 + 10 * (n - 1) + f]);
        }
    }
    // Every name is distinct, so an index names one parameter.
    std::set<std::string> names;
    for (int i = 1; i < Dynamic::kNameCount; ++i)
        names.insert(Dynamic::parameterNames[i]);
    EXPECT_EQ(82u, names.size());
}

TEST(DynamicTable, VectorKindsWriteThreeFloatsWhereverTheObjectsFloatFieldsRunOn)
{
    // Names whose float run in the object ends before three floats: only
    // these are refused. The others may run on into the next field ("Posició
    // Y" into the angles, "Vertex1 Z" into the second corner).
    const std::set<std::string> refused = {"Dimensio Y", "Dimensio Z", "Fadding V", "Proximitat", "COLOR B",
                                           "COLOR A",    "Valor Y",    "Valor Z",   "ColorV4 B",  "ColorV4 A",
                                           "Volum"};
    const std::vector<std::function<SceneObject*()>> makers = {
        [] { return new Transform; }, [] { return new Quad; },  [] { return new Box; },
        [] { return new Camera; },    [] { return new Color; }, [] { return new Scale; },
        [] { return new MusicTrack(nullptr); }};
    int allowed = 0;
    for (const auto& make : makers) {
        std::unique_ptr<SceneObject> names(make());
        for (void* item = names->parameters->first(); item; item = names->parameters->next()) {
            const std::string name = names->parameters->currentTag();
            ASSERT_NE(0, Dynamic::indexOfParameter(name.c_str())) << name;
            std::unique_ptr<SceneObject> object(make());
            auto* p = static_cast<float*>(object->parameters->find(name.c_str()));
            const bool vector = !refused.count(name);
            const V3 before = vector ? vec(p) : V3{p[0], 0, 0};
            attach<TranslationDynamic>(object.get(), 0, 1, fields(name.c_str(), false, 0, 1, {1, 2, 3}));
            object->SceneObject::step(true);
            EXPECT_EQ(0, object->children->count()) << name;
            if (vector) {
                EXPECT_EQ(V3({before[0] + 1, before[1] + 2, before[2] + 3}), vec(p)) << name;
                ++allowed;
            } else {
                EXPECT_EQ(before[0], p[0]) << name;
            }
        }
    }
    EXPECT_EQ(11 + (11 + 38) + (11 + 2) + 15 + 2 + 2 + 0, allowed);  // per class, in the order above
}

TEST(DynamicLoad, PayloadFieldsTypesAndClones)
{
    ScalarDynamic scalar;
    scalar.length = 4;
    EXPECT_EQ(nullptr, scalar.values);
    EXPECT_FALSE(scalar.resetAtStart);
    Bytes bytes = scalarDynamicPayload(fields("Fadding V", true, 1.0f, -0.02f));
    ASSERT_EQ(11u, bytes.size());
    scalar.load(bytes.data(), 11);
    EXPECT_TRUE(scalar.resetAtStart);
    EXPECT_EQ(1.0f, scalar.initialValue);
    EXPECT_EQ(26, scalar.parameterIndex);
    ASSERT_EQ(4, scalar.valueCount);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(-0.02f, scalar.values[i]);
    EXPECT_EQ(348, scalar.typeId());
    EXPECT_EQ(nullptr, scalar.clone());

    // Any mode other than 2 is relative.
    bytes[0] = 7;
    scalar.load(bytes.data(), 11);
    EXPECT_FALSE(scalar.resetAtStart);

    TranslationDynamic move;
    EXPECT_EQ(V3({0, 0, 0}), vec(move.vector));
    move.length = 10;
    bytes = vectorDynamicPayload(fields("Posici\xf3", false, 0, 0.3f, {-0.084f, 0.064f, 0}));
    ASSERT_EQ(23u, bytes.size());
    move.load(bytes.data(), 23);
    EXPECT_EQ(V3({-0.084f, 0.064f, 0}), vec(move.vector));
    EXPECT_EQ(15, move.parameterIndex);
    EXPECT_EQ(10, move.valueCount);
    EXPECT_EQ(349, move.typeId());
    EXPECT_EQ(nullptr, move.clone());
    RotationDynamic orbit;
    EXPECT_EQ(348, orbit.typeId());
    EXPECT_EQ(nullptr, orbit.clone());
}

TEST(DynamicLoad, ShortPayloadsReadOnlyTheWholeFieldsTheyHold)
{
    // The real bytes follow every cut: a read past it would take them.
    Bytes whole = vectorDynamicPayload(fields("Centre", true, 3, 4, {5, 6, 7}));
    for (int32_t cut = 0; cut < 23; ++cut) {
        TranslationDynamic d;
        d.length = 2;
        d.load(whole.data(), cut);
        EXPECT_EQ(cut >= 1, d.resetAtStart) << cut;
        EXPECT_EQ(cut >= 5 ? 3.0f : 0.0f, d.initialValue) << cut;
        ASSERT_EQ(2, d.valueCount) << cut;
        EXPECT_EQ(cut >= 9 ? 4.0f : 0.0f, d.values[0]) << cut;
        EXPECT_EQ(cut >= 11 ? 30 : 0, d.parameterIndex) << cut;
        EXPECT_EQ(V3({0, 0, 0}), vec(d.vector)) << cut;
    }
    // Without a length there is no frame to hold a value.
    ScalarDynamic none;
    none.load(whole.data(), 11);
    EXPECT_EQ(0, none.valueCount);
    EXPECT_EQ(nullptr, none.values);
}

TEST(DynamicScalar, ResettingFadeFromOneDownToZeroThenGone)
{
    Camera camera;
    camera.fadeValue = 0.3f;  // whatever it was, the first frame starts from 1.0
    ScalarDynamic* fade = attach<ScalarDynamic>(&camera, 0, 50, fields("Fadding V", true, 1.0f, -0.02f));
    camera.step(true);
    EXPECT_FLOAT_EQ(0.98f, camera.fadeValue);
    EXPECT_EQ(fade, camera.children->find("DYNA"));
    for (int i = 2; i <= 49; ++i)
        camera.step(true);
    EXPECT_EQ(1, camera.children->count());
    camera.step(true);
    EXPECT_NEAR(0.0f, camera.fadeValue, 1e-5);
    EXPECT_EQ(0, camera.children->count());
    const float last = camera.fadeValue;
    camera.step(true);
    EXPECT_EQ(last, camera.fadeValue);
}

TEST(DynamicScalar, RelativeAddsToWhateverIsThereAndReadsItsFrameValue)
{
    for (float startAngle : {0.0f, 37.5f, -200.0f}) {
        Transform spinner;
        spinner.angles[0] = startAngle;
        attach<ScalarDynamic>(&spinner, 0, 2, fields("Rotaci\xf3 1", false, 99, 10));
        spinner.step(true);
        spinner.step(true);
        spinner.step(true);
        EXPECT_EQ(startAngle + 20, spinner.angles[0]);
        EXPECT_EQ(0, spinner.angles[1]);
        EXPECT_EQ(0, spinner.children->count());
    }
}

TEST(DynamicScalar, OnlyTheFirstEntryOfADuplicatedNameChanges)
{
    TwoVolumes track;
    attach<ScalarDynamic>(&track, 0, 3, fields("Volum", false, 0, -2.5f));
    for (int i = 0; i < 3; ++i)
        track.step(true);
    EXPECT_EQ(2.5f, track.first);
    EXPECT_EQ(10, track.second);
}

TEST(DynamicScalar, ShippedMusicFadeOut)
{
    MusicTrack music(nullptr);
    attach<ScalarDynamic>(&music, 0, 39, fields("Volum", true, 255, -6.5384617f));
    for (int i = 0; i < 39; ++i)
        music.SceneObject::step(true);
    EXPECT_NEAR(0, music.volume, 1e-3);
}

TEST(DynamicRotation, OrbitAboutYReaches170DegreesAfter25Frames)
{
    Transform orbiting;
    orbiting.position[0] = 1;
    attach<RotationDynamic>(&orbiting, 0, 25, fields("Posici\xf3", true, 0, 6.8f, {0, 1, 0}));
    orbiting.step(true);
    const float a = 6.8f * 0.017452868f;
    expectNear({std::cos(a), 0, -std::sin(a)}, orbiting.position, 1e-6f);
    for (int i = 2; i <= 25; ++i)
        orbiting.step(true);
    EXPECT_EQ(0, orbiting.children->count());
    const float turned = std::atan2(-orbiting.position[2], orbiting.position[0]);
    EXPECT_NEAR(170 * kDegreesToRadians, turned, 1e-5);
    EXPECT_NEAR(1, vecLength(orbiting.position), 1e-5);
    EXPECT_NEAR(0, orbiting.position[1], 1e-6);
}

TEST(DynamicRotation, ResettingTurnsByTheInitialAngleFirstAndZeroIsRelative)
{
    // Reset with initial 0 and relative: the same path.
    Transform a, b;
    a.position[0] = b.position[0] = 2;
    a.position[2] = b.position[2] = 1;
    attach<RotationDynamic>(&a, 0, 5, fields("Posici\xf3", true, 0, 12, {0, 1, 0}));
    attach<RotationDynamic>(&b, 0, 5, fields("Posici\xf3", false, 0, 12, {0, 1, 0}));
    for (int i = 0; i < 5; ++i) {
        a.step(true);
        b.step(true);
        EXPECT_EQ(vec(a.position), vec(b.position)) << i;
    }
    // A resetting rotation with initial 90 turns by 90 + per-frame on its first frame.
    Transform c;
    c.position[0] = 1;
    attach<RotationDynamic>(&c, 0, 2, fields("Posici\xf3", true, 90, 10, {0, 0, 1}));
    c.step(true);
    const float angle = std::atan2(c.position[1], c.position[0]);
    EXPECT_NEAR(100 * kDegreesToRadians, angle, 1e-5);
    c.step(true);
    EXPECT_NEAR(110 * kDegreesToRadians, std::atan2(c.position[1], c.position[0]), 1e-5);
}

TEST(DynamicTranslation, ResetScalesTheStoredVectorAndMovesAlongItEveryFrame)
{
    Transform moving;
    moving.position[0] = 7, moving.position[1] = 8, moving.position[2] = 9;
    TranslationDynamic* move =
        attach<TranslationDynamic>(&moving, 0, 3, fields("Posici\xf3", true, 2, 0.25f, {1, 0, 0}));
    moving.step(true);
    // Set to 2 × (1, 0, 0), then moved by 0.25 × that on the same frame.
    EXPECT_EQ(V3({2.5f, 0, 0}), vec(moving.position));
    EXPECT_EQ(V3({2, 0, 0}), vec(move->vector));
    moving.step(true);
    EXPECT_EQ(V3({3, 0, 0}), vec(moving.position));
    moving.step(true);
    EXPECT_EQ(V3({3.5f, 0, 0}), vec(moving.position));
    EXPECT_EQ(0, moving.children->count());

    // Relative: the shipped move, from wherever the object is.
    Transform shipped;
    shipped.position[0] = 1;
    attach<TranslationDynamic>(&shipped, 0, 10, fields("Posici\xf3", false, 0, 0.3f, {-0.084f, 0.064f, 0}));
    for (int i = 0; i < 10; ++i)
        shipped.step(true);
    expectNear({1 - 10 * 0.3f * 0.084f, 10 * 0.3f * 0.064f, 0}, shipped.position, 1e-6f);
}

TEST(DynamicValues, SetRemainingValuesPartWayAndOnAnUnloadedDynamic)
{
    Transform target;
    ScalarDynamic* d = attach<ScalarDynamic>(&target, 0, 10, fields("Posici\xf3 Y", false, 0, 1));
    for (int i = 0; i < 3; ++i)
        target.step(true);
    EXPECT_EQ(3, target.position[1]);
    d->setRemainingValues(5);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(1, d->values[i]) << i;
    for (int i = 3; i < 10; ++i)
        EXPECT_EQ(5, d->values[i]) << i;
    for (int i = 0; i < 7; ++i)
        target.step(true);
    EXPECT_EQ(3 + 7 * 5, target.position[1]);
    EXPECT_EQ(0, target.children->count());

    // The collision world's way: no payload, the index set directly.
    auto* spin = new ScalarDynamic;
    spin->length = 4;
    spin->target = &target;
    spin->parameterIndex = Dynamic::indexOfParameter("Rotaci\xf3 3");
    spin->setRemainingValues(2);
    ASSERT_EQ(4, spin->valueCount);
    target.children->add(spin);
    for (int i = 0; i < 4; ++i)
        target.step(true);
    EXPECT_EQ(8, target.angles[2]);
}

TEST(DynamicValues, VectorAndRemainingValuesBypassesOverrides)
{
    // setVectorAndRemainingValues uses Dynamic's own filling, not an override.
    struct Overriding : TranslationDynamic {
        void setRemainingValues(float) override { ++overrides; }
        int overrides = 0;
    };
    Transform target;
    auto* d = new Overriding;
    d->length = 3;
    d->target = &target;
    d->parameterIndex = Dynamic::indexOfParameter("Posici\xf3");
    target.children->add(d);
    target.step(true);  // a frame without values moves nothing
    EXPECT_EQ(V3({0, 0, 0}), vec(target.position));
    const float direction[3] = {0, 0, -1};
    d->setVectorAndRemainingValues(direction, 4);
    EXPECT_EQ(0, d->overrides);
    EXPECT_EQ(V3({0, 0, -1}), vec(d->vector));
    ASSERT_EQ(3, d->valueCount);
    target.step(true);
    target.step(true);
    EXPECT_EQ(V3({0, 0, -8}), vec(target.position));
}

TEST(DynamicFaults, NothingOutsideTheParameterIsWritten)
{
    // A vector kind on a lone value would write the two floats after it:
    // here the camera's proximity and whatever follows it.
    Camera camera;
    camera.fadeValue = 0.5f;
    camera.proximity = 1;
    attach<TranslationDynamic>(&camera, 0, 2, fields("Fadding V", true, 3, 1, {1, 1, 1}));
    attach<RotationDynamic>(&camera, 0, 2, fields("Proximitat", false, 0, 90, {0, 0, 1}), "ROTA");
    Color color;
    attach<TranslationDynamic>(&color, 0, 2, fields("COLOR A", false, 0, 1, {1, 1, 1}));
    MusicTrack music(nullptr);
    attach<RotationDynamic>(&music, 0, 2, fields("Volum", false, 0, 45, {1, 0, 0}));
    // A float of a derived class that describes no float fields: adjacent in
    // memory, yet no parameter's run goes on into it.
    struct ColorAndMore : Color {
        float more = 42;
    } colorAndMore;
    attach<TranslationDynamic>(&colorAndMore, 0, 2, fields("COLOR B", false, 0, 1, {1, 1, 1}));
    for (int i = 0; i < 2; ++i) {
        camera.step(true);
        color.step(true);
        music.SceneObject::step(true);
        colorAndMore.step(true);
    }
    EXPECT_EQ(42, colorAndMore.more);
    EXPECT_EQ(1, colorAndMore.components[2]);
    EXPECT_EQ(0.5f, camera.fadeValue);
    EXPECT_EQ(1, camera.proximity);
    EXPECT_EQ((std::array<float, 4>{1, 1, 1, 1}),
              (std::array<float, 4>{color.components[0], color.components[1], color.components[2],
                                    color.components[3]}));
    EXPECT_EQ(255, music.volume);
    EXPECT_EQ(255, music.appliedVolume);
    EXPECT_EQ(0, camera.children->count() + color.children->count() + music.children->count());

    // A three-float group starting at an X component is a vector.
    Transform t;
    attach<TranslationDynamic>(&t, 0, 1, fields("Posici\xf3 X", false, 0, 1, {1, 2, 3}));
    t.step(true);
    EXPECT_EQ(V3({1, 2, 3}), vec(t.position));
}

TEST(DynamicFaults, UnknownIndexesMissingNamesNoTargetAndNoLength)
{
    Transform t;
    t.position[1] = 4;
    for (int16_t index : {int16_t(0), int16_t(-1), int16_t(83), int16_t(32767)}) {
        DynamicFields f = fields("", true, 9, 1);
        f.index = index;
        attach<ScalarDynamic>(&t, 0, 2, f);
        DynamicFields v = fields("", true, 9, 1, {1, 1, 1});
        v.index = index;
        attach<TranslationDynamic>(&t, 0, 2, v, "TRAN");
        attach<RotationDynamic>(&t, 0, 2, v, "ROTA");
    }
    // Names the transform does not register.
    attach<ScalarDynamic>(&t, 0, 2, fields("COLOR R", true, 9, 1), "COLR");
    attach<TranslationDynamic>(&t, 0, 2, fields("Centre", true, 9, 1, {1, 1, 1}), "CENT");
    t.step(true);
    t.step(true);
    EXPECT_EQ(V3({0, 4, 0}), vec(t.position));
    EXPECT_EQ(V3({0, 0, 0}), vec(t.angles));
    EXPECT_EQ(0, t.children->count());

    // Without a target every kind only counts its frames.
    ScalarDynamic s;
    TranslationDynamic tr;
    RotationDynamic ro;
    for (Dynamic* d : std::initializer_list<Dynamic*>{&s, &tr, &ro}) {
        d->length = 2;
        Bytes bytes = vectorDynamicPayload(fields("Posici\xf3", true, 1, 1, {1, 0, 0}));
        d->load(bytes.data(), int32_t(bytes.size()));
        EXPECT_EQ(1, d->step(false));
        EXPECT_EQ(0, d->step(false));
    }

    // A length of 0 has no values: a resetting scalar holds its initial value.
    Transform held;
    ScalarDynamic* forever = attach<ScalarDynamic>(&held, 0, 0, fields("Posici\xf3 Z", true, 6, 1));
    EXPECT_EQ(0, forever->valueCount);
    for (int i = 0; i < 5; ++i)
        held.step(true);
    EXPECT_EQ(6, held.position[2]);
    EXPECT_EQ(1, held.children->count());

    // A length raised after loading: the frames without a value change nothing.
    Transform raised;
    ScalarDynamic* grown = attach<ScalarDynamic>(&raised, 0, 2, fields("Posici\xf3 X", false, 0, 1));
    grown->length = 4;
    for (int i = 0; i < 4; ++i)
        raised.step(true);
    EXPECT_EQ(2, raised.position[0]);
    EXPECT_EQ(0, raised.children->count());
}

TEST(DynamicFaults, ClonesOfATargetCarryNoDynamics)
{
    Transform target;
    target.children->append("PROB", new Probe(0));
    attach<ScalarDynamic>(&target, 0, 5, fields("Posici\xf3 X", false, 0, 1), "DYNA", "PROB");
    attach<RotationDynamic>(&target, 0, 5, fields("Posici\xf3", false, 0, 1, {0, 1, 0}), "ROTA");
    ASSERT_EQ(3, target.children->count());
    SceneObject* copy = target.clone();
    ASSERT_NE(nullptr, copy);
    ASSERT_EQ(1, copy->children->count());
    EXPECT_NE(nullptr, dynamic_cast<Probe*>(static_cast<SceneObject*>(copy->children->find("PROB"))));
    delete copy;
}

TEST_F(DynamicTargets, CameraViewIsPoppedAndReappliedForTheSiblingsAfter)
{
    Camera camera;
    camera.position[0] = 5, camera.position[1] = 5, camera.position[2] = 5;
    camera.up[1] = 1;
    auto* before = new Probe(0);
    auto* after = new Probe(0);
    camera.children->append("BEFO", before);
    attach<ScalarDynamic>(&camera, 0, 3, fields("Posici\xf3 X", false, 0, -5), "DYNA", "BEFO");
    camera.children->insert("DYNA", "AFTE", after);
    glLoadIdentity();
    const GLint depth = modelviewDepth();
    const auto outside = modelview();
    EXPECT_EQ(1, camera.step(false));
    EXPECT_EQ(0, camera.position[0]);
    EXPECT_EQ(depth, modelviewDepth());
    EXPECT_EQ(outside, modelview());
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    // The same stack depth for both siblings, but the view the camera has now.
    EXPECT_EQ(before->stackDepth, after->stackDepth);
    auto lookAt = [](double x, double y, double z) {
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(x, y, z, 0, 0, 0, 0, 1, 0);
        const auto m = modelview();
        glPopMatrix();
        return m;
    };
    const auto old = lookAt(5, 5, 5);
    const auto moved = lookAt(0, 5, 5);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(old[size_t(i)], before->matrix[i], 1e-5) << i;
        EXPECT_NEAR(moved[size_t(i)], after->matrix[i], 1e-5) << i;
    }
}

TEST_F(DynamicTargets, CameraInStepOnlyFramesChangesItsParameterWithoutMatrixCalls)
{
    Camera camera;
    camera.position[0] = 5, camera.position[1] = 5, camera.position[2] = 5;
    camera.up[1] = 1;
    attach<ScalarDynamic>(&camera, 0, 50, fields("Fadding V", true, 1.0f, -0.02f));
    attach<TranslationDynamic>(&camera, 0, 50, fields("Centre", false, 0, 1, {0, 1, 0}), "CENT");
    // A recognisable matrix two levels deep: a stray pop would lose it, a
    // stray applyView would replace it.
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(1, 2, 3);
    const auto marked = modelview();
    const GLint depth = modelviewDepth();
    camera.step(true);
    camera.step(true);
    EXPECT_EQ(marked, modelview());
    EXPECT_EQ(depth, modelviewDepth());
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    EXPECT_FLOAT_EQ(0.96f, camera.fadeValue);
    EXPECT_EQ(V3({0, 2, 0}), vec(camera.centre));
    glPopMatrix();
}

TEST_F(DynamicTargets, ScaleIsPoppedAndReapplied)
{
    Scale scale;
    auto* after = new Probe(0);
    scale.children->append("AFTE", after);
    attach<ScalarDynamic>(&scale, 0, 2, fields("Valor Y", true, 3, 1));  // first: before the probe
    glLoadIdentity();
    const auto outside = modelview();
    scale.step(false);
    EXPECT_EQ(V3({1, 4, 1}), vec(scale.factors));
    EXPECT_EQ(outside, modelview());
    EXPECT_EQ(2, after->stackDepth);
    EXPECT_EQ(1, after->matrix[0]);
    EXPECT_EQ(4, after->matrix[5]);
    EXPECT_EQ(1, after->matrix[10]);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(DynamicTargets, TransformIsUndoneAndReappliedAndTheMatrixReturns)
{
    Transform transform;
    transform.angles[1] = 30;
    auto* after = new Probe(0);
    transform.children->append("AFTE", after);
    attach<TranslationDynamic>(&transform, 0, 2, fields("Posici\xf3", false, 0, 1, {0, 0, -4}));
    attach<ScalarDynamic>(&transform, 0, 2, fields("Rotaci\xf3 2", false, 0, 15), "ROTA");
    glLoadIdentity();
    glTranslatef(0.5f, 0, 0);
    const auto outside = modelview();
    transform.step(false);
    // The sibling after the dynamics sees the position and angle of this frame.
    Transform reference;
    reference.position[2] = -4;
    reference.angles[1] = 45;
    glPushMatrix();
    reference.apply();
    const auto expected = modelview();
    glPopMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected[size_t(i)], after->matrix[i], 1e-5) << i;
    // undo at the end of the step uses the new values: back where it started.
    const auto back = modelview();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(outside[size_t(i)], back[size_t(i)], 1e-5) << i;
    EXPECT_EQ(0, transform.transformApplied);
}

TEST_F(DynamicTargets, ColourDynamicOnAlphaChangesTheNextSiblingInTheSameFrame)
{
    auto draw = [&](bool withDynamic) {
        Color color;  // opaque white
        auto* first = new Probe(0);
        auto* square = new Probe(0.5f);
        color.children->append("FIRS", first);
        if (withDynamic)
            attach<ScalarDynamic>(&color, 0, 2, fields("COLOR A", true, 1, -0.5f), "FADE", "FIRS");
        color.children->insert(withDynamic ? "FADE" : "FIRS", "SQUR", square);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0, 0, -5);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        color.step(false);
        glDisable(GL_BLEND);
        EXPECT_EQ(1.0f, first->color[3]);
        EXPECT_EQ(withDynamic ? 0.5f : 1.0f, square->color[3]);
        EXPECT_EQ(withDynamic ? 0.5f : 1.0f, color.components[3]);
        return Picture::read(kWidth, kHeight);
    };
    Picture plain = draw(false);
    Picture faded = draw(true);
    EXPECT_EQ(255, plain.at(kWidth / 2, kHeight / 2)[0]);
    EXPECT_NEAR(128, faded.at(kWidth / 2, kHeight / 2)[0], 2 * channelStep() + 1);
    EXPECT_EQ(0, faded.at(1, 1)[0]);
}
