// A translation and three axis-angle rotations, put on the modelview matrix
// around the children and taken off again by exact inverse.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "demo/scene_object.h"

class Transform : public SceneObject {
public:
    Transform();

    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    void copyInto(SceneObject* destination) override;
    SceneObject* clone() override;

    void apply();
    void undo();
    // This object's own transform, column-major; the caller deletes[] it.
    float* localMatrix();

    float position[3] = {0, 0, 0};
    float angles[3] = {0, 0, 0};
    float axis1[3] = {1, 0, 0};
    float axis2[3] = {0, 1, 0};
    float axis3[3] = {0, 0, 1};
    int16_t order = 10;  // 10: translate then rotate; 11: rotate then translate
};

// Reads a transform payload (sub-chunks 5, 6, 10, 11, 12) into t.
void loadTransform(Transform& t, const void* data, int32_t size);
// Reads a nested transform sub-chunk of `length` bytes at the stream's
// position and moves the stream past it.
void loadNestedTransform(Transform& t, ChunkStream& stream, uint32_t length);
// A sub-chunk every shape may carry besides its own: 275, the nested
// transform placing it; any other id is reported and skipped.
void loadShapeChunk(Transform& shape, ChunkStream& stream, int16_t id, uint32_t length);
