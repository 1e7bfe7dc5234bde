// Turns an audio file's bytes into 16-bit samples in the file's own channel
// layout (mono or stereo) and rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace demosound {

struct Pcm {
    std::vector<int16_t> samples;  // interleaved
    int channels = 0;              // 1 or 2
    int rate = 0;                  // Hz
    uint32_t frames() const { return channels ? uint32_t(samples.size() / size_t(channels)) : 0; }
};

// RIFF/WAVE files through SDL, anything else as MPEG audio. False when the
// bytes give no sound at all.
bool decode(const uint8_t* data, size_t size, Pcm& out);

}  // namespace demosound
