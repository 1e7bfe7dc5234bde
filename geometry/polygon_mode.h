// Draws its subtree as points, lines or filled polygons, then goes back to
// filled drawing on both faces.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class PolygonMode : public SceneObject {
public:
    // Two signed 16-bit values: face and mode.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    SceneObject* clone() override;

    int32_t face = 0;  // GL_FRONT, GL_BACK or GL_FRONT_AND_BACK
    int32_t mode = 0;  // GL_POINT, GL_LINE or GL_FILL
};
