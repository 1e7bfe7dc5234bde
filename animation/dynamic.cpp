#include "animation/dynamic.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "animation/vector_math.h"
#include "demo/format.h"
#include "geometry/transform.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/scale.h"

namespace {

constexpr int kCameraType = format::type::kCamera;
constexpr int kScaleType = format::type::kScale;
constexpr int kColorType = format::type::kColor;

}  // namespace

// Names are compared byte for byte with the ones the objects register.
const char Dynamic::parameterNames[kNameCount][kNameSize] = {
    "",
    "Dimensio X", "Dimensio Y", "Dimensio Z",
    "Posici\xf3 X", "Posici\xf3 Y", "Posici\xf3 Z",
    "Rotaci\xf3 1", "Rotaci\xf3 2", "Rotaci\xf3 3",
    "COLOR R", "COLOR G", "COLOR B", "COLOR A",
    "Dimensio", "Posici\xf3", "Rotaci\xf3",
    "Vector Rotaci\xf3 1", "Vector Rotaci\xf3 2", "Vector Rotaci\xf3 3",
    "Centre X", "Centre Y", "Centre Z",
    "UP vector X", "UP vector Y", "UP vector Z",
    "Fadding V", "Fadding R", "Fadding G", "Fadding B",
    "Centre", "UP vector", "Proximitat",
    "Valor", "Valor X", "Valor Y", "Valor Z",
    "Vertex 1", "Vertex1 X", "Vertex1 Y", "Vertex1 Z", "Vertex1 U", "Vertex1 V",
    "ColorV1 R", "ColorV1 G", "ColorV1 B", "ColorV1 A",
    "Vertex 2", "Vertex2 X", "Vertex2 Y", "Vertex2 Z", "Vertex2 U", "Vertex2 V",
    "ColorV2 R", "ColorV2 G", "ColorV2 B", "ColorV2 A",
    "Vertex 3", "Vertex3 X", "Vertex3 Y", "Vertex3 Z", "Vertex3 U", "Vertex3 V",
    "ColorV3 R", "ColorV3 G", "ColorV3 B", "ColorV3 A",
    "Vertex 4", "Vertex4 X", "Vertex4 Y", "Vertex4 Z", "Vertex4 U", "Vertex4 V",
    "ColorV4 R", "ColorV4 G", "ColorV4 B", "ColorV4 A",
    "Radi 1", "Radi 2", "Altura", "Angle Inicial", "Angle Final",
    "Volum",
};

int16_t Dynamic::indexOfParameter(const char* name)
{
    for (int16_t i = 1; i < kNameCount; ++i) {
        if (std::strcmp(parameterNames[i], name) == 0)
            return i;
    }
    return 0;
}

Dynamic::Dynamic() = default;

Dynamic::~Dynamic()
{
    delete[] values;
}

void Dynamic::load(const void*, int32_t) {}

void Dynamic::loadExtra(const void*, int32_t) {}

int Dynamic::typeId() const
{
    return format::type::kDynamic;
}

SceneObject* Dynamic::clone()
{
    return nullptr;
}

void Dynamic::setRemainingValues(float value)
{
    if (valueCount < length) {
        // No values yet, or fewer than the frames now asked for: the frames
        // already stepped keep theirs.
        float* grown = new float[size_t(length)]();
        if (values)
            std::copy(values, values + valueCount, grown);
        delete[] values;
        values = grown;
        valueCount = length;
    }
    // A counter that wrapped past 32767 (unlimited life) must not index backwards.
    for (int i = std::max<int>(stepCount, 0); i < length && i < valueCount; ++i)
        values[i] = value;
}

void Dynamic::fillValues(float perFrame)
{
    delete[] values;
    values = nullptr;
    valueCount = 0;
    if (length <= 0)
        return;
    values = new float[size_t(length)];
    valueCount = length;
    std::fill(values, values + valueCount, perFrame);
}

void Dynamic::loadCommon(ChunkStream& stream)
{
    uint8_t mode = 0;
    float perFrame = 0;
    stream.read(&mode, 1);
    stream.readF32(initialValue);
    stream.readF32(perFrame);
    stream.readS16(parameterIndex);
    resetAtStart = mode == 2;
    fillValues(perFrame);
}

float* Dynamic::findParameter(int width) const
{
    if (!target || parameterIndex < 1 || parameterIndex >= kNameCount)
        return nullptr;
    auto* p = static_cast<float*>(target->parameters->find(parameterNames[parameterIndex]));
    // A vector kind writes three floats from the bound address: past the
    // object's float fields it would overwrite whatever the object keeps next.
    if (p && width > 1 && target->floatsFrom(p) < width)
        return nullptr;
    return p;
}

void Dynamic::forgetObject(const SceneObject* gone)
{
    if (target == gone)
        target = nullptr;
}

bool Dynamic::valueAt(int k, float& value) const
{
    if (!values || k < 0 || k >= valueCount)
        return false;
    value = values[k];
    return true;
}

Transform* Dynamic::liftTargetState(bool stepOnly)
{
    // The camera and the scale push a matrix before stepping their children,
    // but only in drawing passes.
    if (!stepOnly && (target->typeId() == kCameraType || target->typeId() == kScaleType)) {
        if (dynamic_cast<Camera*>(target) || dynamic_cast<Scale*>(target))
            glPopMatrix();
    }
    if (!target->transformApplied)
        return nullptr;
    Transform* transform = dynamic_cast<Transform*>(target);
    if (transform)
        transform->undo();
    return transform;
}

void Dynamic::restoreTargetState(bool stepOnly, Transform* undone)
{
    if (undone)
        undone->apply();
    if (stepOnly)
        return;
    if (target->typeId() == kCameraType) {
        if (auto* camera = dynamic_cast<Camera*>(target))
            camera->applyView();
    } else if (target->typeId() == kScaleType) {
        if (auto* scale = dynamic_cast<Scale*>(target))
            scale->apply();
    }
}

// ---- ScalarDynamic

void ScalarDynamic::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    loadCommon(stream);
}

int ScalarDynamic::step(bool stepOnly)
{
    if (!target)
        return SceneObject::step(stepOnly);
    Transform* undone = liftTargetState(stepOnly);
    const int k = frame;
    if (float* p = findParameter(1)) {
        if (k == 0 && resetAtStart)
            *p = initialValue;
        float value;
        if (valueAt(k, value))
            *p = value + *p;
    }
    restoreTargetState(stepOnly, undone);
    // A colour is not a matrix: re-issuing it is what makes the siblings
    // after this dynamic draw in the new colour.
    if (!stepOnly && target->typeId() == kColorType) {
        if (auto* color = dynamic_cast<Color*>(target))
            color->apply();
    }
    return SceneObject::step(stepOnly);
}

// ---- VectorDynamic

VectorDynamic::VectorDynamic() = default;

void VectorDynamic::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    loadCommon(stream);
    float read[3];
    if (stream.read(read, sizeof read))
        std::memcpy(vector, read, sizeof vector);
}

void VectorDynamic::setVectorAndRemainingValues(const float newVector[3], float value)
{
    Dynamic::setRemainingValues(value);
    std::memcpy(vector, newVector, sizeof vector);
}

// ---- TranslationDynamic

int TranslationDynamic::step(bool stepOnly)
{
    if (!target)
        return SceneObject::step(stepOnly);
    Transform* undone = liftTargetState(stepOnly);
    const int k = frame;
    if (float* p = findParameter(3)) {
        if (k == 0 && resetAtStart) {
            // The stored direction itself is scaled: later frames move along it.
            vecScale(vector, initialValue);
            std::memcpy(p, vector, sizeof vector);
        }
        float value;
        if (valueAt(k, value))
            vecAddScaled(p, vector, p, value);
    }
    restoreTargetState(stepOnly, undone);
    return SceneObject::step(stepOnly);
}

int TranslationDynamic::typeId() const
{
    return format::type::kTranslationDynamic;
}

// ---- RotationDynamic

int RotationDynamic::step(bool stepOnly)
{
    if (!target)
        return SceneObject::step(stepOnly);
    Transform* undone = liftTargetState(stepOnly);
    const int k = frame;
    if (float* p = findParameter(3)) {
        if (k == 0 && resetAtStart)
            rotateAboutAxis(initialValue, vector, p);
        float value;
        if (valueAt(k, value))
            rotateAboutAxis(value, vector, p);
    }
    restoreTargetState(stepOnly, undone);
    return SceneObject::step(stepOnly);
}
