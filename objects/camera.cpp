#include "objects/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>
#include <initializer_list>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "demo/messages.h"

// Parameter names are Latin-1: 0xF3 is "ó". The names without an axis letter
// address the x component, so a vector dynamic reaches all three.
Camera::Camera()
{
    parameters->append("Posici\xf3", &position[0]);
    parameters->append("Posici\xf3 X", &position[0]);
    parameters->append("Posici\xf3 Y", &position[1]);
    parameters->append("Posici\xf3 Z", &position[2]);
    parameters->append("Centre", &centre[0]);
    parameters->append("Centre X", &centre[0]);
    parameters->append("Centre Y", &centre[1]);
    parameters->append("Centre Z", &centre[2]);
    parameters->append("UP vector", &up[0]);
    parameters->append("UP vector X", &up[0]);
    parameters->append("UP vector Y", &up[1]);
    parameters->append("UP vector Z", &up[2]);
    parameters->append("Fadding R", &fadeColor[0]);
    parameters->append("Fadding G", &fadeColor[1]);
    parameters->append("Fadding B", &fadeColor[2]);
    parameters->append("Fadding V", &fadeValue);
    parameters->append("Proximitat", &proximity);
    for (float* field : {position, centre, up, fadeColor})
        describeFloats(field, 3);
    describeFloats(&fadeValue, 1);
    describeFloats(&proximity, 1);

    quadric_ = gluNewQuadric();
    if (quadric_) {
        gluQuadricNormals(quadric_, GLU_SMOOTH);
        gluQuadricTexture(quadric_, GL_TRUE);
    }
}

Camera::~Camera()
{
    if (quadric_)
        gluDeleteQuadric(quadric_);
}

namespace {

// Fills a group of fields from its first field on with the chunk's bytes, as
// readField does for one contiguous field.
void readGroup(ChunkStream& stream, uint32_t length, std::initializer_list<float*> fields)
{
    float values[4];
    int count = 0;
    for (float* field : fields)
        values[count++] = *field;
    readField(stream, length, values, count * 4);
    count = 0;
    for (float* field : fields)
        *field = values[count++];
}

}  // namespace

void Camera::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        switch (id) {
        case format::camera::kPosition: readGroup(stream, length, {&position[0], &position[1], &position[2]}); break;
        case format::camera::kUp: readGroup(stream, length, {&up[0], &up[1], &up[2]}); break;
        case format::camera::kCentre: readGroup(stream, length, {&centre[0], &centre[1], &centre[2]}); break;
        case format::camera::kFade:
            readGroup(stream, length, {&fadeColor[0], &fadeColor[1], &fadeColor[2], &fadeValue});
            break;
        case format::camera::kProximity: readGroup(stream, length, {&proximity}); break;
        default:
            showError("ID DESCONEGUDA");
            stream.skip(length);
            break;
        }
    });
}

void Camera::eye(float out[3]) const
{
    for (int i = 0; i < 3; ++i)
        out[i] = centre[i] + proximity * (position[i] - centre[i]);
}

void Camera::applyView()
{
    float e[3];
    eye(e);
    glPushMatrix();
    gluLookAt(double(e[0]), double(e[1]), double(e[2]), double(centre[0]), double(centre[1]),
              double(centre[2]), double(up[0]), double(up[1]), double(up[2]));
}

int Camera::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    applyView();
    int result = SceneObject::step(false);
    if (fadeValue == 0)
        glPopMatrix();
    else
        fadePass();
    return result;
}

// Up to 0.5 the sphere adds the fade colour with rising weight; from 0.5 on it
// adds it at full weight while scaling the picture behind down to nothing.
void Camera::fadePass()
{
    glDisable(GL_TEXTURE_2D);
    float alpha;
    if (fadeValue < 0.5f) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        alpha = 2 * fadeValue;
    } else {
        glBlendFunc(GL_ONE, GL_SRC_ALPHA);
        alpha = 1 - 2 * (fadeValue - 0.5f);
    }
    glColor4f(fadeColor[0], fadeColor[1], fadeColor[2], alpha);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    float e[3];
    eye(e);
    glTranslatef(e[0], e[1], e[2]);
    // Radius 0.5 lies beyond the near plane, so from inside the sphere covers
    // the whole picture.
    if (quadric_)
        gluSphere(quadric_, 0.5, 16, 16);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
}

int Camera::typeId() const
{
    return format::type::kCamera;
}

// A fresh camera with the same view and fade: no children, no counters, its
// own quadric and parameter list.
SceneObject* Camera::clone()
{
    Camera* copy = new Camera;
    copy->isCopy = 1;
    std::memcpy(copy->path, path, sizeof path);
    std::memcpy(copy->dataPath, dataPath, sizeof dataPath);
    std::memcpy(copy->position, position, sizeof position);
    std::memcpy(copy->up, up, sizeof up);
    std::memcpy(copy->centre, centre, sizeof centre);
    std::memcpy(copy->fadeColor, fadeColor, sizeof fadeColor);
    copy->fadeValue = fadeValue;
    copy->proximity = proximity;
    copy->transformApplied = transformApplied;
    return copy;
}
