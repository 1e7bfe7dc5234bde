// Offline rendering: frame lists, frames read back through the player's own
// frame steps, and `demotool render` on the command line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/test_double.h"
#include "tests/support/command.h"
#include "tools/assets/sample_assets.h"
#include "tools/description/description.h"
#include "tools/writer/writer.h"
#include "tools/media/png.h"
#include "tools/render/render.h"

namespace assets = tools::assets;

using namespace tools::writer;
using namespace tools::media;
using namespace tools::description;
using namespace tools::render;
namespace fs = std::filesystem;

namespace {

std::vector<int32_t> framesIn(const FrameList& list, int32_t upTo)
{
    std::vector<int32_t> frames;
    for (int32_t f = 1; f <= upTo; ++f) {
        if (list.contains(f))
            frames.push_back(f);
    }
    return frames;
}

}  // namespace

TEST(FrameListParsing, NumbersAndRanges)
{
    FrameList list;
    std::string error;
    ASSERT_TRUE(list.parse("1,10,20-25", &error)) << error;
    EXPECT_EQ(framesIn(list, 30), (std::vector<int32_t>{1, 10, 20, 21, 22, 23, 24, 25}));
    EXPECT_EQ(list.last(), 25);

    ASSERT_TRUE(list.parse(" 7 , 3-4,4-5, 2 - 2 ", &error)) << error;
    EXPECT_EQ(framesIn(list, 10), (std::vector<int32_t>{2, 3, 4, 5, 7}));
    EXPECT_EQ(list.last(), 7) << "the last frame is the largest, wherever it is written";

    // A huge range is kept as a range, not spelt out.
    ASSERT_TRUE(list.parse("1-2000000000", &error)) << error;
    EXPECT_TRUE(list.contains(1999999999));
    EXPECT_FALSE(list.contains(2000000001));

    FrameList empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.last(), 0);
}

TEST(FrameListParsing, RejectsWhatIsNotAFrameList)
{
    for (const char* text : {"", ",", "1,", ",1", "1,,2", "0", "-3", "5-2", "a", "1-", "-", "1-2-3", "1.5",
                             "2x", "99999999999", "1 2"}) {
        FrameList list;
        std::string error;
        EXPECT_FALSE(list.parse(text, &error)) << "'" << text << "'";
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_TRUE(list.empty()) << "a failed parse leaves nothing behind: " << text;
    }
    FrameList list;
    std::string error;
    list.parse("5-2", &error);
    EXPECT_EQ(error, "range '5-2' runs backwards");
    list.parse("1,x", &error);
    EXPECT_EQ(error, "'x' is not a frame number or a time (10s, 1:05.5, 64b)");
    list.parse("0", &error);
    EXPECT_EQ(error, "frame 0 is out of range (frames start at 1)");
}

namespace {

struct Scratch {
    Scratch() : dir(fs::temp_directory_path() / ("render_test_" + std::to_string(getpid())))
    {
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    std::string file(const std::string& name, const Bytes& bytes) const
    {
        std::string path = (dir / name).string();
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    fs::path dir;
};

struct ClearDemo {
    float r = 0.2f, g = 0.4f, b = 0.6f;
    int16_t width = 64, height = 48;
    int16_t totalFrames = 3;
    bool loop = false;
    bool fullscreen = false;
};

Bytes clearDemo(const ClearDemo& d)
{
    WindowSettings window;
    window.title = "render test";
    window.width = d.width;
    window.height = d.height;
    window.fullscreen = d.fullscreen;
    PlaybackSettings playback;
    playback.loop = d.loop;
    StreamWriter timeline;
    timeline.add(totalFramesChunk(d.totalFrames));
    DemoData demo;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings(playback);
    demo.renderState = RenderStateWriter::standard(d.r, d.g, d.b, 1).bytes();
    demo.resources = StreamWriter().bytes();
    demo.timeline = timeline.bytes();
    return demoData(demo);
}

class RenderThroughPlayer : public ::testing::Test {
protected:
    platform::TestDouble platform_;  // message boxes are recorded, not shown
    Scratch scratch_;
};

}  // namespace

TEST_F(RenderThroughPlayer, ClearColourFillsTheFirstFrame)
{
    std::string path = scratch_.file("clear.dat", clearDemo({}));
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("1", nullptr));
    std::vector<RenderedFrame> frames;
    std::string error;
    ASSERT_TRUE(renderDemo(path, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 1u);
    const RenderedFrame& f = frames[0];
    EXPECT_EQ(f.frame, 1);
    ASSERT_EQ(f.width, 64);
    ASSERT_EQ(f.height, 48);
    ASSERT_EQ(f.rgb.size(), 64u * 48u * 3u);
    for (size_t i = 0; i < f.rgb.size(); i += 3) {
        ASSERT_NEAR(f.rgb[i], 51, 1) << "pixel " << i / 3;
        ASSERT_NEAR(f.rgb[i + 1], 102, 1) << "pixel " << i / 3;
        ASSERT_NEAR(f.rgb[i + 2], 153, 1) << "pixel " << i / 3;
    }
    EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(RenderThroughPlayer, EveryFrameByDefaultAndOnlyTheWantedOnes)
{
    std::string path = scratch_.file("three.dat", clearDemo({}));
    std::vector<RenderedFrame> frames;
    std::string error;
    std::vector<int32_t> progress;
    RenderOptions options;
    options.progress = [&](int32_t frame, int32_t last) {
        EXPECT_EQ(last, 3);
        progress.push_back(frame);
    };
    ASSERT_TRUE(renderDemo(path, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 3u) << "one pass of the demo: its total frames";
    EXPECT_EQ(frames[2].frame, 3);
    EXPECT_EQ(progress, (std::vector<int32_t>{1, 2, 3}));

    ASSERT_TRUE(options.frames.parse("3,2", nullptr));
    options.progress = nullptr;
    ASSERT_TRUE(renderDemo(path, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].frame, 2);
    EXPECT_EQ(frames[1].frame, 3);
}

TEST_F(RenderThroughPlayer, FramesPastTheEndNeedALoopingDemo)
{
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("4", nullptr));
    std::vector<RenderedFrame> frames;
    std::string error;
    std::string once = scratch_.file("once.dat", clearDemo({}));
    EXPECT_FALSE(renderDemo(once, options, frames, &error));
    EXPECT_EQ(error, "frame 4 is past the end of the demo (3 frames, no loop)");

    ClearDemo looping;
    looping.loop = true;
    std::string loops = scratch_.file("loops.dat", clearDemo(looping));
    ASSERT_TRUE(renderDemo(loops, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frame, 4) << "frames are numbered as played, across passes";
}

TEST_F(RenderThroughPlayer, SizeOverridesTheDemoAndFullscreenIsNeverAsked)
{
    ClearDemo fullscreen;
    fullscreen.fullscreen = true;
    std::string path = scratch_.file("full.dat", clearDemo(fullscreen));
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("1", nullptr));
    options.width = 20;
    options.height = 10;
    std::vector<RenderedFrame> frames;
    std::string error;
    ASSERT_TRUE(renderDemo(path, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].width, 20);
    EXPECT_EQ(frames[0].height, 10);
    EXPECT_EQ(frames[0].rgb.size(), 20u * 10u * 3u);
    for (const std::string& step : platform_.stepsSeen)
        EXPECT_NE(step, "changeDisplayMode") << "windowed mode is forced";
    EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(RenderThroughPlayer, PackedExecutableRendersLikeItsData)
{
    Bytes data = clearDemo({});
    std::string raw = scratch_.file("raw.dat", data);
    Bytes player = {0x7f, 'E', 'L', 'F', 2, 1, 1, 0};
    std::string packed = scratch_.file("packed", pack(player, data, nullptr));
    RenderOptions options;
    std::vector<RenderedFrame> fromRaw, fromPacked;
    std::string error;
    ASSERT_TRUE(renderDemo(raw, options, fromRaw, &error)) << error;
    ASSERT_TRUE(renderDemo(packed, options, fromPacked, &error)) << error;
    ASSERT_EQ(fromRaw.size(), fromPacked.size());
    for (size_t i = 0; i < fromRaw.size(); ++i)
        EXPECT_EQ(fromRaw[i].rgb, fromPacked[i].rgb);

    std::string bare = scratch_.file("bare", player);
    EXPECT_FALSE(renderDemo(bare, options, fromRaw, &error));
    EXPECT_EQ(error, bare + " is an executable without demo data");
}

TEST_F(RenderThroughPlayer, FilesThatCannotPlay)
{
    RenderOptions options;
    std::vector<RenderedFrame> frames;
    std::string error;
    std::string missing = (scratch_.dir / "missing.dat").string();
    EXPECT_FALSE(renderDemo(missing, options, frames, &error));
    EXPECT_EQ(error, "cannot read " + missing);

    // Settings but no render state: the player would never open a window.
    WindowSettings window;
    DemoData noWindow;
    noWindow.window = windowSettings(window);
    std::string path = scratch_.file("nowindow.dat", demoData(noWindow));
    EXPECT_FALSE(renderDemo(path, options, frames, &error));
    EXPECT_NE(error.find("no render state"), std::string::npos) << error;
    EXPECT_TRUE(frames.empty());
}

namespace {

// The sample demo of the repository, next to the tests in the source tree.
std::string sampleDescription()
{
    fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path();
    Bytes text;
    EXPECT_TRUE(readFile((source / "demos" / "sample.json").string(), text));
    return std::string(text.begin(), text.end());
}

// Builds the sample into scratch, its generated assets beside it, and gives
// the data file's path ("" and the error when it fails).
std::string buildSample(const Scratch& scratch, std::string* error)
{
    if (!assets::writeSampleAssets((scratch.dir / "assets").string(), {}, error))
        return "";
    DescriptionOptions where;
    where.baseDirectory = scratch.dir.string();
    where.soundLibrary = DEMOSOUND_LIBRARY;
    Bytes data;
    if (!compileDescription(sampleDescription(), where, data, error))
        return "";
    return scratch.file("sample.dat", data);
}

struct Pixel {
    int r, g, b;
};
Pixel at(const RenderedFrame& f, int x, int y)
{
    size_t i = (size_t(y) * size_t(f.width) + size_t(x)) * 3;
    return {f.rgb[i], f.rgb[i + 1], f.rgb[i + 2]};
}

}  // namespace

TEST_F(RenderThroughPlayer, SampleDemoRendersTheSameBytesTwice)
{
    std::string error;
    const std::string path = buildSample(scratch_, &error);
    ASSERT_FALSE(path.empty()) << error;
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("1,100,720,795", nullptr));
    options.width = 160;
    options.height = 120;
    std::vector<RenderedFrame> first, second;
    ASSERT_TRUE(renderDemo(path, options, first, &error)) << error;
    ASSERT_TRUE(renderDemo(path, options, second, &error)) << error;
    ASSERT_EQ(first.size(), 4u);
    ASSERT_EQ(second.size(), 4u);
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(encodePng(160, 120, first[i].rgb), encodePng(160, 120, second[i].rgb)) << "frame " << first[i].frame;
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].caption << ": " << platform_.boxes[0].text;

    // What the sample shows: black letterbox strips, a textured scene
    // between them that fades in from black and out to it again.
    auto brightness = [](const RenderedFrame& f) {
        long sum = 0;
        for (int y = 20; y < 100; ++y)
            for (int x = 0; x < f.width; ++x) {
                Pixel p = at(f, x, y);
                sum += p.r + p.g + p.b;
            }
        return double(sum) / (80.0 * f.width * 3);
    };
    for (const RenderedFrame& f : first) {
        for (int x = 0; x < f.width; x += 7) {
            Pixel top = at(f, x, 2), bottom = at(f, x, 117);
            EXPECT_EQ(top.r + top.g + top.b, 0) << "letterbox at the top, frame " << f.frame;
            EXPECT_EQ(bottom.r + bottom.g + bottom.b, 0) << "letterbox at the bottom, frame " << f.frame;
        }
    }
    const RenderedFrame &start = first[0], &shown = first[1], &beforeEnd = first[2], &end = first[3];
    EXPECT_GT(brightness(shown), 40);
    EXPECT_LT(brightness(start), brightness(shown) / 5) << "fading in from black";
    EXPECT_LT(brightness(end), brightness(beforeEnd) / 2) << "fading out to black";
    // Orange comes only from the textures (the checker and the sky's horizon);
    // untextured, everything would be white.
    int orange = 0;
    for (int y = 20; y < 100; ++y)
        for (int x = 0; x < shown.width; ++x) {
            Pixel p = at(shown, x, y);
            orange += p.r > 200 && p.g > 90 && p.g < 200 && p.b < 120;
        }
    EXPECT_GT(orange, 200);
}

TEST_F(RenderThroughPlayer, FramesReachedOutOfSightAreThoseDrawnInTheWindow)
{
    std::string error;
    const std::string path = buildSample(scratch_, &error);
    ASSERT_FALSE(path.empty()) << error;

    RenderOptions every;
    ASSERT_TRUE(every.frames.parse("200,400,800", nullptr));
    every.width = 320;
    every.height = 240;
    every.drawEveryFrame = true;
    std::vector<RenderedFrame> drawn;
    ASSERT_TRUE(renderDemo(path, every, drawn, &error)) << error;
    ASSERT_EQ(drawn.size(), 3u);
    // Scenes that differ, so that a seek landing a frame off would show.
    EXPECT_NE(drawn[0].rgb, drawn[1].rgb);

    // Each frame alone (everything before it out of sight), and all three in
    // one run (out of sight between the frames shown).
    const struct {
        const char* frames;
        std::vector<size_t> expected;  // indices into drawn
    } cases[] = {{"200", {0}}, {"400", {1}}, {"800", {2}}, {"200,400,800", {0, 1, 2}}};
    for (const auto& c : cases) {
        RenderOptions fast = every;
        fast.drawEveryFrame = false;
        ASSERT_TRUE(fast.frames.parse(c.frames, nullptr));
        std::vector<RenderedFrame> sought;
        ASSERT_TRUE(renderDemo(path, fast, sought, &error)) << error;
        ASSERT_EQ(sought.size(), c.expected.size()) << c.frames;
        for (size_t i = 0; i < sought.size(); ++i) {
            const RenderedFrame& want = drawn[c.expected[i]];
            EXPECT_EQ(sought[i].frame, want.frame) << c.frames;
            EXPECT_TRUE(sought[i].rgb == want.rgb) << "frames " << c.frames << ": frame " << want.frame << " differs";
        }
    }
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].caption << ": " << platform_.boxes[0].text;
}

TEST_F(RenderThroughPlayer, CommandWritesNumberedPngsOfTheFramesAsked)
{
    std::string tool = DEMOTOOL_BINARY;
    std::string data = scratch_.file("cli.dat", clearDemo({}));
    fs::path out = scratch_.dir / "frames";
    ASSERT_EQ(run(tool + " render " + data + " --out " + out.string() + " --frames 1,3 --size 16x12"), 0);
    EXPECT_TRUE(fs::exists(out / "frame-00001.png"));
    EXPECT_FALSE(fs::exists(out / "frame-00002.png"));
    Bytes third;
    ASSERT_TRUE(readFile((out / "frame-00003.png").string(), third));

    // Another process, the same picture: byte for byte what the renderer gives here.
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("3", nullptr));
    options.width = 16;
    options.height = 12;
    std::vector<RenderedFrame> frames;
    std::string error;
    ASSERT_TRUE(renderDemo(data, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(third, encodePng(16, 12, frames[0].rgb));

    fs::path all = scratch_.dir / "all";
    ASSERT_EQ(run(tool + " render " + data + " --out " + all.string()), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(all), fs::directory_iterator()), 3);

    EXPECT_NE(run(tool + " render " + data + " --out " + out.string() + " --frames 2-1"), 0);
    EXPECT_NE(run(tool + " render " + data + " --out " + out.string() + " --frames 9"), 0) << "past the end";
    EXPECT_NE(run(tool + " render " + data + " --out " + out.string() + " --size 16"), 0);
    EXPECT_NE(run(tool + " render " + (scratch_.dir / "missing").string() + " --out " + out.string()), 0);
    EXPECT_NE(run(tool + " render " + data), 0) << "no --out";
    EXPECT_NE(run(tool + " render --out " + out.string()), 0) << "no demo";
}
