#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "demo/instance_list.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "geometry/box.h"
#include "geometry/grid.h"
#include "geometry/transform.h"
#include "objects/color.h"
#include "tests/support/gl_fixture.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

class TimelineTest : public ::testing::Test {
protected:
    TimelineTest()
    {
        resources.deleter = &SceneObject::destroy;
        active.deleter = &SceneObject::destroy;
        auto* t = new Transform;
        t->position[0] = 7;
        resources.append("TRFM", t);
        resources.append("RECO", new RecordingObject("r", &log));
    }

    void apply(int16_t start, const Bytes& commands)
    {
        TimelineEntry entry(&resources, &active, &instances);
        Bytes payload = timelineEntry(start, commands);
        entry.load(payload.data(), int32_t(payload.size()));
        EXPECT_EQ(start, entry.startFrame);
        entry.apply();
    }

    std::vector<std::string> tags(ObjectList& list)
    {
        std::vector<std::string> out;
        for (void* p = list.first(); p; p = list.next())
            out.push_back(list.currentTag() ? list.currentTag() : "-");
        return out;
    }

    static Place place(const std::string& resource, const std::string& instance, const std::string& parent = "",
                       const std::string& after = "")
    {
        Place p;
        p.resourceTag = resource;
        p.instanceTag = instance;
        p.parentTag = parent;
        p.afterTag = after;
        return p;
    }

    std::vector<std::string> log;
    ObjectList resources{true};
    ObjectList active{true};
    InstanceList instances;  // declared after active: forgets before the instances die
};

}  // namespace

TEST_F(TimelineTest, GroupOfThreePlacementsAfterTagsFixTheOrder)
{
    // Without after tags each instance goes first; with them, after the named sibling.
    apply(1, groupCommand(cat({placeCommand(place("TRFM", "ONE_")), placeCommand(place("TRFM", "TWO_", "", "ONE_")),
                               placeCommand(place("TRFM", "THRE", "", "TWO_"))})));
    EXPECT_EQ((std::vector<std::string>{"ONE_", "TWO_", "THRE"}), tags(active));
    EXPECT_EQ((std::vector<std::string>{"ONE_", "TWO_", "THRE"}), tags(instances));

    apply(2, placeCommand(place("TRFM", "ZERO")));
    EXPECT_EQ("ZERO", tags(active).front());

    // Under a parent: into its children.
    apply(3, cat({placeCommand(place("TRFM", "KID1", "ONE_")), placeCommand(place("TRFM", "KID2", "ONE_"))}));
    auto* one = static_cast<SceneObject*>(instances.find("ONE_"));
    EXPECT_EQ((std::vector<std::string>{"KID2", "KID1"}), tags(*one->children));
}

TEST_F(TimelineTest, InstancesAreClonesWithTheCommandsLifetimeFields)
{
    Place p = place("TRFM", "INST");
    p.start = 4;
    p.length = 9;
    p.frame = 5;
    apply(5, placeCommand(p));
    auto* instance = static_cast<Transform*>(instances.find("INST"));
    ASSERT_NE(nullptr, instance);
    EXPECT_NE(resources.find("TRFM"), instance);
    EXPECT_EQ(1, instance->isCopy);
    EXPECT_EQ(7, instance->position[0]);
    EXPECT_EQ(4, instance->start);
    EXPECT_EQ(9, instance->length);
    EXPECT_EQ(5, instance->frame);
}

TEST_F(TimelineTest, DynamicCommandsAreReadFieldByFieldNotByLength)
{
    AttachDynamic dynamic;
    dynamic.dynamicTag = "DYNA";
    dynamic.payload = Bytes(11, 0);
    dynamic.declaredLength = 31;  // as the authoring tool writes it; the content is 27 bytes
    Bytes d = dynamicCommand(dynamic);
    ASSERT_EQ(6u + 27u, d.size());
    AttachDynamic vector3 = dynamic;
    vector3.kind = 1003;
    vector3.payload = Bytes(23, 0);
    vector3.declaredLength = 99;
    apply(1, cat({d, dynamicCommand(vector3), placeCommand(place("TRFM", "AFTR"))}));
    EXPECT_NE(nullptr, instances.find("AFTR"));
}

TEST_F(TimelineTest, TransformCopyIsAPlainTransform)
{
    auto* color = new Color;
    color->components[0] = 0.25f;
    color->children->append("KID_", new RecordingObject("k", &log));
    resources.append("COLR", color);
    auto* box = new Box;
    box->position[0] = 3;
    resources.append("BOX_", box);
    resources.append("GRID", new Grid);
    Place p = place("TRFM", "COPY");
    p.transformCopy = true;
    Place q = place("COLR", "COLC", "", "COPY");
    q.transformCopy = true;
    q.length = 5;
    Place r = place("BOX_", "BOXC");
    r.transformCopy = true;  // a box's copy fills dimensions a transform lacks: refused
    Place g = place("GRID", "GRDC");
    g.transformCopy = true;  // so does a mesh's (its arrays)
    apply(1, cat({placeCommand(p), placeCommand(q), placeCommand(r), placeCommand(g)}));
    auto* copy = dynamic_cast<Transform*>(static_cast<SceneObject*>(instances.find("COPY")));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(7, copy->position[0]);

    // Any class whose copy holds only the base fields gives an identity
    // transform with the command's lifetime and clones of the children.
    auto* colorCopy = static_cast<SceneObject*>(instances.find("COLC"));
    ASSERT_NE(nullptr, colorCopy);
    EXPECT_EQ(275, colorCopy->typeId());
    auto* plain = dynamic_cast<Transform*>(colorCopy);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(typeid(Transform), typeid(*plain));
    const Transform identity;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(identity.position[i], plain->position[i]);
        EXPECT_EQ(identity.angles[i], plain->angles[i]);
        EXPECT_EQ(identity.axis1[i], plain->axis1[i]);
        EXPECT_EQ(identity.axis3[i], plain->axis3[i]);
    }
    EXPECT_EQ(1, plain->isCopy);
    EXPECT_EQ(5, plain->length);
    ASSERT_EQ(1, plain->children->count());
    EXPECT_NE(color->children->first(), plain->children->first());
    EXPECT_NE(nullptr, dynamic_cast<RecordingObject*>(static_cast<SceneObject*>(plain->children->first())));

    EXPECT_EQ(nullptr, instances.find("BOXC"));
    EXPECT_EQ(nullptr, instances.find("GRDC"));
    EXPECT_EQ((std::vector<std::string>{"COPY", "COLC"}), tags(active));
}

TEST_F(TimelineTest, UnknownParentsAndAfterTagsAndResources)
{
    apply(1, cat({placeCommand(place("TRFM", "ROOT", "NONE")),           // no such parent: at the root
                  placeCommand(place("TRFM", "LOST", "", "NONE")),       // no such sibling: placed nowhere
                  placeCommand(place("MISS", "GONE")),                   // no such resource
                  chunk(1234, {1, 2, 3}),                                // unknown command: skipped by length
                  placeCommand(place("TRFM", "LAST", "", "ROOT"))}));
    EXPECT_EQ((std::vector<std::string>{"ROOT", "LAST"}), tags(active));
    EXPECT_NE(nullptr, instances.find("LOST"));  // registered all the same
    EXPECT_EQ(nullptr, instances.find("GONE"));
}

TEST_F(TimelineTest, AnInstancePlacedNowhereIsStillFoundAndWhatGoesUnderItIsNeverDrawn)
{
    int destroyed = 0;
    resources.append("COUN", new RecordingObject("c", &log, &destroyed));
    apply(1, cat({placeCommand(place("COUN", "ORPH", "", "NONE")),   // no such sibling: placed nowhere
                  placeCommand(place("RECO", "KID_", "ORPH")),        // its child
                  placeCommand(place("COUN", "TWIN", "", "NONE")),    // two of one tag: the first is
                  placeCommand(place("RECO", "TWIN")),                // placed nowhere, the second is
                  placeCommand(place("RECO", "KID2", "TWIN")),       // the first one wins
                  placeCommand(place("COUN", "SELF", "SELF"))}));    // its own parent: placed nowhere
    auto* orphan = static_cast<SceneObject*>(instances.find("ORPH"));
    ASSERT_NE(nullptr, orphan);
    EXPECT_EQ((std::vector<std::string>{"KID_"}), tags(*orphan->children));
    auto* twin = static_cast<SceneObject*>(instances.find("TWIN"));
    ASSERT_NE(nullptr, twin);
    EXPECT_EQ((std::vector<std::string>{"KID2"}), tags(*twin->children));
    EXPECT_EQ((std::vector<std::string>{"TWIN"}), tags(active));
    EXPECT_NE(twin, active.first());
    auto* self = static_cast<SceneObject*>(instances.find("SELF"));
    ASSERT_NE(nullptr, self);
    EXPECT_EQ(0, self->children->count());

    for (void* p = active.first(); p; p = active.next())
        static_cast<SceneObject*>(p)->step(false);
    EXPECT_EQ((std::vector<std::string>{"r"}), log);  // the placed twin, nothing under the unplaced ones

    // Emptying the list (a loop of the demo) destroys what nothing else owns.
    EXPECT_EQ(0, destroyed);
    instances.clear();
    EXPECT_EQ(3, destroyed);
    EXPECT_EQ(1, active.count());
}

TEST_F(TimelineTest, LifetimeAndDestroyedInstancesAreForgotten)
{
    Place p = place("RECO", "SHRT");
    p.start = 2;
    p.length = 2;
    apply(3, placeCommand(p));
    // The instance ends after its length; its tag then names nothing.
    auto* instance = static_cast<SceneObject*>(instances.find("SHRT"));
    ASSERT_NE(nullptr, instance);
    EXPECT_EQ(1, instance->step(false));
    EXPECT_EQ(0, instance->step(false));
    active.remove(instance);
    EXPECT_EQ(nullptr, instances.find("SHRT"));
    apply(4, placeCommand(place("TRFM", "CHLD", "SHRT")));  // the parent is gone: at the root
    EXPECT_EQ((std::vector<std::string>{"CHLD"}), tags(active));
}

TEST_F(TimelineTest, ApplyingTwiceMakesTwoSetsAndFastForward)
{
    Bytes commands = cat({placeCommand(place("RECO", "INST")), fastForwardCommand(false, "INST", 3),
                          fastForwardCommand(false, "INST", -2), fastForwardCommand(true, "RECO", 0)});
    apply(1, commands);
    EXPECT_EQ((std::vector<std::string>{"r~", "r~", "r~"}), log);
    instances.clear();
    apply(1, commands);
    EXPECT_EQ(2, active.count());
    EXPECT_EQ(1, instances.count());
    EXPECT_EQ(active.first(), instances.find("INST"));  // the new one, placed first
    EXPECT_EQ(6u, log.size());
}
