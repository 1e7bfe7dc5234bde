// The two helpers of the collision world: a force that accelerates the
// object it is bound to, and a spawner that drops copies of its templates
// (ripples centred on the impact) wherever its object collides.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class Force : public SceneObject {
public:
    // 16 bytes: strength, then direction x, y, z.
    void load(const void* data, int32_t size) override;
    // Moves the target by direction × (elapsed steps × strength), then steps.
    int step(bool stepOnly) override;
    int typeId() const override;
    // None for a bound force; a marker's copy keeps its pull.
    SceneObject* clone() override;
    void forgetObject(const SceneObject* gone) override;

    // A new force (the caller's) acting on `object` from this one's time
    // base, living as long as the object; no children, not a copy.
    Force* bindTo(SceneObject* object);
    // The displacement the next step applies.
    void currentVelocity(float out[3]) const;
    // Starts the acceleration again from a low speed (after a bounce).
    void restart();

    float direction[3] = {0, 0, 0};
    float strength = 0;
    int32_t timeBase = 0;
    SceneObject* target = nullptr;  // borrowed; none for a marker
};

class ImpactSpawner : public SceneObject {
public:
    // Counts its lifetime only: the children are templates, never drawn.
    int step(bool stepOnly) override;
    int typeId() const override;
    // An empty spawner: templates and parent are the timeline's to give.
    SceneObject* clone() override;
    void attachTo(SceneObject* object) override { parent = object; }
    SceneObject* attachedObject() const override { return parent; }
    void forgetObject(const SceneObject* gone) override;

    // Appends a clone of every template to the parent's children, starting
    // now; ripples are centred on the point's x and y. Every contact spawns,
    // up to kMaxCopiesPerPass copies in one pass of the collision world.
    void spawnAt(const float point[3]);
    // A new pass of the collision world: the count of copies starts again.
    void beginPass() { copiesThisPass_ = 0; }

    // Copies that touch their own object spawn again at the next pass: without
    // a bound they would double with every step.
    static constexpr int32_t kMaxCopiesPerPass = 32;

    SceneObject* parent = nullptr;  // borrowed

private:
    int32_t copiesThisPass_ = 0;
};
