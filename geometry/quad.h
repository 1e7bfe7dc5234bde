// One four-cornered polygon drawn inside its own transform, with a position,
// a texture coordinate and a colour for each corner, all animatable.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

class Quad : public Transform {
public:
    Quad();

    // Sub-chunks 161 (corner records) and 275 (nested transform); also used
    // on an existing quad with corner records only.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    // copyInto is the transform's: corners travel through clone only.
    SceneObject* clone() override;

    // When false the quad takes the colour current in GL.
    bool useColors = true;
    float corners[4][3] = {};
    float cornerUV[4][2] = {};
    float cornerColors[4][4] = {};
};
