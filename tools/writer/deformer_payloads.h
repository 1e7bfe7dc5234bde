// Payload of the mesh deformers: the ripple (450).
#pragma once

#include "tools/writer/writer.h"

namespace tools::writer {

struct RippleFields {
    float startRadius = 0;
    float speed = 0.05f;    // radius growth per frame
    float amplitude = 0.2f; // lift at radius 1; it falls off as 1 / radius
    float width = 0.5f;     // width of the moving ring
    float centre[2] = {0, 0};  // in the mesh's own X-Y plane
};
// 15 (start radius, speed, amplitude, width), 16 (centre), the zero byte.
Bytes ripplePayload(const RippleFields& ripple);

}  // namespace tools::writer
