#include "tools/writer/texture_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb/stb_image.h>
#define STB_IMAGE_RESIZE_STATIC
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>

#include "tools/writer/texture_payloads.h"

namespace authoring {

namespace {

uint32_t le32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// stb_image fills what a cut BMP lacks with zeros instead of failing.
std::string truncatedBmp(const Bytes& b)
{
    if (b.size() < 30 || b[0] != 'B' || b[1] != 'M')
        return "";
    const uint32_t offset = le32(b, 10), header = le32(b, 14);
    int64_t width, height, bits, compression = 0;
    if (header == 12) {
        width = int16_t(b[18] | b[19] << 8);
        height = int16_t(b[20] | b[21] << 8);
        bits = b[24] | b[25] << 8;
    } else {
        if (b.size() < 34)
            return "is cut short inside its header";
        width = int32_t(le32(b, 18));
        height = int32_t(le32(b, 22));
        bits = b[28] | b[29] << 8;
        compression = le32(b, 30);
    }
    if (compression != 0 && compression != 3)
        return "";  // run-length data ends where its codes say
    const int64_t rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    const int64_t needed = int64_t(offset) + rowBytes * std::abs(height);
    if (int64_t(b.size()) < needed)
        return "is cut short: " + std::to_string(b.size()) + " bytes, " + std::to_string(needed) + " expected";
    return "";
}

}  // namespace

std::string playerBmpProblem(const Bytes& b)
{
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return "is not a BMP file (it does not start with a 54-byte BMP header)";
    const uint32_t offset = le32(b, 10), header = le32(b, 14);
    const int32_t width = int32_t(le32(b, 18)), height = int32_t(le32(b, 22));
    const unsigned bits = unsigned(b[28]) | unsigned(b[29]) << 8;
    const uint32_t compression = le32(b, 30), imageSize = le32(b, 34);
    if (header != 40)
        return "has a " + std::to_string(header) + "-byte information header; textures take the 40-byte one";
    if (bits != 24)
        return "is a " + std::to_string(bits) + "-bit BMP; textures take 24-bit uncompressed BMP files";
    if (compression != 0)
        return "is compressed; textures take 24-bit uncompressed BMP files";
    if (offset != 54)
        return "has its pixels at byte " + std::to_string(offset) + "; the player reads them from byte 54";
    if (width <= 0 || height <= 0)
        return "is " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels; textures need a positive size, rows stored bottom first";
    if (width % 4 != 0)
        return "is " + std::to_string(width) +
               " pixels wide; the file pads its rows and the player does not: use a width that is a multiple of 4";
    const uint64_t pixels = uint64_t(width) * uint64_t(height) * 3;
    if (imageSize != 0 && imageSize < pixels)
        return "says its pixels take " + std::to_string(imageSize) + " bytes; " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels take " + std::to_string(pixels);
    const uint64_t stored = imageSize != 0 ? imageSize : pixels;
    if (b.size() - 54 < stored)
        return "is cut short: " + std::to_string(b.size() - 54) + " bytes of pixels, " + std::to_string(stored) +
               " expected";
    return "";
}

std::string textureFromImage(const Bytes& file, TextureImage& out)
{
    out = TextureImage();
    if (playerBmpProblem(file).empty()) {
        out.bmp = file;
        out.fileWidth = int32_t(le32(file, 18));
        out.fileHeight = int32_t(le32(file, 22));
        return "";
    }
    if (file.empty())
        return "is empty";
    if (file.size() > size_t(INT32_MAX))
        return "is too large to read";

    int width = 0, height = 0, channels = 0;
    const int length = int(file.size());
    if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels))
        return std::string("cannot be read as an image (") + stbi_failure_reason() +
               "); textures take BMP, PNG, JPEG, TGA, GIF, PSD or PNM files";
    height = std::abs(height);  // BMP rows stored top first give a negative height here
    out.fileWidth = width;
    out.fileHeight = height;
    if (width <= 0 || height <= 0)
        return "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; a texture needs pixels";
    if (width > kMaxTextureSide || height > kMaxTextureSide)
        return "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; textures are at most " +
               std::to_string(kMaxTextureSide) + " pixels on a side (GL_MAX_TEXTURE_SIZE of the usual drivers)";

    std::string cut = truncatedBmp(file);
    if (!cut.empty())
        return cut;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 3);
    if (!pixels)
        return std::string("cannot be read as an image (") + stbi_failure_reason() + ")";
    const size_t rowBytes = size_t(width) * 3;
    Bytes rgb(pixels, pixels + rowBytes * size_t(height));
    stbi_image_free(pixels);

    int finalWidth = width;
    if (width % 4 != 0) {
        finalWidth = (width + 3) / 4 * 4;
        Bytes wide(size_t(finalWidth) * 3 * size_t(height));
        // Linear between neighbours: no ringing at sharp edges.
        stbir_resize_uint8_generic(rgb.data(), width, height, 0, wide.data(), finalWidth, height, 0, 3,
                                   STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE,
                                   STBIR_COLORSPACE_LINEAR, nullptr);
        rgb.swap(wide);
        out.widened = true;
    }
    // Decoded rows come top first; the player's come bottom first.
    const size_t finalRow = size_t(finalWidth) * 3;
    Bytes bottomUp(rgb.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(&bottomUp[finalRow * size_t(height - 1 - y)], &rgb[finalRow * size_t(y)], finalRow);
    out.bmp = bmp24(finalWidth, height, bottomUp);
    out.converted = true;
    return "";
}

}  // namespace authoring
