// Objects that bend a mesh frame by frame. Every frame starts from an
// untouched copy of the mesh, so several deformers on one mesh add up within
// a frame and nothing piles up across frames.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

class Mesh;

class MeshDeformer : public SceneObject {
public:
    ~MeshDeformer() override;

    // Takes `mesh` (none unbinds) as the mesh to bend: the mesh gets arrays of
    // its own, and the deformer keeps an untouched copy of its vertices.
    void bind(Mesh* mesh);
    // Moves to bending `mesh` (a copy of the target) from the same untouched
    // shape, which stays shared.
    void retarget(Mesh* mesh);
    // The timeline's placement hook: binds the object when it is a mesh.
    void attachTo(SceneObject* object) override;
    // Placed nowhere, it may outlive its mesh: it lets go of it.
    void forgetObject(const SceneObject* gone) override;

    // The vertex `index` (or, for -1, the one after the last returned) of the
    // target, as three floats to change in place; none past the last vertex.
    // The first deformer of a frame (the mesh not yet marked deformed) puts
    // each vertex back to its untouched position when `restore` is true.
    float* nextVertex(int32_t index, bool restore);
    // Tells the later deformers of this frame that the vertices are bent.
    void markDeformed();

    // The copy bends the same mesh from the same untouched shape.
    void copyInto(SceneObject* destination) override;
    // A plain transform has none of the fields the copy fills.
    bool copyFitsTransform() const override { return false; }

    Mesh* target = nullptr;   // not owned
    Mesh* pristine = nullptr; // owned; holds the untouched vertices
    int32_t cursor = 0;

private:
    // In the target's list of bound deformers.
    void link(Mesh* mesh);
    void unlink();
    MeshDeformer* nextBound_ = nullptr;
};

// A circular wave spreading from `centre` across the X-Y plane of its mesh,
// lifting in Z the vertices inside its moving ring; it ends once the ring has
// left the mesh. Sub-chunks 15 (start radius, speed, amplitude, width) and
// 16 (centre).
class Ripple : public MeshDeformer {
public:
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;

    // Where an impact puts the drop.
    void setCentre(float x, float y);

    float centre[2] = {0, 0};
    float startRadius = 0;
    float speed = 0;
    float amplitude = 0;
    float waveWidth = 0;
    uint8_t endWhenPassed = 1;
    float radius = 0;  // 0: not started
};
