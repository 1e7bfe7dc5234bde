// A flat rectangle in its own X-Y plane cut into cells, generated at load
// time and drawn as quads: the surface deformers bend and splitters cut.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

class Grid : public QuadMesh {
public:
    // Sub-chunks 171 (size and cells; the grid is generated on reading it)
    // and 275 (nested transform).
    void load(const void* data, int32_t size) override;
    int typeId() const override;
    SceneObject* clone() override;

    // Replaces the arrays by a width x height rectangle centred on the
    // origin with cellsX x cellsY cells, each wound counter-clockwise seen
    // from +Z, texture coordinates running 0 to 1 across it.
    void buildGrid(float width, float height, int16_t cellsX, int16_t cellsY);

    float gridWidth = 0;
    float gridHeight = 0;
    int16_t cellsX = 0;
    int16_t cellsY = 0;
};
