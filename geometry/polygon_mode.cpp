#include "geometry/polygon_mode.h"

#include <GL/gl.h>

#include "demo/chunk_stream.h"

// A value the payload is too short for stays as it was.
void PolygonMode::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    int16_t value;
    if (stream.readS16(value))
        face = value;
    if (stream.readS16(value))
        mode = value;
}

// Filled drawing comes back on both faces whatever was set before: nesting
// does not restore an outer mode.
int PolygonMode::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    glPolygonMode(GLenum(face), GLenum(mode));
    int result = SceneObject::step(false);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    return result;
}

SceneObject* PolygonMode::clone()
{
    PolygonMode* copy = new PolygonMode;
    copyInto(copy);
    copy->face = face;
    copy->mode = mode;
    return copy;
}
