#include "tools/writer/world_payloads.h"

#include "demo/format.h"

namespace tools::writer {

Bytes forcePayload(const ForceFields& f)
{
    return cat({f32(f.strength), f32(f.direction[0]), f32(f.direction[1]), f32(f.direction[2])});
}

Bytes worldPayload(const WorldFields& world)
{
    StreamWriter w;
    for (const ForceFields& f : world.forces)
        w.add(format::world::kForce, cat({tag(f.tag), forcePayload(f)}));
    for (const std::string& s : world.spawners)
        w.add(format::world::kSpawner, tag(s));
    if (world.rolling)
        w.add(format::world::kRolling);
    return w.bytes();
}

}  // namespace tools::writer
