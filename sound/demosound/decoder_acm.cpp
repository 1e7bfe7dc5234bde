// The sound library's decoder on Windows: WAV files read here (PCM of 8, 16,
// 24 or 32 bits, 32-bit float), compressed WAV and MP3 through the system's
// audio codecs (ACM: the MPEG Layer-3 codec, ADPCM, G.711...). Results match
// the Linux decoder (SDL, libmpg123): 16-bit samples in the file's own rate,
// mono or stereo, an MP3 trimmed to the length its encoder recorded.
#include "sound/demosound/decoder.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>

namespace demosound {

namespace {

constexpr size_t kMaxFrames = size_t(1) << 31;  // keeps positions within 32 bits
constexpr int kDecoderDelay = 529;  // samples every MPEG audio synthesis adds in front

uint32_t u16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// Keeps the first two channels of frames of `channels` 16-bit samples.
void keepStereo(std::vector<int16_t>& samples, int channels, Pcm& out)
{
    out.channels = channels >= 2 ? 2 : 1;
    if (channels > 2) {
        const size_t frames = samples.size() / size_t(channels);
        for (size_t i = 0; i < frames; ++i) {
            samples[i * 2] = samples[i * size_t(channels)];
            samples[i * 2 + 1] = samples[i * size_t(channels) + 1];
        }
        samples.resize(frames * 2);
    }
    samples.resize(samples.size() - samples.size() % size_t(out.channels));
    out.samples = std::move(samples);
}

// Any format the system has a codec for, to 16-bit PCM of the same layout.
bool convert(const WAVEFORMATEX* from, const uint8_t* data, size_t size, std::vector<int16_t>& samples)
{
    if (size == 0 || size > 0x7FFFFFFF)
        return false;
    WAVEFORMATEX to = {};
    to.wFormatTag = WAVE_FORMAT_PCM;
    to.nChannels = from->nChannels;
    to.nSamplesPerSec = from->nSamplesPerSec;
    to.wBitsPerSample = 16;
    to.nBlockAlign = WORD(2 * to.nChannels);
    to.nAvgBytesPerSec = to.nSamplesPerSec * to.nBlockAlign;
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, const_cast<WAVEFORMATEX*>(from), &to, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0)
        return false;
    const DWORD align = std::max<DWORD>(1, from->nBlockAlign);
    const DWORD chunk = std::max<DWORD>(align, 65536 / align * align);
    DWORD room = 0;
    if (acmStreamSize(stream, chunk, &room, ACM_STREAMSIZEF_SOURCE) != 0 || room == 0)
        room = chunk * 16;
    std::vector<uint8_t> out(size_t(room) * 2 + 65536);
    std::vector<uint8_t> pcm;
    size_t at = 0;
    DWORD flags = ACM_STREAMCONVERTF_START;
    bool ok = true;
    // Each call takes a chunk (whole blocks, the last one as it is) and gives
    // what it decoded; the end is reached when a call moves nothing.
    for (int guard = 0; guard < 1 << 20; ++guard) {
        const size_t left = size - at;
        const bool last = left <= chunk;
        ACMSTREAMHEADER header = {};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(data + at);
        header.cbSrcLength = DWORD(std::min<size_t>(left, chunk));
        header.pbDst = out.data();
        header.cbDstLength = DWORD(out.size());
        if (acmStreamPrepareHeader(stream, &header, 0) != 0) {
            ok = !pcm.empty();  // block codecs take no empty call after the last block
            break;
        }
        MMRESULT result = acmStreamConvert(stream, &header, flags | (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN));
        acmStreamUnprepareHeader(stream, &header, 0);
        if (result != 0) {
            ok = !pcm.empty();  // a damaged tail: keep what came out
            break;
        }
        flags = 0;
        const DWORD used = std::min(header.cbSrcLengthUsed, DWORD(left));
        pcm.insert(pcm.end(), out.begin(), out.begin() + std::min<size_t>(header.cbDstLengthUsed, out.size()));
        at += used;
        if (used == 0 && header.cbDstLengthUsed == 0)
            break;
        if (pcm.size() / 2 / to.nChannels >= kMaxFrames)
            break;
    }
    acmStreamClose(stream, 0);
    samples.resize(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return ok && !samples.empty();
}

// ---- WAV

}  // namespace

bool decodeWave(const uint8_t* data, size_t size, Pcm& out)
{
    const uint8_t* format = nullptr;
    uint32_t formatSize = 0;
    const uint8_t* body = nullptr;
    size_t bodySize = 0;
    for (size_t at = 12; at + 8 <= size;) {
        const uint32_t length = u32(data + at + 4);
        const size_t payload = at + 8;
        const size_t available = std::min<size_t>(length, size - payload);
        if (std::memcmp(data + at, "fmt ", 4) == 0 && !format) {
            format = data + payload;
            formatSize = uint32_t(available);
        } else if (std::memcmp(data + at, "data", 4) == 0 && !body) {
            body = data + payload;
            bodySize = available;  // a file cut short keeps what it has
        }
        at = payload + size_t(length) + (length & 1);
        if (at < payload)
            break;
    }
    if (!format || formatSize < 16 || !body)
        return false;
    uint32_t tag = u16(format);
    const int channels = int(u16(format + 2));
    const int rate = int(u32(format + 4));
    const uint32_t blockAlign = u16(format + 12);
    const uint32_t bits = u16(format + 14);
    if (channels < 1 || rate <= 0 || blockAlign == 0)
        return false;
    // The extensible form names its real format in its first GUID's first bytes.
    if (tag == WAVE_FORMAT_EXTENSIBLE && formatSize >= 40)
        tag = u16(format + 24);
    std::vector<int16_t> samples;
    const bool plain = tag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floats = tag == WAVE_FORMAT_IEEE_FLOAT && bits == 32;
    if (plain || floats) {
        const uint32_t width = bits / 8;
        if (blockAlign != width * uint32_t(channels))
            return false;
        const size_t count = bodySize / width;
        samples.resize(count - count % size_t(channels));
        for (size_t i = 0; i < samples.size(); ++i) {
            const uint8_t* s = body + i * width;
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
    } else {
        // Compressed: the format block as the file gives it, with its extra bytes.
        const uint32_t extra = formatSize >= 18 ? std::min<uint32_t>(u16(format + 16), formatSize - 18) : 0;
        std::vector<uint8_t> block(sizeof(WAVEFORMATEX) + extra);
        std::memcpy(block.data(), format, std::min<size_t>(formatSize, 16));
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(block.data());
        wfx->cbSize = WORD(extra);
        std::memcpy(block.data() + sizeof(WAVEFORMATEX), format + 18, extra);
        if (channels > 2 || !convert(wfx, body, bodySize, samples))
            return false;
    }
    keepStereo(samples, channels, out);
    out.rate = rate;
    return out.frames() > 0 && out.frames() < kMaxFrames;
}

namespace {

// ---- MPEG audio

struct FrameHeader {
    int rate = 0, channels = 0, bitrate = 0;  // Hz, 1 or 2, bit/s
    size_t length = 0;                        // bytes, header included
    int samples = 0;                          // per channel
    bool mpeg1 = false;
};

bool readHeader(const uint8_t* p, size_t left, FrameHeader& h)
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

// The encoder's Info (or Xing) frame: the number of frames, and from LAME's
// extension the samples it put in front and behind.
struct Gapless {
    bool found = false;
    uint32_t frames = 0;
    int delay = 0, padding = 0;
};

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

}  // namespace

bool decodeMpeg(const uint8_t* data, size_t size, Pcm& out)
{
    size_t at = 0;
    // An ID3v2 tag in front: its size is in 7-bit bytes.
    if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
        at = 10 + (size_t(data[6] & 0x7F) << 21 | size_t(data[7] & 0x7F) << 14 | size_t(data[8] & 0x7F) << 7 |
                   size_t(data[9] & 0x7F));
        if (data[5] & 0x10)
            at += 10;
    }
    // The first frame whose successor starts where it ends (or that ends the file).
    FrameHeader first;
    for (; at < size; ++at) {
        FrameHeader next;
        if (readHeader(data + at, size - at, first) &&
            (at + first.length == size ||
             (at + first.length < size && readHeader(data + at + first.length, size - at - first.length, next) &&
              next.rate == first.rate && next.channels == first.channels)))
            break;
    }
    if (at >= size || first.length > size - at)
        return false;
    Gapless gapless = readInfoFrame(data + at, first);
    if (gapless.found)
        at += first.length;  // the Info frame is no music
    if (at >= size)
        return false;

    MPEGLAYER3WAVEFORMAT format = {};
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = WORD(first.channels);
    format.wfx.nSamplesPerSec = DWORD(first.rate);
    format.wfx.nAvgBytesPerSec = DWORD(first.bitrate / 8);
    format.wfx.nBlockAlign = 1;
    format.wfx.wBitsPerSample = 0;
    format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    format.nBlockSize = WORD(first.length);
    format.nFramesPerBlock = 1;
    format.nCodecDelay = 0;
    std::vector<int16_t> samples;
    if (!convert(&format.wfx, data + at, size - at, samples))
        return false;
    if (gapless.found && gapless.delay + gapless.padding > 0) {
        const size_t channels = size_t(first.channels);
        const size_t skip = size_t(gapless.delay + kDecoderDelay) * channels;
        size_t keep = samples.size() > skip ? samples.size() - skip : 0;
        if (gapless.frames) {
            const int64_t exact = int64_t(gapless.frames) * first.samples - gapless.delay - gapless.padding;
            if (exact > 0)
                keep = std::min(keep, size_t(exact) * channels);
        }
        samples.erase(samples.begin(), samples.begin() + long(std::min(skip, samples.size())));
        samples.resize(keep);
    }
    keepStereo(samples, first.channels, out);
    out.rate = first.rate;
    return out.frames() > 0 && out.frames() < kMaxFrames;
}

}  // namespace demosound
