// Video export: the music found in demo data, the ffmpeg command per
// container, and the frames piped into a real ffmpeg, probed with ffprobe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/test_double.h"
#include "tools/writer/sound_payloads.h"
#include "tools/render/video.h"
#include "tools/media/wav.h"

using namespace tools::writer;
using namespace tools::media;
using namespace tools::render;
namespace fs = std::filesystem;

namespace {

struct Scratch {
    Scratch() : dir(fs::temp_directory_path() / ("video_test_" + std::to_string(getpid())))
    {
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    fs::path dir;
};

Bytes halfSecondTone()
{
    std::vector<int16_t> samples(22050);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(8000 * std::sin(double(i) * 0.06));
    return encodeWav(samples, 44100, 1);
}

// Clears to one colour for `frames` frames at 20 fps, with music or not.
Bytes colourDemo(int16_t frames, const Bytes& music)
{
    WindowSettings window;
    window.width = 64;
    window.height = 48;
    PlaybackSettings playback;
    playback.frameRate = 20;
    StreamWriter resources;
    if (!music.empty())
        resources.add(musicResource("music", {}, music));
    StreamWriter timeline;
    timeline.add(totalFramesChunk(frames));
    DemoData demo;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings(playback);
    demo.renderState = RenderStateWriter::standard(1, 0.5f, 0, 1).bytes();
    demo.resources = resources.bytes();
    demo.timeline = timeline.bytes();
    return demoData(demo);
}

std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    if (pipe)
        pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == ','))
        text.pop_back();
    return text;
}

std::string probe(const std::string& file, const std::string& stream, const std::string& entries)
{
    return output("ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream=" + entries +
                  " -of csv=p=0 " + file);
}

class VideoExport : public ::testing::Test {
protected:
    platform::TestDouble platform_;
    Scratch scratch_;
};

}  // namespace

TEST_F(VideoExport, MusicComesFromTheMusicResource)
{
    Bytes tone = halfSecondTone();
    Bytes data = colourDemo(3, tone);
    EXPECT_EQ(musicOf(data), tone);
    EXPECT_EQ(musicOf(pack({0x7f, 'E', 'L', 'F', 2}, data, nullptr)), tone) << "packed";
    EXPECT_TRUE(musicOf(colourDemo(3, {})).empty());
    Bytes cut = data;
    cut.resize(cut.size() - tone.size() / 2);
    EXPECT_TRUE(musicOf(cut).size() < tone.size()) << "a cut body never reads past the data";
}

TEST_F(VideoExport, ContainerFollowsTheFileName)
{
    VideoJob job;
    job.width = 64;
    job.height = 48;
    job.musicPath = "m.wav";
    std::vector<std::string> command;
    auto has = [&](const std::string& word) { return std::find(command.begin(), command.end(), word) != command.end(); };
    for (const char* name : {"a.mp4", "a.MKV", "a.mov"}) {
        job.output = name;
        ASSERT_TRUE(ffmpegCommand(job, command, nullptr)) << name;
        EXPECT_TRUE(has("libx264") && has("aac") && has("1:a")) << name;
    }
    job.output = "a.webm";
    ASSERT_TRUE(ffmpegCommand(job, command, nullptr));
    EXPECT_TRUE(has("libvpx-vp9") && has("libopus"));
    job.output = "a.gif";
    ASSERT_TRUE(ffmpegCommand(job, command, nullptr));
    EXPECT_FALSE(has("1:a") || has("m.wav")) << "GIF has no sound";
    std::string error;
    job.output = "dir.v/a";
    EXPECT_FALSE(ffmpegCommand(job, command, &error));
    EXPECT_NE(error.find(".mp4"), std::string::npos);
}

TEST_F(VideoExport, EveryFrameAtTheDemosRateWithMusicAsLongAsTheVideo)
{
    std::string data = scratch_.path("demo.dat");
    ASSERT_TRUE(writeFile(data, colourDemo(40, halfSecondTone())));
    VideoOptions options;
    options.output = scratch_.path("demo.mp4");
    int32_t lastDone = 0, lastTotal = 0;
    options.progress = [&](int32_t done, int32_t total) {
        EXPECT_EQ(done, lastDone + 1);
        lastDone = done;
        lastTotal = total;
    };
    VideoResult result;
    std::string error;
    ASSERT_TRUE(exportVideo(data, options, result, &error)) << error;
    EXPECT_EQ(result.frames, 40);
    EXPECT_EQ(lastTotal, 40);
    EXPECT_TRUE(result.withMusic);
    EXPECT_EQ(probe(options.output, "v:0", "nb_read_frames,r_frame_rate"), "20/1,40");
    // Half a second of music, padded with silence to the video's two seconds.
    double audio = std::atof(probe(options.output, "a:0", "duration").c_str());
    EXPECT_NEAR(audio, 2.0, 0.05);
    // The pixels piped are the renderer's: the clear colour (1, 0.5, 0).
    std::string rgb = output("ffmpeg -v error -i " + options.output +
                             " -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1 -N3");
    int r = 0, g = 0, b = 0;
    ASSERT_EQ(std::sscanf(rgb.c_str(), "%d %d %d", &r, &g, &b), 3) << rgb;
    EXPECT_NEAR(r, 255, 6);
    EXPECT_NEAR(g, 128, 6);
    EXPECT_NEAR(b, 0, 6);

    // A part of the demo, and a stop half-way that still leaves a playable file.
    options.progress = nullptr;
    options.output = scratch_.path("part.mkv");
    options.from = 11;
    options.to = 20;
    ASSERT_TRUE(exportVideo(data, options, result, &error)) << error;
    EXPECT_EQ(probe(options.output, "v:0", "nb_read_frames"), "10");
    options = VideoOptions();
    options.output = scratch_.path("stopped.webm");
    int calls = 0;
    options.stopRequested = [&] { return ++calls > 7; };
    ASSERT_TRUE(exportVideo(data, options, result, &error)) << error;
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.frames, 7);
    EXPECT_EQ(probe(options.output, "v:0", "nb_read_frames"), "7");

    options = VideoOptions();
    options.output = scratch_.path("late.mp4");
    options.from = 41;
    EXPECT_FALSE(exportVideo(data, options, result, &error));
    EXPECT_NE(error.find("past the end"), std::string::npos) << error;
}
