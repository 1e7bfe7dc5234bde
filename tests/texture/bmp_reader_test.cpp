// The BMP reader: header variants, pixel formats, colour tables, and exactly
// one message for every failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/test_double.h"
#include "texture/bmp_reader.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;

namespace {

// Decodes an exact-size copy, so a read past the file is a read past a heap block.
std::unique_ptr<ImageRecord> decode(const Bytes& file)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() ? file.size() : 1]);
    if (!file.empty())
        std::memcpy(copy.get(), file.data(), file.size());
    return decodeBmp(copy.get(), int32_t(file.size()));
}

Bytes pixelsOf(const ImageRecord& image)
{
    return Bytes(image.pixels.get(), image.pixels.get() + size_t(image.width) * size_t(image.height) * 3);
}

// Palette indices of `bits` bits packed high bits first, one row at a time.
Bytes packIndices(const std::vector<std::vector<int>>& rows, int bits)
{
    Bytes out;
    for (const auto& row : rows) {
        Bytes packed((row.size() * size_t(bits) + 7) / 8, 0);
        for (size_t x = 0; x < row.size(); ++x) {
            size_t bit = x * size_t(bits);
            packed[bit / 8] |= uint8_t(row[x] << (8 - bits - int(bit % 8)));
        }
        append(out, packed);
    }
    return out;
}

std::vector<Rgb8> rampPalette(int count)
{
    std::vector<Rgb8> palette;
    for (int i = 0; i < count; ++i)
        palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
    return palette;
}

// The colours the palette gives to the indices, row after row.
Bytes lookUp(const std::vector<Rgb8>& palette, const std::vector<std::vector<int>>& rows)
{
    Bytes out;
    for (const auto& row : rows)
        for (int index : row) {
            Rgb8 c = size_t(index) < palette.size() ? palette[size_t(index)] : Rgb8{0, 0, 0};
            out.insert(out.end(), c.begin(), c.end());
        }
    return out;
}

std::string tempFile(const std::string& name)
{
    return ::testing::TempDir() + name + "_" + std::to_string(::getpid()) + ".bmp";
}

void expectOneBox(const platform::TestDouble& platform, const std::string& text)
{
    ASSERT_EQ(1u, platform.boxes.size());
    EXPECT_EQ(text, platform.boxes[0].text);
    EXPECT_EQ("Error", platform.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, platform.boxes[0].type);
}

}  // namespace

TEST(BmpReader, A24BitFileWithPaddedRowsGivesTightRgbRowsBottomFirst)
{
    platform::TestDouble platform;
    // Stored rows of 9 bytes plus 3 padding bytes each.
    Bytes bgrRows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    Bytes file = bmpFile(3, 2, 24, bgrRows);
    ASSERT_EQ(54u + 24u, file.size());
    const std::string path = tempFile("bmp24");
    ASSERT_TRUE(writeFile(path, file));
    std::unique_ptr<ImageRecord> image = readBmpFile(path.c_str());
    std::remove(path.c_str());
    ASSERT_TRUE(image);
    EXPECT_EQ(3, image->width);
    EXPECT_EQ(2, image->height);
    EXPECT_EQ((Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}), pixelsOf(*image));
    EXPECT_TRUE(platform.boxes.empty());

    // The last row may come without its padding.
    file.resize(file.size() - 3);
    image = decode(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(18u, pixelsOf(*image).size());

    // Rows stored top first come out bottom first too.
    BmpLayout topDown;
    topDown.topDown = true;
    Bytes swapped(bgrRows.begin() + 9, bgrRows.end());
    swapped.insert(swapped.end(), bgrRows.begin(), bgrRows.begin() + 9);
    image = decode(bmpFile(3, 2, 24, swapped, {}, topDown));
    ASSERT_TRUE(image);
    EXPECT_EQ(2, image->height);
    EXPECT_EQ((Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}), pixelsOf(*image));
}

TEST(BmpReader, IndexedImagesTakeTheirColoursFromTheTable)
{
    platform::TestDouble platform;
    struct Case {
        int bits;
        std::vector<std::vector<int>> rows;
    };
    const std::vector<Case> cases = {
        {8, {{0, 1, 254, 255}, {7, 8, 9, 200}}},
        {4, {{0, 1, 2, 3, 15}, {14, 13, 12, 11, 5}, {6, 7, 8, 9, 10}}},  // odd width: half a byte left over
        {1, {{0, 1, 1, 0, 1, 0, 0, 1, 1, 1}, {1, 0, 0, 1, 0, 1, 1, 0, 0, 0}}},  // rows across a byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        std::vector<Rgb8> palette = rampPalette(1 << c.bits);
        int width = int(c.rows[0].size()), height = int(c.rows.size());
        std::unique_ptr<ImageRecord> image = decode(bmpFile(width, height, c.bits, packIndices(c.rows, c.bits), palette));
        ASSERT_TRUE(image);
        EXPECT_EQ(width, image->width);
        EXPECT_EQ(lookUp(palette, c.rows), pixelsOf(*image));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReader, TheColoursUsedFieldSizesTheTableAndIndicesPastItAreBlack)
{
    platform::TestDouble platform;
    std::vector<Rgb8> palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    const std::vector<std::vector<int>> rows = {{0, 1, 2, 5}, {2, 1, 0, 255}};
    // Without the file header the pixels follow the table directly, so a
    // wrongly sized table shifts every pixel.
    for (uint32_t coloursUsed : {3u, 0x10003u}) {
        SCOPED_TRACE(coloursUsed);
        BmpLayout layout;
        layout.fileHeader = false;
        layout.colorsUsed = coloursUsed;
        std::unique_ptr<ImageRecord> image = decode(bmpFile(4, 2, 8, packIndices(rows, 8), palette, layout));
        ASSERT_TRUE(image);
        EXPECT_EQ(lookUp(palette, rows), pixelsOf(*image));
    }
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReader, DirectColourDepthsWidenToEightBitChannels)
{
    platform::TestDouble platform;
    // 16 bits: x-5-5-5, the top bit ignored.
    Bytes words = cat({s16(0x7C00), s16(0x03E0), s16(0x001F), s16(int16_t(0xC210)), s16(0x0421), s16(0x7FFF)});
    std::unique_ptr<ImageRecord> image = decode(bmpFile(3, 2, 16, words));
    ASSERT_TRUE(image);
    EXPECT_EQ((Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132, 8, 8, 8, 255, 255, 255}), pixelsOf(*image));

    // 32 bits: blue, green, red and an ignored byte.
    Bytes quads = {1, 2, 3, 0xAA, 4, 5, 6, 0xBB};
    image = decode(bmpFile(1, 2, 32, quads));
    ASSERT_TRUE(image);
    EXPECT_EQ((Bytes{3, 2, 1, 6, 5, 4}), pixelsOf(*image));

    // Colour masks: 5-6-5 words, and 32-bit pixels with red in the low byte.
    BmpLayout masks;
    masks.compression = 3;
    masks.masks = {0xF800, 0x07E0, 0x001F};
    image = decode(bmpFile(3, 1, 16, cat({s16(int16_t(0xF800)), s16(0x07E0), s16(0x0821)}), {}, masks));
    ASSERT_TRUE(image);
    EXPECT_EQ((Bytes{255, 0, 0, 0, 255, 0, 8, 4, 8}), pixelsOf(*image));
    masks.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    image = decode(bmpFile(1, 1, 32, {7, 8, 9, 0}, {}, masks));
    ASSERT_TRUE(image);
    EXPECT_EQ((Bytes{7, 8, 9}), pixelsOf(*image));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReader, CoreAndBareHeadersFindTheirTablesAndPixels)
{
    platform::TestDouble platform;
    std::vector<Rgb8> palette = rampPalette(256);
    const std::vector<std::vector<int>> rows = {{3, 4, 5}, {250, 251, 252}};
    for (uint32_t headerSize : {12u, 40u})
        for (bool fileHeader : {true, false}) {
            SCOPED_TRACE(std::to_string(headerSize) + (fileHeader ? " with file header" : " bare"));
            BmpLayout layout;
            layout.headerSize = headerSize;
            layout.fileHeader = fileHeader;
            std::unique_ptr<ImageRecord> image = decode(bmpFile(3, 2, 8, packIndices(rows, 8), palette, layout));
            ASSERT_TRUE(image);
            EXPECT_EQ(lookUp(palette, rows), pixelsOf(*image));

            Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
            image = decode(bmp24(2, 2, rgb, layout));
            ASSERT_TRUE(image);
            EXPECT_EQ(rgb, pixelsOf(*image));
        }

    // With the file header the pixels are where its offset field says.
    BmpLayout gap;
    gap.gapBeforePixels = 6;
    Bytes rgb = {1, 2, 3, 4, 5, 6};
    std::unique_ptr<ImageRecord> image = decode(bmp24(1, 2, rgb, gap));
    ASSERT_TRUE(image);
    EXPECT_EQ(rgb, pixelsOf(*image));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReader, RunLengthEncodedImagesDecodeRunsLiteralsLineEndsAndDeltas)
{
    platform::TestDouble platform;
    std::vector<Rgb8> palette = rampPalette(256);
    BmpLayout rle8;
    rle8.compression = 1;
    Bytes data = {4, 1, 0, 0,                    // row 0: four of 1
                  0, 3, 2, 3, 4, 0, 1, 5, 0, 0,  // row 1: literal 2 3 4 (padded), one 5
                  0, 2, 1, 0, 2, 6,              // row 2: move right by one, two of 6
                  0, 1};                          // end of picture
    std::unique_ptr<ImageRecord> image = decode(bmpFile(4, 3, 8, data, palette, rle8));
    ASSERT_TRUE(image);
    EXPECT_EQ(lookUp(palette, {{1, 1, 1, 1}, {2, 3, 4, 5}, {-1, 6, 6, -1}}), pixelsOf(*image));

    std::vector<Rgb8> palette16 = rampPalette(16);
    BmpLayout rle4;
    rle4.compression = 2;
    data = {5, 0x12, 0, 0,             // row 0: 1 2 1 2 1
            0, 3, 0x34, 0x50, 2, 0x66,  // row 1: literal 3 4 5, two of 6
            0, 1};
    image = decode(bmpFile(5, 2, 4, data, palette16, rle4));
    ASSERT_TRUE(image);
    EXPECT_EQ(lookUp(palette16, {{1, 2, 1, 2, 1}, {3, 4, 5, 6, 6}}), pixelsOf(*image));

    // Runs past the row end, deltas past the picture and data that simply
    // stops all stay inside the image.
    data = {255, 7, 0, 2, 200, 200, 9, 9};
    image = decode(bmpFile(4, 2, 8, data, palette, rle8));
    ASSERT_TRUE(image);
    EXPECT_EQ(lookUp(palette, {{7, 7, 7, 7}, {-1, -1, -1, -1}}), pixelsOf(*image));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReader, ARowThatRunsOnForBillionsOfPixelsNeverComesBackToItsStart)
{
    // The row's two pixels, then 2^32 - 1 more in runs of 255 without a line
    // end: a column kept in 32 bits would come round to the row's start and
    // paint it again.
    platform::TestDouble platform;
    std::vector<Rgb8> palette = rampPalette(256);
    BmpLayout rle8;
    rle8.compression = 1;
    const size_t runs = 16843009;
    Bytes data;
    data.reserve(runs * 2 + 6);
    data.push_back(2);  // the row's two real pixels
    data.push_back(1);
    for (size_t i = 0; i < runs; ++i) {
        data.push_back(255);
        data.push_back(7);
    }
    append(data, {1, 9, 0, 1});
    std::unique_ptr<ImageRecord> image = decode(bmpFile(2, 1, 8, data, palette, rle8));
    ASSERT_TRUE(image);
    EXPECT_EQ(lookUp(palette, {{1, 1}}), pixelsOf(*image));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST(BmpReaderFailure, HeadersOtherThan12Or40BytesAreUnknownFormats)
{
    for (uint32_t size : {108u, 124u, 64u, 0u}) {
        for (bool fileHeader : {true, false}) {
            SCOPED_TRACE(std::to_string(size) + (fileHeader ? " with file header" : " bare"));
            platform::TestDouble platform;
            BmpLayout layout;
            layout.headerSize = size;
            layout.fileHeader = fileHeader;
            EXPECT_FALSE(decode(bmpFile(2, 2, 24, Bytes(12, 1), {}, layout)));
            expectOneBox(platform, "Unknown DIB file format.");
        }
    }
    platform::TestDouble platform;
    Bytes cut = bmp24(2, 2, Bytes(12, 1));
    cut.resize(14 + 20);  // the information header cut short
    EXPECT_FALSE(decode(cut));
    expectOneBox(platform, "Unknown DIB file format.");
}

TEST(BmpReaderFailure, AFileThatCannotBeOpenedIsNamedInItsOneMessage)
{
    {
        platform::TestDouble platform;
        const std::string path = tempFile("missing");
        EXPECT_FALSE(readBmpFile(path.c_str()));
        expectOneBox(platform, "Failed to open DIB file " + path + ".\n");
    }
    {
        platform::TestDouble platform;
        const std::string path = tempFile("empty");
        ASSERT_TRUE(writeFile(path, {}));
        EXPECT_FALSE(readBmpFile(path.c_str()));
        std::remove(path.c_str());
        expectOneBox(platform, "Failed to open DIB file " + path + ".\n");
    }
}

TEST(BmpReaderFailure, DataThatCannotBeConvertedIsReportedOnce)
{
    std::vector<std::pair<std::string, Bytes>> cases;
    Bytes cut = bmp24(3, 2, Bytes(18, 1));
    cut.resize(cut.size() - 4);  // one byte of the last row missing
    cases.push_back({"pixels cut", cut});
    Bytes table = bmpFile(2, 1, 8, {0, 1}, rampPalette(256));
    table.resize(54 + 100);
    cases.push_back({"table cut", table});
    Bytes offset = bmp24(1, 1, {1, 2, 3});
    offset[10] = 0xFF, offset[11] = 0xFF;
    cases.push_back({"offset past the end", offset});
    cases.push_back({"2 bits", bmpFile(4, 1, 2, {0})});
    cases.push_back({"0 bits", bmpFile(4, 1, 0, {0})});
    BmpLayout jpeg;
    jpeg.compression = 4;
    cases.push_back({"JPEG", bmpFile(1, 1, 24, {1, 2, 3}, {}, jpeg)});
    BmpLayout rle8;
    rle8.compression = 1;
    cases.push_back({"RLE8 at 24 bits", bmpFile(1, 1, 24, {1, 1}, {}, rle8)});
    rle8.topDown = true;
    cases.push_back({"RLE8 top down", bmpFile(1, 1, 8, {1, 1}, rampPalette(256), rle8)});
    cases.push_back({"zero width", bmpFile(0, 1, 24, {})});
    cases.push_back({"zero height", bmpFile(1, 0, 24, {})});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        platform::TestDouble platform;
        EXPECT_FALSE(decode(c.second));
        expectOneBox(platform, "Image file conversion error.");
    }

    // A picture no texture could hold is refused before anything is allocated.
    platform::TestDouble platform;
    BmpLayout huge;
    huge.compression = 1;
    EXPECT_FALSE(decode(bmpFile(60000, 60000, 8, {0, 1}, rampPalette(256), huge)));
    expectOneBox(platform, "Out of memory.");
    // So large that width times height times 3 passes 64 bits.
    platform.boxes.clear();
    Bytes widest = bmpFile(1, 1, 8, {0, 1}, rampPalette(256), huge);
    for (size_t at : {18, 22})
        widest[at] = widest[at + 1] = widest[at + 2] = 0xFF, widest[at + 3] = 0x7F;
    EXPECT_FALSE(decode(widest));
    expectOneBox(platform, "Out of memory.");
}
