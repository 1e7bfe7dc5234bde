#include "tools/writer/world_payloads.h"

namespace tools::writer {

Bytes forcePayload(const ForceFields& f)
{
    return cat({f32(f.strength), f32(f.direction[0]), f32(f.direction[1]), f32(f.direction[2])});
}

Bytes worldPayload(const WorldFields& world)
{
    StreamWriter w;
    for (const ForceFields& f : world.forces)
        w.add(421, cat({tag(f.tag), forcePayload(f)}));
    for (const std::string& s : world.spawners)
        w.add(423, tag(s));
    if (world.rolling)
        w.add(422);
    return w.bytes();
}

}  // namespace tools::writer
