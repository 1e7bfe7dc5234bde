#include "fuzz/seed_audio.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "tools/assets/sample_assets.h"

namespace fuzzing {

namespace {

using tools::writer::Bytes;

void put(Bytes& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void chunk(Bytes& out, const char* id, const Bytes& payload, uint32_t claimed)
{
    out.insert(out.end(), id, id + 4);
    put(out, claimed, 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() & 1)
        out.push_back(0);
}

// A RIFF/WAVE file: the format chunk (tag, channels, rate, block size, bits,
// then `extra`) and `frames` frames of a ramp; `dataClaim` overrides the
// data chunk's length when not zero.
Bytes wave(uint32_t tag, int channels, int rate, int bits, int frames, const Bytes& extra = {}, uint32_t dataClaim = 0)
{
    const int block = tag == 0x11 ? 256 : channels * bits / 8;
    Bytes format;
    put(format, tag, 2);
    put(format, uint32_t(channels), 2);
    put(format, uint32_t(rate), 4);
    put(format, uint32_t(rate * block), 4);
    put(format, uint32_t(block), 2);
    put(format, uint32_t(bits), 2);
    format.insert(format.end(), extra.begin(), extra.end());
    Bytes body;
    const int bytes = tag == 0x11 ? block : frames * block;
    for (int i = 0; i < bytes; ++i)
        body.push_back(uint8_t(i * 7));
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    chunk(out, "fmt ", format, uint32_t(format.size()));
    chunk(out, "LIST", {'I', 'N', 'F', 'O', 'x'}, 5);  // odd: padded
    chunk(out, "data", body, dataClaim ? dataClaim : uint32_t(body.size()));
    const uint32_t riff = uint32_t(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[size_t(4 + i)] = uint8_t(riff >> (8 * i));
    return out;
}

}  // namespace

std::vector<Seed> seedAudio()
{
    // The extensible form: 22 bytes of extension, then the sub-format GUID.
    Bytes extensible = {22, 0, 16, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::vector<Seed> seeds = {
        {"pcm8-mono.wav", wave(1, 1, 8000, 8, 64)},
        {"pcm16-stereo.wav", wave(1, 2, 44100, 16, 64)},
        {"pcm24.wav", wave(1, 2, 48000, 24, 32)},
        {"pcm32-six.wav", wave(1, 6, 22050, 32, 16)},
        {"float.wav", wave(3, 1, 11025, 32, 32)},
        {"extensible.wav", wave(0xFFFE, 2, 44100, 16, 32, extensible)},
        {"adpcm.wav", wave(0x11, 1, 22050, 4, 0, {2, 0, 0xF9, 1})},
        {"data-past-the-end.wav", wave(1, 1, 8000, 16, 32, {}, 0xFFFFFFF0u)},
    };
    std::vector<int16_t> tone = assets::sampleMusic(0.08);
    for (int rate : {44100, 22050, 8000}) {
        Bytes mp3 = assets::encodeMp3(tone, rate);
        if (!mp3.empty())
            seeds.push_back({"music-" + std::to_string(rate) + ".mp3", mp3});
    }
    if (!seeds.empty()) {
        // An ID3v2 tag of 16 bytes in front.
        Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 16};
        tagged.resize(26, 0);
        const Bytes& mp3 = seeds.back().data;
        tagged.insert(tagged.end(), mp3.begin(), mp3.end());
        seeds.push_back({"tagged.mp3", tagged});
    }
    return seeds;
}

}  // namespace fuzzing
