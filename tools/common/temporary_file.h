// Scratch files and folders for the tools, made in the temporary directory
// ($TMPDIR, else /tmp) and removed with the object that made them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tools::common {

// $TMPDIR when it is set and not empty (without a trailing slash), else /tmp.
std::string temporaryDirectory();

// A file named "<prefix>XXXXXX" in the temporary directory, made on first use.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string prefix) : prefix_(std::move(prefix)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();
    // Makes the (empty) file on the first call; false with the reason in *error.
    bool create(std::string* error);
    // Makes the file on the first call and writes `data` into it.
    bool write(const std::vector<uint8_t>& data, std::string* error);
    const std::string& path() const { return path_; }

private:
    std::string prefix_;
    std::string path_;
};

// A folder named "<prefix>XXXXXX" in the temporary directory, made at once
// (path() empty when it could not be) and removed with what it holds.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix);
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tools::common
