// Scales everything drawn under it by three factors.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class Scale : public SceneObject {
public:
    Scale();

    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;

    // Pushes the modelview matrix and multiplies the scale onto it.
    void apply();

    float factors[3] = {1, 1, 1};  // x, y, z
};
