#include "tools/common/temporary_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

namespace tools::common {

std::string temporaryDirectory()
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir && *dir ? dir : "/tmp";
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

TemporaryFile::~TemporaryFile()
{
    if (!path_.empty())
        std::remove(path_.c_str());
}

bool TemporaryFile::create(std::string* error)
{
    if (!path_.empty())
        return true;
    const std::string directory = temporaryDirectory();
    std::string name = directory + "/" + prefix_ + "XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = "cannot make a temporary file in " + directory + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    path_ = std::move(name);
    return true;
}

bool TemporaryFile::write(const std::vector<uint8_t>& data, std::string* error)
{
    if (!create(error))
        return false;
    FILE* f = std::fopen(path_.c_str(), "wb");
    bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        *error = "cannot write " + path_;
    return ok;
}

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    std::string name = temporaryDirectory() + "/" + prefix + "XXXXXX";
    if (mkdtemp(name.data()))
        path_ = std::move(name);
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

}  // namespace tools::common
