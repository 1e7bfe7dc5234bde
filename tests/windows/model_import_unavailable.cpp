// The Windows test build has no Open Asset Import Library: descriptions that
// name a model file are refused there with the reason, as a broken file is.
#include "tools/media/model_import.h"

namespace tools::media {

using namespace tools::writer;

bool importModel(const std::string& path, std::vector<MeshFields>&, std::string* error)
{
    if (error)
        *error = path + ": model files are read by the Linux tools only";
    return false;
}

// Only ever called on meshes a successful import gave.
void fitModel(std::vector<MeshFields>&, float) {}

}  // namespace tools::media
