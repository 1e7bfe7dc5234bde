// Payloads of the array geometry: grids (170), triangle meshes and the
// models that carry them (109).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/writer/geometry_payloads.h"

namespace tools::writer {

struct GridFields {
    TransformFields transform;
    float width = 1, height = 1;
    int16_t cellsX = 1, cellsY = 1;
};
// 275 then 171 (width, height, cells along X and Y), then the zero byte.
Bytes gridPayload(const GridFields& grid);

struct MeshFields {
    std::vector<float> vertices;        // x, y, z per vertex
    std::vector<int32_t> indices;       // three per triangle
    std::vector<float> texCoords;       // s, t, r per texture coordinate
    std::vector<int32_t> texIndices;    // one per entry of indices
};
// 101, 104, then 105 and 108 when there are texture coordinates; no
// trailing byte.
Bytes meshPayload(const MeshFields& mesh);

// Sub-chunk 107: its length counts the mesh payload only, which follows a
// 10-byte tag chunk (id 1, length 4, the tag).
Bytes modelMeshChunk(const std::string& tag, const Bytes& meshPayloadBytes);
// One 107 per mesh, in order; no trailing byte.
Bytes modelPayload(const std::vector<std::pair<std::string, MeshFields>>& meshes);
// Resource 109: tag, the placement (110, a transform payload), the body (8).
Bytes modelResource(const std::string& tag, const Bytes& modelPayloadBytes, const TransformFields& placement = {});

}  // namespace tools::writer
