// demosound.dll bound the way the player binds it, under Wine with Wine's
// audio drivers turned off (tests/windows.cmake): no device, so the music
// runs on the library's silent clock, which must keep time as the Linux
// library's does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/chunk_stream.h"
#include "platform/platform.h"
#include "sound/sound_library.h"
#include "tools/media/wav.h"
#include "tools/writer/writer.h"

namespace {

using FnGetPosition = unsigned (*)(int channel);

void* entry(const SoundLibrary& library, const char* name)
{
    for (int slot = 1; slot < kSoundApiSlots; ++slot)
        if (std::strcmp(kSoundApiNames[slot - 1], name) == 0)
            return library.api->slots[slot];
    return nullptr;
}

double seconds()
{
    int64_t frequency = 1, count = 0;
    platform::queryPerformanceFrequency(&frequency);
    platform::queryPerformanceCounter(&count);
    return double(count) / double(frequency);
}

void sleepFor(double wanted)
{
    const double until = seconds() + wanted;
    while (seconds() < until) {
    }
}

}  // namespace

TEST(DemosoundDll, WithoutAnAudioDeviceChannelsStillKeepTime)
{
    const char* dll = std::getenv("DEMOSOUND_DLL");
    ASSERT_NE(nullptr, dll);
    tools::writer::Bytes image;
    ASSERT_TRUE(tools::writer::readFile(dll, image)) << dll;
    ChunkStream stream(image.data(), int32_t(image.size()));
    SoundLibrary library(stream, uint32_t(image.size()));
    ASSERT_NE(nullptr, library.api);

    std::vector<int16_t> tone(2 * 44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(std::lround(16000 * std::sin(2 * 3.14159265358979 * 440.0 * double(i) / 44100)));
    const std::string music = library.directory + std::string("tone.wav");
    ASSERT_TRUE(tools::writer::writeFile(music, tools::media::encodeWav(tone, 44100, 1)));

    const SoundApi& api = *library.api;
    SoundSample sample = api.fn<FnSampleLoad>(kSampleLoad)(-1, music.c_str(), 304, 0, 0);
    ASSERT_NE(nullptr, sample);
    EXPECT_EQ(2u * 44100u, api.fn<FnSampleGetLength>(kSampleGetLength)(sample));
    const auto position = reinterpret_cast<FnGetPosition>(entry(library, "_FSOUND_GetCurrentPosition@4"));
    const int channel = api.fn<FnPlaySoundEx>(kPlaySoundEx)(-1, sample, nullptr, 1);
    ASSERT_NE(0, channel);
    sleepFor(0.15);
    EXPECT_EQ(0u, position(channel));  // paused
    api.fn<FnSetPaused>(kSetPaused)(channel, 0);
    const double started = seconds();
    sleepFor(1.0);
    const unsigned moved = position(channel);
    const double elapsed = seconds() - started;
    // It runs on the wall clock: never ahead of it, and not stalled (the
    // bounds are loose because Wine's scheduling varies; the rate itself is
    // the music sync benchmark's figure).
    EXPECT_LE(double(moved), (elapsed + 0.05) * 44100);
    EXPECT_GE(double(moved), 0.5 * elapsed * 44100);

    api.fn<FnSetPaused>(kSetPaused)(channel, 1);
    const unsigned held = position(channel);
    sleepFor(0.1);
    EXPECT_EQ(held, position(channel));
    EXPECT_TRUE(api.fn<FnSetCurrentPosition>(kSetCurrentPosition)(channel, 44100));
    EXPECT_EQ(44100u, position(channel));
    api.fn<FnStopSound>(kStopSound)(channel);
    api.fn<FnSampleFree>(kSampleFree)(sample);
    platform::deleteFile(music.c_str());
}
