// An imported 3D model: a transform holding triangle meshes, each of which
// is also a resource of its own under its own tag.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

class Model : public Transform {
public:
    // registry: the list the meshes are entered in besides `meshes`, and
    // which owns them (the resource list). Without one no mesh is kept.
    explicit Model(ObjectList* registry);
    ~Model() override;

    // Sub-chunks 107 (a tag chunk, then a mesh payload); others are skipped.
    void load(const void* data, int32_t size) override;
    // The model's own placement: a transform payload.
    void loadExtra(const void* data, int32_t size) override;
    // The model file, then its placement from the file of the same name
    // ending in ".dat" instead of the last four characters.
    void loadFile(const char* path) override;
    int step(bool stepOnly) override;
    // A clone with the same registry, sharing the very same meshes.
    SceneObject* clone() override;

    ObjectList* registry;
    ObjectList* meshes;  // borrowing, in load order
};
