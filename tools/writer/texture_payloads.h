// Texture data as the player reads it: BMP files (the body of resource 200
// and the files Texture::loadFile reads) and texture parameter streams (the
// 201 block of resources 200 and 202, and the ".dat" file beside a BMP file).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::writer {

// ---- BMP files

using Rgb8 = std::array<uint8_t, 3>;  // red, green, blue

struct BmpLayout {
    bool fileHeader = true;       // the 14-byte "BM" header
    uint32_t headerSize = 40;     // 12 (core), 40, or any other size to write a header readers reject
    uint32_t compression = 0;     // 0 none, 1 RLE8, 2 RLE4, 3 colour masks
    std::array<uint32_t, 3> masks{};  // red, green, blue; written after a 40-byte header with compression 3
    uint32_t colorsUsed = 0;      // the colours-used field (40-byte header)
    uint32_t imageSizeField = 0;  // 0, as in the shipped images
    bool topDown = false;         // negative height, rows stored top first
    int32_t gapBeforePixels = 0;  // bytes between the colour table and the pixels (the offset field says so)
};

// A BMP file. `rows` holds the stored pixel rows bottom row first (top row
// first with topDown), each in the file's own encoding (palette indices
// packed high bits first, little-endian 16-bit words, blue-green-red
// triples...) without padding: the writer pads every row to 4 bytes. For
// compressed files `rows` is the compressed data, written as it is. The
// palette becomes the colour table (4-byte entries, 3-byte for the core header).
Bytes bmpFile(int32_t width, int32_t height, int bitsPerPixel, const Bytes& rows,
              const std::vector<Rgb8>& palette = {}, const BmpLayout& layout = {});

// A 24-bit uncompressed file from RGB pixels, bottom row first, tightly
// packed (width × height × 3 bytes): the layout of the shipped images.
Bytes bmp24(int32_t width, int32_t height, const Bytes& rgb, const BmpLayout& layout = {});

// ---- Texture parameter streams

// Common GL enumeration values for the filter and wrap fields.
constexpr uint16_t kGlNearest = 0x2600;
constexpr uint16_t kGlLinear = 0x2601;
constexpr uint16_t kGlLinearMipmapLinear = 0x2703;
constexpr uint16_t kGlClamp = 0x2900;
constexpr uint16_t kGlRepeat = 0x2901;
constexpr uint16_t kGlClampToEdge = 0x812F;
constexpr uint16_t kGlMirroredRepeat = 0x8370;

// One chunk per call, in call order.
class TextureParameterWriter {
public:
    TextureParameterWriter& magFilter(uint16_t value);  // 10240
    TextureParameterWriter& minFilter(uint16_t value);  // 10241
    TextureParameterWriter& wrapS(uint16_t value);      // 10242
    TextureParameterWriter& wrapT(uint16_t value);      // 10243
    TextureParameterWriter& borderColor(float r, float g, float b, float a);  // 3
    TextureParameterWriter& level(int16_t level);       // 205: for later uploads
    TextureParameterWriter& border(int16_t border);     // 206: for later uploads
    TextureParameterWriter& upload();                   // 204: the image at the current level
    TextureParameterWriter& buildMipmaps();             // 203: the image with every mipmap level
    TextureParameterWriter& raw(const Bytes& chunkBytes);
    Bytes bytes() const;  // with the trailing byte

private:
    StreamWriter stream_;
};

enum class TextureUpload { None, Level0, Mipmaps };

// Readable fields; the defaults give the stream every shipped texture
// carries: 10241, 10240 linear, 10242, 10243 repeat, 205 = 0, 206 = 0,
// border colour (0, 0, 0, 0), 204. An unset field is left out.
struct TextureParameters {
    std::optional<uint16_t> minFilter = kGlLinear;
    std::optional<uint16_t> magFilter = kGlLinear;
    std::optional<uint16_t> wrapS = kGlRepeat;
    std::optional<uint16_t> wrapT = kGlRepeat;
    std::optional<int16_t> level = 0;
    std::optional<int16_t> border = 0;
    std::optional<std::array<float, 4>> borderColor = std::array<float, 4>{0, 0, 0, 0};
    TextureUpload upload = TextureUpload::Level0;
};
Bytes textureParameters(const TextureParameters& parameters = {});

// Resource 200: tag, the parameter stream (201), the BMP bytes (8).
Bytes textureResource(const std::string& tag, const Bytes& bmp, const Bytes& parameters = textureParameters());
// Resource 202: tag, the parameter stream (201), the source tag (9).
Bytes textureCopyResource(const std::string& tag, const std::string& sourceTag,
                          const Bytes& parameters = textureParameters());

}  // namespace tools::writer
