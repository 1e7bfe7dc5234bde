#include "geometry/mesh.h"

#include <GL/gl.h>

#include <cstring>
#include <new>

#include "demo/format.h"
#include "demo/messages.h"
#include "geometry/mesh_deformer.h"

namespace {

// In front of every mesh array; 16 bytes keep the entries aligned.
struct alignas(16) ArrayHeader {
    int32_t uses;
    int32_t length;
};

ArrayHeader* headerOf(const void* array)
{
    return reinterpret_cast<ArrayHeader*>(const_cast<char*>(static_cast<const char*>(array)) - sizeof(ArrayHeader));
}

// A fresh array holding a copy of `count` entries of source (the rest zero).
template <typename T>
T* copyOf(const T* source, int32_t length, int32_t count)
{
    T* copy = newMeshArray<T>(length);
    if (count > 0)
        std::memcpy(copy, source, size_t(count) * sizeof(T));
    return copy;
}

}  // namespace

template <typename T>
T* newMeshArray(int32_t count)
{
    if (count < 0)
        count = 0;
    void* block = ::operator new(sizeof(ArrayHeader) + size_t(count) * sizeof(T));
    auto* header = new (block) ArrayHeader{1, count};
    T* array = reinterpret_cast<T*>(header + 1);
    std::memset(array, 0, size_t(count) * sizeof(T));
    return array;
}
template float* newMeshArray<float>(int32_t);
template int32_t* newMeshArray<int32_t>(int32_t);

int32_t meshArrayLength(const void* array)
{
    return array ? headerOf(array)->length : 0;
}

void retainMeshArray(const void* array)
{
    if (array)
        ++headerOf(array)->uses;
}

void releaseMeshArray(const void* array)
{
    if (!array)
        return;
    ArrayHeader* header = headerOf(array);
    if (--header->uses == 0)
        ::operator delete(header);
}

Mesh::~Mesh()
{
    // Copies of a deformer may live anywhere (a trail's snapshots, say):
    // none may bend this mesh once it is gone.
    while (boundDeformers)
        boundDeformers->bind(nullptr);
    // Shared arrays go with their last user: a clone outlives its source.
    releaseArrays();
}

void Mesh::releaseArrays()
{
    releaseMeshArray(vertexIndices);
    releaseMeshArray(texIndices);
    releaseMeshArray(vertices);
    releaseMeshArray(texCoords);
    vertexIndices = texIndices = nullptr;
    vertices = texCoords = nullptr;
    indexCount = texIndexCount = vertexFloatCount = texCoordFloatCount = 0;
}

void Mesh::copyInto(SceneObject* destination)
{
    isCopy = 1;
    Transform::copyInto(destination);
    Mesh* copy = dynamic_cast<Mesh*>(destination);
    shareArraysInto(copy);
    if (!copy || copy == this)
        return;
    // A deformer cloned together with this mesh bends the copy, on arrays of
    // the copy's own, from the same untouched shape.
    bool bent = false;
    for (auto* child = static_cast<SceneObject*>(copy->children->first()); child;
         child = static_cast<SceneObject*>(copy->children->next())) {
        auto* deformer = dynamic_cast<MeshDeformer*>(child);
        if (deformer && deformer->target == this) {
            deformer->retarget(copy);
            bent = true;
        }
    }
    if (bent)
        copy->makeUnique();
}

void Mesh::shareArraysInto(Mesh* target)
{
    if (!target || target == this)
        return;
    target->releaseArrays();
    retainMeshArray(vertices);
    retainMeshArray(texCoords);
    retainMeshArray(vertexIndices);
    retainMeshArray(texIndices);
    target->vertices = vertices;
    target->vertexFloatCount = vertexFloatCount;
    target->texCoords = texCoords;
    target->texCoordFloatCount = texCoordFloatCount;
    target->vertexIndices = vertexIndices;
    target->indexCount = indexCount;
    target->texIndices = texIndices;
    target->texIndexCount = texIndexCount;
    target->deformed = deformed;
}

void Mesh::draw(unsigned primitive)
{
    glBegin(primitive);
    if (texIndices) {
        for (int32_t i = 0; i < indexCount; ++i) {
            glTexCoord3fv(texCoords + 3 * texIndices[i]);
            glVertex3fv(vertices + 3 * vertexIndices[i]);
        }
    } else {
        for (int32_t i = 0; i < indexCount; ++i)
            glVertex3fv(vertices + 3 * vertexIndices[i]);
    }
    glEnd();
    deformed = 0;
}

void Mesh::makeUnique()
{
    if (vertices) {
        float* own = copyOf(vertices, meshArrayLength(vertices), meshArrayLength(vertices));
        releaseMeshArray(vertices);
        vertices = own;
    }
    if (texCoords) {
        // Over its own length: it need not match the vertices.
        float* own = copyOf(texCoords, meshArrayLength(texCoords), meshArrayLength(texCoords));
        releaseMeshArray(texCoords);
        texCoords = own;
    }
    if (vertexIndices) {
        int32_t* own = copyOf(vertexIndices, meshArrayLength(vertexIndices), meshArrayLength(vertexIndices));
        releaseMeshArray(vertexIndices);
        vertexIndices = own;
    }
    if (texIndices) {
        int32_t* own = copyOf(texIndices, meshArrayLength(texIndices), meshArrayLength(texIndices));
        releaseMeshArray(texIndices);
        texIndices = own;
    }
    isCopy = 0;
}

void Mesh::dropStrayIndices()
{
    const int32_t vertexCount = vertexFloatCount / 3;
    for (int32_t i = 0; i < indexCount; ++i) {
        if (vertexIndices[i] < 0 || vertexIndices[i] >= vertexCount) {
            releaseMeshArray(vertexIndices);
            vertexIndices = nullptr;
            indexCount = 0;
            break;
        }
    }
    if (!texIndices)
        return;
    const int32_t coordCount = texCoordFloatCount / 3;
    bool stray = meshArrayLength(texIndices) < indexCount;
    for (int32_t i = 0; i < indexCount && !stray; ++i)
        stray = texIndices[i] < 0 || texIndices[i] >= coordCount;
    if (stray) {
        releaseMeshArray(texIndices);
        texIndices = nullptr;
        texIndexCount = 0;
    }
}

int Mesh::stepAndDraw(bool stepOnly, unsigned primitive)
{
    // Unlike most geometry, meshes draw in step-only passes too.
    apply();
    int result = SceneObject::step(stepOnly);
    draw(primitive);
    undo();
    return result;
}

int QuadMesh::step(bool stepOnly)
{
    return stepAndDraw(stepOnly, GL_QUADS);
}

int QuadMesh::typeId() const
{
    return format::type::kQuadMesh;
}

SceneObject* QuadMesh::clone()
{
    QuadMesh* copy = new QuadMesh;
    copyInto(copy);
    return copy;
}

namespace {

// A sub-chunk of 4-byte entries as a fresh array of `slots` entries (its own
// entry count when slots < 0); entries beyond the sub-chunk stay zero. One
// that runs past the end of the payload carries nothing.
template <typename T>
T* readEntries(ChunkStream& stream, uint32_t length, int32_t& entries, int32_t slots = -1)
{
    if (int64_t(length) > stream.remaining()) {
        stream.skip(length);
        entries = 0;
        return nullptr;
    }
    entries = int32_t(length / 4);
    const int32_t size = slots < 0 ? entries : slots;
    T* array = newMeshArray<T>(size);
    const int32_t copied = entries < size ? entries : size;
    stream.read(array, copied * 4);
    stream.skip(int64_t(length) - copied * 4);
    return array;
}

// Puts a sub-chunk's entries in place of `array`; one cut short leaves what
// was there.
template <typename T>
void replaceArray(ChunkStream& stream, uint32_t length, T*& array, int32_t& count)
{
    int32_t entries = 0;
    T* fresh = readEntries<T>(stream, length, entries);
    if (!fresh)
        return;
    releaseMeshArray(array);
    array = fresh;
    count = entries;
}

}  // namespace

void TriangleMesh::load(const void* data, int32_t size)
{
    // A copy that is loaded again first takes arrays of its own, so what it
    // replaces is its own to let go of.
    if (isCopy)
        makeUnique();
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        int32_t entries = 0;
        switch (id) {
        case format::mesh::kVertices:
            replaceArray(stream, length, vertices, vertexFloatCount);
            break;
        case format::mesh::kVertexIndices:
            replaceArray(stream, length, vertexIndices, indexCount);
            break;
        case format::mesh::kTexCoords:
            replaceArray(stream, length, texCoords, texCoordFloatCount);
            break;
        case format::mesh::kTexCoordIndices: {
            // One texture index per drawn vertex: the array has as many
            // entries as the vertex indices, a longer sub-chunk is cut to
            // them, and one before the vertex indices has nothing to fit.
            if (!vertexIndices) {
                stream.skip(length);
                break;
            }
            int32_t* array = readEntries<int32_t>(stream, length, entries, indexCount);
            if (!array)
                break;
            releaseMeshArray(texIndices);
            texIndices = array;
            texIndexCount = entries < indexCount ? entries : indexCount;
            break;
        }
        default:
            showError("ID DESCONEGUDA");
            stream.skip(length);
            break;
        }
    });
    dropStrayIndices();
}

int TriangleMesh::step(bool stepOnly)
{
    return stepAndDraw(stepOnly, GL_TRIANGLES);
}

int TriangleMesh::typeId() const
{
    return format::type::kTriangleMesh;
}

SceneObject* TriangleMesh::clone()
{
    TriangleMesh* copy = new TriangleMesh;
    copyInto(copy);
    return copy;
}
