#include "tools/media/model_import.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cfloat>

namespace tools::media {

namespace {

void addNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent, std::vector<MeshFields>& out)
{
    const aiMatrix4x4 world = parent * node.mTransformation;
    for (unsigned n = 0; n < node.mNumMeshes; ++n) {
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[n]];
        MeshFields m;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3)
                continue;
            for (unsigned k = 0; k < 3; ++k)
                m.indices.push_back(int32_t(face.mIndices[k]));
        }
        if (m.indices.empty())
            continue;
        m.vertices.reserve(size_t(mesh.mNumVertices) * 3);
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D p = world * mesh.mVertices[v];
            m.vertices.insert(m.vertices.end(), {p.x, p.y, p.z});
        }
        if (mesh.HasTextureCoords(0)) {
            const bool threeD = mesh.mNumUVComponents[0] >= 3;
            for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
                const aiVector3D& t = mesh.mTextureCoords[0][v];
                m.texCoords.insert(m.texCoords.end(), {t.x, t.y, threeD ? t.z : 0.0f});
            }
            // The importer gives one coordinate per vertex.
            m.texIndices = m.indices;
        }
        out.push_back(std::move(m));
    }
    for (unsigned c = 0; c < node.mNumChildren; ++c)
        addNode(scene, *node.mChildren[c], world, out);
}

}  // namespace

bool importModel(const std::string& path, std::vector<MeshFields>& meshes, std::string* error)
{
    Assimp::Importer importer;
    // Points and lines have no place in a triangle mesh.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(
        path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                  aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        if (error) {
            std::string why = importer.GetErrorString();
            if (why.find("mNumMeshes is 0") != std::string::npos)
                why = "it holds no mesh";
            *error = why.empty() ? "not a model file the importer knows" : why;
        }
        return false;
    }
    meshes.clear();
    addNode(*scene, *scene->mRootNode, aiMatrix4x4(), meshes);
    if (meshes.empty()) {
        if (error)
            *error = "it holds no triangle mesh";
        return false;
    }
    return true;
}

void fitModel(std::vector<MeshFields>& meshes, float edge)
{
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (const MeshFields& m : meshes) {
        for (size_t i = 0; i + 2 < m.vertices.size(); i += 3) {
            for (int a = 0; a < 3; ++a) {
                low[a] = std::min(low[a], m.vertices[i + size_t(a)]);
                high[a] = std::max(high[a], m.vertices[i + size_t(a)]);
            }
        }
    }
    if (low[0] > high[0])
        return;  // no vertices
    const float longest = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
    const float scale = longest > 0 ? edge / longest : 1;
    for (MeshFields& m : meshes) {
        for (size_t i = 0; i + 2 < m.vertices.size(); i += 3) {
            for (int a = 0; a < 3; ++a) {
                float& v = m.vertices[i + size_t(a)];
                v = (v - 0.5f * (low[a] + high[a])) * scale;
            }
        }
    }
}

}  // namespace tools::media
