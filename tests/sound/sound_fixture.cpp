#include "tests/sound/sound_fixture.h"

#include <dlfcn.h>
#include <lame/lame.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "demo/chunk_stream.h"

namespace soundtest {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "demosound-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data()))
        path_ = std::string(buffer.data()) + "/";
    if (const char* old = std::getenv("TMPDIR")) {
        hadTmpdir_ = true;
        savedTmpdir_ = old;
    }
    setenv("TMPDIR", path_.c_str(), 1);
}

TempDir::~TempDir()
{
    if (hadTmpdir_)
        setenv("TMPDIR", savedTmpdir_.c_str(), 1);
    else
        unsetenv("TMPDIR");
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        had_ = true;
        saved_ = old;
    }
    setenv(name, value, 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        setenv(name_.c_str(), saved_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool isLoaded(const std::string& path)
{
    void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);  // drop the reference this look took
    return true;
}

CallLog::CallLog(const std::string& path) : path_(path), env_("DEMOSOUND_RECORDER_LOG", path.c_str())
{
    std::remove(path.c_str());
}

CallLog::~CallLog()
{
    std::remove(path_.c_str());
}

std::vector<std::string> CallLog::lines() const
{
    std::vector<std::string> out;
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> CallLog::take()
{
    std::vector<std::string> all = lines();
    std::vector<std::string> fresh(all.begin() + long(std::min(taken_, all.size())), all.end());
    taken_ = all.size();
    return fresh;
}

SoundLibrary* libraryFromFile(const std::string& path)
{
    Bytes image = readFile(path);
    ChunkStream stream(image.data(), int32_t(image.size()));
    return new SoundLibrary(stream, uint32_t(image.size()));
}

std::vector<int16_t> sine(int rate, int channels, double seconds, double frequency, double amplitude)
{
    const size_t frames = size_t(std::lround(seconds * rate));
    std::vector<int16_t> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        auto value = int16_t(std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * frequency * double(i) / rate)));
        for (int c = 0; c < channels; ++c)
            out[i * size_t(channels) + size_t(c)] = value;
    }
    return out;
}

Bytes encodeMp3(const std::vector<int16_t>& interleaved, int rate, int channels, int kbps)
{
    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, kbps < 32 ? 9 : 2);  // the low rates only for length: fast
    lame_set_bWriteVbrTag(lame, 1);  // the Info frame tells decoders the exact length
    lame_init_params(lame);
    const int frames = int(interleaved.size() / size_t(channels));
    Bytes out(size_t(frames) * 5 / 4 + 7200 + 16384);
    int size = 0;
    if (channels == 1) {
        std::vector<short> mono(interleaved.begin(), interleaved.end());
        size = lame_encode_buffer(lame, mono.data(), mono.data(), frames, out.data(), int(out.size()));
    } else {
        std::vector<short> both(interleaved.begin(), interleaved.end());
        size = lame_encode_buffer_interleaved(lame, both.data(), frames, out.data(), int(out.size()));
    }
    size += lame_encode_flush(lame, out.data() + size, int(out.size()) - size);
    out.resize(size_t(size));
    // The placeholder first frame becomes the finished Info frame.
    unsigned char tag[4096];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= out.size())
        std::memcpy(out.data(), tag, tagSize);
    lame_close(lame);
    return out;
}

}  // namespace soundtest
