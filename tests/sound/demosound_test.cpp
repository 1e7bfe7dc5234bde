// The player's own sound library, bound the way the player binds it and
// heard through SDL's "disk" audio driver, which writes the mixed stream
// (16-bit stereo at the mixing rate) to a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sound/sound_library.h"
#include "tests/sound/sound_fixture.h"

using namespace soundtest;

namespace {

using FnGetPosition = unsigned (*)(int channel);
using FnGetFlag = signed char (*)(int channel);
using FnGetCount = int (*)();

void* entry(const SoundLibrary& library, const char* name)
{
    for (int slot = 1; slot < kSoundApiSlots; ++slot)
        if (std::strcmp(kSoundApiNames[slot - 1], name) == 0)
            return library.api->slots[slot];
    return nullptr;
}

// The calls a test makes, typed.
struct Api {
    explicit Api(const SoundLibrary& l)
        : load(l.api->fn<FnSampleLoad>(kSampleLoad)),
          length(l.api->fn<FnSampleGetLength>(kSampleGetLength)),
          free(l.api->fn<FnSampleFree>(kSampleFree)),
          play(l.api->fn<FnPlaySoundEx>(kPlaySoundEx)),
          stop(l.api->fn<FnStopSound>(kStopSound)),
          volume(l.api->fn<FnSetVolume>(kSetVolume)),
          paused(l.api->fn<FnSetPaused>(kSetPaused)),
          seek(l.api->fn<FnSetCurrentPosition>(kSetCurrentPosition)),
          position(reinterpret_cast<FnGetPosition>(entry(l, "_FSOUND_GetCurrentPosition@4"))),
          isPlaying(reinterpret_cast<FnGetFlag>(entry(l, "_FSOUND_IsPlaying@4"))),
          outputRate(reinterpret_cast<FnGetCount>(entry(l, "_FSOUND_GetOutputRate@0"))),
          channelsPlaying(reinterpret_cast<FnGetCount>(entry(l, "_FSOUND_GetChannelsPlaying@0")))
    {
    }
    FnSampleLoad load;
    FnSampleGetLength length;
    FnSampleFree free;
    FnPlaySoundEx play;
    FnStopSound stop;
    FnSetVolume volume;
    FnSetPaused paused;
    FnSetCurrentPosition seek;
    FnGetPosition position;
    FnGetFlag isPlaying;
    FnGetCount outputRate;
    FnGetCount channelsPlaying;
};

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

constexpr double kFull = 0.5 * 32767;  // the test tones' amplitude

struct Window {
    double peak = 0;
    bool stereoEqual = true;
};

// Peaks of 10 ms windows of a 16-bit stereo stream at 44100 Hz.
std::vector<Window> windows(const std::vector<int16_t>& stereo)
{
    std::vector<Window> out;
    const size_t frames = 441;
    for (size_t start = 0; (start + frames) * 2 <= stereo.size(); start += frames) {
        Window w;
        for (size_t i = start; i < start + frames; ++i) {
            w.peak = std::max(w.peak, double(std::abs(int(stereo[i * 2]))));
            w.stereoEqual = w.stereoEqual && stereo[i * 2] == stereo[i * 2 + 1];
        }
        out.push_back(w);
    }
    return out;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Frequency of the left channel over frames [from, to), from the span
// between its first and last rising zero crossings.
double frequency(const std::vector<int16_t>& stereo, size_t from, size_t to)
{
    size_t first = 0, last = 0;
    int periods = -1;
    for (size_t i = from + 1; i < to; ++i) {
        if (stereo[(i - 1) * 2] < 0 && stereo[i * 2] >= 0) {
            if (periods < 0)
                first = i;
            last = i;
            ++periods;
        }
    }
    return periods > 0 ? periods * 44100.0 / double(last - first) : 0;
}

std::vector<int16_t> readStereo(const std::string& path)
{
    Bytes raw = readFile(path);
    std::vector<int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
}

struct SoundOutput : ::testing::Test {
    TempDir dir;
    std::string output = dir.path() + "mixed.raw";
    ScopedEnv driver{"SDL_AUDIODRIVER", "disk"};
    ScopedEnv file{"SDL_DISKAUDIOFILE", output.c_str()};
};

// The longest run of windows whose peak lies within [low, high] × full
// amplitude, as (first, count).
std::pair<size_t, size_t> longestRun(const std::vector<Window>& ws, double low, double high)
{
    std::pair<size_t, size_t> best{0, 0};
    for (size_t i = 0; i < ws.size();) {
        size_t j = i;
        while (j < ws.size() && ws[j].peak >= low * kFull && ws[j].peak <= high * kFull)
            ++j;
        if (j - i > best.second)
            best = {i, j - i};
        i = j > i ? j : i + 1;
    }
    return best;
}

}  // namespace

TEST_F(SoundOutput, DecodesAnMp3AndMixesItAudiblyAtTheVolumeAsked)
{
    const std::string music = dir.path() + "tone.mp3";
    writeFile(music, encodeMp3(sine(44100, 1, 3.0, 1000, 0.5), 44100, 1));
    {
        std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
        ASSERT_NE(nullptr, library->api);
        Api api(*library);
        EXPECT_EQ(44100, api.outputRate());
        SoundSample sample = api.load(-1, music.c_str(), 304, 0, 0);
        ASSERT_NE(nullptr, sample);
        EXPECT_EQ(3u * 44100u, api.length(sample));
        int channel = api.play(-1, sample, nullptr, 1);
        ASSERT_NE(0, channel);
        sleepMs(150);  // paused: silent
        api.volume(channel, 255);
        api.paused(channel, 0);
        sleepMs(600);
        api.volume(channel, 128);
        sleepMs(600);
        api.paused(channel, 1);
        sleepMs(300);
    }
    const std::vector<int16_t> stereo = readStereo(output);
    const std::vector<Window> ws = windows(stereo);
    ASSERT_GT(ws.size(), 100u);
    EXPECT_TRUE(std::all_of(ws.begin(), ws.end(), [](const Window& w) { return w.stereoEqual; }));

    auto loud = longestRun(ws, 0.9, 1.1);
    auto half = longestRun(ws, 0.45, 0.56);
    EXPECT_GE(loud.second, 30u);
    EXPECT_GE(half.second, 30u);
    EXPECT_LT(loud.first + loud.second, half.first + 1);
    // Silent before the first unpause and after the pause.
    EXPECT_EQ(0, ws.front().peak);
    EXPECT_EQ(0, ws.back().peak);
    for (size_t i = half.first + half.second + 3; i < ws.size(); ++i)
        EXPECT_EQ(0, ws[i].peak) << "window " << i;

    std::vector<double> loudPeaks, halfPeaks;
    for (size_t i = loud.first; i < loud.first + loud.second; ++i)
        loudPeaks.push_back(ws[i].peak);
    for (size_t i = half.first; i < half.first + half.second; ++i)
        halfPeaks.push_back(ws[i].peak);
    const double ratio = median(halfPeaks) / median(loudPeaks);
    RecordProperty("full_peak", std::to_string(median(loudPeaks)));
    RecordProperty("half_ratio", std::to_string(ratio));
    EXPECT_NEAR(kFull, median(loudPeaks), 0.05 * kFull);  // MP3 coding costs ~3 %
    EXPECT_NEAR(128.0 / 255.0, ratio, 0.01);
    const double hz = frequency(stereo, loud.first * 441, (loud.first + loud.second) * 441);
    RecordProperty("tone_hz", std::to_string(hz));
    EXPECT_NEAR(1000, hz, 2);
}

TEST_F(SoundOutput, PlaysAStereoWaveOfAnotherRateAtItsOwnPitch)
{
    const std::string music = dir.path() + "tone.wav";
    writeFile(music, encodeWav(sine(22050, 2, 1.0, 1000, 0.5), 22050, 2));
    {
        std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
        ASSERT_NE(nullptr, library->api);
        Api api(*library);
        SoundSample sample = api.load(-1, music.c_str(), 304, 0, 0);
        ASSERT_NE(nullptr, sample);
        EXPECT_EQ(22050u, api.length(sample));  // frames at its own rate
        int channel = api.play(-1, sample, nullptr, 0);
        ASSERT_NE(0, channel);
        sleepMs(600);
    }
    const std::vector<int16_t> stereo = readStereo(output);
    const std::vector<Window> ws = windows(stereo);
    auto loud = longestRun(ws, 0.9, 1.1);
    ASSERT_GE(loud.second, 30u);
    EXPECT_TRUE(std::all_of(ws.begin(), ws.end(), [](const Window& w) { return w.stereoEqual; }));
    std::vector<double> peaks;
    for (size_t i = loud.first; i < loud.first + loud.second; ++i)
        peaks.push_back(ws[i].peak);
    EXPECT_NEAR(kFull, median(peaks), 0.015 * kFull);  // lossless, at full volume
    EXPECT_NEAR(1000, frequency(stereo, loud.first * 441, (loud.first + loud.second) * 441), 2);
}

TEST(SoundEngine, WithoutAnAudioDeviceChannelsStillKeepTime)
{
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    const std::string music = dir.path() + "tone.wav";
    writeFile(music, encodeWav(sine(44100, 1, 2.0, 440, 0.5), 44100, 1));

    testing::internal::CaptureStderr();
    std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
    std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(nullptr, library->api);
    EXPECT_NE(std::string::npos, said.find("no audio device")) << said;

    Api api(*library);
    SoundSample sample = api.load(-1, music.c_str(), 304, 0, 0);
    ASSERT_NE(nullptr, sample);
    int channel = api.play(-1, sample, nullptr, 1);
    ASSERT_NE(0, channel);
    sleepMs(150);
    EXPECT_EQ(0u, api.position(channel));  // paused
    api.paused(channel, 0);
    const auto started = std::chrono::steady_clock::now();
    sleepMs(300);
    unsigned moved = api.position(channel);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_NEAR(seconds * 44100, double(moved), 0.1 * 44100);

    api.paused(channel, 1);
    unsigned held = api.position(channel);
    sleepMs(100);
    EXPECT_EQ(held, api.position(channel));

    EXPECT_TRUE(api.seek(channel, 44100));
    EXPECT_EQ(44100u, api.position(channel));
    EXPECT_FALSE(api.seek(channel, 88200));  // the end: nothing left to play
}

TEST(SoundEngine, WithoutAnAudioDeviceSaysSoInOneLineAndNothingElse)
{
    // ALSA on a machine without a sound card prints a page through its error
    // handler; with a card it opens quietly. Either way only the library talks,
    // and once a process: a preview loads the library again at every jump.
    // (The driver's name is in the line: this test's own is news here.)
    const struct {
        const char* driver;
        bool says;
    } cases[] = {{"no-such-driver-either", true}, {"no-such-driver-either", false}, {"alsa", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.driver);
        ScopedEnv env("SDL_AUDIODRIVER", c.driver);
        testing::internal::CaptureStderr();
        std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
        library.reset();
        const std::string said = testing::internal::GetCapturedStderr();
        if (said.empty() && std::strcmp(c.driver, "alsa") == 0)
            continue;  // a real device
        if (!c.says) {
            EXPECT_EQ("", said);
            continue;
        }
        EXPECT_EQ(0u, said.rfind("demosound: no audio device (", 0)) << said;
        EXPECT_EQ(said.size() - 1, said.find('\n')) << said;
    }
}

TEST(SoundEngine, ChannelHandlesEndWithTheirSoundAndNeverComeBack)
{
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    const std::string music = dir.path() + "tone.wav";
    writeFile(music, encodeWav(sine(44100, 1, 1.0, 440, 0.5), 44100, 1));
    std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
    ASSERT_NE(nullptr, library->api);
    Api api(*library);
    SoundSample sample = api.load(-1, music.c_str(), 304, 0, 0);
    ASSERT_NE(nullptr, sample);
    int bogus = 0x1234;
    EXPECT_EQ(0, api.play(-1, &bogus, nullptr, 0));
    EXPECT_EQ(nullptr, api.load(-1, (dir.path() + "missing.mp3").c_str(), 304, 0, 0));

    // Stopped: the handle is dead even when its channel plays again.
    int first = api.play(-1, sample, nullptr, 1);
    ASSERT_NE(0, first);
    EXPECT_TRUE(api.stop(first));
    int second = api.play(-1, sample, nullptr, 1);
    ASSERT_NE(0, second);
    EXPECT_NE(first, second);
    EXPECT_FALSE(api.volume(first, 10));
    EXPECT_TRUE(api.volume(second, 10));

    // Played to the end: the channel is free again.
    api.seek(second, 44100 - 441);
    api.paused(second, 0);
    sleepMs(250);
    EXPECT_FALSE(api.isPlaying(second));

    // A freed sample stops what plays it and is gone.
    int third = api.play(-1, sample, nullptr, 1);
    EXPECT_EQ(1, api.channelsPlaying());
    api.free(sample);
    EXPECT_FALSE(api.isPlaying(third));
    EXPECT_EQ(0, api.channelsPlaying());
    EXPECT_EQ(0u, api.length(sample));
    EXPECT_EQ(0, api.play(-1, sample, nullptr, 0));
}

TEST(SoundEngine, ASampleKeepsFifteenMinutesWhateverTheFileOrItsHeadersSay)
{
    TempDir dir;
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_LIBRARY));
    ASSERT_NE(nullptr, library->api);
    Api api(*library);
    auto patched = [](Bytes bytes, const char* field, size_t offset, uint32_t value) {
        for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
            if (std::memcmp(&bytes[at], field, 4) == 0) {
                for (int i = 0; i < 4; ++i)
                    bytes[at + offset + size_t(i)] = uint8_t(value >> (8 * i));
                break;
            }
        }
        return bytes;
    };
    const Bytes second = encodeWav(sine(8000, 1, 1.0, 440, 0.5), 8000, 1);
    const struct {
        const char* name;
        Bytes file;
        unsigned frames;
        bool cut;
    } cases[] = {
        // 16 minutes at 8 kbit/s: 960 kB of MP3 for 15 MB of samples.
        {"long.mp3", encodeMp3(sine(8000, 1, 16 * 60.0, 300, 0.5), 8000, 1, 8), 15 * 60 * 8000, true},
        {"long.wav", encodeWav(sine(1000, 1, 16 * 60.0, 100, 0.5), 1000, 1), 15 * 60 * 1000, true},
        {"whole.wav", encodeWav(sine(1000, 2, 15 * 60.0, 100, 0.5), 1000, 2), 15 * 60 * 1000, false},
        {"data-claims-4-GB.wav", patched(second, "data", 4, 0xFFFFFFF0u), 8000, false},
        {"riff-claims-4-GB.wav", patched(second, "RIFF", 4, 0xFFFFFFF0u), 8000, false},
        {"info-claims-4-G-frames.mp3", patched(encodeMp3(sine(8000, 1, 1.0, 300, 0.5), 8000, 1, 8), "Info", 8, 0xFFFFFFFFu), 8000, false},
    };
    for (const auto& c : cases) {
        const std::string path = dir.path() + c.name;
        writeFile(path, c.file);
        testing::internal::CaptureStderr();
        SoundSample sample = api.load(-1, path.c_str(), 304, 0, 0);
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_NE(nullptr, sample) << c.name;
        if (std::strstr(c.name, ".mp3") && !c.cut) {
            // A frame count that cannot be leaves the encoder's delay and
            // padding in: a couple of MPEG frames, no more.
            EXPECT_GE(api.length(sample), c.frames) << c.name;
            EXPECT_LE(api.length(sample), c.frames + 2 * 1152) << c.name;
        } else {
            EXPECT_EQ(c.frames, api.length(sample)) << c.name;
        }
        EXPECT_EQ(c.cut ? "demosound: " + path + " is longer than a sample may be; it plays its first 15:00\n" : "", said)
            << c.name;
        api.free(sample);
    }
}
