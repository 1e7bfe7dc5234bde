// One GLU quadric shape (cylinder, cone, sphere, disk or partial disk) drawn
// inside its own transform, with animatable radii, height and angles.
#pragma once

#include <GL/glu.h>

#include <cstdint>

#include "demo/format.h"
#include "geometry/transform.h"

class Quadric : public Transform {
public:
    Quadric();
    ~Quadric() override;

    // Sub-chunks 8 (sizes), 15 (GLU state), 275 (nested transform) and
    // 401 to 405 (the kind).
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    // copyInto is the transform's: the shape travels through clone only,
    // and every clone gets a GLU quadric of its own.
    SceneObject* clone() override;

    static constexpr int16_t kCylinder = format::quadric::kCylinder;
    static constexpr int16_t kCone = format::quadric::kCone;
    static constexpr int16_t kSphere = format::quadric::kSphere;
    static constexpr int16_t kDisk = format::quadric::kDisk;
    static constexpr int16_t kPartialDisk = format::quadric::kPartialDisk;

    // Owned; null when GLU could not make one, and then nothing is drawn.
    GLUquadric* quadric;
    float radius1 = 0;  // base radius, sphere radius, inner radius of disks
    float height = 0;
    int32_t slices = 0;
    int32_t stacks = 0;  // loops of disks
    float radius2 = 0;   // top radius of cones, outer radius of disks
    float startAngle = 0;  // degrees from +Y towards +X
    float sweepAngle = 0;
    int16_t kind = 0;  // 401 to 405; anything else draws nothing
    int32_t drawStyle = GLU_FILL;
    int32_t normals = GLU_NONE;
    int32_t orientation = GLU_OUTSIDE;
    uint8_t textured = 0;
};
