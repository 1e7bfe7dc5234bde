#include "geometry/box.h"

#include <GL/gl.h>

#include <cstring>

#include "demo/format.h"

Box::Box()
{
    parameters->append("Dimensio", &dimensions[0]);
    parameters->append("Dimensio X", &dimensions[0]);
    parameters->append("Dimensio Y", &dimensions[1]);
    parameters->append("Dimensio Z", &dimensions[2]);
    describeFloats(dimensions, 3);
}

void Box::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == format::box::kSize)  // at most 12 bytes; a shorter value fills the first sizes
            readField(stream, length, dimensions, sizeof dimensions);
        else
            loadShapeChunk(*this, stream, id, length);
    });
}

int Box::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    apply();
    int result = SceneObject::step(false);

    const float x = dimensions[0] * 0.5f;
    const float y = dimensions[1] * 0.5f;
    const float z = dimensions[2] * 0.5f;
    // Each face counter-clockwise seen from outside, full texture on each.
    glBegin(GL_QUADS);
    // front, z = +hz
    glTexCoord2f(0, 0); glVertex3f(-x, -y, z);
    glTexCoord2f(1, 0); glVertex3f(x, -y, z);
    glTexCoord2f(1, 1); glVertex3f(x, y, z);
    glTexCoord2f(0, 1); glVertex3f(-x, y, z);
    // back, z = -hz
    glTexCoord2f(1, 0); glVertex3f(-x, -y, -z);
    glTexCoord2f(1, 1); glVertex3f(-x, y, -z);
    glTexCoord2f(0, 1); glVertex3f(x, y, -z);
    glTexCoord2f(0, 0); glVertex3f(x, -y, -z);
    // top, y = +hy
    glTexCoord2f(0, 1); glVertex3f(-x, y, -z);
    glTexCoord2f(0, 0); glVertex3f(-x, y, z);
    glTexCoord2f(1, 0); glVertex3f(x, y, z);
    glTexCoord2f(1, 1); glVertex3f(x, y, -z);
    // bottom, y = -hy
    glTexCoord2f(1, 1); glVertex3f(-x, -y, -z);
    glTexCoord2f(0, 1); glVertex3f(x, -y, -z);
    glTexCoord2f(0, 0); glVertex3f(x, -y, z);
    glTexCoord2f(1, 0); glVertex3f(-x, -y, z);
    // right, x = +hx
    glTexCoord2f(1, 0); glVertex3f(x, -y, -z);
    glTexCoord2f(1, 1); glVertex3f(x, y, -z);
    glTexCoord2f(0, 1); glVertex3f(x, y, z);
    glTexCoord2f(0, 0); glVertex3f(x, -y, z);
    // left, x = -hx
    glTexCoord2f(0, 0); glVertex3f(-x, -y, -z);
    glTexCoord2f(1, 0); glVertex3f(-x, -y, z);
    glTexCoord2f(1, 1); glVertex3f(-x, y, z);
    glTexCoord2f(0, 1); glVertex3f(-x, y, -z);
    glEnd();

    undo();
    return result;
}

int Box::typeId() const
{
    return format::type::kBox;
}

void Box::copyInto(SceneObject* destination)
{
    // A plain transform (the timeline's transform copy) has no room for the
    // dimensions: it is left as it is.
    Box* box = dynamic_cast<Box*>(destination);
    if (!box)
        return;
    std::memcpy(box->dimensions, dimensions, sizeof dimensions);
}

SceneObject* Box::clone()
{
    Box* copy = new Box;
    Transform::copyInto(copy);
    copyInto(copy);
    return copy;
}
