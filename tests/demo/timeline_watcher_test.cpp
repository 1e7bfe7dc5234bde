// The timeline watcher: what a tool learns of the commands an entry runs and
// of the registered objects that are destroyed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/instance_list.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "geometry/transform.h"
#include "tools/writer/animation_payloads.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

struct Heard {
    std::string what;  // "made 1001 tag placed|nowhere parent", "skipped ...", "ended stepCount/length"
    const SceneObject* object;
};

class Listener final : public TimelineWatcher {
public:
    explicit Listener(InstanceList& instances) : instances_(instances) {}

    void made(int16_t command, const char* tag, SceneObject* object, SceneObject* parent, bool placed) override
    {
        heard.push_back({"made " + std::to_string(command) + " " + tag + (placed ? " placed" : " nowhere") +
                             " under " + (parent ? tagOf(parent) : "-"),
                         object});
    }
    void skipped(int16_t command, const char* tag, SceneObject* object, int16_t count) override
    {
        heard.push_back({"skipped " + std::to_string(command) + " " + tag + " " + std::to_string(count) +
                             (object ? "" : " (nothing)"),
                         object});
    }
    void ended(const SceneObject* object) override
    {
        heard.push_back({"ended " + std::to_string(object->stepCount) + "/" + std::to_string(object->length), object});
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const Heard& h : heard)
            out.push_back(h.what);
        return out;
    }
    std::vector<Heard> heard;

private:
    std::string tagOf(SceneObject* object)
    {
        for (void* item = instances_.first(); item; item = instances_.next()) {
            if (item == object)
                return instances_.currentTag();
        }
        return "?";
    }
    InstanceList& instances_;
};

Bytes place(const std::string& resource, const std::string& as, int16_t length, const std::string& parent = "",
            const std::string& after = "", bool copy = false)
{
    Place p;
    p.resourceTag = resource;
    p.instanceTag = as;
    p.length = length;
    p.parentTag = parent;
    p.afterTag = after;
    p.transformCopy = copy;
    return placeCommand(p);
}

}  // namespace

TEST(TimelineWatcher, HearsEveryPlacementFastForwardAndEnd)
{
    ObjectList resources(true), active(true);
    resources.deleter = &SceneObject::destroy;
    active.deleter = &SceneObject::destroy;
    resources.append("TRFM", new Transform);
    InstanceList instances;
    Listener listener(instances);
    instances.watcher = &listener;

    DynamicFields spin;
    spin.parameter = "Rotaci\xf3 1";
    spin.perFrame = 1;
    AttachDynamic dynamic;
    dynamic.dynamicTag = "spin";
    dynamic.length = 2;
    dynamic.parentTag = "kid_";
    dynamic.payload = scalarDynamicPayload(spin);
    AttachDynamic loose = dynamic;
    loose.dynamicTag = "lone";
    loose.parentTag = "";
    const Bytes commands = cat({
        place("TRFM", "root", 5),
        place("TRFM", "kid_", 0, "root"),
        place("TRFM", "lost", 0, "root", "none"),
        place("TRFM", "copy", 9, "", "", true),
        dynamicCommand(dynamic),
        dynamicCommand(loose),
        fastForwardCommand(false, "kid_", 3),
        fastForwardCommand(false, "gone", 4),
        fastForwardCommand(true, "TRFM", 1),
    });
    TimelineEntry entry(&resources, &active, &instances);
    const Bytes payload = timelineEntry(1, commands);
    entry.load(payload.data(), int32_t(payload.size()));
    entry.apply();

    EXPECT_EQ(listener.lines(), (std::vector<std::string>{
                                    "made 1001 root placed under -",
                                    "made 1001 kid_ placed under root",
                                    "made 1001 lost nowhere under root",
                                    "made 1005 copy placed under -",
                                    "made 1002 spin placed under kid_",
                                    "made 1002 lone nowhere under -",
                                    "ended 2/2",  // spin ends inside kid_'s three skipped steps
                                    "skipped 1006 kid_ 3",
                                    "skipped 1006 gone 4 (nothing)",
                                    "skipped 1007 TRFM 1",
                                }));
    ASSERT_EQ(listener.heard.size(), 10u);
    EXPECT_EQ(listener.heard[6].object, listener.heard[4].object) << "the dynamic that ended is spin";
    EXPECT_EQ(listener.heard[7].object, listener.heard[1].object);
    EXPECT_EQ(listener.heard[9].object, resources.find("TRFM"));

    // root goes, and with it kid_ (its step count still readable), while
    // the objects placed nowhere stay registered.
    listener.heard.clear();
    active.remove(active.find("root"));
    EXPECT_EQ(listener.lines(), (std::vector<std::string>{"ended 0/5", "ended 3/0"}));

    // Without a watcher the timeline runs as before.
    instances.watcher = nullptr;
    listener.heard.clear();
    TimelineEntry again(&resources, &active, &instances);
    again.load(payload.data(), int32_t(payload.size()));
    again.apply();
    EXPECT_TRUE(listener.heard.empty());
    instances.clear();
}
