#include "sound/fresh_file.h"

#include "platform/platform.h"

std::FILE* createFreshFile(const char* path)
{
    if (!path || !*path)
        return nullptr;
    platform::deleteFile(path);
    // "x": exclusive creation, which also fails on a symbolic link.
    return std::fopen(path, "w+bx");
}
