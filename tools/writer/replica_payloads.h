// Payloads of the objects that multiply or cut up other resources:
// replicators (325), quad splitters (350) and piece assemblies (355).
#pragma once

#include <string>
#include <vector>

#include "tools/writer/geometry_payloads.h"

namespace tools::writer {

struct ReplicatorFields {
    TransformFields transform;
    std::string source;
    std::vector<std::string> instances;
    enum class Layout { None, Circle, Lattice } layout = Layout::None;
    float angle = 360, radius = 1;  // circle: total angle in degrees
    bool faceCentre = false;
    int16_t counts[3] = {1, 1, 1};  // lattice, along X, Y, Z
    float spacing[3] = {1, 1, 1};
};
// 275, 329 (source), 328 (instance tags), then 326 (circle) or 327
// (lattice), then the zero byte: the order the reader relies on.
Bytes replicatorPayload(const ReplicatorFields& replicator);
// 326: total angle, radius, face-centre flag (9 bytes).
Bytes circleChunk(float angle, float radius, bool faceCentre);
// 327: per axis 12 unused bytes, the count and the spacing (54 bytes).
Bytes latticeChunk(const int16_t counts[3], const float spacing[3]);
// A tag list chunk (328 instances, 351 tiles): 4 bytes per tag.
Bytes tagListChunk(int16_t id, const std::vector<std::string>& tags);

struct SplitterFields {
    TransformFields transform;
    std::string source;
    std::vector<std::string> tiles;
    bool centre = false;
};
// 13 when centred, 275, 351 (tile tags), 352 (source), then the zero byte.
Bytes splitterPayload(const SplitterFields& splitter);

struct AssemblyFields {
    std::string source;
    float startHeight = 1, depthSpread = 0, startOffset = 1, phaseEnd = 1, flight = 0.1f;
    uint32_t seed = 1;
};
// 8 (start height, depth spread, start offset, phase end, flight fraction),
// 14 (seed), 352 (source), then the zero byte.
Bytes assemblyPayload(const AssemblyFields& assembly);

}  // namespace tools::writer
