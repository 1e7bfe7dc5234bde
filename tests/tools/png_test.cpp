// The PNG writer of rendered frames: the file structure and its checksums
// (checked with zlib's CRC), the pixels (decoded back with stb_image, a
// reader independent of libpng), and sizes that do not fit.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "tools/media/png.h"

using namespace tools::media;

namespace {

uint32_t bigEndian(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct DecodedPng {
    uint32_t width = 0, height = 0;
    Bytes header;
    Bytes rgb;
    std::vector<std::string> chunkTypes;
};

DecodedPng decodePng(const Bytes& png)
{
    DecodedPng result;
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_GE(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = bigEndian(png, at);
        std::string type(png.begin() + long(at) + 4, png.begin() + long(at) + 8);
        if (result.chunkTypes.empty() || result.chunkTypes.back() != type)
            result.chunkTypes.push_back(type);
        EXPECT_EQ(bigEndian(png, at + 8 + length), uint32_t(crc32(0, &png[at + 4], length + 4))) << type;
        if (type == "IHDR")
            result.header.assign(png.begin() + long(at) + 8, png.begin() + long(at + 8 + length));
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    result.width = bigEndian(result.header, 0);
    result.height = bigEndian(result.header, 4);
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &channels, 3);
    EXPECT_NE(pixels, nullptr) << stbi_failure_reason();
    if (pixels) {
        result.rgb.assign(pixels, pixels + size_t(w) * size_t(h) * 3);
        stbi_image_free(pixels);
    }
    return result;
}

}  // namespace

TEST(PngFile, HeaderChunksAndPixelsDecodeBack)
{
    std::mt19937 random(7);
    const int width = 7, height = 5;
    Bytes pattern(size_t(width * height * 3)), noise(size_t(301 * 203 * 3));
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = uint8_t(i * 37);
    for (uint8_t& byte : noise)
        byte = uint8_t(random());
    struct Case {
        int width, height;
        const Bytes& rgb;
    } cases[] = {{width, height, pattern}, {301, 203, noise}, {1, 1, Bytes{1, 2, 3}}};
    for (const Case& c : cases) {
        Bytes png = encodePng(c.width, c.height, c.rgb);
        DecodedPng decoded = decodePng(png);
        EXPECT_EQ(decoded.chunkTypes, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
        EXPECT_EQ(decoded.width, uint32_t(c.width));
        EXPECT_EQ(decoded.height, uint32_t(c.height));
        ASSERT_EQ(decoded.header.size(), 13u);
        EXPECT_EQ(decoded.header[8], 8) << "bit depth";
        EXPECT_EQ(decoded.header[9], 2) << "RGB";
        EXPECT_EQ(decoded.header[12], 0) << "not interlaced";
        EXPECT_EQ(decoded.rgb, c.rgb) << c.width << " x " << c.height;
        EXPECT_EQ(encodePng(c.width, c.height, c.rgb), png) << "same pixels, same bytes";
    }
    // Rendered frames are mostly flat: they must compress.
    EXPECT_LT(encodePng(640, 480, Bytes(640 * 480 * 3, 9)).size(), 10000u);
}

TEST(PngFile, RefusesPixelsThatDoNotFit)
{
    EXPECT_TRUE(encodePng(4, 4, Bytes(47)).empty());
    EXPECT_TRUE(encodePng(0, 4, Bytes(48)).empty());
    EXPECT_FALSE(encodePng(4, 4, Bytes(48)).empty());
}
