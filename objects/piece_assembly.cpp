#include "objects/piece_assembly.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "demo/format.h"
#include "geometry/quad_splitter.h"

namespace {

// Truncation towards zero for a value from the data, which may be beyond any
// integer: those saturate, and NaN gives 0.
int32_t truncatedToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return int32_t(value);
}

}  // namespace

PieceShuffle::PieceShuffle(ObjectList* resourceList) : resourceList(resourceList), pieces(new ObjectList(true))
{
    pieces->deleter = &SceneObject::destroy;
}

PieceShuffle::~PieceShuffle()
{
    delete pieces;
}

void PieceShuffle::copyInto(SceneObject* destination)
{
    SceneObject::copyInto(destination);
    PieceShuffle* target = dynamic_cast<PieceShuffle*>(destination);
    if (!target || target == this)
        return;
    target->source = source;
    target->seed = seed;
    for (void* piece = pieces->first(); piece; piece = pieces->next()) {
        if (SceneObject* copy = static_cast<SceneObject*>(piece)->clone())
            target->pieces->append(pieces->currentTag(), copy);
    }
}

void PieceShuffle::shuffle()
{
    random_.seed(seed);
    delete pieces;
    pieces = new ObjectList(true);
    pieces->deleter = &SceneObject::destroy;
    // Without a splitter there is nothing to shuffle.
    if (!source)
        return;
    ObjectList remaining(*source->tiles);
    while (remaining.count() > 0) {
        int32_t r = random_.next() % remaining.count();
        void* tile = remaining.first();
        while (r-- > 0)
            tile = remaining.next();
        if (SceneObject* copy = static_cast<SceneObject*>(tile)->clone())
            pieces->append(remaining.currentTag(), copy);
        remaining.remove(tile);
    }
}

PieceAssembly::PieceAssembly(ObjectList* resourceList) : PieceShuffle(resourceList) {}

PieceAssembly::~PieceAssembly()
{
    delete[] dips;
    delete[] homes;
}

void PieceAssembly::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        switch (id) {
        case format::assembly::kFlight: {
            float values[5] = {startHeight, depthSpread, startOffset, phaseEnd, flightFraction};
            readField(stream, length, values, sizeof values);
            startHeight = values[0];
            depthSpread = values[1];
            startOffset = values[2];
            phaseEnd = values[3];
            flightFraction = values[4];
            break;
        }
        case format::assembly::kSeed:
            readField(stream, length, &seed, 4);
            break;
        case format::assembly::kSource: {
            ObjectTag tag;
            if (readField(stream, length, tag.text, 4) == 4) {
                // Only a splitter has tiles to assemble.
                SceneObject* found = resourceList ? static_cast<SceneObject*>(resourceList->find(tag.text)) : nullptr;
                source = dynamic_cast<QuadSplitter*>(found);
            }
            break;
        }
        default:
            break;  // entered: its payload is read as the next chunk header
        }
    });
    shuffle();

    delete[] dips;
    delete[] homes;
    pieceCount = source ? source->tiles->count() : 0;
    dips = new float[size_t(pieceCount) + 1]();
    homes = new float[2 * size_t(pieceCount) + 2]();
    // A spread below 0.1 gives no dips: there is nothing to take a remainder by.
    // The exact product: in single precision 0.7 × 10 would round up to 7
    // before the truncation.
    const int32_t m = truncatedToInt(double(depthSpread) * 10.0);
    if (m != 0) {
        for (int32_t i = 0; i < pieceCount; ++i)
            dips[i] = -float(random_.next() % m) * 0.1f;
    }
    int32_t j = 0;
    for (void* item = pieces->first(); item && j < pieceCount; item = pieces->next(), ++j) {
        Transform* piece = static_cast<Transform*>(item);
        homes[2 * j] = piece->position[0];
        homes[2 * j + 1] = piece->position[1];
        piece->position[0] = startOffset;
        piece->position[1] = 0;
        piece->position[2] = startHeight;
        piece->order = 11;
    }
}

void PieceAssembly::movePiece(int32_t i, SceneObject* item, int32_t s, float dx, float dz)
{
    Transform* piece = static_cast<Transform*>(item);
    float& x = piece->position[0];
    float& z = piece->position[2];
    float& a = piece->angles[2];
    const float flight = float(length) * flightFraction;
    if (float(s) < (phaseEnd - flightFraction) * float(length)) {
        if (z < dips[i])
            return;
        if (z > 0)
            x = x - dx;
        // 720 degrees over the steps from the start height down to the dip;
        // without a descent (start height 0) there is no rate to spin at.
        if (dz != 0) {
            const float steps = flight - dips[i] / dz;
            if (steps != 0)
                a = a + 720.0f / steps;
        }
        z = z - dz;
    } else if (int16_t(s) != length) {
        const float r = float(int32_t(length) - s);
        a = std::ceil(a);
        // The whole degrees past the last full turn, with the sign of a.
        a = a - std::fmod(std::trunc(a), 360.0f) / r;
        z = z - z / r;
    }
}

int PieceAssembly::step(bool stepOnly)
{
    // All of it runs in step-only passes too.
    const int32_t L = length;
    const int32_t s = stepCount;
    const float flight = float(L) * flightFraction;
    const float release = (phaseEnd - 0.2f) * float(L);
    ++frame;
    // Spans of no steps leave nothing to divide by: every piece is released
    // at once and none moves.
    const bool spans = flight != 0 && release != 0;
    const bool moving = !isCopy && spans;
    if (spans)
        progress += float(pieceCount) / release;
    else
        progress = float(pieceCount);
    const float dx = moving ? startOffset / flight : 0;
    const float dz = moving ? startHeight / flight : 0;
    int32_t i = 0;
    for (void* item = pieces->first(); item && i < pieceCount && float(i) < progress; item = pieces->next(), ++i) {
        SceneObject* piece = static_cast<SceneObject*>(item);
        if (moving)
            movePiece(i, piece, s, dx, dz);
        glTranslatef(homes[2 * i], homes[2 * i + 1], 0);
        piece->step(stepOnly);
        glTranslatef(-homes[2 * i], -homes[2 * i + 1], 0);
    }
    return SceneObject::step(stepOnly);
}

int PieceAssembly::typeId() const
{
    return format::type::kPieceAssembly;
}

SceneObject* PieceAssembly::clone()
{
    PieceAssembly* copy = new PieceAssembly(resourceList);
    copyInto(copy);
    copy->startHeight = startHeight;
    copy->depthSpread = depthSpread;
    copy->phaseEnd = phaseEnd;
    copy->startOffset = startOffset;
    copy->progress = progress;
    copy->frame = frame;
    copy->flightFraction = flightFraction;
    copy->pieceCount = pieceCount;
    copy->dips = new float[size_t(pieceCount) + 1]();
    copy->homes = new float[2 * size_t(pieceCount) + 2]();
    if (dips)
        std::memcpy(copy->dips, dips, sizeof(float) * size_t(pieceCount));
    if (homes)
        std::memcpy(copy->homes, homes, 2 * sizeof(float) * size_t(pieceCount));
    copy->isCopy = progress != 0 ? 1 : 0;
    return copy;
}
