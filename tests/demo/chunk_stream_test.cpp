#include <gtest/gtest.h>

#include <vector>

#include "demo/chunk_stream.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

std::vector<int> ids(const Bytes& data)
{
    ChunkStream stream(data.data(), int32_t(data.size()));
    std::vector<int> seen;
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        seen.push_back(id);
        stream.skip(length);
    });
    return seen;
}

}  // namespace

TEST(ChunkStream, ReadsWithinBoundsOnly)
{
    const uint8_t data[4] = {1, 2, 3, 4};
    ChunkStream stream(data, 4);
    uint8_t out[4] = {9, 9, 9, 9};

    EXPECT_TRUE(stream.read(out, 3));
    EXPECT_EQ(3, stream.position());
    EXPECT_FALSE(stream.read(out, 2));  // would pass the end: nothing copied, position kept
    EXPECT_EQ(3, stream.position());
    EXPECT_EQ(9, out[3]);

    EXPECT_TRUE(stream.read(out, 1, 0));  // absolute position
    EXPECT_EQ(1, out[0]);
    EXPECT_EQ(1, stream.position());
}

TEST(ChunkStream, EdgeReadsAtTheEnd)
{
    const uint8_t data[2] = {7, 8};
    ChunkStream stream(data, 2);
    uint8_t out = 0;
    EXPECT_TRUE(stream.read(&out, 0, 2));  // nothing at the end succeeds
    EXPECT_EQ(2, stream.position());
    EXPECT_FALSE(stream.read(&out, 1, 2));  // the position is set even when the read fails
    EXPECT_EQ(2, stream.position());
    EXPECT_EQ(0, out);
}

TEST(ChunkStream, SkipPastTheEndEndsEveryRead)
{
    const uint8_t data[8] = {};
    ChunkStream stream(data, 8);
    stream.skip(100);
    uint8_t out;
    EXPECT_FALSE(stream.read(&out, 1));
    // A huge unsigned length must not move the cursor back into the data.
    ChunkStream other(data, 8);
    other.skip(int64_t(0xFFFFFFF0u));
    EXPECT_FALSE(other.read(&out, 1));
    EXPECT_EQ(0, other.remaining());
}

TEST(ChunkStream, NegativeOrHugeCountsReadNothing)
{
    const uint8_t data[8] = {};
    ChunkStream stream(data, 8);
    uint8_t out[8];
    EXPECT_FALSE(stream.read(out, -1));
    stream.skip(INT32_MAX);
    EXPECT_FALSE(stream.read(out, INT32_MAX));
}

TEST(ChunkStream, StreamsWithAndWithoutTheTrailingByte)
{
    StreamWriter writer;
    writer.add(1, s16(5)).add(2).add(3, s32(7));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), ids(writer.bytes(true)));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), ids(writer.bytes(false)));
    EXPECT_TRUE(ids(Bytes{0}).empty());  // only the trailing byte
    EXPECT_TRUE(ids(Bytes{}).empty());
}

TEST(ChunkStream, FlagChunkIsFollowedDirectlyByTheNextHeader)
{
    Bytes data = cat({chunk(2004), chunk(2003, cat({s16(640), s16(480)})), u8(0)});
    ChunkStream stream(data.data(), int32_t(data.size()));
    std::vector<int> seen;
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        seen.push_back(id);
        if (id == 2003) {
            int16_t w = 0;
            stream.readS16(w);
            EXPECT_EQ(640, w);
            stream.skip(length - 2);
        }
    });
    EXPECT_EQ((std::vector<int>{2004, 2003}), seen);
}

TEST(ChunkStream, IdWithoutItsLengthEndsTheWalk)
{
    Bytes data = cat({chunk(5, s16(1)), s16(6), u8(1)});  // id 6 with a cut-off length
    EXPECT_EQ((std::vector<int>{5}), ids(data));
}
