#include "objects/force.h"

#include <cstring>

#include "animation/vector_math.h"
#include "demo/format.h"
#include "geometry/mesh_deformer.h"
#include "geometry/transform.h"

void Force::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    float fields[4];
    // A short payload leaves the force as it was.
    if (!stream.read(fields, sizeof fields))
        return;
    strength = fields[0];
    std::memcpy(direction, fields + 1, sizeof direction);
}

int Force::step(bool stepOnly)
{
    // Only a transform has a position to move.
    if (Transform* t = dynamic_cast<Transform*>(target)) {
        // Moved with its transform taken off the matrix, so that undoing it
        // later removes exactly what was applied.
        const bool applied = t->transformApplied;
        if (applied)
            t->undo();
        vecAddScaled(t->position, direction, t->position, float(int32_t(stepCount) - timeBase) * strength);
        if (applied)
            t->apply();
    }
    return SceneObject::step(stepOnly);
}

int Force::typeId() const
{
    return format::type::kForce;
}

SceneObject* Force::clone()
{
    // A bound force has no copy. A copy lives elsewhere (under a copy of the
    // target, at best): bound to the original it would move the wrong object
    // and outlive it, unbound it would still add a speed that nothing
    // applies. A copied sphere below a marker is bound a force of its own.
    if (target)
        return nullptr;
    Force* copy = new Force;
    copyInto(copy);
    copy->strength = strength;
    std::memcpy(copy->direction, direction, sizeof direction);
    return copy;
}

void Force::forgetObject(const SceneObject* gone)
{
    if (target == gone)
        target = nullptr;
}

Force* Force::bindTo(SceneObject* object)
{
    Force* bound = new Force;
    bound->timeBase = timeBase;
    bound->strength = strength;
    std::memcpy(bound->direction, direction, sizeof direction);
    bound->target = object;
    bound->start = object->start;
    bound->length = object->length;
    return bound;
}

void Force::currentVelocity(float out[3]) const
{
    std::memcpy(out, direction, sizeof direction);
    vecScale(out, float(int32_t(stepCount) - timeBase) * strength);
}

void Force::restart()
{
    timeBase = int32_t(stepCount) - 2;
}

int ImpactSpawner::step(bool)
{
    ++stepCount;
    return advanceLifetime();
}

int ImpactSpawner::typeId() const
{
    return format::type::kImpactSpawner;
}

SceneObject* ImpactSpawner::clone()
{
    return new ImpactSpawner;
}

void ImpactSpawner::forgetObject(const SceneObject* gone)
{
    if (parent == gone)
        parent = nullptr;
    // Placed nowhere, the spawner keeps its templates past its object: the
    // ripples among them were bound to that object and must let go too.
    ObjectList* list = children;
    for (auto* t = static_cast<SceneObject*>(list->first()); t; t = static_cast<SceneObject*>(list->next()))
        t->forgetObject(gone);
}

void ImpactSpawner::spawnAt(const float point[3])
{
    // Never placed under an object: nowhere to put the copies. A set is
    // whole once begun, so the bound may be passed by less than one set.
    if (!parent || copiesThisPass_ >= kMaxCopiesPerPass)
        return;
    const int16_t now = int16_t(start + stepCount);
    for (auto* t = static_cast<SceneObject*>(children->first()); t; t = static_cast<SceneObject*>(children->next())) {
        SceneObject* copy = t->clone();
        if (!copy)
            continue;
        if (t->typeId() == format::type::kRipple)
            if (Ripple* ripple = dynamic_cast<Ripple*>(copy))
                ripple->setCentre(point[0], point[1]);
        copy->start = now;
        copy->frame = now;
        parent->children->add(copy);
        ++copiesThisPass_;
    }
}
