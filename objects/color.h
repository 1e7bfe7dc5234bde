// Sets the current colour for everything drawn under it (and after it, until
// something else sets one).
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class Color : public SceneObject {
public:
    Color();

    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;

    // glColor4fv with the four components.
    void apply();

    // Red, green, blue, alpha: the array handed to glColor4fv. Opaque white,
    // GL's own start colour, until a payload says otherwise.
    float components[4] = {1, 1, 1, 1};
};
