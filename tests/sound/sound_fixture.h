// Shared pieces of the sound tests: a private temporary directory, the log
// of the recording library, chunk payloads and generated audio files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/sound_library.h"
#include "tools/media/wav.h"

namespace soundtest {

using Bytes = std::vector<uint8_t>;

// Points the player's temporary directory (TMPDIR) at a fresh directory for
// its lifetime, and removes the directory afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // ends with '/'

private:
    std::string path_;
    std::string savedTmpdir_;
    bool hadTmpdir_ = false;
};

// Sets one environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, saved_;
    bool had_ = false;
};

Bytes readFile(const std::string& path);  // empty when it cannot be read
bool fileExists(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

// True while a library at path is mapped in this process.
bool isLoaded(const std::string& path);

// The recording library's log, one call a line.
class CallLog {
public:
    explicit CallLog(const std::string& path);
    ~CallLog();
    std::vector<std::string> lines() const;
    // Lines recorded since the last take, which are then forgotten.
    std::vector<std::string> take();

private:
    std::string path_;
    size_t taken_ = 0;
    ScopedEnv env_;
};

// A SoundLibrary built from the bytes of the library file at path, as the
// loader does from resource chunk 463.
SoundLibrary* libraryFromFile(const std::string& path);

// 16-bit sine tone, the same in every channel.
std::vector<int16_t> sine(int rate, int channels, double seconds, double frequency, double amplitude);
Bytes encodeMp3(const std::vector<int16_t>& interleaved, int rate, int channels, int kbps = 192);
using tools::media::encodeWav;

}  // namespace soundtest
