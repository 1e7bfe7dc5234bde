#include <gtest/gtest.h>

#include "demo/chunk_stream.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::inspect;

TEST(SoundLibrarySwap, ReplacesEveryLibraryChunkAndKeepsTheRest)
{
    Envelope quad;
    quad.tag = "QUAD";
    quad.body = {1, 2, 3};
    Bytes resources = StreamWriter().add(463, Bytes(50, 'W')).add(resource(160, quad)).bytes();
    Bytes timeline = StreamWriter().add(totalFramesChunk(9)).bytes();
    Bytes data = cat({chunk(2100, windowSettings({})), chunk(2102, resources), chunk(2104, timeline)});

    Bytes library = {'\x7f', 'E', 'L', 'F', 9, 9};
    int replaced = -1;
    Bytes out = replaceSoundLibrary(data, library, &replaced);
    EXPECT_EQ(1, replaced);
    Bytes expected = cat({chunk(2100, windowSettings({})),
                          chunk(2102, StreamWriter().add(463, library).add(resource(160, quad)).bytes()),
                          chunk(2104, timeline)});
    EXPECT_EQ(expected, out);
    std::ostringstream text;
    EXPECT_TRUE(tools::inspect::inspect(out, text)) << text.str();
}

TEST(SoundLibrarySwap, DataThatCannotBeWalkedIsLeftAlone)
{
    Bytes data = cat({chunk(2102, StreamWriter().add(463, Bytes(10, 1)).bytes()), Bytes{1, 2, 3, 4, 5, 6, 7}});
    data[data.size() - 3] = 0x7F;  // a trailing chunk header claiming more than is there
    int replaced = -1;
    EXPECT_EQ(data, replaceSoundLibrary(data, {1}, &replaced));
    EXPECT_EQ(0, replaced);
}
