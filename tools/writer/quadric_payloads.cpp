#include "tools/writer/quadric_payloads.h"

#include "demo/format.h"

namespace tools::writer {

Bytes quadricSizesChunk(const QuadricFields& q)
{
    return chunk(format::quadric::kSizes, cat({f32(q.radius1), f32(q.radius2), f32(q.height), f32(q.startAngle),
                                               f32(q.sweepAngle), s16(int16_t(q.slices)), s16(int16_t(q.stacks))}));
}

Bytes quadricStyleChunk(const QuadricFields& q)
{
    return chunk(format::quadric::kGluState, cat({s32(int32_t(q.drawStyle)), s32(int32_t(q.normals)),
                                                  s32(int32_t(q.orientation)), s16(q.textured ? 1 : 0)}));
}

Bytes quadricPayload(const QuadricFields& q)
{
    StreamWriter stream;
    stream.add(nestedTransformChunk(q.transform)).add(quadricSizesChunk(q)).add(quadricStyleChunk(q));
    if (q.kind != 0)
        stream.add(q.kind);
    return stream.bytes();
}

}  // namespace tools::writer
