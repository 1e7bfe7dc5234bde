// The sound library's decoder on Windows: WAV files read here (PCM of 8, 16,
// 24 or 32 bits, 32-bit float), compressed WAV and MP3 through the system's
// audio codecs (ACM: the MPEG Layer-3 codec, ADPCM, G.711...). Results match
// the Linux decoder (SDL, libmpg123): 16-bit samples in the file's own rate,
// mono or stereo, an MP3 trimmed to the length its encoder recorded. What it
// reads of the files itself is in audio_reading.cpp; here only the codecs.
#include "sound/demosound/decoder.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>

#include "sound/demosound/audio_reading.h"

namespace demosound {

namespace {

// Any format the system has a codec for, to 16-bit PCM of the same layout;
// no more than `limit` samples.
bool convert(const WAVEFORMATEX* from, const uint8_t* data, size_t size, size_t limit, std::vector<int16_t>& samples)
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
    samples.clear();
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
            ok = !samples.empty();  // block codecs take no empty call after the last block
            break;
        }
        MMRESULT result = acmStreamConvert(stream, &header, flags | (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN));
        acmStreamUnprepareHeader(stream, &header, 0);
        if (result != 0) {
            ok = !samples.empty();  // a damaged tail: keep what came out
            break;
        }
        flags = 0;
        const DWORD used = std::min(header.cbSrcLengthUsed, DWORD(left));
        // Whole samples, and never more than the limit: the vector grows by
        // doubling, but not past it.
        const size_t had = samples.size();
        const size_t count = std::min(std::min<size_t>(header.cbDstLengthUsed, out.size()) / 2, limit - had);
        if (had + count > samples.capacity())
            samples.reserve(std::min(std::max(had + count, samples.capacity() * 2), limit));
        samples.resize(had + count);
        std::memcpy(samples.data() + had, out.data(), count * 2);
        at += used;
        if (used == 0 && header.cbDstLengthUsed == 0)
            break;
        if (samples.size() >= limit)
            break;
    }
    acmStreamClose(stream, 0);
    return ok && !samples.empty();
}

// Samples to ask a codec for: a little more than a sample keeps, so that a
// sound cut there is still cut after the MPEG delays come off its front.
size_t codecLimit(int rate, int channels)
{
    return (maxFrames(rate) + 8192) * size_t(channels);
}

}  // namespace

bool decodeWave(const uint8_t* data, size_t size, Pcm& out)
{
    WaveFile wave;
    if (!readWave(data, size, wave))
        return false;
    std::vector<int16_t> samples;
    const size_t limit = codecLimit(wave.rate, wave.channels);
    switch (readPlainSamples(wave, limit, samples)) {
    case PlainResult::refused:
        return false;
    case PlainResult::decoded:
        break;
    case PlainResult::compressed: {
        // The format block as the file gives it, with its extra bytes.
        const uint8_t* format = wave.format;
        const uint32_t formatSize = wave.formatSize;
        const uint32_t extra = formatSize >= 18 ? std::min<uint32_t>(format[16] | format[17] << 8, formatSize - 18) : 0;
        std::vector<uint8_t> block(sizeof(WAVEFORMATEX) + extra);
        std::memcpy(block.data(), format, std::min<size_t>(formatSize, 16));
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(block.data());
        wfx->cbSize = WORD(extra);
        std::memcpy(block.data() + sizeof(WAVEFORMATEX), format + 18, extra);
        if (wave.channels > 2 || !convert(wfx, wave.body, wave.bodySize, limit, samples))
            return false;
        break;
    }
    }
    keepStereo(samples, wave.channels, wave.rate, out);
    return out.frames() > 0;
}

bool decodeMpeg(const uint8_t* data, size_t size, Pcm& out)
{
    MpegStart start;
    if (!findMpegStart(data, size, start))
        return false;
    const FrameHeader& first = start.first;
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
    if (!convert(&format.wfx, data + start.at, size - start.at, codecLimit(first.rate, first.channels), samples))
        return false;
    trimGapless(samples, start);
    keepStereo(samples, first.channels, first.rate, out);
    return out.frames() > 0;
}

}  // namespace demosound
