// A surface built from its pieces over a lifetime: clones of a quad
// splitter's tiles, taken in an order fixed by a seed, start away from home
// and fly back one after another, spinning, dipping below the surface and
// settling onto it by the end.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"
#include "objects/random_generator.h"

class QuadSplitter;

// The shuffled clones of a splitter's tiles.
class PieceShuffle : public SceneObject {
public:
    explicit PieceShuffle(ObjectList* resourceList);
    ~PieceShuffle() override;

    // The base copy, then source, seed and a clone of every piece.
    void copyInto(SceneObject* destination) override;
    bool copyFitsTransform() const override { return false; }

    // Rebuilds pieces from the source's tiles in the order the seed gives.
    void shuffle();

    QuadSplitter* source = nullptr;
    ObjectList* resourceList;
    uint32_t seed = 0;
    ObjectList* pieces;  // owning: the clones, under their tiles' tags

protected:
    // Seeded by shuffle; the dips go on drawing from it.
    RandomGenerator random_;
};

class PieceAssembly : public PieceShuffle {
public:
    explicit PieceAssembly(ObjectList* resourceList);
    ~PieceAssembly() override;

    // Sub-chunks 8 (start height, depth spread, start offset, phase end,
    // flight fraction), 14 (seed) and 352 (source tag); then the pieces are
    // shuffled and laid out at the start.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    // A clone of an assembly that has begun is frozen: it releases and draws
    // its pieces where they are but moves none.
    SceneObject* clone() override;

    float startHeight = 0;
    float depthSpread = 0;
    float phaseEnd = 0;
    float startOffset = 0;
    float flightFraction = 0;
    float progress = 0;
    float* dips = nullptr;   // one per piece, 0 or below
    float* homes = nullptr;  // x and y per piece
    // Entries in dips and homes, and the tiles released over the lifetime:
    // the source's tile count when loaded. Kept here so that stepping and
    // cloning never reach back to the source.
    int32_t pieceCount = 0;

private:
    void movePiece(int32_t i, SceneObject* piece, int32_t s, float dx, float dz);
};
