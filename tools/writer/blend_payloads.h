// Payloads of the blending and drawing-mode objects: blend mode (340),
// motion trail (341) and polygon mode (345). None is a chunk stream.
#pragma once

#include <cstdint>

#include "tools/writer/writer.h"

namespace tools::writer {

// GL blend factors as signed 16-bit values, then the trailing byte (5 bytes).
struct BlendPayload {
    int16_t source = 0x0302;       // GL_SRC_ALPHA
    int16_t destination = 0x0001;  // GL_ONE
};
Bytes blendModePayload(const BlendPayload& blend);

// The blend factors, the trail length, then the trailing byte (7 bytes).
struct TrailPayload {
    BlendPayload blend;
    int16_t length = 25;  // snapshots kept besides the newest
};
Bytes motionTrailPayload(const TrailPayload& trail);

// glPolygonMode face and mode, then the trailing byte (5 bytes).
struct PolygonModePayload {
    int16_t face = 0x0408;  // GL_FRONT_AND_BACK
    int16_t mode = 0x1B01;  // GL_LINE
};
Bytes polygonModePayload(const PolygonModePayload& polygonMode);

}  // namespace tools::writer
