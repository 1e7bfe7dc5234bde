#include "demo/timeline.h"

#include <cstring>

#include "demo/class_table.h"
#include "demo/format.h"
#include "demo/scene_object.h"

TimelineEntry::TimelineEntry(ObjectList* resources, ObjectList* active, InstanceList* instances)
    : resources(resources), active(active), instances(instances)
{
}

TimelineEntry::~TimelineEntry()
{
    delete[] commands;
}

void TimelineEntry::destroy(void* entry)
{
    delete static_cast<TimelineEntry*>(entry);
}

void TimelineEntry::load(const void* data, int32_t length)
{
    delete[] commands;
    commands = nullptr;
    size = 0;
    if (length < 2)
        return;
    std::memcpy(&startFrame, data, 2);
    size = length - 2;
    commands = new uint8_t[size_t(size) + 1];
    std::memcpy(commands, static_cast<const uint8_t*>(data) + 2, size_t(size));
}

SceneObject* readTagAndFind(ChunkStream& stream, ObjectList* list, ObjectTag* read)
{
    ObjectTag tag;
    stream.read(tag.text, 4);
    if (read)
        *read = tag;
    if (tag.empty() || !list)
        return nullptr;
    return static_cast<SceneObject*>(list->find(tag.text));
}

namespace {

// What timeline commands make comes from the class table, like every object.
SceneObject* makeByCommand(int16_t command, SceneObject* source)
{
    const ResourceClass* c = findClass(command);
    if (!c || !c->create)
        return nullptr;
    FactoryArgs args;
    args.source = source;
    return c->create(args);
}

// Reads an after tag; an empty one means "first".
const char* readAfterTag(ChunkStream& stream, ObjectTag& tag)
{
    stream.read(tag.text, 4);
    return tag.empty() ? nullptr : tag.text;
}

// Registers an object under its tag and inserts it into `into` after the
// sibling `after` (first when none). An object placed nowhere stays
// registered, so that later commands naming its tag find it, but is never
// stepped; the instance list keeps it until it is emptied. Without an
// instance list nothing could own it: it goes at once, and the result is false.
// *placed says whether it went into `into`.
bool registerAndPlace(InstanceList* instances, ObjectList* into, const char* after, const char* tag,
                      SceneObject* object, bool* placed)
{
    if (instances)
        instances->registerInstance(tag, object);
    *placed = into && into->insert(after, tag, object);
    if (*placed)
        return true;
    if (instances) {
        instances->keepUnplaced(object);
        return true;
    }
    delete object;
    return false;
}

}  // namespace

void TimelineEntry::apply()
{
    if (!commands)
        return;
    ChunkStream stream(commands, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        switch (id) {
        case format::timeline::kGroup:
            break;  // a group: its commands follow as members of this stream
        case format::timeline::kPlaceClone:
        case format::timeline::kPlaceTransformCopy: {
            SceneObject* resource = readTagAndFind(stream, resources);
            SceneObject* instance = nullptr;
            if (resource && id == format::timeline::kPlaceClone) {
                instance = resource->clone();
            } else if (resource && resource->copyFitsTransform()) {
                // A plain Transform carrying the resource's base fields (and
                // its transform fields when it has them) and clones of its
                // children; an identity transform for any other class.
                instance = makeByCommand(format::timeline::kPlaceTransformCopy, nullptr);
                if (instance)
                    resource->copyInto(instance);
            }
            ObjectTag instanceTag;
            stream.read(instanceTag.text, 4);
            int16_t fields[3] = {};
            stream.read(fields, 6);
            ObjectTag parentTag;
            SceneObject* parent = readTagAndFind(stream, instances, &parentTag);
            ObjectTag afterTag;
            const char* after = readAfterTag(stream, afterTag);
            // A tag that names no resource (or a class without clones) places nothing.
            if (!instance)
                break;
            instance->start = fields[0];
            instance->length = fields[1];
            instance->frame = fields[2];
            // Its own tag as parent, with no earlier instance of it, names the
            // instance itself: rather than its own child (never drawn, and a
            // loop of ownership) it is registered and placed nowhere.
            const bool ownParent = !parent && !parentTag.empty() && std::strcmp(parentTag.text, instanceTag.text) == 0;
            ObjectList* into = ownParent ? nullptr : parent ? parent->children : active;
            bool placed;
            if (!registerAndPlace(instances, into, after, instanceTag.text, instance, &placed))
                break;
            // A ripple bends the object it is placed under, or under an impact
            // spawner the object the spawner is attached to; a spawner
            // records the object it is placed under as that object.
            if (instance->typeId() == format::type::kRipple)
                instance->attachTo(parent && parent->typeId() == format::type::kImpactSpawner ? parent->attachedObject()
                                                                                : parent);
            else if (instance->typeId() == format::type::kImpactSpawner)
                instance->attachTo(parent);
            if (instances && instances->watcher)
                instances->watcher->made(id, instanceTag.text, instance, parent, placed);
            break;
        }
        case format::timeline::kScalarDynamic:
        case format::timeline::kTranslationDynamic:
        case format::timeline::kRotationDynamic: {
            ObjectTag dynamicTag;
            stream.read(dynamicTag.text, 4);
            int16_t fields[2] = {};
            stream.read(fields, 4);
            // Looked up before the dynamic is registered, so that a parent tag
            // equal to its own never makes it its own child.
            SceneObject* parent = readTagAndFind(stream, instances);
            ObjectTag afterTag;
            const char* after = readAfterTag(stream, afterTag);
            uint8_t payload[23] = {};
            const int32_t payloadSize = id == format::timeline::kScalarDynamic ? 11 : 23;
            const bool whole = stream.read(payload, payloadSize);
            SceneObject* dynamic = makeByCommand(id, parent);  // animates its parent
            if (!dynamic)
                break;
            dynamic->start = fields[0];
            dynamic->length = fields[1];
            // Without a parent the dynamic is registered but never stepped.
            bool placed;
            if (!registerAndPlace(instances, parent ? parent->children : nullptr, after, dynamicTag.text, dynamic,
                                  &placed))
                break;
            // A stream cut short inside the payload loads nothing of it.
            dynamic->load(payload, whole ? payloadSize : 0);
            if (instances && instances->watcher)
                instances->watcher->made(id, dynamicTag.text, dynamic, parent, placed);
            break;
        }
        case format::timeline::kFastForwardInstance:
        case format::timeline::kFastForwardResource: {
            ObjectTag tag;
            const bool ofInstance = id == format::timeline::kFastForwardInstance;
            SceneObject* object = readTagAndFind(stream, ofInstance ? instances : resources, &tag);
            int16_t count = 0;
            stream.read(&count, 2);
            if (object)
                object->skipFrames(count);
            if (instances && instances->watcher)
                instances->watcher->skipped(id, tag.text, object, count);
            break;
        }
        default:
            stream.skip(length);
            break;
        }
    });
}
