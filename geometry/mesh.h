// Geometry held as arrays: vertices and texture coordinates, each addressed
// through an index array, drawn as one batch inside the object's transform.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

// The arrays of a mesh are shared between an object and its copies. Each
// array carries a use count and its own length in front of it, so the last
// object that lets go of it frees it, whichever that is, and a copy always
// knows how long the array is. Arrays given to a mesh must come from
// newMeshArray.
template <typename T>
T* newMeshArray(int32_t count);
// Entries in an array from newMeshArray (0 for none).
int32_t meshArrayLength(const void* array);
void retainMeshArray(const void* array);
void releaseMeshArray(const void* array);

class MeshDeformer;

class Mesh : public Transform {
public:
    ~Mesh() override;

    // Sets isCopy on both sides; a target that is a Mesh shares the arrays,
    // counts and the deformed flag. A plain Transform gets the transform only.
    void copyInto(SceneObject* destination) override;
    // Its copy is meant to fill the arrays: no plain transform copy of a mesh.
    bool copyFitsTransform() const override { return false; }

    // glBegin(primitive), a texture coordinate (when there are texture
    // indices) and a vertex per index, glEnd; clears `deformed`.
    void draw(unsigned primitive);
    // Private copies of every array, before anything changes vertices.
    void makeUnique();
    // Lets go of every array and zeroes the counts.
    void releaseArrays();
    // Gives `target` this mesh's arrays, counts and deformed flag, shared.
    void shareArraysInto(Mesh* target);

    float* vertices = nullptr;
    int32_t vertexFloatCount = 0;
    float* texCoords = nullptr;
    int32_t* vertexIndices = nullptr;
    int32_t indexCount = 0;
    int32_t* texIndices = nullptr;
    int32_t texIndexCount = 0;
    uint8_t deformed = 0;
    // Floats in texCoords: its own length, which may differ from the vertices'.
    int32_t texCoordFloatCount = 0;
    // Every deformer bound to this mesh, wherever it lives, linked through
    // the deformers: each is told when the mesh dies.
    MeshDeformer* boundDeformers = nullptr;

protected:
    // The step of a drawn mesh: meshes draw in step-only passes too.
    int stepAndDraw(bool stepOnly, unsigned primitive);
    // Drops index arrays that would send the draw outside the arrays: a
    // vertex index array with any number outside the vertices (nothing is
    // drawn), a texture index array shorter than the vertex indices or with
    // any number outside the texture coordinates (drawn untextured).
    void dropStrayIndices();
};

// A mesh drawn as quads; its payload is a transform payload.
class QuadMesh : public Mesh {
public:
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;
};

// A mesh drawn as triangles, loaded from the mesh payload of a model:
// sub-chunks 101 (vertices), 104 (vertex indices), 105 (texture
// coordinates) and 108 (texture indices).
class TriangleMesh : public Mesh {
public:
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;
};
