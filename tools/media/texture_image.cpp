#include "tools/media/texture_image.h"

#include <algorithm>
#include <climits>
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

#include "platform/platform.h"
#include "texture/bmp_reader.h"
#include "tools/common/little_endian.h"
#include "tools/writer/texture_payloads.h"

namespace tools::media {

using namespace tools::writer;

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


// The engine's BMP reader tells what is wrong in a message box; the tools say
// it their own way. The other hooks are passed on to whatever was installed.
class QuietMessages : public platform::Hooks {
public:
    QuietMessages() : previous_(platform::installedHooks()) { platform::installHooks(this); }
    ~QuietMessages() override { platform::installHooks(previous_); }
    QuietMessages(const QuietMessages&) = delete;
    QuietMessages& operator=(const QuietMessages&) = delete;

    int messageBox(const char*, const char*, unsigned) override { return 1; }  // IDOK
    bool queryPerformanceFrequency(int64_t* frequency) override
    {
        return previous_ && previous_->queryPerformanceFrequency(frequency);
    }
    bool queryPerformanceCounter(int64_t* count) override
    {
        return previous_ && previous_->queryPerformanceCounter(count);
    }
    uint32_t timeGetTime() override { return previous_ ? previous_->timeGetTime() : 0; }
    bool failStep(const char* step) override { return previous_ && previous_->failStep(step); }

private:
    platform::Hooks* previous_;
};

// A BMP file for the engine's reader, which takes the 12- and 40-byte
// headers: those as they are; a longer header (v4, v5) only where stb_image
// cannot read the file (1 bit per pixel, run-length encoding), cut to its
// first 40 bytes, which are the 40-byte header. Nothing for the rest.
Bytes forEngineReader(const Bytes& b)
{
    if (b.size() < 30 || b[0] != 'B' || b[1] != 'M')
        return {};
    const uint32_t offset = common::readLe32(&b[10]), header = common::readLe32(&b[14]);
    if (header == 12 || header == 40)
        return b;
    if (header < 40 || b.size() < 54 || offset < 14 + header || offset > b.size())
        return {};
    const unsigned bits = common::readLe16(&b[28]);
    const uint32_t compression = common::readLe32(&b[30]);
    if (bits != 1 && compression != 1 && compression != 2)
        return {};
    Bytes cut(b.begin(), b.begin() + 54);
    cut.insert(cut.end(), b.begin() + 14 + header, b.end());
    const uint32_t shorter = header - 40;
    const uint32_t newOffset = offset - shorter;
    for (int i = 0; i < 4; ++i) {
        cut[10 + i] = uint8_t(newOffset >> (8 * i));
        cut[14 + i] = uint8_t(40u >> (8 * i));
    }
    return cut;
}

// The picture size a BMP header gives, rows stored either way.
void bmpSize(const Bytes& b, int& width, int& height)
{
    if (common::readLe32(&b[14]) == 12) {
        width = int16_t(common::readLe16(&b[18]));
        height = int16_t(common::readLe16(&b[20]));
    } else {
        width = int32_t(common::readLe32(&b[18]));
        height = int32_t(common::readLe32(&b[22]));
    }
    height = height == INT32_MIN ? INT32_MAX : std::abs(height);
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

    const Bytes engineBmp = forEngineReader(file);
    int width = 0, height = 0, channels = 0;
    const int length = int(file.size());
    if (!engineBmp.empty())
        bmpSize(engineBmp, width, height);
    else if (!stbi_info_from_memory(file.data(), length, &width, &height, &channels))
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
    Bytes rgb;
    std::unique_ptr<ImageRecord> image;
    if (!engineBmp.empty()) {
        QuietMessages quiet;
        image = decodeBmp(engineBmp.data(), int32_t(engineBmp.size()));
    }
    if (image && !image->empty()) {
        // The engine's rows come bottom first; the steps below take them top first.
        width = image->width;
        height = image->height;
        const size_t rowBytes = size_t(width) * 3;
        rgb.resize(rowBytes * size_t(height));
        for (int y = 0; y < height; ++y)
            std::memcpy(&rgb[rowBytes * size_t(height - 1 - y)], &image->pixels[rowBytes * size_t(y)], rowBytes);
    } else {
        // stb_image also takes a colour table shorter than the header says.
        stbi_uc* pixels = stbi_load_from_memory(file.data(), length, &width, &height, &channels, 3);
        if (!pixels)
            return std::string("cannot be read as an image (") + stbi_failure_reason() + ")";
        rgb.assign(pixels, pixels + size_t(width) * 3 * size_t(height));
        stbi_image_free(pixels);
    }
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
