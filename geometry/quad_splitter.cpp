#include "geometry/quad_splitter.h"

#include <cstring>

#include "animation/vector_math.h"
#include "demo/format.h"
#include "geometry/mesh.h"
#include "geometry/quad.h"

QuadSplitter::QuadSplitter(ObjectList* registry) : tiles(new ObjectList(false)), registry(registry) {}

QuadSplitter::~QuadSplitter()
{
    // The tiles belong to the registry.
    delete tiles;
}

void QuadSplitter::createTiles(ChunkStream& stream, uint32_t length)
{
    delete tiles;
    tiles = new ObjectList(false);
    tileCount = 0;
    // Without a registry nothing could own a tile.
    const int32_t count = registry ? int32_t(length / 4) : 0;
    for (int32_t i = 0; i < count; ++i) {
        char tag[5] = {};
        if (!stream.read(tag, 4))
            break;  // the rest of the list runs past the end
        Quad* tile = new Quad;
        tile->useColors = false;
        tiles->append(tag, tile);
        registry->append(tag, tile);
        ++tileCount;
    }
    stream.skip(int64_t(length) - int64_t(tileCount) * 4);
}

void QuadSplitter::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        switch (id) {
        case format::splitter::kCentreTiles:
            centreTiles = true;  // a flag: nothing to skip
            break;
        case format::splitter::kTileTags:
            createTiles(stream, length);
            break;
        case format::splitter::kSource: {
            ObjectTag tag;
            // A longer chunk: its first 4 bytes are the tag.
            if (readField(stream, length, tag.text, 4) == 4) {
                // Only a mesh can be split; anything else leaves no source.
                SceneObject* found = registry ? static_cast<SceneObject*>(registry->find(tag.text)) : nullptr;
                source = dynamic_cast<Mesh*>(found);
            }
            break;
        }
        default:
            loadShapeChunk(*this, stream, id, length);
        }
    });
    split();
}

namespace {

constexpr int kRecordFloats = 9;  // x, y, z, u, v, r, g, b, a

void centre(Quad& tile)
{
    float diagonal[3], middle[3];
    vecAddScaled(tile.corners[0], tile.corners[2], diagonal, -1.0f);
    vecAddScaled(tile.corners[2], diagonal, middle, 0.5f);
    std::memcpy(tile.position, middle, sizeof middle);
    for (float* corner : tile.corners)
        vecAddScaled(corner, middle, corner, -1.0f);
}

}  // namespace

void QuadSplitter::split()
{
    if (!source || !source->vertices || !source->vertexIndices)
        return;
    const int32_t vertexCount = source->vertexFloatCount / 3;
    const int32_t coordCount = source->texCoordFloatCount / 3;
    // Texture coordinates only where both arrays are there; tiles of a mesh
    // without them keep u and v at 0.
    const bool textured = source->texIndices && source->texCoords &&
                          meshArrayLength(source->texIndices) >= source->indexCount;
    // Sub-chunk 161 with four corner records, colours 0.
    uint8_t payload[150] = {};
    const uint16_t id = format::quad::kCorners;
    const uint32_t length = 144;
    std::memcpy(payload, &id, 2);
    std::memcpy(payload + 2, &length, 4);
    void* tile = tiles->first();
    for (int32_t f = 0; 4 * f + 3 < source->indexCount && tile; ++f, tile = tiles->next()) {
        float records[4][kRecordFloats] = {};
        for (int c = 0; c < 4; ++c) {
            const int32_t v = source->vertexIndices[4 * f + c];
            if (v >= 0 && v < vertexCount)
                std::memcpy(records[c], source->vertices + 3 * v, 3 * sizeof(float));
            const int32_t t = textured ? source->texIndices[4 * f + c] : -1;
            if (t >= 0 && t < coordCount)
                std::memcpy(records[c] + 3, source->texCoords + 3 * t, 2 * sizeof(float));
        }
        std::memcpy(payload + 6, records, sizeof records);
        Quad* quad = static_cast<Quad*>(tile);
        quad->load(payload, sizeof payload);
        if (centreTiles)
            centre(*quad);
    }
}

int QuadSplitter::step(bool stepOnly)
{
    // Tiles are stepped in step-only passes too (and draw nothing then).
    apply();
    int result = SceneObject::step(stepOnly);
    for (void* tile = tiles->first(); tile; tile = tiles->next())
        static_cast<SceneObject*>(tile)->step(stepOnly);
    undo();
    return result;
}

SceneObject* QuadSplitter::clone()
{
    QuadSplitter* copy = new QuadSplitter(registry);
    Transform::copyInto(copy);
    for (void* tile = tiles->first(); tile; tile = tiles->next())
        copy->tiles->append(tiles->currentTag(), tile);
    return copy;
}
