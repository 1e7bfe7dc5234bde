#include "geometry/model.h"

#include <cstring>

#include "demo/format.h"
#include "geometry/mesh.h"

Model::Model(ObjectList* registry) : registry(registry), meshes(new ObjectList(false)) {}

Model::~Model()
{
    // The meshes belong to the registry.
    delete meshes;
}

void Model::load(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id != format::model::kMesh) {
            stream.skip(length);
            return;
        }
        // The tag chunk is read whole whatever its header says; the length
        // counts only the mesh payload after it.
        uint8_t tagChunk[10];
        if (!stream.read(tagChunk, sizeof tagChunk)) {
            stream.skip(sizeof tagChunk);
            return;
        }
        char tag[5] = {};
        std::memcpy(tag, tagChunk + 6, 4);
        // A payload cut short by the end loads from what is there.
        const int32_t available = int64_t(length) > stream.remaining() ? stream.remaining() : int32_t(length);
        if (registry) {
            TriangleMesh* mesh = new TriangleMesh;
            mesh->load(stream.data() + stream.position(), available);
            meshes->append(tag, mesh);
            registry->append(tag, mesh);
        }
        stream.skip(length);
    });
}

void Model::loadExtra(const void* data, int32_t size)
{
    loadTransform(*this, data, size);
}

void Model::loadFile(const char* path)
{
    SceneObject::loadFile(path);
    const size_t n = std::strlen(path);
    const size_t stem = n >= 4 ? n - 4 : 0;
    if (stem + 5 > sizeof dataPath)
        return;  // no room for the companion's name
    std::memcpy(dataPath, path, stem);
    std::memcpy(dataPath + stem, ".dat", 5);
    // Without the companion file the model keeps its placement.
    loadExtraFile(dataPath);
}

int Model::step(bool stepOnly)
{
    // The meshes draw in step-only passes too.
    apply();
    int result = SceneObject::step(stepOnly);
    for (void* mesh = meshes->first(); mesh; mesh = meshes->next())
        static_cast<SceneObject*>(mesh)->step(stepOnly);
    undo();
    return result;
}

SceneObject* Model::clone()
{
    Model* copy = new Model(registry);
    Transform::copyInto(copy);
    for (void* mesh = meshes->first(); mesh; mesh = meshes->next())
        copy->meshes->append(meshes->currentTag(), mesh);
    return copy;
}
