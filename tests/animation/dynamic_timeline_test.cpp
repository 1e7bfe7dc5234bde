// Timeline commands 1002 to 1004: the dynamics they create, where they go,
// and what they then do to the instance they are attached to.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "animation/dynamic.h"
#include "demo/instance_list.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "geometry/transform.h"
#include "tests/support/dynamics.h"
#include "tools/writer/animation_payloads.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

class DynamicTimeline : public ::testing::Test {
protected:
    DynamicTimeline()
    {
        resources.deleter = &SceneObject::destroy;
        active.deleter = &SceneObject::destroy;
        auto* t = new Transform;
        t->position[0] = 1;
        resources.append("TRFM", t);
    }

    void apply(const Bytes& commands)
    {
        TimelineEntry entry(&resources, &active, &instances);
        Bytes payload = timelineEntry(1, commands);
        entry.load(payload.data(), int32_t(payload.size()));
        entry.apply();
    }

    static Bytes placeTransform(const std::string& tag, const std::string& parent = "", const std::string& after = "")
    {
        Place p;
        p.resourceTag = "TRFM";
        p.instanceTag = tag;
        p.parentTag = parent;
        p.afterTag = after;
        p.frame = 1;
        return placeCommand(p);
    }

    static Bytes attach(int16_t kind, const std::string& tag, const std::string& parent, const std::string& after,
                        int16_t start, int16_t length, const DynamicFields& f)
    {
        AttachDynamic d = attachDynamic(kind, tag, parent, after, start, length, f);
        if (kind == 1002)
            d.declaredLength = 31;  // as the shipped data has it; the content is 27 bytes
        return dynamicCommand(d);
    }

    SceneObject* instance(const char* tag) { return static_cast<SceneObject*>(instances.find(tag)); }

    std::vector<std::string> childTags(SceneObject* parent)
    {
        std::vector<std::string> out;
        for (void* p = parent->children->first(); p; p = parent->children->next())
            out.push_back(parent->children->currentTag());
        return out;
    }

    ObjectList resources{true};
    ObjectList active{true};
    InstanceList instances;  // declared after active: forgets before the instances die
};

}  // namespace

TEST_F(DynamicTimeline, EachCommandMakesItsKindUnderTheParentAfterTheSibling)
{
    apply(groupCommand(cat({
        placeTransform("OBJ_"),
        placeTransform("KID_", "OBJ_"),
        attach(1002, "SPIN", "OBJ_", "KID_", 119, 2, fields("Rotaci\xf3 1", false, 0, 10)),
        attach(1003, "MOVE", "OBJ_", "", 289, 10, fields("Posici\xf3", false, 0, 0.3f, {-0.084f, 0.064f, 0})),
        attach(1004, "ORBI", "OBJ_", "SPIN", 299, 25, fields("Posici\xf3", true, 0, 6.8f, {0, 1, 0})),
        placeTransform("LAST", "OBJ_", "ORBI"),
    })));
    SceneObject* parent = instance("OBJ_");
    ASSERT_NE(nullptr, parent);
    EXPECT_EQ((std::vector<std::string>{"MOVE", "KID_", "SPIN", "ORBI", "LAST"}), childTags(parent));

    auto* spin = dynamic_cast<ScalarDynamic*>(instance("SPIN"));
    auto* move = dynamic_cast<TranslationDynamic*>(instance("MOVE"));
    auto* orbit = dynamic_cast<RotationDynamic*>(instance("ORBI"));
    ASSERT_TRUE(spin && move && orbit);
    EXPECT_EQ(spin, parent->children->find("SPIN"));
    for (Dynamic* d : std::initializer_list<Dynamic*>{spin, move, orbit})
        EXPECT_EQ(parent, d->target);
    EXPECT_EQ(119, spin->start);
    EXPECT_EQ(2, spin->length);
    EXPECT_EQ(0, spin->frame);
    EXPECT_EQ(7, spin->parameterIndex);
    EXPECT_FALSE(spin->resetAtStart);
    ASSERT_EQ(2, spin->valueCount);
    EXPECT_EQ(10, spin->values[1]);
    EXPECT_EQ(289, move->start);
    EXPECT_EQ(10, move->valueCount);
    EXPECT_EQ(-0.084f, move->vector[0]);
    EXPECT_EQ(0.064f, move->vector[1]);
    EXPECT_EQ(299, orbit->start);
    EXPECT_TRUE(orbit->resetAtStart);
    EXPECT_EQ(1.0f, orbit->vector[1]);
    // Read field by field: the command after the 31-byte claim was found.
    EXPECT_NE(nullptr, instance("LAST"));
}

TEST_F(DynamicTimeline, AttachedDynamicsDriveTheirParentAndLeaveWhenDone)
{
    apply(cat({placeTransform("OBJ_"), attach(1002, "SPIN", "OBJ_", "", 0, 2, fields("Rotaci\xf3 1", false, 0, 10)),
               attach(1003, "MOVE", "OBJ_", "SPIN", 0, 2, fields("Posici\xf3 X", true, 2, 1, {1, 0, 0}))}));
    auto* parent = static_cast<Transform*>(instance("OBJ_"));
    ASSERT_NE(nullptr, parent);
    parent->step(true);
    parent->step(true);
    EXPECT_EQ(20, parent->angles[0]);
    EXPECT_EQ(6, parent->position[0]);  // (2, 0, 0) + 2 × (2, 0, 0)
    EXPECT_EQ(0, parent->children->count());
    // Destroyed dynamics leave the instance list: the tag finds nothing now.
    EXPECT_EQ(nullptr, instance("SPIN"));
    EXPECT_EQ(nullptr, instance("MOVE"));
}

TEST_F(DynamicTimeline, DynamicsPlacedNowhereStayRegisteredAndChangeNothing)
{
    apply(cat({
        placeTransform("OBJ_"),
        attach(1002, "NOPA", "", "", 0, 2, fields("Rotaci\xf3 1", false, 0, 10)),       // no parent tag
        attach(1002, "LOST", "MISS", "", 0, 2, fields("Rotaci\xf3 1", false, 0, 10)),   // no such parent
        attach(1004, "NOSI", "OBJ_", "MISS", 0, 2, fields("Posici\xf3", false, 0, 5, {0, 1, 0})),  // no such sibling
        attach(1003, "SELF", "SELF", "", 0, 2, fields("Posici\xf3", false, 0, 5, {0, 1, 0})),      // itself
        placeTransform("AFTR"),
    }));
    for (const char* tag : {"NOPA", "LOST", "NOSI", "SELF"})
        ASSERT_NE(nullptr, dynamic_cast<Dynamic*>(instance(tag))) << tag;
    EXPECT_EQ(nullptr, static_cast<Dynamic*>(instance("NOPA"))->target);
    EXPECT_EQ(nullptr, static_cast<Dynamic*>(instance("SELF"))->target);
    EXPECT_EQ(instance("OBJ_"), static_cast<Dynamic*>(instance("NOSI"))->target);
    EXPECT_EQ(2, static_cast<Dynamic*>(instance("NOSI"))->valueCount);  // loaded all the same
    EXPECT_EQ(0, instance("OBJ_")->children->count());
    EXPECT_NE(nullptr, instance("AFTR"));
    auto* object = static_cast<Transform*>(instance("OBJ_"));
    object->step(true);
    object->step(true);
    EXPECT_EQ(1, object->position[0]);
    EXPECT_EQ(0, object->angles[0]);

    // A dynamic named as parent by a later command of the same tag: the
    // earlier instance of that tag wins.
    apply(cat({placeTransform("TWIN"), attach(1002, "TWIN", "TWIN", "", 0, 2, fields("Posici\xf3 Y", false, 0, 1))}));
    auto* twin = static_cast<Transform*>(instance("TWIN"));
    ASSERT_NE(nullptr, dynamic_cast<Transform*>(twin));
    ASSERT_EQ(1, twin->children->count());
    twin->step(true);
    EXPECT_EQ(1, twin->position[1]);
}

TEST_F(DynamicTimeline, TheFirstInstanceOfATagIsTheParentEvenWhenPlacedNowhere)
{
    apply(cat({placeTransform("OBJ_", "", "MISS"),  // no such sibling: placed nowhere
               placeTransform("OBJ_"),              // the second of the tag, at the root
               attach(1002, "MOVE", "OBJ_", "", 0, 2, fields("Posici\xf3 X", false, 0, 10))}));
    auto* first = static_cast<Transform*>(instance("OBJ_"));
    ASSERT_NE(nullptr, first);
    ASSERT_EQ(1, active.count());
    auto* placed = static_cast<Transform*>(active.first());
    EXPECT_NE(first, placed);
    EXPECT_EQ(first, static_cast<Dynamic*>(instance("MOVE"))->target);
    EXPECT_EQ(1, first->children->count());
    placed->step(true);
    placed->step(true);
    EXPECT_EQ(1, placed->position[0]);  // the dynamic is not its child
}

TEST_F(DynamicTimeline, AStreamCutInsideThePayloadLoadsNothingOfIt)
{
    Bytes commands = cat({placeTransform("OBJ_"),
                          attach(1003, "MOVE", "OBJ_", "", 0, 3, fields("Posici\xf3", true, 9, 1, {1, 1, 1}))});
    commands.resize(commands.size() - 5);  // inside the vector
    apply(commands);
    auto* parent = static_cast<Transform*>(instance("OBJ_"));
    ASSERT_NE(nullptr, parent);
    auto* move = dynamic_cast<TranslationDynamic*>(instance("MOVE"));
    ASSERT_NE(nullptr, move);
    EXPECT_EQ(0, move->parameterIndex);
    EXPECT_FALSE(move->resetAtStart);
    for (int i = 0; i < 3; ++i)
        parent->step(true);
    EXPECT_EQ(1, parent->position[0]);
    EXPECT_EQ(0, parent->children->count());
}

TEST_F(DynamicTimeline, ADynamicPlacedNowhereLetsGoOfATargetThatIsDestroyed)
{
    // Placed nowhere, the dynamic does not die with its target; a later
    // fast-forward of it must not reach the destroyed object.
    apply(cat({placeTransform("OBJ_"), attach(1004, "NOSI", "OBJ_", "MISS", 0, 2,
                                              fields("Posici\xf3", false, 0, 5, {0, 1, 0}))}));
    auto* dynamic = dynamic_cast<Dynamic*>(instance("NOSI"));
    ASSERT_NE(nullptr, dynamic);
    ASSERT_NE(nullptr, dynamic->target);
    active.remove(instance("OBJ_"));  // its lifetime over
    EXPECT_EQ(nullptr, dynamic->target);
    apply(fastForwardCommand(false, "NOSI", 2));
    EXPECT_EQ(2, dynamic->stepCount);
}
