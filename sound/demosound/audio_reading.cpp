#include "sound/demosound/audio_reading.h"

#include <algorithm>
#include <cstring>

namespace demosound {

namespace {

constexpr uint32_t kFormatPcm = 1;
constexpr uint32_t kFormatFloat = 3;
constexpr uint32_t kFormatExtensible = 0xFFFE;
constexpr int kDecoderDelay = 529;  // samples every MPEG audio synthesis adds in front

uint32_t u16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

size_t maxFrames(int rate)
{
    const int counted = rate <= 0 ? 0 : std::min(rate, kMaxCountedRate);
    return size_t(kMaxSeconds) * size_t(counted);
}

void keepStereo(std::vector<int16_t>& samples, int channels, int rate, Pcm& out)
{
    if (channels < 1)
        samples.clear(), channels = 1;
    out.channels = channels >= 2 ? 2 : 1;
    const size_t frames = samples.size() / size_t(channels);
    const size_t kept = std::min(frames, maxFrames(rate));
    if (channels > 2) {
        for (size_t i = 0; i < kept; ++i) {
            samples[i * 2] = samples[i * size_t(channels)];
            samples[i * 2 + 1] = samples[i * size_t(channels) + 1];
        }
    }
    samples.resize(kept * size_t(out.channels));
    out.cut = kept < frames;
    out.rate = rate;
    out.samples = std::move(samples);
}

// ---- RIFF/WAVE

bool readWave(const uint8_t* data, size_t size, WaveFile& wave)
{
    wave = WaveFile();
    for (size_t at = 12; at + 8 <= size;) {
        const uint32_t length = u32(data + at + 4);
        const size_t payload = at + 8;
        const size_t available = std::min<size_t>(length, size - payload);
        if (std::memcmp(data + at, "fmt ", 4) == 0 && !wave.format) {
            wave.format = data + payload;
            wave.formatSize = uint32_t(available);
        } else if (std::memcmp(data + at, "data", 4) == 0 && !wave.body) {
            wave.body = data + payload;
            wave.bodySize = available;  // a file cut short keeps what it has
            wave.bodyAt = payload;
        }
        at = payload + size_t(length) + (length & 1);
        if (at < payload)
            break;
    }
    if (!wave.format || wave.formatSize < 16 || !wave.body)
        return false;
    const uint8_t* format = wave.format;
    wave.tag = u16(format);
    wave.channels = int(u16(format + 2));
    wave.rate = int(u32(format + 4));
    wave.blockAlign = u16(format + 12);
    wave.bits = u16(format + 14);
    // The extensible form names its real format in its first GUID's first bytes.
    if (wave.tag == kFormatExtensible && wave.formatSize >= 40)
        wave.tag = u16(format + 24);
    return wave.channels >= 1 && wave.rate > 0 && wave.blockAlign != 0;
}

PlainResult readPlainSamples(const WaveFile& wave, size_t limit, std::vector<int16_t>& samples)
{
    const uint32_t bits = wave.bits;
    const bool plain = wave.tag == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floats = wave.tag == kFormatFloat && bits == 32;
    if (!plain && !floats)
        return PlainResult::compressed;
    const uint32_t width = bits / 8;
    if (wave.blockAlign != width * uint32_t(wave.channels))
        return PlainResult::refused;
    const size_t channels = size_t(wave.channels);
    const size_t count = std::min(wave.bodySize / width, limit);
    samples.resize(count - count % channels);
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint8_t* s = wave.body + i * width;
        int32_t v = 0;
        if (floats) {
            float f;
            std::memcpy(&f, s, 4);
            f = f != f ? 0.0f : std::clamp(f, -1.0f, 1.0f);
            v = int32_t(f * 32767.0f);
        } else if (width == 1) {
            v = (int32_t(s[0]) - 128) * 256;
        } else {
            v = int16_t(u16(s + width - 2));  // the top 16 bits
        }
        samples[i] = int16_t(v);
    }
    return PlainResult::decoded;
}

std::vector<uint8_t> cutWave(const uint8_t* data, size_t size)
{
    WaveFile wave;
    if (!readWave(data, size, wave) || wave.format > wave.body)
        return {};
    // Bytes per frame as the format counts them; compressed formats give
    // their bits per sample (4 for ADPCM), and their block headers take a
    // few per cent more.
    const size_t bits = std::max<size_t>(wave.bits, 1);
    const size_t frames = maxFrames(wave.rate) + 1;
    size_t keep = (frames * size_t(wave.channels) * bits + 7) / 8;
    keep = ((keep + keep / 16) / wave.blockAlign + 2) * wave.blockAlign;
    if (keep >= wave.bodySize)
        return {};
    std::vector<uint8_t> cut(data, data + wave.bodyAt + keep);
    auto put32 = [&](size_t at, size_t value) {
        for (int i = 0; i < 4; ++i)
            cut[at + size_t(i)] = uint8_t(value >> (8 * i));
    };
    put32(wave.bodyAt - 4, keep);
    put32(4, cut.size() - 8);
    return cut;
}


// ---- MPEG audio

bool readFrameHeader(const uint8_t* p, size_t left, FrameHeader& h)
{
    if (left < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int version = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const int layer = (p[1] >> 1) & 3;    // 1: layer III
    const int bitrateIndex = p[2] >> 4, rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int kBitrates[2][15] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static const int kRates[3] = {44100, 48000, 32000};
    h.mpeg1 = version == 3;
    h.rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    h.bitrate = kBitrates[h.mpeg1 ? 0 : 1][bitrateIndex] * 1000;
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.samples = h.mpeg1 ? 1152 : 576;
    h.length = size_t(h.samples / 8) * size_t(h.bitrate) / size_t(h.rate) + ((p[2] >> 1) & 1);
    return h.length > 4;
}

Gapless readInfoFrame(const uint8_t* p, const FrameHeader& h)
{
    Gapless g;
    const size_t side = h.mpeg1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    size_t at = 4 + side;
    if (at + 8 > h.length || (std::memcmp(p + at, "Xing", 4) != 0 && std::memcmp(p + at, "Info", 4) != 0))
        return g;
    g.found = true;
    const uint32_t flags = be32(p + at + 4);
    at += 8;
    if (flags & 1) {
        if (at + 4 > h.length)
            return g;
        g.frames = be32(p + at);
        at += 4;
    }
    at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (at + 24 <= h.length && (std::memcmp(p + at, "LAME", 4) == 0 || std::memcmp(p + at, "Lavc", 4) == 0 ||
                                std::memcmp(p + at, "Lavf", 4) == 0)) {
        const uint8_t* d = p + at + 21;
        g.delay = int(d[0]) << 4 | d[1] >> 4;
        g.padding = (int(d[1]) & 0x0F) << 8 | d[2];
    }
    return g;
}

bool findMpegStart(const uint8_t* data, size_t size, MpegStart& start)
{
    start = MpegStart();
    size_t at = 0;
    // An ID3v2 tag in front: its size is in 7-bit bytes.
    if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
        at = 10 + (size_t(data[6] & 0x7F) << 21 | size_t(data[7] & 0x7F) << 14 | size_t(data[8] & 0x7F) << 7 |
                   size_t(data[9] & 0x7F));
        if (data[5] & 0x10)
            at += 10;
    }
    FrameHeader& first = start.first;
    for (; at < size; ++at) {
        FrameHeader next;
        if (readFrameHeader(data + at, size - at, first) &&
            (at + first.length == size ||
             (at + first.length < size && readFrameHeader(data + at + first.length, size - at - first.length, next) &&
              next.rate == first.rate && next.channels == first.channels)))
            break;
    }
    if (at >= size || first.length > size - at)
        return false;
    start.gapless = readInfoFrame(data + at, first);
    if (start.gapless.found)
        at += first.length;  // the Info frame is no music
    start.at = at;
    return at < size;
}

void trimGapless(std::vector<int16_t>& samples, const MpegStart& start)
{
    const Gapless& gapless = start.gapless;
    if (!gapless.found || gapless.delay + gapless.padding <= 0)
        return;
    const size_t channels = size_t(start.first.channels);
    const size_t skip = size_t(gapless.delay + kDecoderDelay) * channels;
    size_t keep = samples.size() > skip ? samples.size() - skip : 0;
    if (gapless.frames) {
        const int64_t exact = int64_t(gapless.frames) * start.first.samples - gapless.delay - gapless.padding;
        if (exact > 0)
            keep = std::min(keep, size_t(exact) * channels);
    }
    samples.erase(samples.begin(), samples.begin() + long(std::min(skip, samples.size())));
    samples.resize(keep);
}

size_t mpegPrefix(const uint8_t* data, size_t size)
{
    MpegStart start;
    if (!findMpegStart(data, size, start))
        return 0;
    const size_t frames = maxFrames(start.first.rate);
    size_t counted = 0;
    for (size_t at = start.at; at < size;) {
        FrameHeader header;
        if (!readFrameHeader(data + at, size - at, header)) {
            ++at;  // damage between frames: the decoder looks for the next one too
            continue;
        }
        at += header.length;
        counted += size_t(header.samples);
        // Two frames past the limit: the decoder's delay, and a cut to tell.
        if (counted > frames + size_t(2 * header.samples))
            return std::min(at, size);
    }
    return size;
}

}  // namespace demosound
