#include "tools/writer/mesh_payloads.h"

#include "demo/format.h"

namespace tools::writer {

namespace {

Bytes entries(const std::vector<float>& values)
{
    Bytes out;
    for (float v : values)
        append(out, f32(v));
    return out;
}

Bytes entries(const std::vector<int32_t>& values)
{
    Bytes out;
    for (int32_t v : values)
        append(out, s32(v));
    return out;
}

}  // namespace

Bytes gridPayload(const GridFields& grid)
{
    return StreamWriter()
        .add(nestedTransformChunk(grid.transform))
        .add(format::grid::kCells, cat({f32(grid.width), f32(grid.height), s16(grid.cellsX), s16(grid.cellsY)}))
        .bytes();
}

Bytes meshPayload(const MeshFields& mesh)
{
    StreamWriter stream;
    stream.add(format::mesh::kVertices, entries(mesh.vertices))
        .add(format::mesh::kVertexIndices, entries(mesh.indices));
    if (!mesh.texCoords.empty() || !mesh.texIndices.empty())
        stream.add(format::mesh::kTexCoords, entries(mesh.texCoords))
            .add(format::mesh::kTexCoordIndices, entries(mesh.texIndices));
    return stream.bytes(false);
}

Bytes modelMeshChunk(const std::string& tagText, const Bytes& meshPayloadBytes)
{
    return cat({chunkWithLength(format::model::kMesh, uint32_t(meshPayloadBytes.size()),
                                chunk(format::envelope::kTag, tag(tagText))),
                meshPayloadBytes});
}

Bytes modelPayload(const std::vector<std::pair<std::string, MeshFields>>& meshes)
{
    Bytes out;
    for (const auto& m : meshes)
        append(out, modelMeshChunk(m.first, meshPayload(m.second)));
    return out;
}

Bytes modelResource(const std::string& tag, const Bytes& modelPayloadBytes, const TransformFields& placement)
{
    Envelope e;
    e.tag = tag;
    e.extraId = format::envelope::kModelMeshes;
    e.extra = transformPayload(placement);
    e.body = modelPayloadBytes;
    return resource(format::kModel, e);
}

}  // namespace tools::writer
