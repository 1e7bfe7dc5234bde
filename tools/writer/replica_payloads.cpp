#include "tools/writer/replica_payloads.h"

namespace tools::writer {

Bytes circleChunk(float angle, float radius, bool faceCentre)
{
    return chunk(326, cat({f32(angle), f32(radius), u8(faceCentre ? 1 : 0)}));
}

Bytes latticeChunk(const int16_t counts[3], const float spacing[3])
{
    Bytes axes;
    for (int axis = 0; axis < 3; ++axis)
        append(axes, cat({Bytes(12, 0), s16(counts[axis]), f32(spacing[axis])}));
    return chunk(327, axes);
}

Bytes tagListChunk(int16_t id, const std::vector<std::string>& tags)
{
    Bytes all;
    for (const std::string& t : tags)
        append(all, tag(t));
    return chunk(id, all);
}

Bytes replicatorPayload(const ReplicatorFields& r)
{
    StreamWriter stream;
    stream.add(nestedTransformChunk(r.transform)).add(329, tag(r.source)).add(tagListChunk(328, r.instances));
    if (r.layout == ReplicatorFields::Layout::Circle)
        stream.add(circleChunk(r.angle, r.radius, r.faceCentre));
    else if (r.layout == ReplicatorFields::Layout::Lattice)
        stream.add(latticeChunk(r.counts, r.spacing));
    return stream.bytes();
}

Bytes splitterPayload(const SplitterFields& s)
{
    StreamWriter stream;
    if (s.centre)
        stream.add(13);
    stream.add(nestedTransformChunk(s.transform)).add(tagListChunk(351, s.tiles)).add(352, tag(s.source));
    return stream.bytes();
}

Bytes assemblyPayload(const AssemblyFields& a)
{
    return StreamWriter()
        .add(8, cat({f32(a.startHeight), f32(a.depthSpread), f32(a.startOffset), f32(a.phaseEnd), f32(a.flight)}))
        .add(14, cat({u8(uint8_t(a.seed)), u8(uint8_t(a.seed >> 8)), u8(uint8_t(a.seed >> 16)), u8(uint8_t(a.seed >> 24))}))
        .add(352, tag(a.source))
        .bytes();
}

}  // namespace tools::writer
