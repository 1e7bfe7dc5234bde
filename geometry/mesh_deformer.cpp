#include "geometry/mesh_deformer.h"

#include <cmath>
#include <cstring>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "demo/messages.h"
#include "geometry/mesh.h"

MeshDeformer::~MeshDeformer()
{
    unlink();
    // Every copy holds its own handle on the untouched vertices; the arrays
    // go with the last of them, so a clone may outlive its source.
    delete pristine;
}

void MeshDeformer::link(Mesh* mesh)
{
    unlink();
    target = mesh;
    if (!mesh)
        return;
    nextBound_ = mesh->boundDeformers;
    mesh->boundDeformers = this;
}

void MeshDeformer::unlink()
{
    if (target) {
        for (MeshDeformer** at = &target->boundDeformers; *at; at = &(*at)->nextBound_) {
            if (*at == this) {
                *at = nextBound_;
                break;
            }
        }
    }
    nextBound_ = nullptr;
    target = nullptr;
}

void MeshDeformer::retarget(Mesh* mesh)
{
    link(mesh);
}

void MeshDeformer::bind(Mesh* mesh)
{
    delete pristine;
    pristine = nullptr;
    link(mesh);
    if (!mesh)
        return;
    // The untouched shape: that of a deformer already bending this mesh when
    // there is one, since the vertices as they stand may carry its last frame.
    Mesh* shape = mesh;
    for (auto* child = static_cast<SceneObject*>(mesh->children->first()); child;
         child = static_cast<SceneObject*>(mesh->children->next())) {
        auto* other = dynamic_cast<MeshDeformer*>(child);
        if (other && other != this && other->target == mesh && other->pristine) {
            shape = other->pristine;
            break;
        }
    }
    mesh->makeUnique();
    pristine = new Mesh;
    shape->shareArraysInto(pristine);
    pristine->makeUnique();
}

void MeshDeformer::attachTo(SceneObject* object)
{
    bind(dynamic_cast<Mesh*>(object));
}

void MeshDeformer::forgetObject(const SceneObject* gone)
{
    if (gone && gone == target)
        bind(nullptr);
}

float* MeshDeformer::nextVertex(int32_t index, bool restore)
{
    if (index >= 0)
        cursor = index;
    if (!target || !target->vertices || cursor < 0 || cursor >= target->vertexFloatCount / 3)
        return nullptr;
    float* vertex = target->vertices + 3 * cursor;
    if (restore && !target->deformed && pristine && pristine->vertices && cursor < pristine->vertexFloatCount / 3)
        std::memcpy(vertex, pristine->vertices + 3 * cursor, 3 * sizeof(float));
    ++cursor;
    return vertex;
}

void MeshDeformer::markDeformed()
{
    if (target)
        target->deformed = 1;
}

void MeshDeformer::copyInto(SceneObject* destination)
{
    SceneObject::copyInto(destination);
    auto* copy = dynamic_cast<MeshDeformer*>(destination);
    if (!copy || copy == this)
        return;
    copy->cursor = cursor;
    copy->link(target);
    delete copy->pristine;
    copy->pristine = nullptr;
    if (pristine) {
        copy->pristine = new Mesh;
        pristine->shareArraysInto(copy->pristine);
    }
}

void Ripple::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == format::ripple::kWave) {
            // A shorter record changes only its first fields.
            float record[4] = {startRadius, speed, amplitude, waveWidth};
            readField(stream, length, record, sizeof record);
            startRadius = record[0];
            speed = record[1];
            amplitude = record[2];
            waveWidth = record[3];
        } else if (id == format::ripple::kCentre) {
            readField(stream, length, centre, sizeof centre);
        } else {
            showError("ID DESCONEGUDA");
            stream.skip(length);
        }
    });
}

int Ripple::step(bool stepOnly)
{
    // Unbound there is nothing to bend: the ripple only lives out its
    // lifetime. A mesh without a whole vertex is one its ring never reaches:
    // the walk below finds none, and the ripple ends.
    if (!target)
        return SceneObject::step(stepOnly);
    if (radius == 0)
        radius = startRadius;
    bool hit = false;
    for (float* v = nextVertex(0, true); v; v = nextVertex(-1, true)) {
        const float d = float(std::sqrt(std::pow(v[1] - centre[1], 2.0) + std::pow(v[0] - centre[0], 2.0)));
        if (d > radius && radius + waveWidth > d) {
            hit = true;
            // The lift falls off as 1 / radius: a ring of radius 0 lifts nothing.
            if (radius != 0)
                v[2] = float(std::fabs(std::sin((d - radius) * 3.14 / waveWidth) * amplitude / radius + v[2]));
        }
    }
    markDeformed();
    radius += speed;
    if (!hit && endWhenPassed)
        return 0;
    return SceneObject::step(stepOnly);
}

int Ripple::typeId() const
{
    return format::type::kRipple;
}

SceneObject* Ripple::clone()
{
    Ripple* copy = new Ripple;
    copyInto(copy);
    copy->endWhenPassed = endWhenPassed;
    copy->amplitude = amplitude;
    copy->waveWidth = waveWidth;
    copy->centre[0] = centre[0];
    copy->centre[1] = centre[1];
    copy->radius = radius;
    copy->startRadius = startRadius;
    copy->speed = speed;
    return copy;
}

void Ripple::setCentre(float x, float y)
{
    centre[0] = x;
    centre[1] = y;
}
