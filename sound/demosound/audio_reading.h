// What the decoders read from an audio file's bytes themselves, around the
// system's codecs: the RIFF/WAVE chunk walk and plain PCM samples, MPEG audio
// frame headers and the encoder's Info frame, and the bound on what one
// sample may hold. Plain code on every system, so that the sanitizers and the
// fuzzer reach what the Windows decoder reads (fuzz/audio_reading_fuzz.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/demosound/decoder.h"

namespace demosound {

// A sample keeps at most 15 minutes of sound: half as long again as a long
// demo track (10 minutes), so real music is never cut. Rates above 48 kHz
// (the highest MPEG audio has) count as 48 kHz, so that a header claiming
// any rate still gets at most 15 minutes of 48 kHz stereo: 172.8 MB of
// samples, where the decoded size alone would allow 2^31 frames (16 GB).
constexpr int kMaxSeconds = 15 * 60;
constexpr int kMaxCountedRate = 48000;

// Frames a sample at `rate` may keep.
size_t maxFrames(int rate);

// Keeps at most the first two channels of frames of `channels` samples and at
// most maxFrames(rate) frames, then hands them to out; out.cut tells whether
// the sound went on past what is kept.
void keepStereo(std::vector<int16_t>& samples, int channels, int rate, Pcm& out);

// ---- RIFF/WAVE

struct WaveFile {
    const uint8_t* format = nullptr;  // the first "fmt " chunk's payload
    uint32_t formatSize = 0;
    const uint8_t* body = nullptr;  // the first "data" chunk's payload
    size_t bodySize = 0;            // as much as the file holds of it
    size_t bodyAt = 0;              // its offset in the file
    uint32_t tag = 0;               // format tag, the real one for the extensible form
    int channels = 0;
    int rate = 0;
    uint32_t blockAlign = 0;
    uint32_t bits = 0;
};

// Walks the chunks of a RIFF/WAVE file: false without a "fmt " chunk of at
// least 16 bytes and a "data" chunk, or with no channels, rate or block size.
// A chunk length past the end of the file keeps what the file has.
bool readWave(const uint8_t* data, size_t size, WaveFile& wave);

enum class PlainResult { decoded, compressed, refused };

// 8, 16, 24 and 32-bit PCM and 32-bit float to 16-bit samples (at most
// limit of them, whole frames): `compressed` for other formats, which need a
// codec, and `refused` for a block size that does not match the format.
PlainResult readPlainSamples(const WaveFile& wave, size_t limit, std::vector<int16_t>& samples);

// A copy of a WAV file whose data chunk says, and holds, no more than what a
// sample keeps, with a frame or so to spare (so that the result is still
// seen as cut), for decoders that read and convert the whole chunk before
// anything could be dropped. Empty when the file needs no cut or cannot be
// cut so.
std::vector<uint8_t> cutWave(const uint8_t* data, size_t size);

// ---- MPEG audio

struct FrameHeader {
    int rate = 0, channels = 0, bitrate = 0;  // Hz, 1 or 2, bit/s
    size_t length = 0;                        // bytes, header included
    int samples = 0;                          // per channel
    bool mpeg1 = false;
};

// A layer III frame header at p (left bytes readable).
bool readFrameHeader(const uint8_t* p, size_t left, FrameHeader& header);

// The encoder's Info (or Xing) frame: the number of frames, and from LAME's
// extension the samples it put in front and behind.
struct Gapless {
    bool found = false;
    uint32_t frames = 0;
    int delay = 0, padding = 0;
};

// Reads the first frame (header.length bytes at p) as an Info frame.
Gapless readInfoFrame(const uint8_t* p, const FrameHeader& header);

struct MpegStart {
    size_t at = 0;  // the first byte of music
    FrameHeader first;
    Gapless gapless;
};

// Past an ID3v2 tag, the first frame whose successor starts where it ends (or
// that ends the file), and past it when it is the encoder's Info frame.
// False when there is no such frame or no music after it.
bool findMpegStart(const uint8_t* data, size_t size, MpegStart& start);

// Trims decoded samples to the length the Info frame recorded: the encoder's
// delay and the synthesis delay in front, the padding behind.
void trimGapless(std::vector<int16_t>& samples, const MpegStart& start);

// How many of the first bytes of MPEG audio data hold what a sample keeps
// and a little more, for decoders that decode all they are given; all of
// them when there is no more; none when the data is not MPEG audio (a
// browser would decode FLAC or Ogg too, whose size bounds nothing).
size_t mpegPrefix(const uint8_t* data, size_t size);

}  // namespace demosound
