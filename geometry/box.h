// An axis-aligned box centred on its own origin, inside its own transform;
// every face carries the full texture.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

class Box : public Transform {
public:
    Box();

    // Sub-chunks 251 (dimensions) and 275 (nested transform).
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    // Dimensions only, and only into another box.
    void copyInto(SceneObject* destination) override;
    // A plain transform has no room for the dimensions.
    bool copyFitsTransform() const override { return false; }
    SceneObject* clone() override;

    // Full size along X, Y, Z.
    float dimensions[3] = {0, 0, 0};
};
