#include "tools/media/texture_image.h"

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

#include "tools/common/little_endian.h"
#include "tools/format/texture_payloads.h"

namespace tools::media {

using namespace tools::format;

namespace {

// stb_image fills what a cut BMP lacks with zeros instead of failing.
std::string truncatedBmp(const Bytes& b)
{
    if (b.size() < 30 || b[0] != 'B' || b[1] != 'M')
        return "";
    const uint32_t offset = common::readLe32(&b[10]), header = common::readLe32(&b[14]);
    int64_t width, height, bits, compression = 0;
    if (header == 12) {
        width = int16_t(common::readLe16(&b[18]));
        height = int16_t(common::readLe16(&b[20]));
        bits = b[24] | b[25] << 8;
    } else {
        if (b.size() < 34)
            return "is cut short inside its header";
        width = int32_t(common::readLe32(&b[18]));
        height = int32_t(common::readLe32(&b[22]));
        bits = b[28] | b[29] << 8;
        compression = common::readLe32(&b[30]);
    }
    if (compression != 0 && compression != 3)
        return "";  // run-length data ends where its codes say
    const int64_t rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    const int64_t needed = int64_t(offset) + rowBytes * std::abs(height);
    if (int64_t(b.size()) < needed)
        return "is cut short: " + std::to_string(b.size()) + " bytes, " + std::to_string(needed) + " expected";
    return "";
}


// stb_image reads neither 1-bit nor run-length encoded BMP files: those are
// unpacked here into an uncompressed 8-bit BMP with the same colour table,
// which it reads. Anything else (or a damaged header) gives nothing.
Bytes unpackedBmp(const Bytes& b)
{
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return {};
    const uint32_t offset = common::readLe32(&b[10]), header = common::readLe32(&b[14]);
    const bool core = header == 12;
    if (!core && (header < 40 || b.size() < 54))
        return {};
    const int64_t width = core ? int16_t(common::readLe16(&b[18])) : int32_t(common::readLe32(&b[18]));
    int64_t height = core ? int16_t(common::readLe16(&b[20])) : int32_t(common::readLe32(&b[22]));
    const unsigned bits = core ? unsigned(b[24] | b[25] << 8) : unsigned(b[28] | b[29] << 8);
    const uint32_t compression = core ? 0 : common::readLe32(&b[30]);
    const bool rle8 = compression == 1 && bits == 8, rle4 = compression == 2 && bits == 4;
    if (!(bits == 1 && compression == 0) && !rle8 && !rle4)
        return {};
    const bool topDown = height < 0;
    height = std::abs(height);
    if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide || offset > b.size())
        return {};

    // The colour table: blue, green, red (and a spare byte unless core).
    const size_t entry = core ? 3 : 4, tableAt = 14 + size_t(header);
    size_t count = size_t(1) << bits;
    if (!core && b.size() >= 50 && common::readLe32(&b[46]) != 0)
        count = std::min<size_t>(count, common::readLe32(&b[46]));
    std::vector<Rgb8> palette;
    for (size_t i = 0; i < count && tableAt + (i + 1) * entry <= offset; ++i) {
        const uint8_t* e = &b[tableAt + i * entry];
        palette.push_back({e[2], e[1], e[0]});
    }
    if (palette.empty())
        return {};

    // Indices bottom row first, one byte each; what the data leaves out stays 0.
    Bytes indices(size_t(width) * size_t(height), 0);
    auto put = [&](int64_t x, int64_t y, uint8_t index) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            indices[size_t(y) * size_t(width) + size_t(x)] = index;
    };
    size_t at = offset;
    auto next = [&](uint8_t& value) {
        if (at >= b.size())
            return false;
        value = b[at++];
        return true;
    };
    if (bits == 1) {
        const size_t stride = size_t((width + 31) / 32 * 4);
        for (int64_t row = 0; row < height; ++row) {
            const size_t rowAt = offset + size_t(row) * stride;
            const int64_t y = topDown ? height - 1 - row : row;
            for (int64_t x = 0; x < width && rowAt + size_t(x / 8) < b.size(); ++x)
                put(x, y, (b[rowAt + size_t(x / 8)] >> (7 - x % 8)) & 1);
        }
    } else {
        int64_t x = 0, y = 0;
        uint8_t count8 = 0, value = 0;
        while (y < height && next(count8) && next(value)) {
            if (count8 > 0) {  // a run
                for (int i = 0; i < count8; ++i, ++x)
                    put(x, y, rle8 ? value : uint8_t(i % 2 == 0 ? value >> 4 : value & 15));
            } else if (value == 0) {  // end of line
                x = 0;
                ++y;
            } else if (value == 1) {  // end of bitmap
                break;
            } else if (value == 2) {  // move on
                uint8_t dx = 0, dy = 0;
                if (!next(dx) || !next(dy))
                    break;
                x += dx;
                y += dy;
            } else {  // `value` pixels as they are, padded to a 16-bit boundary
                const size_t bytes = rle8 ? value : (size_t(value) + 1) / 2;
                const size_t start = at;
                for (int i = 0; i < value && start + (rle8 ? size_t(i) : size_t(i / 2)) < b.size(); ++i, ++x) {
                    const uint8_t packed = b[start + (rle8 ? size_t(i) : size_t(i / 2))];
                    put(x, y, rle8 ? packed : uint8_t(i % 2 == 0 ? packed >> 4 : packed & 15));
                }
                at = start + bytes + (bytes % 2);
            }
        }
    }
    return bmpFile(int32_t(width), int32_t(height), 8, indices, palette);
}
}  // namespace

std::string playerBmpProblem(const Bytes& b)
{
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return "is not a BMP file (it does not start with a 54-byte BMP header)";
    const uint32_t offset = common::readLe32(&b[10]), header = common::readLe32(&b[14]);
    const int32_t width = int32_t(common::readLe32(&b[18])), height = int32_t(common::readLe32(&b[22]));
    const unsigned bits = unsigned(b[28]) | unsigned(b[29]) << 8;
    const uint32_t compression = common::readLe32(&b[30]), imageSize = common::readLe32(&b[34]);
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

std::string textureFromImage(const Bytes& file, TextureImage& out, int scaledWidth, int scaledHeight)
{
    out = TextureImage();
    const bool scaled = scaledWidth > 0 && scaledHeight > 0;
    if (!scaled && playerBmpProblem(file).empty()) {
        out.bmp = file;
        out.fileWidth = int32_t(common::readLe32(&file[18]));
        out.fileHeight = int32_t(common::readLe32(&file[22]));
        return "";
    }
    if (file.empty())
        return "is empty";
    if (file.size() > size_t(INT32_MAX))
        return "is too large to read";

    Bytes unpacked = unpackedBmp(file);
    const Bytes& readable = unpacked.empty() ? file : unpacked;
    int width = 0, height = 0, channels = 0;
    const int length = int(readable.size());
    if (!stbi_info_from_memory(readable.data(), length, &width, &height, &channels))
        return std::string("cannot be read as an image (") + stbi_failure_reason() +
               "); textures take BMP, PNG, JPEG, TGA, GIF, PSD or PNM files";
    height = std::abs(height);  // BMP rows stored top first give a negative height here
    out.fileWidth = width;
    out.fileHeight = height;
    if (width <= 0 || height <= 0)
        return "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; a texture needs pixels";
    if (!scaled && (width > kMaxTextureSide || height > kMaxTextureSide))
        return "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; textures are at most " +
               std::to_string(kMaxTextureSide) + " pixels on a side (GL_MAX_TEXTURE_SIZE of the usual drivers)";

    std::string cut = truncatedBmp(file);
    if (!cut.empty())
        return cut;
    stbi_uc* pixels = stbi_load_from_memory(readable.data(), length, &width, &height, &channels, 3);
    if (!pixels)
        return std::string("cannot be read as an image (") + stbi_failure_reason() + ")";
    const size_t rowBytes = size_t(width) * 3;
    Bytes rgb(pixels, pixels + rowBytes * size_t(height));
    stbi_image_free(pixels);
    if (scaled && (scaledWidth != width || scaledHeight != height)) {
        Bytes resized(size_t(scaledWidth) * 3 * size_t(scaledHeight));
        // stb_image_resize's default filters: Catmull-Rom up, Mitchell down.
        if (!stbir_resize_uint8(rgb.data(), width, height, 0, resized.data(), scaledWidth, scaledHeight, 0, 3))
            return "could not be scaled to " + std::to_string(scaledWidth) + " x " + std::to_string(scaledHeight);
        rgb.swap(resized);
        width = scaledWidth;
        height = scaledHeight;
    }

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

}  // namespace tools::media
