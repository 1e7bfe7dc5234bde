#include "objects/color.h"

#include <GL/gl.h>

#include <cstring>

#include "demo/chunk_stream.h"
#include "demo/format.h"

Color::Color()
{
    parameters->append("COLOR R", &components[0]);
    parameters->append("COLOR G", &components[1]);
    parameters->append("COLOR B", &components[2]);
    parameters->append("COLOR A", &components[3]);
    describeFloats(components, 4);
}

// Four floats; bytes after them are ignored, fewer leave the colour as it was.
void Color::load(const void* data, int32_t size)
{
    ChunkStream(data, size).read(components, sizeof components, 0);
}

void Color::apply()
{
    glColor4fv(components);
}

// The colour is set even in step-only passes and is not restored afterwards.
int Color::step(bool stepOnly)
{
    apply();
    return SceneObject::step(stepOnly);
}

int Color::typeId() const
{
    return format::type::kColor;
}

SceneObject* Color::clone()
{
    Color* copy = new Color;
    copyInto(copy);
    std::memcpy(copy->components, components, sizeof components);
    return copy;
}
