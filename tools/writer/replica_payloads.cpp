#include "tools/writer/replica_payloads.h"

#include "demo/format.h"

namespace tools::writer {

Bytes circleChunk(float angle, float radius, bool faceCentre)
{
    return chunk(format::replicator::kCircle, cat({f32(angle), f32(radius), u8(faceCentre ? 1 : 0)}));
}

Bytes latticeChunk(const int16_t counts[3], const float spacing[3])
{
    Bytes axes;
    for (int axis = 0; axis < 3; ++axis)
        append(axes, cat({Bytes(12, 0), s16(counts[axis]), f32(spacing[axis])}));
    return chunk(format::replicator::kLattice, axes);
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
    stream.add(nestedTransformChunk(r.transform))
        .add(format::replicator::kSource, tag(r.source))
        .add(tagListChunk(format::replicator::kInstanceTags, r.instances));
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
        stream.add(format::splitter::kCentreTiles);
    stream.add(nestedTransformChunk(s.transform))
        .add(tagListChunk(format::splitter::kTileTags, s.tiles))
        .add(format::splitter::kSource, tag(s.source));
    return stream.bytes();
}

Bytes assemblyPayload(const AssemblyFields& a)
{
    return StreamWriter()
        .add(format::assembly::kFlight,
             cat({f32(a.startHeight), f32(a.depthSpread), f32(a.startOffset), f32(a.phaseEnd), f32(a.flight)}))
        .add(format::assembly::kSeed, cat({u8(uint8_t(a.seed)), u8(uint8_t(a.seed >> 8)), u8(uint8_t(a.seed >> 16)),
                                          u8(uint8_t(a.seed >> 24))}))
        .add(format::assembly::kSource, tag(a.source))
        .bytes();
}

}  // namespace tools::writer
