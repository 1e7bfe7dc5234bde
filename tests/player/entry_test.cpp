// The player as a user runs it: packed executables started as processes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "player/demo_data.h"
#include "player/entry.h"
#include "player/player.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

// The processes are the Linux player's (popen, strip, waitpid); the entry
// point's own cases below run on both systems.
#ifndef _WIN32
namespace {

struct ProcessRun {
    int status = -1;
    std::string output;
    double seconds = 0;
};

ProcessRun runCommand(const std::string& command)
{
    ProcessRun run;
    auto start = std::chrono::steady_clock::now();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        run.output.append(buffer, n);
    int status = pclose(pipe);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The built player, stripped as it ships; empty when this build of it is too
// large to carry demo data (debug and sanitizer builds).
Bytes shippablePlayer()
{
    // One copy per process: ctest runs the tests that use it side by side.
    std::string copy = ::testing::TempDir() + "entry_test_player." + std::to_string(getpid());
    std::string command = std::string("cp ") + DEMOPLAYER_BINARY + " " + copy + " && strip " + copy;
    Bytes player;
    if (std::system(command.c_str()) != 0 || !readFile(copy, player) || player.size() > kDataOffset)
        player.clear();
    std::remove(copy.c_str());
    return player;
}

// 10 frames at 20 frames per second with an unknown top-level chunk between
// the settings chunks.
std::string packTenFrameDemo(const Bytes& player)
{
    WindowSettings window;
    window.title = "entry test";
    window.width = 64;
    window.height = 48;
    PlaybackSettings playback;
    playback.frameRate = 20;
    Bytes data = cat({chunk(2100, windowSettings(window)), chunk(2999, {1, 2, 3}),
                      chunk(2101, playbackSettings(playback)),
                      chunk(2103, RenderStateWriter::standard(0.2f, 0.3f, 0.4f, 1).bytes()),
                      chunk(2104, StreamWriter().add(totalFramesChunk(10)).bytes())});
    std::string error;
    Bytes packed = pack(player, data, &error);
    EXPECT_FALSE(packed.empty()) << error;
    std::string path = ::testing::TempDir() + "entry_test_demo";
    EXPECT_TRUE(writeFile(path, packed, true));
    return path;
}

}  // namespace

TEST(PlayerProcess, PlaysAPackedDemoAndEndsByItself)
{
    Bytes player = shippablePlayer();
    if (player.empty())
        GTEST_SKIP() << "this build of the player is too large to pack";
    std::string path = packTenFrameDemo(player);
    ProcessRun run = runCommand("SDL_VIDEODRIVER=offscreen " + path);
    EXPECT_EQ(0, run.status) << run.output;
    // One box for the unknown chunk, in the stderr form used without a display.
    size_t first = run.output.find("ERROR: 2999\n");
    EXPECT_NE(std::string::npos, first) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("ERROR: 2999", first + 1));
    EXPECT_GT(run.seconds, 0.4);  // 10 frames of 50 ms
    EXPECT_LT(run.seconds, 5.0);

    // Upper-case I plays too; lower-case i only shows the credits.
    ProcessRun upper = runCommand("SDL_VIDEODRIVER=offscreen " + path + " I");
    EXPECT_EQ(0, upper.status);
    EXPECT_GT(upper.seconds, 0.4);
    ProcessRun info = runCommand("SDL_VIDEODRIVER=offscreen " + path + " info");
    EXPECT_EQ(1, info.status);
    EXPECT_EQ(0u, info.output.find("INFO: ")) << info.output;
    EXPECT_EQ(std::string::npos, info.output.find("ERROR")) << info.output;
    std::remove(path.c_str());
}

TEST(PlayerProcess, PlayerWithoutDemoDataRunsOneFrameAndEnds)
{
    Bytes player = shippablePlayer();
    if (player.empty())
        GTEST_SKIP() << "this build of the player is too large to pack";
    std::string path = ::testing::TempDir() + "entry_test_bare_player";
    ASSERT_TRUE(writeFile(path, player, true));
    ProcessRun run = runCommand("SDL_VIDEODRIVER=offscreen " + path);
    std::remove(path.c_str());
    EXPECT_EQ(0, run.status) << run.output;
    EXPECT_EQ("", run.output);
}

#endif

TEST(EntryPoint, CreditsBoxOnlyForLowerCaseI)
{
    platform::TestDouble double_;
    EXPECT_EQ(1, playerMain("i", "/nonexistent", 0));
    ASSERT_EQ(1u, double_.boxes.size());
    EXPECT_EQ("INFO", double_.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, double_.boxes[0].type);
    EXPECT_FALSE(double_.boxes[0].text.empty());
}

TEST(EntryPoint, WindowFailureEndsBeforePlaying)
{
    platform::TestDouble double_;
    double_.failSteps.insert("createContext");
    std::string path = ::testing::TempDir() + "entry_window_failure.dat";
    Bytes data = cat({chunk(2100, windowSettings({})), chunk(2103, RenderStateWriter::standard().bytes()),
                      chunk(2104, StreamWriter().add(totalFramesChunk(1000)).bytes())});
    ASSERT_TRUE(writeFile(path, data));
    EXPECT_EQ(0, playerMain("", path.c_str(), 0));
    ASSERT_EQ(1u, double_.boxes.size());
    EXPECT_EQ("Can't Create A GL Rendering Context.", double_.boxes[0].text);
    EXPECT_EQ(0, double_.counterReads);  // no frame clock, no frame loop
    std::remove(path.c_str());
}

TEST(EntryPoint, WindowSettingsWithoutASizePlayAllTheSame)
{
    // No size sub-chunk leaves a client area of 0 x 0: still a window.
    platform::TestDouble double_;
    std::string path = ::testing::TempDir() + "entry_no_size.dat";
    WindowSettings window;
    window.hasSize = false;
    Bytes data = cat({chunk(2100, windowSettings(window)), chunk(2103, RenderStateWriter::standard().bytes()),
                      chunk(2104, StreamWriter().add(totalFramesChunk(3)).bytes())});
    ASSERT_TRUE(writeFile(path, data));
    EXPECT_EQ(0, playerMain("", path.c_str(), 0));
    for (const auto& box : double_.boxes)
        ADD_FAILURE() << box.caption << ": " << box.text;
    EXPECT_LT(0, double_.counterReads);  // the frame loop ran
    std::remove(path.c_str());
}

TEST(EntryPoint, DamagedTopLevelChunksEachGiveOneBoxAndTheRestLoads)
{
    // Unknown ids between and after the known chunks, a last chunk cut short
    // by the end of the file, and data ending before any chunk header.
    struct Case {
        const char* name;
        Bytes data;
        std::vector<std::string> boxes;
    };
    const Bytes settings = chunk(2100, windowSettings({}));
    const Bytes render = chunk(2103, RenderStateWriter::standard().bytes());
    const Bytes timeline = chunk(2104, StreamWriter().add(totalFramesChunk(2)).bytes());
    const Bytes tail = chunk(2999, {1, 2, 3});
    const Case cases[] = {
        {"unknown between", cat({settings, chunk(2999, {1, 2, 3}), chunk(7, {}), render, timeline}),
         {"2999", "7"}},
        {"unknown id 32767 last", cat({settings, render, timeline, chunk(32767, Bytes(40, 9))}), {"32767"}},
        {"cut inside the last payload", cat({settings, render, timeline, Bytes(tail.begin(), tail.end() - 2)}),
         {"2999", "DATA ENDS INSIDE CHUNK 2999"}},
        // A whole id is enough to say which chunk the data ends inside.
        {"cut inside a length", cat({settings, render, timeline, Bytes(tail.begin(), tail.begin() + 4)}),
         {"2999", "DATA ENDS INSIDE CHUNK 2999"}},
        {"cut inside the timeline", cat({settings, render, Bytes(timeline.begin(), timeline.end() - 3)}),
         {"DATA ENDS INSIDE CHUNK 2104"}},
        {"cut inside an id", cat({settings, render, timeline, Bytes(tail.begin(), tail.begin() + 1)}), {}},
        {"one byte only", Bytes{0x34}, {}},
        {"empty", Bytes{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::TestDouble double_;
        const std::string path = ::testing::TempDir() + "entry_damaged.dat";
        ASSERT_TRUE(writeFile(path, c.data));
        EXPECT_EQ(0, playerMain("", path.c_str(), 0));
        std::vector<std::string> texts;
        for (const auto& box : double_.boxes) {
            texts.push_back(box.text);
            EXPECT_EQ("ERROR", box.caption);
            EXPECT_EQ(platform::MB_OK, box.type);
        }
        EXPECT_EQ(c.boxes, texts);
        EXPECT_LT(0, double_.counterReads);  // the frame loop ran all the same
        std::remove(path.c_str());
    }
}

TEST(EntryPoint, ChunkCutShortLoadsItsWholeSubChunks)
{
    // A broken download: the data ends inside a top-level chunk. Its
    // sub-chunks that are whole load; the one the cut runs through does not.
    WindowSettings window;
    window.width = 32;
    window.height = 24;
    const Bytes settings = chunk(2100, windowSettings(window));
    const Bytes redThenLess = RenderStateWriter().clearColor(1, 0, 0, 1).depthFunc(GL_GREATER).bytes();
    const Bytes render = chunk(2103, redThenLess);
    Envelope a, b;
    a.tag = "AAAA";
    b.tag = "BBBB";
    a.body = b.body = StreamWriter().add(5, cat({f32(1), f32(2), f32(3)})).bytes();
    const Bytes resourceA = resource(275, a), resourceB = resource(275, b);
    const Bytes resources = chunk(2102, StreamWriter().add(resourceA).add(resourceB).bytes());
    const Bytes entry = chunk(25, timelineEntry(1, {}));
    const Bytes timeline = chunk(2104, StreamWriter().add(totalFramesChunk(9)).add(entry).add(entry).bytes());
    const Bytes whole = cat({settings, render, resources, timeline});
    const size_t atRender = settings.size(), atResources = atRender + render.size(),
                 atTimeline = atResources + resources.size();
    struct Case {
        const char* name;
        size_t cut;  // bytes of the demo data kept
        std::vector<std::string> boxes;
        int32_t resources, entries, totalFrames;
        bool red, greater;  // the render state's two calls ran
    };
    const Case cases[] = {
        {"whole", whole.size(), {}, 2, 2, 9, true, true},
        {"inside the render state's second call", atResources - 3, {"DATA ENDS INSIDE CHUNK 2103"}, 0, 0, 0,
         true, false},
        {"inside the first resource's header", atResources + 6 + 3, {"DATA ENDS INSIDE CHUNK 2102"}, 0, 0, 0,
         true, true},
        {"inside the second resource", atResources + 6 + resourceA.size() + 10, {"DATA ENDS INSIDE CHUNK 2102"},
         1, 0, 0, true, true},
        {"before the resource stream's last byte", atTimeline - 1, {"DATA ENDS INSIDE CHUNK 2102"}, 2, 0, 0,
         true, true},
        {"inside the timeline's length field", atTimeline + 4, {"DATA ENDS INSIDE CHUNK 2104"}, 2, 0, 0, true,
         true},
        {"inside the second timeline entry", whole.size() - 3, {"DATA ENDS INSIDE CHUNK 2104"}, 2, 1, 9, true,
         true},
    };
    const std::string path = ::testing::TempDir() + "entry_cut_sub_chunks.dat";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFile(path, Bytes(whole.begin(), whole.begin() + long(c.cut))));
        platform::TestDouble double_;
        Player player;
        ASSERT_TRUE(readContainer(player, path.c_str(), 0));
        std::vector<std::string> texts;
        for (const auto& box : double_.boxes) {
            texts.push_back(box.text);
            EXPECT_EQ("ERROR", box.caption);
        }
        EXPECT_EQ(c.boxes, texts);
        EXPECT_EQ(c.resources, player.resources->count());
        if (c.resources > 0) {
            EXPECT_NE(nullptr, player.resources->find(c.resources == 2 ? "BBBB" : "AAAA"));
        }
        EXPECT_EQ(c.entries, player.timeline->count());
        EXPECT_EQ(c.totalFrames, player.settings.totalFrames);
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(c.red ? 1.0f : 0.0f, clear[0]);
        GLint depthFunction = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
        EXPECT_EQ(c.greater ? GL_GREATER : GL_LESS, depthFunction);
        player.shutdown();
    }
    std::remove(path.c_str());
}
