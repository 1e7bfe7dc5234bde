#include "geometry/quad.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "demo/format.h"

namespace {

constexpr int kRecordFloats = 9;  // x, y, z, u, v, r, g, b, a
constexpr int32_t kRecordBytes = kRecordFloats * 4;

}  // namespace

Quad::Quad()
{
    char name[32];
    for (int i = 0; i < 4; ++i) {
        const int n = i + 1;
        std::snprintf(name, sizeof name, "Vertex %i", n);
        parameters->append(name, &corners[i][0]);
        std::snprintf(name, sizeof name, "Vertex%i X", n);
        parameters->append(name, &corners[i][0]);
        std::snprintf(name, sizeof name, "Vertex%i Y", n);
        parameters->append(name, &corners[i][1]);
        std::snprintf(name, sizeof name, "Vertex%i Z", n);
        parameters->append(name, &corners[i][2]);
        std::snprintf(name, sizeof name, "Vertex%i U", n);
        parameters->append(name, &cornerUV[i][0]);
        std::snprintf(name, sizeof name, "Vertex%i V", n);
        parameters->append(name, &cornerUV[i][1]);
        std::snprintf(name, sizeof name, "ColorV%i R", n);
        parameters->append(name, &cornerColors[i][0]);
        std::snprintf(name, sizeof name, "ColorV%i G", n);
        parameters->append(name, &cornerColors[i][1]);
        std::snprintf(name, sizeof name, "ColorV%i B", n);
        parameters->append(name, &cornerColors[i][2]);
        std::snprintf(name, sizeof name, "ColorV%i A", n);
        parameters->append(name, &cornerColors[i][3]);
    }
    describeFloats(&corners[0][0], 4 * 3);
    describeFloats(&cornerUV[0][0], 4 * 2);
    describeFloats(&cornerColors[0][0], 4 * 4);
}

void Quad::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id != format::quad::kCorners) {
            loadShapeChunk(*this, stream, id, length);
            return;
        }
        // Only whole records count; corners beyond them keep their values.
        float records[4 * kRecordFloats];
        const int32_t n = readField(stream, length, records, sizeof records);
        for (int i = 0; i < n / kRecordBytes; ++i) {
            const float* r = records + i * kRecordFloats;
            std::memcpy(corners[i], r, sizeof corners[i]);
            std::memcpy(cornerUV[i], r + 3, sizeof cornerUV[i]);
            std::memcpy(cornerColors[i], r + 5, sizeof cornerColors[i]);
        }
    });
}

int Quad::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    apply();
    // Children first, so they draw inside the transform before the face.
    int result = SceneObject::step(false);
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        if (useColors)
            glColor4fv(cornerColors[i]);
        glTexCoord2fv(cornerUV[i]);
        glVertex3fv(corners[i]);
    }
    glEnd();
    undo();
    return result;
}

SceneObject* Quad::clone()
{
    Quad* copy = new Quad;
    std::memcpy(copy->corners, corners, sizeof corners);
    std::memcpy(copy->cornerUV, cornerUV, sizeof cornerUV);
    std::memcpy(copy->cornerColors, cornerColors, sizeof cornerColors);
    copy->useColors = useColors;
    Transform::copyInto(copy);
    return copy;
}
