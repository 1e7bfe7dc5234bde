// A quad mesh (in practice a grid) cut into separate Quad tiles, one per
// face, each a resource under its own tag so that it can be moved, turned or
// faded alone. The split is made once, when the payload has been read.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

class Mesh;

class QuadSplitter : public Transform {
public:
    // registry: the list the source is looked up in and the tiles are entered
    // in (the resource list), which owns them.
    explicit QuadSplitter(ObjectList* registry);
    ~QuadSplitter() override;

    // Sub-chunks 13 (centre the tiles), 275 (placement), 351 (tile tags) and
    // 352 (source tag), then the split.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    // A splitter sharing the very same tiles.
    SceneObject* clone() override;

    // Fills the tiles from the source's faces, as many as both have.
    void split();

    Mesh* source = nullptr;
    ObjectList* tiles;  // borrowing, in creation order
    ObjectList* registry;
    bool centreTiles = false;
    int32_t tileCount = 0;

private:
    void createTiles(ChunkStream& stream, uint32_t length);
};
