#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "sound/music_track.h"
#include "sound/sound_library.h"
#include "tests/sound/sound_fixture.h"
#include "tools/writer/writer.h"

using namespace soundtest;
using tools::writer::s16;
using tools::writer::StreamWriter;
using Lines = std::vector<std::string>;

namespace {

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// The recording library bound as the player binds it, a resource track
// loaded from the demo's settings, and the log read from after loading.
struct MusicFixture : ::testing::Test {
    TempDir dir;
    CallLog log{dir.path() + "calls.log"};  // outside the player's own directory
    std::unique_ptr<SoundLibrary> library{libraryFromFile(DEMOSOUND_RECORDER)};
    const Bytes body = text("ID3 not really an mp3");
    std::string sample = "0x5a17";  // what the recorder's Sample_Load answers

    void SetUp() override { ASSERT_NE(nullptr, library->api); }
    // The directory the player made for its files inside the temporary one.
    std::string own() const { return library->directory; }

    std::unique_ptr<MusicTrack> resource(const Bytes& settings)
    {
        auto track = std::make_unique<MusicTrack>(library.get());
        track->loadExtra(settings.data(), int32_t(settings.size()));
        track->load(body.data(), int32_t(body.size()));
        return track;
    }
    std::unique_ptr<MusicTrack> demoResource()
    {
        return resource(StreamWriter().add(4, text("pista.mp3")).add(17, s16(20)).add(8, s16(255)).bytes());
    }
    static std::unique_ptr<MusicTrack> instanceOf(MusicTrack& source)
    {
        return std::unique_ptr<MusicTrack>(static_cast<MusicTrack*>(source.clone()));
    }
};

using MusicTrackCalls = MusicFixture;

}  // namespace

TEST_F(MusicTrackCalls, TheResourceWritesItsFileLoadsTheSampleAndReleasesBoth)
{
    log.take();
    auto track = demoResource();
    const std::string path = own() + "pista.mp3";
    ASSERT_NE(nullptr, track->filePath);
    EXPECT_EQ(path, track->filePath);
    EXPECT_EQ(body, readFile(path));
    EXPECT_EQ(20, track->framesPerSecond);
    EXPECT_EQ(255, track->appliedVolume);
    EXPECT_EQ(255.0f, track->volume);
    EXPECT_EQ((Lines{"FSOUND_Sample_Load -1 " + path + " 304 0 0", "FSOUND_Sample_GetLength " + sample}), log.take());
    track.reset();
    EXPECT_EQ((Lines{"FSOUND_Sample_Free " + sample}), log.take());  // never played: nothing to stop
    EXPECT_FALSE(fileExists(path));
}

TEST_F(MusicTrackCalls, AnInstanceStartsPausedSetsItsVolumeRunsAndStopsWhenDestroyed)
{
    auto track = demoResource();
    track->volume = 100;  // the copy takes the volume read from the data, not this
    auto instance = instanceOf(*track);
    log.take();
    EXPECT_EQ(255.0f, instance->volume);
    EXPECT_EQ(nullptr, instance->filePath);
    EXPECT_EQ(&instance->volume, instance->parameters->find("Volum"));

    EXPECT_EQ(1, instance->step(true));  // a step-only pass starts it too
    EXPECT_EQ((Lines{"FSOUND_PlaySoundEx -1 " + sample + " (nil) 1", "FSOUND_SetVolume 1 255", "FSOUND_SetPaused 1 0"}),
              log.take());
    EXPECT_EQ(1, instance->channel);
    instance->step(false);
    instance->step(false);
    EXPECT_TRUE(log.take().empty());

    instance.reset();
    EXPECT_EQ((Lines{"FSOUND_StopSound 1"}), log.take());  // the sample and the file stay
    EXPECT_TRUE(fileExists(own() + "pista.mp3"));
    track.reset();
    EXPECT_EQ((Lines{"FSOUND_Sample_Free " + sample}), log.take());
}

TEST_F(MusicTrackCalls, VolumeFollowsTheIntegerPartOfVolum)
{
    auto track = demoResource();
    auto instance = instanceOf(*track);
    instance->step(false);
    log.take();

    // A fade from 255 by -6.5384617 a frame over 39 frames.
    std::vector<int> sent;
    for (int frame = 0; frame < 39; ++frame) {
        instance->volume += -6.5384617f;
        instance->step(false);
        for (const std::string& line : log.take()) {
            ASSERT_EQ(0u, line.rfind("FSOUND_SetVolume 1 ", 0)) << line;
            sent.push_back(std::stoi(line.substr(19)));
        }
    }
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ((std::vector<int>{248, 241, 235}), std::vector<int>(sent.begin(), sent.begin() + 3));
    EXPECT_EQ(39u, sent.size());
    for (size_t i = 1; i < sent.size(); ++i)
        EXPECT_LT(sent[i], sent[i - 1]);
    EXPECT_EQ(0, sent.back());

    instance->volume = 12.9f;
    instance->step(false);
    EXPECT_EQ((Lines{"FSOUND_SetVolume 1 12"}), log.take());
    instance->volume = 12.2f;
    instance->step(false);
    EXPECT_TRUE(log.take().empty());
    // Passed on as they are, without clamping; truncation goes toward zero.
    instance->volume = 300.7f;
    instance->step(false);
    instance->volume = -0.9f;
    instance->step(false);
    EXPECT_EQ((Lines{"FSOUND_SetVolume 1 300", "FSOUND_SetVolume 1 0"}), log.take());
}

TEST_F(MusicTrackCalls, SkippingFramesMovesThePlayPositionInWholeSeconds)
{
    auto track = demoResource();
    auto instance = instanceOf(*track);
    log.take();
    instance->skipFrames(19);  // idle: starts at the position
    EXPECT_EQ((Lines{"FSOUND_PlaySoundEx -1 " + sample + " (nil) 1", "FSOUND_SetVolume 1 255",
                     "FSOUND_SetCurrentPosition 1 0", "FSOUND_SetPaused 1 0"}),
              log.take());
    instance->skipFrames(40);  // playing: only moves
    instance->skipFrames(30);
    EXPECT_EQ((Lines{"FSOUND_SetCurrentPosition 1 88200", "FSOUND_SetCurrentPosition 1 44100"}), log.take());
    EXPECT_EQ(0, instance->stepCount);  // the object itself does not advance
    instance->step(false);
    EXPECT_TRUE(log.take().empty());  // already playing
}

TEST_F(MusicTrackCalls, ACloneNeverFreesTheSampleNorDeletesTheFile)
{
    auto track = demoResource();
    {
        auto idle = instanceOf(*track);
        auto playing = instanceOf(*track);
        playing->step(false);
        auto cloneOfClone = instanceOf(*playing);
        EXPECT_EQ(0, cloneOfClone->channel);
        log.take();
    }
    EXPECT_EQ((Lines{"FSOUND_StopSound 1"}), log.take());
    EXPECT_EQ(body, readFile(own() + "pista.mp3"));
}

TEST_F(MusicTrackCalls, AFailedPlayIsRetriedOnTheNextStepWithoutAddressingChannelZero)
{
    ScopedEnv refuse("DEMOSOUND_RECORDER_REFUSE", "1");
    auto track = demoResource();
    auto instance = instanceOf(*track);
    log.take();
    instance->volume = 200;
    instance->step(false);
    EXPECT_EQ((Lines{"FSOUND_PlaySoundEx -1 " + sample + " (nil) 1"}), log.take());
    instance->step(false);
    EXPECT_EQ((Lines{"FSOUND_PlaySoundEx -1 " + sample + " (nil) 1", "FSOUND_SetVolume 1 200", "FSOUND_SetPaused 1 0"}),
              log.take());
}

TEST_F(MusicTrackCalls, SettingsBlockReadsItsSubChunksAndReportsUnknownOnes)
{
    platform::TestDouble boxes;
    auto track = resource(StreamWriter()
                              .add(17, s16(25))
                              .add(17, s16(0))  // no rate: the one before stays
                              .add(17, s16(-4))
                              .add(99, text("xyz"))
                              .add(4, text("song.mp3"))
                              .add(8, s16(-3))
                              .add(8, Bytes{1})  // too short to hold a volume
                              .bytes());
    ASSERT_EQ(1u, boxes.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA: 99", boxes.boxes[0].text);
    EXPECT_EQ("ERROR", boxes.boxes[0].caption);
    EXPECT_EQ(25, track->framesPerSecond);
    EXPECT_EQ(-3, track->appliedVolume);
    EXPECT_EQ(-3.0f, track->volume);
    EXPECT_EQ(body, readFile(own() + "song.mp3"));

    auto instance = instanceOf(*track);
    log.take();
    instance->skipFrames(49);  // 1 whole second at 25 frames per second
    EXPECT_EQ("FSOUND_SetCurrentPosition 1 44100", log.take().at(2));
}

TEST_F(MusicTrackCalls, ANameThatWouldLeaveTheTemporaryDirectoryIsRefused)
{
    for (std::string name : {std::string("../escape.mp3"), std::string("a/b.mp3"), std::string(".."),
                             std::string("nul\0.mp3", 8), std::string(256, 'n')}) {
        log.take();
        auto track = resource(StreamWriter().add(4, text(name)).add(17, s16(20)).add(8, s16(255)).bytes());
        EXPECT_EQ(nullptr, track->filePath) << name;
        EXPECT_TRUE(log.take().empty()) << name;  // no sample either
    }
    EXPECT_FALSE(fileExists(own() + "../escape.mp3"));
    auto longest = resource(StreamWriter().add(4, text(std::string(255, 'n'))).bytes());
    EXPECT_NE(nullptr, longest->filePath);
}

TEST_F(MusicTrackCalls, WithoutANameNothingIsWrittenOrLoaded)
{
    log.take();
    auto track = resource(StreamWriter().add(17, s16(20)).add(8, s16(255)).bytes());
    EXPECT_EQ(nullptr, track->filePath);
    auto instance = instanceOf(*track);
    instance->step(false);
    track.reset();
    instance.reset();
    EXPECT_EQ((Lines{"FSOUND_PlaySoundEx -1 (nil) (nil) 1", "FSOUND_SetVolume 1 255", "FSOUND_SetPaused 1 0",
                     "FSOUND_StopSound 1"}),
              log.take());
}

TEST_F(MusicTrackCalls, AFileAlreadyAtTheNameIsNeitherLoadedNorDeletedWhenItCannotBeReplaced)
{
    // A directory in the way: the track cannot write its file.
    ASSERT_TRUE(std::filesystem::create_directory(own() + "pista.mp3"));
    log.take();
    auto track = demoResource();
    EXPECT_TRUE(log.take().empty());
    track.reset();
    EXPECT_TRUE(std::filesystem::is_directory(own() + "pista.mp3"));
}
