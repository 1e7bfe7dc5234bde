// 3D model files of the common formats (OBJ, 3DS, PLY, glTF, FBX, Collada
// and more, through the Open Asset Import Library) as the triangle meshes a
// model resource carries. Tools only: the player never links it.
#pragma once

#include <string>
#include <vector>

#include "tools/writer/mesh_payloads.h"

namespace tools::media {

using namespace tools::writer;

// Every triangle mesh of the file, once for each place the file's node tree
// puts it, with that node's transform applied: positions, triangle indices
// and, when the mesh has them, its first texture-coordinate set (s, t, r)
// with an index array of its own. Points and lines are left out. False with
// the reason in *error when the file cannot be read or holds no triangles.
bool importModel(const std::string& path, std::vector<MeshFields>& meshes, std::string* error);

// Centres the meshes together on their bounding box and scales them so that
// its longest edge is `edge`.
void fitModel(std::vector<MeshFields>& meshes, float edge);

}  // namespace tools::media
