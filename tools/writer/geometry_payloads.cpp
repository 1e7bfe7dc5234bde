#include "tools/writer/geometry_payloads.h"

#include "demo/format.h"

namespace tools::writer {

namespace {

Bytes vec3(const Vec3& v)
{
    return cat({f32(v[0]), f32(v[1]), f32(v[2])});
}

}  // namespace

Bytes transformPayload(const TransformFields& transform, bool nested)
{
    StreamWriter stream;
    stream.add(format::transform::kPosition, vec3(transform.position))
        .add(format::transform::kAngles, vec3(transform.angles))
        .add(format::transform::kAxis1, vec3(transform.axis1))
        .add(format::transform::kAxis2, vec3(transform.axis2))
        .add(format::transform::kAxis3, vec3(transform.axis3));
    return stream.bytes(!nested);
}

Bytes nestedTransformChunk(const TransformFields& transform)
{
    return chunk(format::transform::kNested, transformPayload(transform, true));
}

Bytes quadCornersChunk(const std::array<QuadCorner, 4>& corners)
{
    Bytes records;
    for (const QuadCorner& c : corners)
        for (float value : {c.x, c.y, c.z, c.u, c.v, c.r, c.g, c.b, c.a})
            append(records, f32(value));
    return chunk(format::quad::kCorners, records);
}

Bytes quadPayload(const QuadFields& quad)
{
    return StreamWriter()
        .add(nestedTransformChunk(quad.transform))
        .add(quadCornersChunk(quad.corners))
        .bytes();
}

Bytes boxPayload(const BoxFields& box)
{
    return StreamWriter()
        .add(nestedTransformChunk(box.transform))
        .add(format::box::kSize, vec3(box.dimensions))
        .bytes();
}

}  // namespace tools::writer
