// Files in the temporary directory, for the systems with POSIX files: the
// SDL2 layer (Linux) and the web layer (Emscripten's in-memory file system).
// Each layer gives tempPath() itself.
#include "platform/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {

bool deleteFile(const char* path)
{
    return path && unlink(path) == 0;
}

std::FILE* createNewFile(const char* path)
{
    if (!path)
        return nullptr;
    // "x": exclusive creation, which also fails on a symbolic link.
    return std::fopen(path, "w+bx");
}

std::string createPrivateDirectory()
{
    std::string pattern = tempPath() + "demoplayer-XXXXXX";
    // mkdtemp makes the directory with mode 0700 under a fresh name.
    if (!mkdtemp(&pattern[0]))
        return std::string();
    return pattern + '/';
}

bool removePrivateDirectory(const char* path)
{
    if (!path || !*path)
        return false;
    std::string prefix = path;
    if (prefix.back() != '/')
        prefix += '/';
    // Only plain entries are ever written here; links are removed, never followed.
    if (DIR* dir = opendir(path)) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                unlink((prefix + name).c_str());
        }
        closedir(dir);
    }
    return rmdir(path) == 0;
}

}  // namespace platform
