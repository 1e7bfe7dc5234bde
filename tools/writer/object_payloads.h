// Payloads (resource envelope bodies) of the state objects: camera (300),
// colour (3) and scale (150), written as the player reads them.
#pragma once

#include "tools/writer/writer.h"

namespace tools::writer {

// Chunk stream 301 position, 302 up vector, 303 centre, 304 fade colour and
// value, 305 proximity, in that order, with the trailing byte. A group whose
// `with` flag is false is left out.
struct CameraPayload {
    float position[3] = {5, 5, 5};
    float up[3] = {0, 1, 0};
    float centre[3] = {0, 0, 0};
    float fadeColor[3] = {0, 0, 0};
    float fadeValue = 0;
    float proximity = 1;
    bool withPosition = true;
    bool withUp = true;
    bool withCentre = true;
    bool withFade = true;
    bool withProximity = true;
};
Bytes cameraPayload(const CameraPayload& camera);

// Red, green, blue, alpha and the trailing byte (17 bytes).
struct ColorPayload {
    float red = 1, green = 1, blue = 1, alpha = 1;
};
Bytes colorPayload(const ColorPayload& color);

// x, y, z factors and the trailing byte (13 bytes).
struct ScalePayload {
    float x = 1, y = 1, z = 1;
};
Bytes scalePayload(const ScalePayload& scale);

}  // namespace tools::writer
