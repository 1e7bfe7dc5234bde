#include "geometry/quadric.h"

#include <GL/gl.h>

#include <algorithm>
#include <initializer_list>

#include "demo/format.h"

Quadric::Quadric() : quadric(gluNewQuadric())
{
    parameters->append("Radi 1", &radius1);
    parameters->append("Radi 2", &radius2);
    parameters->append("Altura", &height);
    parameters->append("Angle Inicial", &startAngle);
    parameters->append("Angle Final", &sweepAngle);
}

Quadric::~Quadric()
{
    if (quadric)
        gluDeleteQuadric(quadric);
}

// Records 8 and 15 are read field by field within their own length: a short
// record fills the fields it holds and the others keep their values. Kind
// chunks carry nothing and the next id follows their header directly.
void Quadric::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id >= kCylinder && id <= kPartialDisk) {
            kind = id;
            return;
        }
        if (id != format::quadric::kSizes && id != format::quadric::kGluState) {
            loadShapeChunk(*this, stream, id, length);
            return;
        }
        int32_t available = int32_t(std::min<int64_t>(length, stream.remaining()));
        ChunkStream record(stream.data() + stream.position(), available);
        // Fields in order until the first one that does not fit.
        bool whole = true;
        if (id == format::quadric::kSizes) {
            for (float* field : {&radius1, &radius2, &height, &startAngle, &sweepAngle})
                whole = whole && record.readF32(*field);
            uint16_t count;
            for (int32_t* field : {&slices, &stacks}) {
                whole = whole && record.readU16(count);
                if (whole)
                    *field = count;
            }
        } else {
            uint32_t value;
            for (int32_t* field : {&drawStyle, &normals, &orientation}) {
                whole = whole && record.readU32(value);
                if (whole)
                    *field = int32_t(value);
            }
            uint16_t flag;  // only its low byte counts
            if (whole && record.readU16(flag))
                textured = uint8_t(flag);
        }
        stream.skip(length);
    });
}

namespace {

// Fuzzing draws no quadric of more than 128 x 128 facets: up to 65535 x
// 65535 of them (billions of vertices a frame) are the data's to ask for,
// but a fuzzer should spend those seconds on thousands of other inputs.
bool drawable(int32_t slices, int32_t stacks)
{
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    return int64_t(slices) * stacks <= (1 << 14);
#else
    (void)slices, (void)stacks;
    return true;
#endif
}

}  // namespace

int Quadric::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    apply();
    int result = SceneObject::step(false);
    if (quadric && drawable(slices, stacks)) {
        // Set before every draw, so changes between frames take effect.
        gluQuadricNormals(quadric, GLenum(normals));
        gluQuadricOrientation(quadric, GLenum(orientation));
        gluQuadricDrawStyle(quadric, GLenum(drawStyle));
        gluQuadricTexture(quadric, textured);
        switch (kind) {
        case kCylinder:
            gluCylinder(quadric, radius1, radius1, height, slices, stacks);
            break;
        case kCone:
            gluCylinder(quadric, radius1, radius2, height, slices, stacks);
            break;
        case kSphere:
            gluSphere(quadric, radius1, slices, stacks);
            break;
        case kDisk:
            gluDisk(quadric, radius1, radius2, slices, stacks);
            break;
        case kPartialDisk:
            gluPartialDisk(quadric, radius1, radius2, slices, stacks, startAngle, sweepAngle);
            break;
        default:
            break;
        }
    }
    undo();
    return result;
}

int Quadric::typeId() const
{
    return format::type::kQuadric;
}

SceneObject* Quadric::clone()
{
    Quadric* copy = new Quadric;
    Transform::copyInto(copy);
    copy->radius1 = radius1;
    copy->radius2 = radius2;
    copy->height = height;
    copy->startAngle = startAngle;
    copy->sweepAngle = sweepAngle;
    copy->slices = slices;
    copy->stacks = stacks;
    copy->kind = kind;
    copy->drawStyle = drawStyle;
    copy->normals = normals;
    copy->orientation = orientation;
    copy->textured = textured;
    return copy;
}
