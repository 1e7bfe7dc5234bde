// What the sound library reads of audio files itself (the Windows decoder's
// part outside the system's codecs), on files whose headers lie: it reads no
// further than the file and keeps no more than a sample may hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/demosound/audio_reading.h"
#include "tests/sound/sound_fixture.h"

using namespace demosound;
using namespace soundtest;

namespace {

void put32(Bytes& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}

size_t find(const Bytes& bytes, const char* what)
{
    const size_t n = std::strlen(what);
    for (size_t at = 0; at + n <= bytes.size(); ++at)
        if (std::memcmp(&bytes[at], what, n) == 0)
            return at;
    return bytes.size();
}

}  // namespace

TEST(AudioReading, HeadersThatLieReadNoFurtherThanTheFile)
{
    const Bytes tone = encodeWav(sine(8000, 2, 0.01, 440, 0.5), 8000, 2);  // 80 frames
    const size_t data = find(tone, "data");
    const size_t format = find(tone, "fmt ");
    ASSERT_LT(data, tone.size());
    const struct {
        const char* name;
        size_t at;         // a 32-bit field to set, or 0
        uint32_t value;
        size_t cutTo;      // the file's length, or 0 for all of it
        bool read;
        size_t samples;    // plain samples read
    } cases[] = {
        {"as written", 0, 0, 0, true, 160},
        {"data claims 4 GB", data + 4, 0xFFFFFFF0u, 0, true, 160},
        {"file cut inside the data", 0, 0, data + 8 + 41, true, 20},  // whole frames only
        {"format claims 4 GB", format + 4, 0xFFFFFFFFu, 0, false, 0},  // the walk ends there
        {"no channels", format + 10, 0, 0, false, 0},
        {"block size of another format", format + 20, 0x00100003u, 0, true, 0},  // refused: block 3
        {"file cut inside the format", 0, 0, format + 8 + 10, false, 0},
    };
    for (const auto& c : cases) {
        Bytes file = tone;
        if (c.at)
            put32(file, c.at, c.value);
        if (c.cutTo)
            file.resize(c.cutTo);
        WaveFile wave;
        std::vector<int16_t> samples;
        const bool read = readWave(file.data(), file.size(), wave);
        EXPECT_EQ(c.read, read) << c.name;
        if (read && readPlainSamples(wave, 1u << 20, samples) == PlainResult::decoded) {
            EXPECT_LE(wave.body + wave.bodySize, file.data() + file.size()) << c.name;
        }
        EXPECT_EQ(c.samples, samples.size()) << c.name;
    }
}

TEST(AudioReading, ASampleKeepsFifteenMinutesAtMostAndSaysWhenItCut)
{
    // A rate of 1 Hz keeps 900 frames; rates above 48 kHz count as 48 kHz.
    EXPECT_EQ(900u, maxFrames(1));
    EXPECT_EQ(900u * 48000, maxFrames(1 << 30));
    EXPECT_EQ(0u, maxFrames(-8000));
    const struct {
        int channels, rate;
        size_t frames;
        size_t kept;
    } cases[] = {{1, 1, 900, 900}, {1, 1, 901, 900}, {2, 1, 1000, 900}, {6, 1, 1000, 900}, {6, 8000, 10, 10}, {2, 0, 10, 0}};
    for (const auto& c : cases) {
        std::vector<int16_t> samples(c.frames * size_t(c.channels));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(i);
        Pcm pcm;
        keepStereo(samples, c.channels, c.rate, pcm);
        EXPECT_EQ(c.kept, pcm.frames()) << c.channels << " " << c.rate << " " << c.frames;
        EXPECT_EQ(c.kept < c.frames, pcm.cut) << c.channels << " " << c.rate << " " << c.frames;
        if (c.channels > 2 && c.kept > 0) {  // the first two channels of the last frame kept
            EXPECT_EQ(int16_t((c.kept - 1) * size_t(c.channels) + 1), pcm.samples.back()) << c.channels;
        }
    }
}

TEST(AudioReading, AnInfoFrameThatLiesTrimsNoMoreThanTheMusicHas)
{
    const Bytes mp3 = encodeMp3(sine(44100, 1, 0.5, 440, 0.5), 44100, 1);
    const size_t info = find(mp3, "Info");
    ASSERT_LT(info, mp3.size());
    const struct {
        const char* name;
        Bytes file;
        bool found;
        uint32_t frames;  // what the Info frame claims
    } cases[] = {
        {"as written", mp3, true, 0},
        {"frames claim 2^32 - 1", [&] { Bytes b = mp3; b[info + 8] = b[info + 9] = b[info + 10] = b[info + 11] = 0xFF; return b; }(), true, 0xFFFFFFFFu},
        {"an ID3 tag larger than the file", [&] { Bytes b = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}; b.insert(b.end(), mp3.begin(), mp3.end()); return b; }(), false, 0},
        {"the Info frame alone", Bytes(mp3.begin(), mp3.begin() + long(info + 200)), false, 0},
    };
    for (const auto& c : cases) {
        MpegStart start;
        EXPECT_EQ(c.found, findMpegStart(c.file.data(), c.file.size(), start)) << c.name;
        if (!c.found)
            continue;
        EXPECT_TRUE(start.gapless.found) << c.name;
        if (c.frames) {
            EXPECT_EQ(c.frames, start.gapless.frames) << c.name;
        }
        // What a codec gives for half a second: the trim keeps that less the
        // delays, however many frames the header claims.
        std::vector<int16_t> samples(22050 + 1152);
        trimGapless(samples, start);
        EXPECT_LE(samples.size(), 22050u + 1152 - 529) << c.name;
        EXPECT_GE(samples.size(), 22050u - 1152) << c.name;
    }
}

TEST(AudioReading, WhatAPageDecodesOfAnMpegFileEndsJustPastFifteenMinutes)
{
    // One frame of 8 kHz music repeated past 15 minutes (7,200,000 frames
    // of sound, 12,500 of MPEG audio): the browser is given the first ones.
    const Bytes mp3 = encodeMp3(sine(8000, 1, 0.5, 440, 0.5), 8000, 1, 8);
    MpegStart start;
    ASSERT_TRUE(findMpegStart(mp3.data(), mp3.size(), start));
    FrameHeader frame;
    ASSERT_TRUE(readFrameHeader(&mp3[start.at], mp3.size() - start.at, frame));
    ASSERT_EQ(576, frame.samples);
    const size_t need = maxFrames(8000) / size_t(frame.samples);
    Bytes endless(mp3.begin(), mp3.begin() + long(start.at));
    for (size_t i = 0; i < need + 100; ++i)
        endless.insert(endless.end(), mp3.begin() + long(start.at), mp3.begin() + long(start.at + frame.length));
    const size_t prefix = mpegPrefix(endless.data(), endless.size());
    ASSERT_LT(prefix, endless.size());
    ASSERT_EQ(0u, (prefix - start.at) % frame.length);
    const size_t frames = (prefix - start.at) / frame.length;
    EXPECT_GT(frames, need);
    EXPECT_LE(frames, need + 4);
    // Cut inside the frame that crosses the limit: no more than there is.
    const size_t inside = start.at + (need + 3) * frame.length - 10;
    EXPECT_EQ(inside, mpegPrefix(endless.data(), inside));

    EXPECT_EQ(mp3.size(), mpegPrefix(mp3.data(), mp3.size())) << "a short file is given whole";
    const Bytes noise(5000, 0x5A);
    // Nor anything else (FLAC, Ogg...): no size bounds how long such a file
    // plays, and the other systems' decoders read MPEG audio only.
    EXPECT_EQ(0u, mpegPrefix(noise.data(), noise.size())) << "what is no MPEG audio is not given";
}

TEST(AudioReading, AWaveCutForAPageSaysWhatItHoldsAndStillShowsTheCut)
{
    // Browsers decode the whole data chunk, as its header gives it.
    const struct {
        const char* name;
        Bytes file;
        int rate;
        bool cut;
    } cases[] = {
        {"16 minutes, mono", encodeWav(sine(1000, 1, 16 * 60.0, 100, 0.5), 1000, 1), 1000, true},
        {"16 minutes, stereo", encodeWav(sine(800, 2, 16 * 60.0, 100, 0.5), 800, 2), 800, true},
        {"15 minutes", encodeWav(sine(1000, 1, 15 * 60.0, 100, 0.5), 1000, 1), 1000, false},
    };
    const auto u32At = [](const Bytes& b, size_t at) {
        return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
    };
    for (const auto& c : cases) {
        const Bytes cut = cutWave(c.file.data(), c.file.size());
        EXPECT_EQ(c.cut, !cut.empty()) << c.name;
        if (cut.empty())
            continue;
        const size_t data = find(cut, "data");
        ASSERT_LT(data + 8, cut.size()) << c.name;
        EXPECT_EQ(cut.size() - 8, u32At(cut, 4)) << c.name;
        EXPECT_EQ(cut.size() - data - 8, u32At(cut, data + 4)) << c.name;
        WaveFile wave;
        ASSERT_TRUE(readWave(cut.data(), cut.size(), wave)) << c.name;
        const size_t frames = wave.bodySize / wave.blockAlign;
        EXPECT_GT(frames, maxFrames(c.rate)) << c.name;
        EXPECT_LE(frames, maxFrames(c.rate) * 11 / 10) << c.name;  // a little more, not the file
    }
}
