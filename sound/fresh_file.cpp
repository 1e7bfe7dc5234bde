#include "sound/fresh_file.h"

#include "platform/platform.h"

std::FILE* createFreshFile(const char* path)
{
    if (!path || !*path)
        return nullptr;
    platform::deleteFile(path);
    return platform::createNewFile(path);
}
