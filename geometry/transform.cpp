#include "geometry/transform.h"

#include <GL/gl.h>

#include <cstring>
#include <initializer_list>

#include "demo/format.h"
#include "demo/messages.h"

// Parameter names are Latin-1: 0xF3 is "ó".
Transform::Transform()
{
    parameters->append("Posici\xf3", &position[0]);
    parameters->append("Posici\xf3 X", &position[0]);
    parameters->append("Posici\xf3 Y", &position[1]);
    parameters->append("Posici\xf3 Z", &position[2]);
    parameters->append("Rotaci\xf3", &angles[0]);
    parameters->append("Rotaci\xf3 1", &angles[0]);
    parameters->append("Vector Rotaci\xf3 1", &axis1[0]);
    parameters->append("Rotaci\xf3 2", &angles[1]);
    parameters->append("Vector Rotaci\xf3 2", &axis2[0]);
    parameters->append("Rotaci\xf3 3", &angles[2]);
    parameters->append("Vector Rotaci\xf3 3", &axis3[0]);
    for (float* field : {position, angles, axis1, axis2, axis3})
        describeFloats(field, 3);
}

void loadTransform(Transform& t, const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        float* field = nullptr;
        switch (id) {
        case format::transform::kPosition: field = t.position; break;
        case format::transform::kAngles: field = t.angles; break;
        case format::transform::kAxis1: field = t.axis1; break;
        case format::transform::kAxis2: field = t.axis2; break;
        case format::transform::kAxis3: field = t.axis3; break;
        default:
            showError("ID DESCONEGUDA");
            stream.skip(length);
            return;
        }
        // At most the field's 12 bytes; a shorter value fills the first components.
        readField(stream, length, field, 12);
    });
}

void loadNestedTransform(Transform& t, ChunkStream& stream, uint32_t length)
{
    if (int64_t(length) > stream.remaining()) {
        stream.skip(length);
        return;
    }
    loadTransform(t, stream.data() + stream.position(), int32_t(length));
    stream.skip(length);
}

void loadShapeChunk(Transform& shape, ChunkStream& stream, int16_t id, uint32_t length)
{
    if (id == format::transform::kNested) {
        loadNestedTransform(shape, stream, length);
        return;
    }
    showError("ID DESCONEGUDA");
    stream.skip(length);
}

void Transform::load(const void* data, int32_t size)
{
    loadTransform(*this, data, size);
}

int Transform::typeId() const
{
    return format::type::kTransform;
}

void Transform::apply()
{
    if (order == 10) {
        glTranslatef(position[0], position[1], position[2]);
        glRotatef(angles[0], axis1[0], axis1[1], axis1[2]);
        glRotatef(angles[1], axis2[0], axis2[1], axis2[2]);
        glRotatef(angles[2], axis3[0], axis3[1], axis3[2]);
    } else if (order == 11) {
        glRotatef(angles[0], axis1[0], axis1[1], axis1[2]);
        glRotatef(angles[1], axis2[0], axis2[1], axis2[2]);
        glRotatef(angles[2], axis3[0], axis3[1], axis3[2]);
        glTranslatef(position[0], position[1], position[2]);
    }
    transformApplied = 1;
}

void Transform::undo()
{
    if (order == 10) {
        glRotatef(-angles[2], axis3[0], axis3[1], axis3[2]);
        glRotatef(-angles[1], axis2[0], axis2[1], axis2[2]);
        glRotatef(-angles[0], axis1[0], axis1[1], axis1[2]);
        glTranslatef(-position[0], -position[1], -position[2]);
    } else if (order == 11) {
        glTranslatef(-position[0], -position[1], -position[2]);
        glRotatef(-angles[2], axis3[0], axis3[1], axis3[2]);
        glRotatef(-angles[1], axis2[0], axis2[1], axis2[2]);
        glRotatef(-angles[0], axis1[0], axis1[1], axis1[2]);
    }
    transformApplied = 0;
}

int Transform::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    apply();
    int result = SceneObject::step(false);
    undo();
    return result;
}

void Transform::copyInto(SceneObject* destination)
{
    SceneObject::copyInto(destination);
    Transform* t = static_cast<Transform*>(destination);
    std::memcpy(t->angles, angles, sizeof angles);
    std::memcpy(t->position, position, sizeof position);
    std::memcpy(t->axis1, axis1, sizeof axis1);
    std::memcpy(t->axis2, axis2, sizeof axis2);
    std::memcpy(t->axis3, axis3, sizeof axis3);
    t->order = order;
}

SceneObject* Transform::clone()
{
    Transform* copy = new Transform;
    copyInto(copy);
    return copy;
}

float* Transform::localMatrix()
{
    float* m = new float[16];
    glPushMatrix();
    glLoadIdentity();
    apply();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    undo();
    glPopMatrix();
    return m;
}
