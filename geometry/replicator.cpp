#include "geometry/replicator.h"

#include <cmath>
#include <cstring>

#include "demo/format.h"

Replicator::Replicator(ObjectList* registry) : registry(registry), instances(new ObjectList(false)) {}

Replicator::~Replicator()
{
    // The instances belong to the registry; a clone's list is its own too.
    delete instances;
}

void Replicator::createInstances(ChunkStream& stream, uint32_t length)
{
    delete instances;
    instances = new ObjectList(false);
    instanceCount = 0;
    // Without a registry nothing could own an instance.
    const int32_t count = registry ? int32_t(length / 4) : 0;
    for (int32_t i = 0; i < count; ++i) {
        char tag[5] = {};
        if (!stream.read(tag, 4))
            break;  // the rest of the list runs past the end
        Transform* instance = new Transform;
        // The source belongs to the registry: the instances only borrow it,
        // so it is destroyed once, and an instance that sees its lifetime
        // end lets go of it without destroying it.
        delete instance->children;
        instance->children = new ObjectList(false);
        if (source)
            instance->children->append(nullptr, source);
        instance->length = 0;
        instances->append(tag, instance);
        registry->append(tag, instance);
        ++instanceCount;
    }
    stream.skip(int64_t(length) - int64_t(instanceCount) * 4);
}

void Replicator::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        switch (id) {
        case format::replicator::kSource: {
            ObjectTag tag;
            // A longer chunk: its first 4 bytes are the tag.
            if (readField(stream, length, tag.text, 4) == 4)
                source = registry ? static_cast<SceneObject*>(registry->find(tag.text)) : nullptr;
            break;
        }
        case format::replicator::kInstanceTags:
            createInstances(stream, length);
            break;
        case format::replicator::kCircle: {
            uint8_t circle[9] = {};
            if (readField(stream, length, circle, sizeof circle) == sizeof circle) {
                float angle, radius;
                std::memcpy(&angle, circle, 4);
                std::memcpy(&radius, circle + 4, 4);
                layOutCircle(angle, radius, circle[8]);
            }
            break;
        }
        case format::replicator::kLattice: {
            uint8_t lattice[54] = {};
            if (readField(stream, length, lattice, sizeof lattice) == sizeof lattice) {
                int16_t counts[3];
                float spacing[3];
                for (int axis = 0; axis < 3; ++axis) {
                    // 12 bytes the player does not use, then count and spacing.
                    std::memcpy(&counts[axis], lattice + axis * 18 + 12, 2);
                    std::memcpy(&spacing[axis], lattice + axis * 18 + 14, 4);
                }
                layOutLattice(counts, spacing);
            }
            break;
        }
        default:
            loadShapeChunk(*this, stream, id, length);
        }
    });
}

void Replicator::layOutCircle(float angle, float radius, uint8_t faceCentre)
{
    // No instances, no step: nothing to divide by.
    if (instanceCount <= 0)
        return;
    const float total = angle * 0.017452866f;
    const float stepAngle = total / float(instanceCount);
    float t = 0;
    for (void* item = instances->first(); item; item = instances->next()) {
        Transform* instance = static_cast<Transform*>(item);
        instance->position[0] = std::cos(t) * radius;
        instance->position[1] = std::sin(t) * radius;
        instance->position[2] = 0;
        if (faceCentre == 1)
            instance->angles[2] = t * 57.297176f - 180.0f;
        t += stepAngle;
    }
}

void Replicator::layOutLattice(const int16_t counts[3], const float spacing[3])
{
    // A count of 0 along any axis leaves no lattice point: without this,
    // 32767 x 32767 x 0 would run a billion empty passes.
    if (counts[0] <= 0 || counts[1] <= 0 || counts[2] <= 0)
        return;
    float half[3];
    for (int axis = 0; axis < 3; ++axis)
        half[axis] = float(counts[axis] - 1) * spacing[axis] * 0.5f;
    // One instance per lattice point; a list that runs out ends the layout
    // at every level of the loops.
    Transform* instance = static_cast<Transform*>(instances->first());
    for (int x = 0; x < counts[0] && instance; ++x) {
        for (int y = 0; y < counts[1] && instance; ++y) {
            for (int z = 0; z < counts[2] && instance; ++z) {
                instance->position[0] = float(x) * spacing[0] - half[0];
                instance->position[1] = float(y) * spacing[1] - half[1];
                instance->position[2] = float(z) * spacing[2] - half[2];
                instance = static_cast<Transform*>(instances->next());
            }
        }
    }
}

int Replicator::step(bool stepOnly)
{
    // Instances are stepped in step-only passes too.
    apply();
    int result = SceneObject::step(stepOnly);
    for (void* instance = instances->first(); instance; instance = instances->next())
        static_cast<SceneObject*>(instance)->step(stepOnly);
    undo();
    return result;
}

int Replicator::typeId() const
{
    return format::type::kReplicator;
}

SceneObject* Replicator::clone()
{
    Replicator* copy = new Replicator(registry);
    Transform::copyInto(copy);
    for (void* instance = instances->first(); instance; instance = instances->next())
        copy->instances->append(instances->currentTag(), instance);
    copy->instanceCount = instanceCount;
    copy->source = source;
    return copy;
}
