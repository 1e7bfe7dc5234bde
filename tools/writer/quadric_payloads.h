// Payload of the quadric shape (resource 400).
#pragma once

#include <cstdint>

#include "demo/format.h"
#include "tools/writer/geometry_payloads.h"

namespace tools::writer {

struct QuadricFields {
    TransformFields transform;
    int16_t kind = format::quadric::kSphere;  // 401 cylinder, 402 cone, 403 sphere, 404 disk, 405 partial disk; 0 none
    float radius1 = 1;   // base radius, sphere radius, inner radius of disks
    float radius2 = 0;   // top radius of cones, outer radius of disks
    float height = 1;
    float startAngle = 0;  // degrees from +Y towards +X (partial disk)
    float sweepAngle = 360;
    uint16_t slices = 16;
    uint16_t stacks = 8;  // loops of disks
    uint32_t drawStyle = 100012;    // GLU_FILL
    uint32_t normals = 100002;      // GLU_NONE
    uint32_t orientation = 100020;  // GLU_OUTSIDE
    bool textured = false;
};
// Sub-chunk 8 of the five sizes and two counts (24 bytes of content).
Bytes quadricSizesChunk(const QuadricFields& quadric);
// Sub-chunk 15 of the GLU state (14 bytes of content).
Bytes quadricStyleChunk(const QuadricFields& quadric);
// 275, 8, 15, then the kind chunk (none for kind 0), then the zero byte.
Bytes quadricPayload(const QuadricFields& quadric);

}  // namespace tools::writer
