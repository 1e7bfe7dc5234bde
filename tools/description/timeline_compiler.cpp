// The timeline of a description: entries by frame, their commands checked
// against the resources listed.
#include "tools/description/resources.h"

#include <array>
#include <cstring>
#include <map>

#include "animation/dynamic.h"

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

namespace {

struct DynamicKind {
    const char* name;
    int16_t command;
    bool vector;
};
const DynamicKind kDynamicKinds[] = {
    {"scalar", format::timeline::kScalarDynamic, false},
    {"translation", format::timeline::kTranslationDynamic, true},
    {"rotation", format::timeline::kRotationDynamic, true},
};

// ---- Timeline

class TimelineCompiler {
public:
    TimelineCompiler(const std::map<std::string, const ResourceClass*>& resources, int32_t totalFrames,
                     const common::TimeScale& time, const std::function<void(const std::string&)>& note)
        : resources_(resources), totalFrames_(totalFrames), time_(time), note_(note)
    {
    }

    Bytes timeline(const Value& list)
    {
        StreamWriter stream;
        stream.add(totalFramesChunk(int16_t(totalFrames_)));
        if (!list.isArray())
            fail(list, "timeline", "must be a list of entries {\"frame\": N, \"commands\": [...]}");
        int32_t previousFrame = 0;
        for (size_t i = 0; i < list.items.size(); ++i) {
            std::string place = "timeline entry " + std::to_string(i + 1);
            Fields entry(list.items[i], place);
            const Value& frameValue = entry.required("frame");
            int32_t frame =
                frames(frameValue, place, "'frame'", common::TimeUse::point, time_, 1, totalFrames_, totalFrames_);
            place += " (frame " + std::to_string(frame) + ")";
            entry.rename(place);
            // The player applies one entry per frame, in data order: an entry
            // out of order or sharing a frame would never run.
            if (frame <= previousFrame) {
                fail(frameValue, place,
                     "entries must have rising frames; the entry before is at frame " + std::to_string(previousFrame));
            }
            previousFrame = frame;
            Bytes commands;
            if (const Value* v = entry.optional("commands"))
                commands = commandList(*v, place, "", frame);
            entry.finish();
            stream.add(format::timeline::kEntry, timelineEntry(int16_t(frame), commands));
        }
        return stream.bytes();
    }

private:
    struct Placed {
        std::string tag;
        std::string parent;  // "" at the top level
        std::string className;  // "" for a dynamic
        bool dynamic = false;
    };

    // The first placed with a tag: the one the player's lookups find.
    const Placed* firstPlaced(const std::string& tag) const
    {
        for (const Placed& p : placed_) {
            if (p.tag == tag)
                return &p;
        }
        return nullptr;
    }

    void checkAfter(const Value& item, const std::string& place, const std::string& after, const std::string& parent)
    {
        if (after.empty())
            return;
        bool sibling = false;
        for (const Placed& other : placed_)
            sibling = sibling || (other.tag == after && other.parent == parent);
        if (!sibling) {
            std::string where = parent.empty() ? "at the top level" : "under " + quoted(parent);
            fail(*item.find("after"), place,
                 "after " + quoted(after) + ": no instance of that tag is placed " + where + " before this command");
        }
    }

    Bytes dynamicCommandOf(const Value& item, Fields& f, const std::string& place, int32_t frame)
    {
        const Value& kindValue = f.required("dynamic");
        const std::string& kindName = stringValue(kindValue, place, "'dynamic'");
        const DynamicKind* kind = nullptr;
        std::vector<std::string> kindNames;
        for (const DynamicKind& k : kDynamicKinds) {
            kindNames.push_back(k.name);
            if (kindName == k.name)
                kind = &k;
        }
        if (!kind) {
            fail(kindValue, place,
                 "unknown dynamic " + quoted(kindName) + suggestion(kindName, kindNames) +
                     "; known: scalar, translation, rotation");
        }

        AttachDynamic d;
        d.kind = kind->command;
        d.dynamicTag = f.tag("as", "");
        d.start = f.frames("start", int16_t(frame - 1), common::TimeUse::span, time_);
        // A length of 0 or less would never end and has no values to apply.
        d.length = int16_t(frames(f.required("length"), place, "'length'", common::TimeUse::span, time_, 1, 32767));
        const Value& parentValue = f.required("parent");
        d.parentTag = tagText(parentValue, place, "'parent'");
        d.afterTag = f.tag("after", "");

        DynamicFields fields;
        const Value& parameterValue = f.required("parameter");
        fields.parameter = stringValue(parameterValue, place, "'parameter'");
        const int16_t index = dynamicParameterIndex(fields.parameter);
        if (const Value* v = f.optional("mode")) {
            const std::string& mode = stringValue(*v, place, "'mode'");
            if (mode != "relative" && mode != "reset")
                fail(*v, place, "'mode' is 'relative' (add to the value there) or 'reset' (start from 'initial')");
            fields.reset = mode == "reset";
        }
        fields.initial = f.real("initial", 0);
        fields.perFrame = real(f.required("value"), place, "'value'");
        const Value* vectorValue = f.optional("vector");
        if (kind->vector) {
            const bool translation = kind->command == format::timeline::kTranslationDynamic;
            if (!vectorValue)
                fail(item, place, std::string("a ") + kind->name + " needs 'vector', " +
                                      (translation ? "the direction to move along" : "the axis to turn about"));
            fields.vector = floats<3>(*vectorValue, place, "'vector'");
            if (kind->command == format::timeline::kRotationDynamic && fields.vector == std::array<float, 3>{0, 0, 0})
                fail(*vectorValue, place, "a rotation axis must not be (0, 0, 0)");
        } else if (vectorValue) {
            fail(*vectorValue, place, "a scalar dynamic changes one value and takes no 'vector'");
        }
        f.finish();

        if (index == 0) {
            std::vector<std::string> names;
            for (int16_t i = 1; i < Dynamic::kNameCount; ++i)
                names.push_back(displayName(i));
            fail(parameterValue, place, "unknown parameter " + quoted(fields.parameter) +
                                            suggestion(fields.parameter, names));
        }
        const Placed* parent = firstPlaced(d.parentTag);
        if (!parent) {
            fail(parentValue, place,
                 "parent " + quoted(d.parentTag) + " is not placed before this command" +
                     suggestion(d.parentTag, placedTags()));
        }
        if (parent->dynamic)
            fail(parentValue, place, quoted(d.parentTag) + " is a dynamic; a dynamic drives a placed instance");
        // What the parent's class registers, read from an object of it; a
        // class that makes none is not checked.
        std::unique_ptr<SceneObject> sample = classSample(parent->className);
        if (sample) {
            bool registered = false;
            std::string list;
            for (int16_t i = 1; i < Dynamic::kNameCount; ++i) {
                if (!hasParameter(*sample, i))
                    continue;
                registered = registered || i == index;
                list += (list.empty() ? "" : ", ") + displayName(i);
            }
            if (!registered) {
                fail(parameterValue, place,
                     quoted(displayName(index)) + " is not a parameter of " + quoted(d.parentTag) + ", a " +
                         parent->className + (list.empty() ? ", which has none" : "; its parameters: " + list));
            }
        }
        if (kind->vector && sample && !drivesThreeFloats(*sample, index)) {
            fail(parameterValue, place,
                 std::string("a ") + kind->name + " changes three values: " + quoted(displayName(index)) +
                     " has fewer after it in a " + parent->className + "; use a vector such as " +
                     quoted(displayName(15)) + " or its X component");
        }
        checkAfter(item, place, d.afterTag, d.parentTag);
        placed_.push_back({d.dynamicTag, d.parentTag, "", true});
        d.payload = kind->vector ? vectorDynamicPayload(fields) : scalarDynamicPayload(fields);
        return dynamicCommand(d);
    }

    bool placedWithTag(const std::string& tag) const
    {
        for (const Placed& p : placed_) {
            if (p.tag == tag)
                return true;
        }
        return false;
    }

    std::vector<std::string> placedTags() const
    {
        std::vector<std::string> tags;
        for (const Placed& p : placed_)
            tags.push_back(p.tag);
        return tags;
    }

    std::vector<std::string> resourceTags() const
    {
        std::vector<std::string> tags;
        for (const auto& r : resources_)
            tags.push_back(r.first);
        return tags;
    }

    Bytes commandList(const Value& list, const std::string& entryPlace, const std::string& prefix, int32_t frame)
    {
        if (!list.isArray())
            fail(list, entryPlace, "'commands' must be a list");
        Bytes out;
        for (size_t i = 0; i < list.items.size(); ++i) {
            std::string number = prefix + std::to_string(i + 1);
            append(out, command(list.items[i], entryPlace, number, frame));
        }
        return out;
    }

    Bytes command(const Value& item, const std::string& entryPlace, const std::string& number, int32_t frame)
    {
        const std::string place = entryPlace + ", command " + number;
        static const std::vector<std::string> kinds = {"place", "copy", "group", "skip", "skipResource", "dynamic"};
        if (!item.isObject())
            fail(item, place, "a command is an object such as {\"place\": \"TAG\"}");
        std::string kind;
        for (const std::string& k : kinds) {
            if (!item.find(k))
                continue;
            if (!kind.empty())
                fail(item, place, "one command holds both " + quoted(kind) + " and " + quoted(k));
            kind = k;
        }
        if (kind.empty()) {
            std::string hint;
            if (!item.members.empty())
                hint = suggestion(item.members[0].first, kinds);
            fail(item, place, "a command needs one of 'place', 'copy', 'group', 'skip', 'skipResource', 'dynamic'" + hint);
        }

        Fields f(item, place);
        if (kind == "dynamic")
            return dynamicCommandOf(item, f, place, frame);
        if (kind == "group") {
            const Value& list = f.required("group");
            f.finish();
            if (!list.isArray())
                fail(list, place, "'group' must be a list of commands");
            return groupCommand(commandList(list, entryPlace, number + ".", frame));
        }
        if (kind == "skip" || kind == "skipResource") {
            bool resource = kind == "skipResource";
            const Value& target = f.required(kind);
            std::string tag = tagText(target, place, quoted(kind));
            int16_t count = int16_t(
                frames(f.required("frames"), place, "'frames'", common::TimeUse::span, time_, -32768, 32767));
            f.finish();
            if (resource && !resources_.count(tag))
                fail(target, place, "no resource tagged " + quoted(tag) + suggestion(tag, resourceTags()));
            if (!resource && !placedWithTag(tag))
                fail(target, place, "no instance " + quoted(tag) + " is placed before this command" +
                                        suggestion(tag, placedTags()));
            return fastForwardCommand(resource, tag, count);
        }

        // place or copy
        Place p;
        p.transformCopy = kind == "copy";
        const Value& source = f.required(kind);
        p.resourceTag = tagText(source, place, quoted(kind));
        p.instanceTag = f.tag("as", p.resourceTag);
        p.start = f.frames("start", int16_t(frame - 1), common::TimeUse::span, time_);
        p.length = f.frames("length", 0, common::TimeUse::span, time_);
        p.frame = f.frames("frame", int16_t(frame), common::TimeUse::point, time_);
        p.parentTag = f.tag("parent", "");
        p.afterTag = f.tag("after", "");
        f.finish();
        // The player takes any length of 0 or less as unlimited.
        if (p.length < 0)
            fail(*item.find("length"), place,
                 "'length' must be 0 (until its parent ends) or more, not " + std::to_string(p.length));

        auto found = resources_.find(p.resourceTag);
        if (found == resources_.end())
            fail(source, place, "no resource tagged " + quoted(p.resourceTag) + suggestion(p.resourceTag, resourceTags()));
        if (p.transformCopy && !found->second->transformCopy) {
            fail(source, place,
                 "'copy' makes a plain transform of the resource, which a " + std::string(found->second->name) +
                     " cannot give; use 'place'");
        }
        if (!p.parentTag.empty() && !placedWithTag(p.parentTag)) {
            fail(*item.find("parent"), place,
                 "parent " + quoted(p.parentTag) + " is not placed before this command" +
                     suggestion(p.parentTag, placedTags()));
        }
        checkAfter(item, place, p.afterTag, p.parentTag);
        if (std::string(found->second->name) == "ripple") {
            // It bends the mesh it is placed under, and nothing elsewhere.
            const Placed* parent = p.parentTag.empty() ? nullptr : firstPlaced(p.parentTag);
            const std::string parentClass = parent ? parent->className : "";
            if (parentClass != "grid" && parentClass != "mesh" && parentClass != "spawner") {
                fail(source, place,
                     "a ripple bends the grid or model mesh (or a spawner's object) it is placed under; " +
                         (parent ? "parent " + quoted(p.parentTag) + " is a " +
                                       (parentClass.empty() ? std::string("dynamic") : parentClass)
                                 : std::string("give it a 'parent'")));
            }
        }
        // A child starts when its parent's clock, which counts the demo's
        // frames, reaches its start (an instance at the top level has no such wait).
        if (p.start > totalFrames_ && !p.parentTag.empty() && note_) {
            note_(json::toString(item.find("start")->where) + ": warning: " + place + ": 'start' " +
                  std::to_string(p.start) + " is past the last frame (" + std::to_string(totalFrames_) +
                  "), so the instance never shows");
        }
        // A transform copy is a plain transform whatever it was made from.
        placed_.push_back({p.instanceTag, p.parentTag, p.transformCopy ? "transform" : found->second->name, false});
        return placeCommand(p);
    }

    const std::map<std::string, const ResourceClass*>& resources_;
    int32_t totalFrames_;
    common::TimeScale time_;
    std::function<void(const std::string&)> note_;
    std::vector<Placed> placed_;
};

}  // namespace

Bytes compileTimeline(const std::map<std::string, const ResourceClass*>& resources, int32_t totalFrames,
                      const common::TimeScale& time, const Value& list,
                      const std::function<void(const std::string&)>& note)
{
    TimelineCompiler timeline(resources, totalFrames, time, note);
    return timeline.timeline(list);
}

}  // namespace tools::description
