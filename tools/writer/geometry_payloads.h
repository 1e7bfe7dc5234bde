// Payloads of the geometry resources: transform (275), quad (160), box (250).
#pragma once

#include <array>

#include "tools/writer/writer.h"

namespace tools::writer {

using Vec3 = std::array<float, 3>;

struct TransformFields {
    Vec3 position{0, 0, 0};
    Vec3 angles{0, 0, 0};  // degrees
    Vec3 axis1{1, 0, 0};
    Vec3 axis2{0, 1, 0};
    Vec3 axis3{0, 0, 1};
};
// Sub-chunks 5, 6, 10, 11, 12. A stand-alone resource payload ends with the
// stream's zero byte (91 bytes); the one nested in other geometry has none (90).
Bytes transformPayload(const TransformFields& transform, bool nested = false);
// Sub-chunk 275 holding the nested transform payload, as other payloads carry it.
Bytes nestedTransformChunk(const TransformFields& transform);

struct QuadCorner {
    float x = 0, y = 0, z = 0;
    float u = 0, v = 0;
    float r = 1, g = 1, b = 1, a = 1;
};
struct QuadFields {
    TransformFields transform;
    std::array<QuadCorner, 4> corners{};
};
// Sub-chunk 161: the four nine-float corner records (144 bytes of content).
Bytes quadCornersChunk(const std::array<QuadCorner, 4>& corners);
// 275 then 161, then the zero byte (247 bytes).
Bytes quadPayload(const QuadFields& quad);

struct BoxFields {
    TransformFields transform;
    Vec3 dimensions{1, 1, 1};
};
// 275 then 251 (the three sizes), then the zero byte.
Bytes boxPayload(const BoxFields& box);

}  // namespace tools::writer
