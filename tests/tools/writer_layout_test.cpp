// Byte layouts produced by the writer library, checked against hand-written bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "demo/chunk_stream.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

// Ids of the chunks of a stream, as the player's walker sees them.
std::vector<int16_t> chunkIds(const Bytes& stream)
{
    std::vector<int16_t> ids;
    ChunkStream s(stream.data(), int32_t(stream.size()));
    forEachChunk(s, [&](int16_t id, uint32_t length) {
        ids.push_back(id);
        s.skip(length);
    });
    return ids;
}

}  // namespace

TEST(WriterLayout, PrimitivesAreLittleEndian)
{
    EXPECT_EQ(s16(-2), (Bytes{0xfe, 0xff}));
    EXPECT_EQ(s16(640), (Bytes{0x80, 0x02}));
    EXPECT_EQ(s32(0x12345678), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(f32(1.0f), (Bytes{0x00, 0x00, 0x80, 0x3f}));
    EXPECT_EQ(f32(-0.5f), (Bytes{0x00, 0x00, 0x00, 0xbf}));
    EXPECT_EQ(u8(7), (Bytes{7}));
}

TEST(WriterLayout, TagsAreAlwaysFourBytes)
{
    EXPECT_EQ(tag(""), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(tag("ab"), (Bytes{'a', 'b', 0, 0}));
    EXPECT_EQ(tag("abcd"), (Bytes{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(tag("abcdef"), (Bytes{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(text("Hi"), (Bytes{'H', 'i'}));
}

TEST(WriterLayout, ChunkHeaderThenPayload)
{
    EXPECT_EQ(chunk(2003, cat({s16(640), s16(480)})),
              (Bytes{0xd3, 0x07, 0x04, 0x00, 0x00, 0x00, 0x80, 0x02, 0xe0, 0x01}));
    EXPECT_EQ(chunk(2004), (Bytes{0xd4, 0x07, 0, 0, 0, 0}));
    // A declared length is written as given, whatever follows.
    EXPECT_EQ(chunkWithLength(1002, 31, {9, 9}), (Bytes{0xea, 0x03, 31, 0, 0, 0, 9, 9}));
    EXPECT_EQ(chunkWithLength(-1, 0xfffffffe, {}), (Bytes{0xff, 0xff, 0xfe, 0xff, 0xff, 0xff}));
}

TEST(WriterLayout, StreamsEndWithOneZeroByteOnRequest)
{
    StreamWriter stream;
    stream.add(4, text("x")).add(chunk(2004));
    Bytes body = cat({chunk(4, text("x")), chunk(2004)});
    EXPECT_EQ(stream.bytes(false), body);
    body.push_back(0);
    EXPECT_EQ(stream.bytes(), body);
    EXPECT_EQ(StreamWriter().bytes(), Bytes{0});
}

TEST(WriterLayout, WindowAndPlaybackSettings)
{
    WindowSettings window;
    window.title = "Hi";
    window.width = 640;
    window.height = 480;
    window.fullscreen = true;
    EXPECT_EQ(windowSettings(window),
              (Bytes{4, 0, 2, 0, 0, 0, 'H', 'i',                                  //
                     0xd3, 0x07, 4, 0, 0, 0, 0x80, 0x02, 0xe0, 0x01,              //
                     0xd4, 0x07, 0, 0, 0, 0,                                      //
                     0}));
    WindowSettings bare;
    bare.hasSize = false;
    EXPECT_EQ(windowSettings(bare), Bytes{0});

    EXPECT_EQ(playbackSettings({}),
              (Bytes{0xd0, 0x07, 2, 0, 0, 0, 20, 0, 0xd1, 0x07, 0, 0, 0, 0, 0}));
    PlaybackSettings loopOnly;
    loopOnly.hasFrameRate = false;
    loopOnly.catchUp = false;
    loopOnly.loop = true;
    EXPECT_EQ(playbackSettings(loopOnly), (Bytes{0xd2, 0x07, 0, 0, 0, 0, 0}));
}

TEST(WriterLayout, RenderStateScript)
{
    Bytes script = RenderStateWriter().hint(0x0C50, 0x1102).clearColor(0, 0, 0, 0.5f).bytes();
    EXPECT_EQ(script, cat({Bytes{104, 0, 4, 0, 0, 0, 0x50, 0x0c, 0x02, 0x11},
                           Bytes{101, 0, 16, 0, 0, 0}, Bytes(12, 0), Bytes{0, 0, 0, 0x3f}, Bytes{0}}));

    Bytes standard = RenderStateWriter::standard(0.25f, 0, 0, 1).bytes();
    EXPECT_EQ(chunkIds(standard), (std::vector<int16_t>{100, 101, 102, 500, 103, 104}));
    Bytes expected = RenderStateWriter()
                         .shadeModel(0x1D01)
                         .clearColor(0.25f, 0, 0, 1)
                         .clearDepth(1)
                         .enable(0x0B71)
                         .depthFunc(0x0201)
                         .hint(0x0C50, 0x1102)
                         .bytes();
    EXPECT_EQ(standard, expected);
    EXPECT_EQ(RenderStateWriter().raw(chunk(999, {1})).bytes(), cat({chunk(999, {1}), Bytes{0}}));
}

TEST(WriterLayout, EnvelopeOrderAndOmissions)
{
    Envelope full;
    full.tag = "tex";
    full.body = {1, 2, 3};
    full.extraId = 201;
    full.extra = {7};
    full.sourceTag = "src";
    Bytes bytes = envelope(full);
    EXPECT_EQ(bytes, cat({chunk(1, tag("tex")), chunk(201, {7}), chunk(9, tag("src")), chunk(8, {1, 2, 3})}));
    EXPECT_EQ(bytes.size(), 10u + 7u + 10u + 9u) << "no trailing byte in an envelope";
    EXPECT_EQ(resource(202, full), chunk(202, bytes));

    Envelope untagged;
    EXPECT_EQ(chunkIds(envelope(untagged)), (std::vector<int16_t>{1, 8})) << "empty tag still written";
    EXPECT_EQ(envelope(untagged), cat({chunk(1, Bytes(4, 0)), chunk(8)}));
    untagged.withTag = false;
    untagged.withBody = false;
    EXPECT_TRUE(envelope(untagged).empty());
    untagged.tag = "t";
    EXPECT_EQ(envelope(untagged), chunk(1, tag("t"))) << "a tag given is written even without withTag";
}

TEST(WriterLayout, TimelineCommands)
{
    Place place;
    place.resourceTag = "cube";
    place.instanceTag = "c1";
    place.start = 5;
    place.length = 100;
    place.frame = 2;
    place.parentTag = "root";
    Bytes placed = placeCommand(place);
    EXPECT_EQ(placed, cat({Bytes{0xe9, 0x03, 22, 0, 0, 0}, tag("cube"), tag("c1"), Bytes{5, 0, 100, 0, 2, 0},
                           tag("root"), Bytes(4, 0)}));
    place.transformCopy = true;
    EXPECT_EQ(placeCommand(place)[0], 0xed) << "1005";

    AttachDynamic dynamic;
    dynamic.dynamicTag = "spin";
    dynamic.start = 1;
    dynamic.length = 2;
    dynamic.payload = Bytes(11, 0xaa);
    Bytes attached = dynamicCommand(dynamic);
    EXPECT_EQ(attached, cat({Bytes{0xea, 0x03, 27, 0, 0, 0}, tag("spin"), Bytes{1, 0, 2, 0}, Bytes(8, 0),
                             Bytes(11, 0xaa)}));
    dynamic.declaredLength = 31;
    dynamic.kind = 1004;
    dynamic.payload = Bytes(23, 1);
    attached = dynamicCommand(dynamic);
    EXPECT_EQ(attached.size(), 6u + 16u + 23u);
    EXPECT_EQ(Bytes(attached.begin(), attached.begin() + 6), (Bytes{0xec, 0x03, 31, 0, 0, 0}));

    EXPECT_EQ(fastForwardCommand(false, "c1", 3), cat({Bytes{0xee, 0x03, 6, 0, 0, 0}, tag("c1"), s16(3)}));
    EXPECT_EQ(fastForwardCommand(true, "cube", -1)[0], 0xef);

    Bytes inner = cat({fastForwardCommand(false, "a", 1), fastForwardCommand(true, "b", 2)});
    EXPECT_EQ(groupCommand(inner), cat({Bytes{0xe8, 0x03, 24, 0, 0, 0}, inner}));

    EXPECT_EQ(timelineEntry(300, inner), cat({Bytes{0x2c, 0x01}, inner, Bytes{0}}));
    EXPECT_EQ(timelineEntry(0, {}), (Bytes{0, 0, 0}));
    EXPECT_EQ(totalFramesChunk(400), (Bytes{0x35, 0x08, 2, 0, 0, 0, 0x90, 0x01}));
}

TEST(WriterLayout, DemoDataOrderSkipsEmptyParts)
{
    DemoData demo;
    demo.timeline = {4};
    demo.resources = {2};
    demo.window = {0};
    demo.renderState = {3};
    Bytes data = demoData(demo);
    EXPECT_EQ(chunkIds(data), (std::vector<int16_t>{2100, 2103, 2102, 2104}));
    EXPECT_EQ(data, cat({chunk(2100, {0}), chunk(2103, {3}), chunk(2102, {2}), chunk(2104, {4})}))
        << "no trailing byte at the top level";
    demo.playback = {1};
    EXPECT_EQ(chunkIds(demoData(demo)), (std::vector<int16_t>{2100, 2101, 2103, 2102, 2104}));
    EXPECT_TRUE(demoData({}).empty());
}

TEST(WriterPack, PlayerZerosThenDataAtFixedOffset)
{
    Bytes player = {0x7f, 'E', 'L', 'F', 1, 2, 3};
    Bytes data = {9, 8, 7};
    std::string error = "stale";
    Bytes packed = pack(player, data, &error);
    ASSERT_EQ(packed.size(), kDataOffset + 3);
    EXPECT_EQ(kDataOffset, 151552u);
    EXPECT_TRUE(std::equal(player.begin(), player.end(), packed.begin()));
    EXPECT_TRUE(std::all_of(packed.begin() + player.size(), packed.begin() + kDataOffset,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(Bytes(packed.begin() + kDataOffset, packed.end()), data);
    EXPECT_TRUE(error.empty());

    EXPECT_EQ(demoDataOf(packed), data);
    EXPECT_EQ(demoDataOf(data), data) << "raw data is its own demo data";
    EXPECT_EQ(demoDataOf({}), Bytes{});
    EXPECT_EQ(demoDataOf(player), Bytes{}) << "an executable shorter than the offset holds no data";
}

TEST(WriterPack, PlayerFillingTheWholeGapStillFits)
{
    Bytes player(kDataOffset, 0x55);
    Bytes packed = pack(player, {1}, nullptr);
    ASSERT_EQ(packed.size(), kDataOffset + 1);
    EXPECT_EQ(packed[kDataOffset - 1], 0x55);
    EXPECT_EQ(packed[kDataOffset], 1);
}

TEST(WriterPack, RefusesTooLargePlayer)
{
    Bytes player(kDataOffset + 1, 0x55);
    std::string error;
    EXPECT_TRUE(pack(player, {1, 2}, &error).empty());
    EXPECT_NE(error.find("151553"), std::string::npos) << error;
    EXPECT_NE(error.find("151552"), std::string::npos) << error;
    EXPECT_TRUE(pack(player, {1, 2}, nullptr).empty());
}

TEST(WriterFiles, WriteThenReadBackWithMode)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("writer_files_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string path = (dir / "out.bin").string();
    Bytes data = {0, 1, 2, 0xff, 0};

    ASSERT_TRUE(writeFile(path, data, true));
    Bytes back;
    ASSERT_TRUE(readFile(path, back));
    EXPECT_EQ(back, data);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    ASSERT_TRUE(writeFile(path, {7}));
    ASSERT_TRUE(readFile(path, back));
    EXPECT_EQ(back, Bytes{7}) << "rewriting truncates";

    Bytes untouched = {42};
    EXPECT_FALSE(readFile((dir / "missing").string(), untouched));
    EXPECT_FALSE(readFile(dir.string(), untouched)) << "a directory is not a file";
    EXPECT_EQ(untouched, Bytes{42});
    EXPECT_FALSE(writeFile((dir / "no" / "such" / "dir").string(), data));
    fs::remove_all(dir);
}
