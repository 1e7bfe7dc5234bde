// Simple physics for the spheres and grids below it: every step, before its
// children, the world finds the touching pairs, tells their impact spawners
// where, and changes the spheres' velocities. A velocity is no field: it is
// what the sphere's translation dynamics and bound forces move it by.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class Grid;
class Quadric;

class CollisionWorld : public SceneObject {
public:
    // Forces (421) and spawners (423) of the payload go into `resources`.
    explicit CollisionWorld(ObjectList* resources);

    // Sub-chunks 421 (tag, force), 422 (rolling) and 423 (tag, spawner).
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    SceneObject* clone() override;

    // The velocity its dynamics and forces give the sphere; false when it
    // has none of them.
    static bool sphereVelocity(SceneObject* sphere, float out[3]);
    // Replaces the sphere's translation dynamics by one moving it by v per
    // frame until this world ends, and restarts its forces.
    void setSphereVelocity(Quadric* sphere, const float v[3]);
    bool sphereContact(Quadric* a, Quadric* b, const float* ma, const float* mb, float point[3]);
    bool gridContact(Grid* grid, Quadric* sphere, const float* mg, const float* ms, float point[3]);
    void roll(Quadric* sphere, const float v[3]);

    ObjectList* resources;  // borrowed
    bool rolling = false;

private:
    struct Collider {
        SceneObject* object;
        int kind;  // 1 sphere, 3 grid
        float matrix[16];
    };
    void collectColliders(SceneObject* node, float* m, SceneObject* force);

    Collider* colliders_ = nullptr;  // rebuilt every step
    int colliderCount_ = 0;
    int colliderCapacity_ = 0;

public:
    ~CollisionWorld() override;
};
