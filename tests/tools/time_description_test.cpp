// Frames written as authors count time: seconds, minutes and seconds, and
// beats of the description's tempo, in descriptions and in the commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/support/command.h"
#include "tests/support/description.h"
#include "tools/common/frame_time.h"

using namespace tools::common;

namespace {

// One demo touching every field that takes frames, with its times in `t`
// (totalFrames, entry frames, place start/length/frame, dynamic start/length,
// skip frames).
std::string timedDemo(const std::string& head, const std::vector<std::string>& t)
{
    return "{" + head + R"("playback": {"frameRate": 20}, "totalFrames": )" + t[0] + R"(,
        "resources": [{"class": "box", "tag": "b"}],
        "timeline": [
            {"frame": )" + t[1] + R"(, "commands": [
                {"place": "b", "start": )" + t[2] + R"(, "length": )" + t[3] + R"(, "frame": )" + t[4] + R"(},
                {"dynamic": "scalar", "parent": "b", "parameter": "Rotació 1", "value": 2,
                 "start": )" + t[5] + R"(, "length": )" + t[6] + R"(}]},
            {"frame": )" + t[7] + R"(, "commands": [{"skip": "b", "frames": )" + t[8] + R"(}]}]})";
}

}  // namespace

TEST(DescriptionTimes, FramesSecondsMinutesAndBeatsBuildTheSameBytes)
{
    // 20 fps, 120 bpm: a beat is half a second, 10 frames.
    const struct {
        const char* head;
        std::vector<std::string> times;
    } cases[] = {
        {"", {"400", "101", "100", "60", "121", "110", "30", "251", "10"}},
        {R"("bpm": 120,)", {"400", "101", "100", "60", "121", "110", "30", "251", "10"}},
        {"", {R"("20s")", R"("5s")", R"("5s")", R"("3s")", R"("6s")", R"("5.5s")", R"("1.5s")", R"("12.5s")",
              R"("0.5s")"}},
        {"", {R"("0:20")", R"("0:05")", R"("0:05")", R"("0:03")", R"("0:06")", R"("0:05.5")", R"("0:01.5")",
              R"("0:12.5")", R"("0:00.5")"}},
        {R"("bpm": 120,)", {R"("40b")", R"("10b")", R"("10b")", R"("6b")", R"("12b")", R"("11b")", R"("3b")",
                            R"("25b")", R"("1b")"}},
        // A frame number may also come as text.
        {"", {R"("400")", R"("101")", "100", "60", "121", "110", "30", "251", "10"}},
    };
    const tools::writer::Bytes expected = compiled(timedDemo("", cases[0].times));
    ASSERT_FALSE(expected.empty());
    for (const auto& c : cases) {
        const std::string text = timedDemo(c.head, c.times);
        EXPECT_EQ(compiled(text), expected) << text << "\n" << errorOf(text);
    }
}

TEST(DescriptionTimes, FramesOfEachWriting)
{
    const struct {
        int rate;
        double bpm;
        const char* text;
        TimeUse use;
        int64_t frames;
    } cases[] = {
        {20, 0, "5s", TimeUse::point, 101},
        {20, 0, "5s", TimeUse::span, 100},
        {20, 120, "10b", TimeUse::point, 101},
        {20, 120, "0b", TimeUse::point, 1},  // beat 0 is the start
        {20, 0, "1:05.5", TimeUse::point, 1311},
        {20, 0, "12", TimeUse::point, 12},  // plain numbers are frames
        {20, 0, "-3", TimeUse::span, -3},
        // Halves of a frame round away from zero.
        {25, 0, "0.02s", TimeUse::span, 1},
        {25, 0, "0.06s", TimeUse::span, 2},
        {25, 0, "0.059999s", TimeUse::span, 1},
        {25, 120, "1b", TimeUse::span, 13},  // 12.5 frames
        {30, 90, "1b", TimeUse::span, 20},
    };
    for (const auto& c : cases) {
        int64_t frames = -99;
        std::string error;
        EXPECT_TRUE(framesOfTime(c.text, c.use, TimeScale{c.rate, c.bpm}, frames, &error)) << c.text << ": " << error;
        EXPECT_EQ(frames, c.frames) << c.text << " at " << c.rate << " fps";
    }
}

TEST(DescriptionTimes, ErrorsNameTheFrameAndThePlace)
{
    const std::string box = R"("resources": [{"class": "box", "tag": "b"}],)";
    const struct {
        std::string description;
        const char* error;
    } cases[] = {
        {R"({"totalFrames": 100, "timeline": [{"frame": "6s"}]})",
         "1:45: timeline entry 1: 'frame' '6s' comes to frame 121, past the last frame (100)"},
        {R"({"totalFrames": "2000s"})", "'totalFrames' '2000s' comes to 40000 frames, out of the range 1 to 32767"},
        {R"({"totalFrames": "10b"})", "description: 'totalFrames' '10b': beats need a tempo, a top-level \"bpm\""},
        {R"({"playback": {"frameRate": 0}, "totalFrames": 9, "timeline": [{"frame": "1:00"}]})",
         "'frame' '1:00': the demo has no frame rate (0 plays unpaced)"},
        {R"({"totalFrames": "5 s"})", "'totalFrames' '5 s' is not a time"},
        {R"({"totalFrames": "1:75"})", "'totalFrames' '1:75' is not minutes:seconds"},
        {R"({"totalFrames": "-2s"})", "'totalFrames' '-2s' is not a time"},
        {R"({"totalFrames": 9, "bpm": 0})", "'bpm' must be a tempo"},
        {R"({"totalFrames": 100, )" + box + R"( "timeline": [{"frame": 1, "commands": [
            {"place": "b"}, {"dynamic": "scalar", "parent": "b", "parameter": "Rotació 1", "value": 1,
             "length": "0.01s"}]}]})",
         "command 2: 'length' '0.01s' comes to 0 frames, out of the range 1 to 32767"},
    };
    for (const auto& c : cases) {
        std::string error = errorOf(c.description);
        EXPECT_NE(error.find(c.error), std::string::npos) << "expected: " << c.error << "\n     got: " << error;
    }
}

TEST(CommandTimes, FromFramesAndToTakeTimesOnTheDemosScale)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("command_times_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string tool = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + std::string(DEMOTOOL_BINARY);
    // 20 fps, 120 bpm, 10 seconds.
    const std::string desc = (dir / "d.json").string(), data = (dir / "d.dat").string();
    ASSERT_TRUE(tools::writer::writeFile(desc, tools::writer::text(R"({"window": {"width": 8, "height": 6},
        "playback": {"frameRate": 20}, "bpm": 120, "totalFrames": 200})")));
    int code = -1;
    std::string out = outputOf(tool + " build " + desc + " -o " + data, &code);
    ASSERT_EQ(code, 0) << out;

    const struct {
        std::string args;
        int code;
        std::vector<int> files;  // frames written by render --out
        const char* said;        // in what it prints
    } cases[] = {
        {"render " + desc + " --frames 5s", 0, {101}, ""},
        {"render " + desc + " --frames 10b", 0, {101}, ""},
        {"render " + desc + " --frames 0:05.05,3b-1.75s", 0, {31, 32, 33, 34, 35, 36, 102}, ""},
        {"render " + data + " --frames 5s", 0, {101}, ""},  // the data's own frame rate
        {"render " + data + " --frames 10b", 2, {}, "--frames '10b': beats need a tempo"},
        {"render " + desc + " --frames 12s", 1, {}, "frame 241 is past the end of the demo (200 frames, no loop)"},
        {"render " + desc + " --frames 5x", 105, {}, "--frames"},
        {"play " + desc + " --from 9.5s", 0, {}, "--from 9.5s is frame 191"},
        {"play " + desc + " --from 19b", 0, {}, "--from 19b is frame 191"},
        {"play " + desc + " --from 0:11", 1, {}, "frame 221 is past the end of the demo (200 frames, no loop)"},
        {"render " + desc + " --video " + (dir / "v.gif").string() + " --from 9s --to 4s", 2, {},
         "--to 4s (frame 81) comes before --from 9s (frame 181)"},
    };
    for (const auto& c : cases) {
        const fs::path frames = dir / "frames";
        fs::remove_all(frames);
        const bool render = c.args.rfind("render", 0) == 0 && c.args.find("--video") == std::string::npos;
        out = outputOf(tool + " " + c.args + (render ? " --out " + frames.string() : ""), &code);
        if (c.code == 105)
            EXPECT_NE(code, 0) << c.args << "\n" << out;
        else
            EXPECT_EQ(code, c.code) << c.args << "\n" << out;
        EXPECT_NE(out.find(c.said), std::string::npos) << c.args << "\n" << out;
        std::vector<int> written;
        if (fs::exists(frames))
            for (const auto& file : fs::directory_iterator(frames))
                written.push_back(std::stoi(file.path().stem().string().substr(6)));
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, c.files) << c.args;
    }
    fs::remove_all(dir);
}
