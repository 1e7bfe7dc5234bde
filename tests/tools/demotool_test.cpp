// `demotool inspect` and `demotool pack`, on demos built with the writer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/command.h"
#include "tests/tools/synthetic_executables.h"
#include "tools/writer/writer.h"
#include "tools/inspect/inspect.h"

using namespace tools::writer;
using namespace tools::inspect;

namespace {

struct Sample {
    Bytes data;
    std::set<size_t> topLevelEnds;  // offsets where a top-level chunk ends
};

Sample sampleDemo()
{
    WindowSettings window;
    window.title = "Tiny";
    window.width = 800;
    window.height = 600;
    PlaybackSettings playback;
    playback.frameRate = 25;
    playback.loop = true;

    StreamWriter resources;
    Envelope model;
    model.tag = "cube";
    model.body = Bytes(12, 1);
    model.extraId = 110;
    model.extra = Bytes(8, 2);
    resources.add(resource(109, model));
    Envelope copy;
    copy.tag = "tex2";
    copy.sourceTag = "tex1";
    copy.withBody = false;
    resources.add(resource(202, copy));

    Place place;
    place.resourceTag = "cube";
    place.instanceTag = "c1";
    place.length = 100;
    AttachDynamic spin;
    spin.kind = 1002;
    spin.dynamicTag = "spin";
    spin.parentTag = "c1";
    spin.payload = Bytes(11, 0);
    spin.declaredLength = 31;  // as real data has it
    Bytes first = cat({placeCommand(place), groupCommand(cat({dynamicCommand(spin),
                                                              fastForwardCommand(false, "c1", 3)})),
                       fastForwardCommand(true, "cube", 2)});
    StreamWriter timeline;
    timeline.add(totalFramesChunk(400));
    timeline.add(25, timelineEntry(0, first));
    timeline.add(25, timelineEntry(50, {}));

    DemoData demo;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings(playback);
    demo.renderState = RenderStateWriter::standard().bytes();
    demo.resources = resources.bytes();
    demo.timeline = timeline.bytes();

    Sample sample;
    for (const Bytes* part : {&demo.window, &demo.playback, &demo.renderState, &demo.resources, &demo.timeline}) {
        append(sample.data, chunk(2100, *part));  // the id does not change the size
        sample.topLevelEnds.insert(sample.data.size());
    }
    sample.data = demoData(demo);
    return sample;
}

std::string inspectText(const Bytes& bytes, bool* ok = nullptr)
{
    std::ostringstream out;
    bool result = tools::inspect::inspect(bytes, out);
    if (ok)
        *ok = result;
    return out.str();
}

bool hasLine(const std::string& text, const std::string& needle)
{
    return text.find(needle) != std::string::npos;
}

}  // namespace

TEST(InspectOutput, ShowsTheWholeTreeOfAWellFormedDemo)
{
    bool ok = false;
    std::string text = inspectText(sampleDemo().data, &ok);
    EXPECT_TRUE(ok) << text;
    const char* expected[] = {
        "chunk 2100 window settings at offset 0",
        "4 title \"Tiny\"",
        "2003 size 800 x 600",
        "chunk 2101 playback",
        "2000 frame rate 25",
        "2001 catch-up",
        "2002 loop",
        "100 glShadeModel 0x1D01",
        "101 glClearColor 0 0 0 0.5",
        "102 glClearDepth 1",
        "500 glEnable 0x0B71",
        "103 glDepthFunc 0x0201",
        "104 glHint 0x0C50 0x1102",
        "resource 109 Model",
        "tag cube",
        "extra block 110, length 8",
        "body length 12",
        "resource 202 Texture copy",
        "tag tex2",
        "source tag tex1",
        "chunk 2101 settings image",
        "total frames 400",
        "start frame 0",
        "start frame 50",
        "1001 place clone",
        "resource cube, instance c1, start 0, length 100, frame 1, parent -, after -",
        "1000 group",
        "1002 attach scalar dynamic",
        "dynamic spin, start 0, length 0, parent c1, after -",
        "(length field says 31)",
        "1006 fast-forward instance",
        "tag c1, count 3",
        "1007 fast-forward resource",
        "tag cube, count 2",
        "well-formed",
    };
    for (const char* line : expected)
        EXPECT_TRUE(hasLine(text, line)) << "missing: " << line << "\n" << text;
    EXPECT_FALSE(hasLine(text, "!")) << text;
    EXPECT_FALSE(hasLine(text, "fullscreen")) << text;
}

TEST(InspectOutput, GroupContentIsIndentedUnderTheGroup)
{
    std::string text = inspectText(sampleDemo().data);
    auto indentOf = [&](const std::string& needle) {
        size_t at = text.find(needle);
        EXPECT_NE(at, std::string::npos) << needle;
        size_t lineStart = text.rfind('\n', at) + 1;
        return text.find_first_not_of(' ', lineStart) - lineStart;
    };
    size_t group = indentOf("1000 group");
    EXPECT_GT(indentOf("1002 attach"), group);
    EXPECT_GT(indentOf("1006 fast-forward"), group);
    EXPECT_EQ(indentOf("1007 fast-forward"), group) << "after the group's content";
    EXPECT_EQ(indentOf("1001 place"), group);
}

TEST(InspectOutput, PackedExecutableShowsTheSameTree)
{
    Bytes data = sampleDemo().data;
    Bytes packed = pack({0x7f, 'E', 'L', 'F', 2, 1, 1}, data, nullptr);
    bool ok = false;
    std::string packedText = inspectText(packed, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(hasLine(packedText, "packed executable")) << packedText;
    std::string rawText = inspectText(data);
    // Same tree below the first line: offsets are from the start of the data.
    EXPECT_EQ(packedText.substr(packedText.find('\n')), rawText.substr(rawText.find('\n')));

    std::ostringstream ignored;
    EXPECT_FALSE(tools::inspect::inspect({0x7f, 'E', 'L', 'F', 1}, ignored))
        << "packed file without data";
}

TEST(InspectMalformed, EveryCutInsideAChunkIsReported)
{
    Sample sample = sampleDemo();
    for (size_t n = 0; n < sample.data.size(); ++n) {
        Bytes cut(sample.data.begin(), sample.data.begin() + n);
        bool ok = true;
        std::string text = inspectText(cut, &ok);
        bool boundary = sample.topLevelEnds.count(n) > 0;
        EXPECT_EQ(ok, boundary) << "cut at " << n << "\n" << text;
        EXPECT_EQ(hasLine(text, "! "), !ok) << "cut at " << n << "\n" << text;
    }
}

TEST(InspectMalformed, ReportsWhereAndWhy)
{
    bool ok = true;
    Bytes lie = chunkWithLength(2102, 999, Bytes(40, 0));
    std::string text = inspectText(lie, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(hasLine(text, "  ! chunk 2102 at offset 0: length 999 runs past the end (40 bytes left)")) << text;

    // Problems deep inside: an unknown top-level id, a resource class nobody
    // knows, a short size setting, an unknown command with a bad length.
    Bytes data = cat({chunk(2100, cat({chunk(2003, s16(5)), Bytes{0}})), chunk(7777, {1, 2}),
                      chunk(2102, cat({resource(123, {}), Bytes{0}})),
                      chunk(2104, chunk(25, cat({s16(3), chunkWithLength(1234, 50, {1})})))});
    text = inspectText(data, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(hasLine(text, "! chunk 2003 at offset 6: needs 4 bytes, has 2")) << text;
    EXPECT_TRUE(hasLine(text, "chunk 7777 unknown")) << text;
    EXPECT_TRUE(hasLine(text, "resource 123 unknown")) << text;
    EXPECT_TRUE(hasLine(text, "1234 unknown")) << text;
    EXPECT_TRUE(hasLine(text, "length 50 runs past the end (1 bytes left)")) << text;
    EXPECT_TRUE(hasLine(text, "start frame 3")) << "still prints what it can\n" << text;
    EXPECT_TRUE(hasLine(text, "tag -")) << text;

    // A command whose fields stop early.
    Place place;
    place.resourceTag = "cube";
    Bytes placed = placeCommand(place);
    placed.resize(placed.size() - 5);
    text = inspectText(chunk(2104, chunk(25, cat({s16(0), placed}))), &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(hasLine(text, "! chunk 1001 at offset 14: cut short (17 bytes left)")) << text;
}

TEST(InspectMalformed, SurvivesGarbageAndFlippedBytes)
{
    // Run under the sanitizer build this is where out-of-bounds reads show up.
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 300; ++round) {
        Bytes garbage(next() % 200);
        for (uint8_t& b : garbage)
            b = uint8_t(next() >> 24);
        // Plausible ids make the walk go deeper than pure noise would.
        if (garbage.size() > 2 && round % 2 == 0) {
            garbage[0] = 0x34 + (next() % 5);
            garbage[1] = 0x08;
        }
        bool ok = true;
        std::string text = inspectText(garbage, &ok);
        EXPECT_EQ(hasLine(text, "! "), !ok) << text;
    }
    Bytes data = sampleDemo().data;
    for (size_t i = 0; i < data.size(); ++i) {
        for (uint8_t flip : {0x01, 0x80, 0xff}) {
            Bytes changed = data;
            changed[i] ^= flip;
            bool ok = true;
            std::string text = inspectText(changed, &ok);
            EXPECT_EQ(hasLine(text, "! "), !ok) << text;
        }
    }
}

TEST(DemotoolCommands, PackAndInspectExitCodes)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("demotool_cli_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string tool = DEMOTOOL_BINARY;
    std::string player = (dir / "player").string(), big = (dir / "big").string();
    std::string data = (dir / "demo.dat").string(), out = (dir / "demo").string();
    std::string repacked = (dir / "again").string(), cut = (dir / "cut.dat").string();

    Bytes playerBytes = testexe::elf(100);
    Bytes dataBytes = sampleDemo().data;
    ASSERT_TRUE(writeFile(player, playerBytes));
    ASSERT_TRUE(writeFile(data, dataBytes));
    ASSERT_TRUE(writeFile(big, Bytes(kDataOffset + 1, 0x7f)));
    ASSERT_TRUE(writeFile(cut, Bytes(dataBytes.begin(), dataBytes.end() - 3)));

    EXPECT_EQ(run(tool + " pack " + player + " " + data + " -o " + out), 0);
    Bytes packed;
    ASSERT_TRUE(readFile(out, packed));
    EXPECT_EQ(packed, pack(playerBytes, dataBytes, nullptr));
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // A packed file as DATA: its data goes behind the new player.
    EXPECT_EQ(run(tool + " pack -o " + repacked + " " + player + " " + out), 0);
    Bytes again;
    ASSERT_TRUE(readFile(repacked, again));
    EXPECT_EQ(again, packed);

    std::string refused = (dir / "refused").string();
    EXPECT_NE(run(tool + " pack " + big + " " + data + " -o " + refused), 0);
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_NE(run(tool + " pack " + (dir / "nothing").string() + " " + data + " -o " + refused), 0);
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_NE(run(tool + " pack " + player + " " + data), 0) << "no -o";

    EXPECT_EQ(run(tool + " inspect " + data), 0);
    EXPECT_EQ(run(tool + " inspect " + out), 0);
    EXPECT_EQ(run(tool + " inspect " + cut), 1);
    EXPECT_NE(run(tool + " inspect " + (dir / "nothing").string()), 0);
    EXPECT_NE(run(tool + " frobnicate"), 0);
    EXPECT_NE(run(tool), 0);
    fs::remove_all(dir);
}

TEST(DemotoolCommands, EveryCommandHasHelpAndErrorsNameTheArgument)
{
    std::string tool = DEMOTOOL_BINARY;
    int code = -1;
    for (const char* command : {"pack", "inspect", "render", "build", "assets", "play"}) {
        std::string text = outputOf(tool + " " + command + " --help", &code);
        EXPECT_EQ(code, 0) << command;
        EXPECT_NE(text.find(std::string("Usage: demotool ") + command), std::string::npos) << text;
    }
    std::string text = outputOf(tool + " --help", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(text.find("play"), std::string::npos) << text;
    struct Bad {
        const char* arguments;
        const char* named;
    } bad[] = {
        {"frobnicate", "'frobnicate'"},
        {"render x --out d --size 12", "--size"},
        {"render x --out d --frames 3-1", "--frames"},
        {"render x --out d --from 3", "--from"},
        {"render x --video v.mp4 --out d", "--video"},
        {"pack a b", "-o"},
        {"pack a b -o c --sound-library l --keep-sound-library", "--keep-sound-library"},
        {"assets d --seconds 0", "--seconds"},
        {"play x --from -2", "--from"},
        {"play x --from 0", "--from: wants a frame number from 1 or a time (10s, 1:05.5, 64b), not '0'"},
        {"render x --video v.mp4 --to x", "--to: wants a frame number from 1 or a time (10s, 1:05.5, 64b), not 'x'"},
        {"inspect a b", "b"},
    };
    for (const Bad& b : bad) {
        text = outputOf(tool + " " + b.arguments, &code);
        EXPECT_EQ(code, 2) << b.arguments << "\n" << text;
        EXPECT_NE(text.find(b.named), std::string::npos) << b.arguments << "\n" << text;
    }
}

TEST(DemotoolCommands, PlayRunsHeadlessAndReportsWhereADescriptionBreaks)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("demotool_play_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string tool = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + std::string(DEMOTOOL_BINARY);
    std::string good = (dir / "good.json").string(), bad = (dir / "bad.json").string();
    Bytes text = tools::writer::text(R"({"window": {"width": 32, "height": 24}, "playback": {"frameRate": 50},
        "renderState": [{"clearColor": [0, 0, 1, 1]}], "totalFrames": 5, "resources": [], "timeline": []})");
    ASSERT_TRUE(writeFile(good, text));
    Bytes broken = text;
    broken.insert(broken.begin() + 1, {'x', ','});
    ASSERT_TRUE(writeFile(bad, broken));
    int code = -1;
    std::string out = outputOf(tool + " play " + good + " --windowed", &code);
    EXPECT_EQ(code, 0) << out;
    out = outputOf(tool + " play " + good + " --from 3 --size 16x12", &code);
    EXPECT_EQ(code, 0) << out;
    out = outputOf(tool + " play " + bad, &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find(bad + ":1:2: "), std::string::npos) << out;
    fs::remove_all(dir);
}
