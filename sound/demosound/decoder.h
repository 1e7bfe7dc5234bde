// Turns an audio file's bytes into 16-bit samples in the file's own channel
// layout (mono or stereo) and rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace demosound {

struct Pcm {
    std::vector<int16_t> samples;  // interleaved
    int channels = 0;              // 1 or 2
    int rate = 0;                  // Hz
    bool cut = false;              // the sound went on past what a sample keeps
    int pending = 0;               // a decoding that ends later (in a page): its number
    uint32_t frames() const { return channels ? uint32_t(samples.size() / size_t(channels)) : 0; }
};

// Each system's decoder: RIFF/WAVE files and MPEG audio (SDL and libmpg123
// on Linux, the system's codecs on Windows). False when the bytes give no
// sound at all. Past what a sample keeps (audio_reading.h) the rest is
// dropped and `cut` set.
bool decodeWave(const uint8_t* data, size_t size, Pcm& out);
bool decodeMpeg(const uint8_t* data, size_t size, Pcm& out);

// RIFF/WAVE files as WAV, anything else as MPEG audio.
inline bool decode(const uint8_t* data, size_t size, Pcm& out)
{
    out = Pcm();
    if (!data || size == 0)
        return false;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0)
        return decodeWave(data, size, out);
    return decodeMpeg(data, size, out);
}

}  // namespace demosound
