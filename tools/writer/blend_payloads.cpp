#include "tools/writer/blend_payloads.h"

namespace tools::writer {

Bytes blendModePayload(const BlendPayload& b)
{
    return cat({s16(b.source), s16(b.destination), u8(0)});
}

Bytes motionTrailPayload(const TrailPayload& t)
{
    return cat({s16(t.blend.source), s16(t.blend.destination), s16(t.length), u8(0)});
}

Bytes polygonModePayload(const PolygonModePayload& p)
{
    return cat({s16(p.face), s16(p.mode), u8(0)});
}

}  // namespace tools::writer
