#include "geometry/grid.h"

#include <cstring>

#include "demo/format.h"

void Grid::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id != format::grid::kCells) {
            loadShapeChunk(*this, stream, id, length);
            return;
        }
        // A shorter record changes only its first fields.
        uint8_t record[12];
        std::memcpy(record, &gridWidth, 4);
        std::memcpy(record + 4, &gridHeight, 4);
        std::memcpy(record + 8, &cellsX, 2);
        std::memcpy(record + 10, &cellsY, 2);
        if (readField(stream, length, record, sizeof record) == 0)
            return;
        std::memcpy(&gridWidth, record, 4);
        std::memcpy(&gridHeight, record + 4, 4);
        std::memcpy(&cellsX, record + 8, 2);
        std::memcpy(&cellsY, record + 10, 2);
        buildGrid(gridWidth, gridHeight, cellsX, cellsY);
    });
}

namespace {

// More cells than this (a grid of 1024 x 1024) make an empty grid: a crafted
// size must not ask for gigabytes. Fuzzing stops at 128 x 128: a grid of a
// million cells is built, filled and drawn (4 million vertices a frame) in
// seconds, which a demo may choose to pay but a fuzzer should spend on
// thousands of other inputs.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr int32_t kMaxCells = 1 << 14;
#else
constexpr int32_t kMaxCells = 1 << 20;
#endif

}  // namespace

void Grid::buildGrid(float width, float height, int16_t cellsX, int16_t cellsY)
{
    releaseArrays();
    // No cells either way: none, or negative counts, or more than we build.
    int32_t nx = cellsX > 0 ? cellsX : 0;
    int32_t ny = cellsY > 0 ? cellsY : 0;
    if (nx * ny > kMaxCells)
        nx = ny = 0;
    const float cw = nx ? width / float(nx) : 0;
    const float ch = ny ? height / float(ny) : 0;

    indexCount = texIndexCount = 4 * nx * ny;
    vertexIndices = newMeshArray<int32_t>(indexCount);
    texIndices = newMeshArray<int32_t>(indexCount);
    vertexFloatCount = texCoordFloatCount = 3 * (nx + 1) * (ny + 1);
    vertices = newMeshArray<float>(vertexFloatCount);
    texCoords = newMeshArray<float>(texCoordFloatCount);

    float y = -0.5f * height;
    for (int32_t j = 0; j <= ny; ++j) {
        float x = -0.5f * width;
        for (int32_t i = 0; i <= nx; ++i) {
            const int32_t k = j * (nx + 1) + i;
            vertices[3 * k] = x;
            vertices[3 * k + 1] = y;
            texCoords[3 * k] = width != 0 ? float(i) * cw / width : 0;
            texCoords[3 * k + 1] = height != 0 ? float(j) * ch / height : 0;
            if (j < ny && i < nx) {
                int32_t* cell = vertexIndices + 4 * (j * nx + i);
                cell[0] = k;
                cell[1] = k + 1;
                cell[2] = k + (nx + 1) + 1;
                cell[3] = k + (nx + 1);
            }
            x += cw;
        }
        y += ch;
    }
    // Texture coordinate k belongs to vertex k.
    if (indexCount)
        std::memcpy(texIndices, vertexIndices, size_t(indexCount) * 4);
}

int Grid::typeId() const
{
    return format::type::kGrid;
}

SceneObject* Grid::clone()
{
    Grid* copy = new Grid;
    copyInto(copy);
    copy->gridWidth = gridWidth;
    copy->gridHeight = gridHeight;
    copy->cellsX = cellsX;
    copy->cellsY = cellsY;
    return copy;
}
