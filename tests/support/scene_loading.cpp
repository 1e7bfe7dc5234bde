#include "tests/support/scene_loading.h"

#include <cstring>
#include <memory>

void loadExact(SceneObject& object, const tools::writer::Bytes& bytes)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    object.load(bytes.empty() ? nullptr : copy.get(), int32_t(bytes.size()));
}
