// Payload of the collision world (420) with the forces and impact spawners
// it enters in the resource list.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::writer {

struct ForceFields {
    std::string tag;
    float strength = 0;                     // acceleration per frame, as a factor of direction
    std::array<float, 3> direction = {0, -1, 0};
};
struct WorldFields {
    std::vector<ForceFields> forces;      // 421 each
    std::vector<std::string> spawners;    // 423 each: the spawner's tag
    bool rolling = false;                 // 422
};
// 16 bytes: strength, then direction x, y, z.
Bytes forcePayload(const ForceFields& force);
// 421 per force, 423 per spawner, 422 when rolling, then the zero byte.
Bytes worldPayload(const WorldFields& world);

}  // namespace tools::writer
