// Textures from image files: every format comes out in the layout the
// player reads, and the player's own BMP reader finds the right colours in
// the right places.
#include <gtest/gtest.h>

#include <cstdlib>

#include <stb/stb_image_write.h>  // built in tests/support/stb_image_write.cpp

#include "texture/bmp_reader.h"
#include "tools/media/texture_image.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;
using namespace tools::media;

namespace {

// Four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
const Rgb8 kQuadrants[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

Rgb8 quadrantAt(int x, int y, int width, int height)
{
    return kQuadrants[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
}

// Top row first, as image files other than BMP store them.
Bytes quadrantPixels(int width, int height, int channels)
{
    Bytes pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb8 c = quadrantAt(x, y, width, height);
            pixels.insert(pixels.end(), c.begin(), c.end());
            if (channels == 4)
                pixels.push_back(x == 0 ? 0 : 255);  // alpha is dropped, colours stay
        }
    return pixels;
}

Bytes written(int (*write)(stbi_write_func*, void*, int, int, int, const void*), int width, int height,
              int channels)
{
    Bytes out;
    Bytes pixels = quadrantPixels(width, height, channels);
    auto collect = [](void* user, void* data, int size) {
        Bytes& bytes = *static_cast<Bytes*>(user);
        bytes.insert(bytes.end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    };
    write(collect, &out, width, height, channels, pixels.data());
    return out;
}

// A 4-bit paletted BMP with the 124-byte header, rows bottom first.
Bytes paletted4(int width, int height, uint32_t headerSize)
{
    std::vector<Rgb8> palette(16, Rgb8{9, 9, 9});
    for (int i = 0; i < 4; ++i)
        palette[size_t(3 + i)] = kQuadrants[i];
    Bytes rows;
    for (int r = 0; r < height; ++r) {
        const int y = height - 1 - r;
        for (int x = 0; x < width; x += 2) {
            auto index = [&](int px) {
                for (int i = 0; i < 4; ++i)
                    if (quadrantAt(px, y, width, height) == kQuadrants[i])
                        return uint8_t(3 + i);
                return uint8_t(0);
            };
            rows.push_back(uint8_t(index(x) << 4 | (x + 1 < width ? index(x + 1) : 0)));
        }
    }
    BmpLayout layout;
    layout.headerSize = headerSize;
    return bmpFile(width, height, 4, rows, palette, layout);
}

// Checks the converted file against the quadrants through the player's reader.
void expectQuadrants(const Bytes& file, int width, int height, int tolerance, const std::string& what)
{
    TextureImage image;
    std::string problem = textureFromImage(file, image);
    ASSERT_EQ(problem, "") << what;
    EXPECT_EQ(playerBmpProblem(image.bmp), "") << what;
    EXPECT_EQ(image.fileWidth, width) << what;
    auto decoded = decodeBmp(image.bmp.data(), int32_t(image.bmp.size()));
    ASSERT_TRUE(decoded) << what;
    EXPECT_EQ(decoded->width % 4, 0) << what;
    EXPECT_EQ(decoded->height, height) << what;
    const int w = decoded->width;
    // Sample away from the edges between quadrants (JPEG and stretching blur them).
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const int x = qx * w / 2 + w / 4, y = qy * height / 2 + height / 4;
            const uint8_t* p = &decoded->pixels[(size_t(height - 1 - y) * size_t(w) + size_t(x)) * 3];
            const Rgb8& want = kQuadrants[qy * 2 + qx];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(p[c], want[size_t(c)], tolerance) << what << " quadrant " << qx << "," << qy;
        }
}

}  // namespace

TEST(TextureImage, EveryFormatComesOutInThePlayersLayout)
{
    auto pngWriter = [](stbi_write_func* f, void* u, int w, int h, int c, const void* d) {
        return stbi_write_png_to_func(f, u, w, h, c, d, 0);
    };
    auto jpgWriter = [](stbi_write_func* f, void* u, int w, int h, int c, const void* d) {
        return stbi_write_jpg_to_func(f, u, w, h, c, d, 95);
    };
    expectQuadrants(written(pngWriter, 16, 8, 3), 16, 8, 0, "PNG");
    expectQuadrants(written(pngWriter, 16, 8, 4), 16, 8, 0, "PNG with alpha");
    expectQuadrants(written(stbi_write_tga_to_func, 16, 8, 3), 16, 8, 0, "TGA");
    expectQuadrants(written(jpgWriter, 32, 16, 3), 32, 16, 24, "JPEG");
    expectQuadrants(written(stbi_write_bmp_to_func, 16, 8, 3), 16, 8, 0, "BMP from stb");
    expectQuadrants(paletted4(16, 8, 124), 16, 8, 0, "4-bit BMP, 124-byte header");
    expectQuadrants(paletted4(16, 8, 108), 16, 8, 0, "4-bit BMP, 108-byte header");
    expectQuadrants(paletted4(16, 8, 40), 16, 8, 0, "4-bit BMP, 40-byte header");

    // Run-length encoded 8 and 4 bits per pixel, which stb_image does not
    // read: runs, one row in absolute mode, ends of line and of bitmap.
    for (int bits : {8, 4}) {
        std::vector<Rgb8> palette(size_t(1) << bits, Rgb8{9, 9, 9});
        for (int i = 0; i < 4; ++i)
            palette[size_t(3 + i)] = kQuadrants[i];
        Bytes rle;
        for (int y = 7; y >= 0; --y) {
            const uint8_t left = uint8_t(y < 4 ? 3 : 5), right = uint8_t(y < 4 ? 4 : 6);
            auto both = [&](uint8_t i) { return uint8_t(bits == 8 ? i : (i << 4 | i)); };
            if (y == 0) {  // absolute: 8 pixels as they are, then a run
                rle.insert(rle.end(), {0, 8});
                for (int x = 0; x < 8; x += bits == 8 ? 1 : 2)
                    rle.push_back(both(left));
                rle.insert(rle.end(), {8, both(right)});
            } else {
                rle.insert(rle.end(), {8, both(left), 8, both(right)});
            }
            rle.insert(rle.end(), {0, 0});
        }
        rle.insert(rle.end(), {0, 1});
        BmpLayout layout;
        layout.compression = bits == 8 ? 1 : 2;
        expectQuadrants(bmpFile(16, 8, bits, rle, palette, layout), 16, 8, 0,
                        "RLE" + std::to_string(bits));
        layout.headerSize = 124;
        expectQuadrants(bmpFile(16, 8, bits, rle, palette, layout), 16, 8, 0,
                        "RLE" + std::to_string(bits) + ", 124-byte header");
    }

    // 1 bit per pixel: left half the first colour, right half the second.
    Bytes oneBit;
    for (int y = 0; y < 8; ++y)
        oneBit.insert(oneBit.end(), {0x00, 0xFF});
    TextureImage mono;
    ASSERT_EQ(textureFromImage(bmpFile(16, 8, 1, oneBit, {{255, 0, 0}, {0, 0, 255}}), mono), "");
    auto monoPixels = decodeBmp(mono.bmp.data(), int32_t(mono.bmp.size()));
    ASSERT_TRUE(monoPixels);
    EXPECT_EQ(monoPixels->pixels[3 * 2], 255) << "left red";
    EXPECT_EQ(monoPixels->pixels[3 * 12 + 2], 255) << "right blue";
    EXPECT_EQ(monoPixels->pixels[3 * 12], 0);

    // 24-bit variants the player cannot read as they are.
    Bytes bottomUp;
    for (int y = 7; y >= 0; --y)
        for (int x = 0; x < 16; ++x) {
            Rgb8 c = quadrantAt(x, y, 16, 8);
            bottomUp.insert(bottomUp.end(), {c[2], c[1], c[0]});
        }
    BmpLayout core;
    core.headerSize = 12;
    expectQuadrants(bmpFile(16, 8, 24, bottomUp, {}, core), 16, 8, 0, "core header");
    Bytes topDownRows;
    for (int r = 7; r >= 0; --r)
        topDownRows.insert(topDownRows.end(), bottomUp.begin() + r * 48, bottomUp.begin() + (r + 1) * 48);
    BmpLayout topDown;
    topDown.topDown = true;
    expectQuadrants(bmpFile(16, 8, 24, topDownRows, {}, topDown), 16, 8, 0, "rows top first");

    // RGB files carrying the optional colour table (the colours-used field
    // counts it): the table is passed over and the pixels read as they are.
    const std::vector<Rgb8> optionalTable(256, Rgb8{1, 2, 3});
    BmpLayout withTable;
    withTable.colorsUsed = 256;
    expectQuadrants(bmpFile(16, 8, 24, bottomUp, optionalTable, withTable), 16, 8, 0, "24-bit, colour table");
    Bytes words;  // 5-5-5, little-endian
    for (int y = 7; y >= 0; --y)
        for (int x = 0; x < 16; ++x) {
            const Rgb8 c = quadrantAt(x, y, 16, 8);
            const unsigned w = unsigned(c[0] >> 3) << 10 | unsigned(c[1] >> 3) << 5 | unsigned(c[2] >> 3);
            words.insert(words.end(), {uint8_t(w), uint8_t(w >> 8)});
        }
    expectQuadrants(bmpFile(16, 8, 16, words, optionalTable, withTable), 16, 8, 8, "16-bit, colour table");

    // Widths whose rows are not a multiple of 4 bytes are stretched.
    TextureImage odd;
    ASSERT_EQ(textureFromImage(written(pngWriter, 6, 4, 3), odd), "");
    EXPECT_TRUE(odd.widened);
    EXPECT_EQ(int32_t(odd.bmp[18]), 8);
    expectQuadrants(written(pngWriter, 6, 4, 3), 6, 4, 0, "6 pixels wide");

    // A file already in the player's layout is kept byte for byte.
    Bytes native = bmp24(4, 2, Bytes(24, 7));
    TextureImage kept;
    ASSERT_EQ(textureFromImage(native, kept), "");
    EXPECT_EQ(kept.bmp, native);
    EXPECT_FALSE(kept.converted);
}

TEST(TextureImage, FilesThatCannotBeTexturesSayWhy)
{
    TextureImage image;
    EXPECT_NE(textureFromImage({'h', 'i'}, image).find("cannot be read as an image"), std::string::npos);
    EXPECT_EQ(textureFromImage({}, image), "is empty");
    Bytes cut = paletted4(16, 8, 124);
    cut.resize(cut.size() - 5);
    EXPECT_NE(textureFromImage(cut, image).find("is cut short"), std::string::npos);
    // Headers that claim sizes no texture takes.
    BmpLayout layout;
    Bytes huge = bmpFile(4, 2, 24, Bytes(24, 1), {}, layout);
    huge[18] = 0x40;  // width 0x2040: 8256 pixels
    huge[19] = 0x20;
    EXPECT_NE(textureFromImage(huge, image).find("at most 8192 pixels on a side"), std::string::npos)
        << textureFromImage(huge, image);
    Bytes none = bmpFile(4, 2, 8, Bytes(8, 1), {{1, 2, 3}}, layout);
    none[18] = 0;
    EXPECT_NE(textureFromImage(none, image), "");
}

TEST(TextureImage, DamagedRunLengthAndOneBitFilesNeverReadOutside)
{
    // Under the sanitizer build this is where reads past the data show up.
    std::vector<Rgb8> palette(256, Rgb8{1, 2, 3});
    BmpLayout rle;
    rle.compression = 1;
    const Bytes files[] = {bmpFile(16, 8, 8, {8, 3, 0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 2, 5, 1, 0, 1},
                                   palette, rle),
                           bmpFile(16, 8, 1, Bytes(16, 0x5A), {{0, 0, 0}, {255, 255, 255}})};
    uint32_t seed = 99;
    for (const Bytes& file : files) {
        for (int round = 0; round < 2000; ++round) {
            Bytes damaged = file;
            seed = seed * 1664525u + 1013904223u;
            damaged.resize(std::max<size_t>(30, damaged.size() - seed % 40));
            seed = seed * 1664525u + 1013904223u;
            damaged[30 + seed % (damaged.size() - 30)] ^= uint8_t(seed >> 24);
            TextureImage image;
            if (textureFromImage(damaged, image).empty()) {
                EXPECT_EQ(playerBmpProblem(image.bmp), "");
            }
        }
    }
}
