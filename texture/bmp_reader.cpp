#include "texture/bmp_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "demo/chunk_stream.h"
#include "demo/scene_object.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitfields = 3;

// Larger pictures are refused as the system's bitmap section would refuse
// them: no texture can hold them, and a tiny run-length file must not make
// the reader ask for gigabytes.
constexpr int64_t kMaxPixelBytes = int64_t(1) << 28;

const char* const kUnknownFormat = "Unknown DIB file format.";
const char* const kOutOfMemory = "Out of memory.";
const char* const kConversionError = "Image file conversion error.";

void report(const char* text)
{
    platform::messageBox(text, "Error", platform::MB_OK);
}

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

struct Source {
    int32_t width = 0;
    int32_t height = 0;  // negative: top row first
    uint16_t bitsPerPixel = 0;
    uint32_t compression = kRgb;
    uint32_t masks[3] = {};
    std::vector<Rgb> palette;
    int64_t pixelOffset = 0;
};

uint16_t u16At(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t u32At(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Widens a colour field of `bits` bits to 8 by repeating its bits, as the
// system's 16-bit conversion does (31 becomes 255, 16 becomes 132).
uint8_t widen(uint32_t value, int bits)
{
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return uint8_t(value >> (bits - 8));
    uint32_t wide = 0;
    int have = 0;
    while (have < 8) {
        wide = wide << bits | value;
        have += bits;
    }
    return uint8_t(wide >> (have - 8));
}

uint8_t maskedChannel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    int bits = 0;
    while (shift + bits < 32 && (mask >> (shift + bits) & 1))
        ++bits;
    return widen((pixel & mask) >> shift, bits);
}

// Header, colour table and where the pixels start; false after reporting.
bool readHeaders(ChunkStream& stream, Source& source)
{
    uint8_t fileHeader[14];
    const bool hasFileHeader = stream.read(fileHeader, 2, 0) && fileHeader[0] == 'B' && fileHeader[1] == 'M';
    const int32_t headerStart = hasFileHeader ? 14 : 0;
    if (hasFileHeader && !stream.read(fileHeader, 14, 0)) {
        report(kUnknownFormat);
        return false;
    }
    uint32_t headerSize = 0;
    if (!stream.read(nullptr, 0, headerStart) || !stream.readU32(headerSize) ||
        (headerSize != 12 && headerSize != 40)) {
        report(kUnknownFormat);
        return false;
    }
    uint8_t header[40];
    if (!stream.read(header, int32_t(headerSize), headerStart)) {
        report(kUnknownFormat);
        return false;
    }

    uint32_t colorCount = 0;
    int entrySize = 4;
    int32_t tableStart = headerStart + int32_t(headerSize);
    if (headerSize == 12) {
        source.width = u16At(header + 4);
        source.height = u16At(header + 6);
        source.bitsPerPixel = u16At(header + 10);
        entrySize = 3;
    } else {
        source.width = int32_t(u32At(header + 4));
        source.height = int32_t(u32At(header + 8));
        source.bitsPerPixel = u16At(header + 14);
        source.compression = u32At(header + 16);
        colorCount = u16At(header + 32);  // the colours-used field, as 16 bits
        if (source.compression == kBitfields) {
            uint8_t masks[12];
            if (!stream.read(masks, 12, tableStart)) {
                report(kConversionError);
                return false;
            }
            for (int i = 0; i < 3; ++i)
                source.masks[i] = u32At(masks + 4 * i);
            tableStart += 12;
        }
    }
    const uint16_t bpp = source.bitsPerPixel;
    if (colorCount == 0 && (bpp == 1 || bpp == 4 || bpp == 8))
        colorCount = 1u << bpp;

    std::vector<uint8_t> table(size_t(colorCount) * size_t(entrySize));
    if (!table.empty() && !stream.read(table.data(), int32_t(table.size()), tableStart)) {
        report(kConversionError);
        return false;
    }
    source.palette.resize(colorCount);
    for (uint32_t i = 0; i < colorCount; ++i) {
        const uint8_t* entry = table.data() + size_t(i) * size_t(entrySize);
        source.palette[i] = Rgb{entry[2], entry[1], entry[0]};
    }
    source.pixelOffset = hasFileHeader ? int64_t(u32At(fileHeader + 10))
                                       : int64_t(tableStart) + int64_t(table.size());
    return true;
}

bool supported(const Source& s)
{
    switch (s.compression) {
    case kRgb:
        return s.bitsPerPixel == 1 || s.bitsPerPixel == 4 || s.bitsPerPixel == 8 || s.bitsPerPixel == 16 ||
               s.bitsPerPixel == 24 || s.bitsPerPixel == 32;
    case kRle8:
        return s.bitsPerPixel == 8 && s.height > 0;
    case kRle4:
        return s.bitsPerPixel == 4 && s.height > 0;
    case kBitfields:
        return s.bitsPerPixel == 16 || s.bitsPerPixel == 32;
    default:
        return false;
    }
}

class Decoder {
public:
    Decoder(const Source& source, uint8_t* out, int32_t rows)
        : s_(source), out_(out), rows_(rows)
    {
    }

    void put(int32_t x, int32_t row, Rgb c)
    {
        if (x < 0 || x >= s_.width || row < 0 || row >= rows_)
            return;
        uint8_t* p = out_ + (int64_t(row) * s_.width + x) * 3;
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }

    // Indices past the table give black.
    Rgb indexed(uint32_t index) const { return index < s_.palette.size() ? s_.palette[index] : Rgb{}; }

    // One stored row of `bytes`, already in memory.
    void decodeRow(const uint8_t* in, int32_t row)
    {
        const int32_t w = s_.width;
        switch (s_.bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
            const int bpp = s_.bitsPerPixel;
            const int perByte = 8 / bpp;
            const uint32_t mask = (1u << bpp) - 1;
            for (int32_t x = 0; x < w; ++x) {
                int shift = 8 - bpp * (x % perByte + 1);
                put(x, row, indexed(in[x / perByte] >> shift & mask));
            }
            break;
        }
        case 16:
            for (int32_t x = 0; x < w; ++x) {
                uint32_t pixel = u16At(in + 2 * x);
                if (s_.compression == kBitfields)
                    put(x, row, Rgb{maskedChannel(pixel, s_.masks[0]), maskedChannel(pixel, s_.masks[1]),
                                    maskedChannel(pixel, s_.masks[2])});
                else
                    put(x, row, Rgb{widen(pixel >> 10 & 31, 5), widen(pixel >> 5 & 31, 5), widen(pixel & 31, 5)});
            }
            break;
        case 24:
            for (int32_t x = 0; x < w; ++x)
                put(x, row, Rgb{in[3 * x + 2], in[3 * x + 1], in[3 * x]});
            break;
        case 32:
            for (int32_t x = 0; x < w; ++x) {
                if (s_.compression == kBitfields) {
                    uint32_t pixel = u32At(in + 4 * x);
                    put(x, row, Rgb{maskedChannel(pixel, s_.masks[0]), maskedChannel(pixel, s_.masks[1]),
                                    maskedChannel(pixel, s_.masks[2])});
                } else {
                    put(x, row, Rgb{in[4 * x + 2], in[4 * x + 1], in[4 * x]});
                }
            }
            break;
        }
    }

    // Run-length data: runs, line ends, deltas and literal runs. Pixels the
    // data never reaches stay black; data that ends early ends the picture.
    // The column stops at the row's end: pixels past it are dropped, however
    // long the data runs on without a line end.
    void decodeRle(ChunkStream& stream)
    {
        const bool four = s_.compression == kRle4;
        int32_t x = 0, row = 0;
        uint8_t pair[2];
        while (row < rows_ && stream.read(pair, 2)) {
            if (pair[0] > 0) {
                for (int i = 0; i < pair[0] && x < s_.width; ++i) {
                    uint32_t index = four ? (i % 2 ? pair[1] & 15 : pair[1] >> 4) : pair[1];
                    put(x++, row, indexed(index));
                }
                continue;
            }
            switch (pair[1]) {
            case 0:
                x = 0;
                ++row;
                break;
            case 1:
                return;
            case 2: {
                uint8_t delta[2];
                if (!stream.read(delta, 2))
                    return;
                x = std::min(x + delta[0], s_.width);
                row += delta[1];
                break;
            }
            default: {
                const int count = pair[1];
                const int bytes = four ? (count + 1) / 2 : count;
                uint8_t literal[256];
                if (!stream.read(literal, bytes))
                    return;
                for (int i = 0; i < count && x < s_.width; ++i) {
                    uint32_t index = four ? (i % 2 ? literal[i / 2] & 15 : literal[i / 2] >> 4) : literal[i];
                    put(x++, row, indexed(index));
                }
                if (bytes % 2)
                    stream.skip(1);
                break;
            }
            }
        }
    }

private:
    const Source& s_;
    uint8_t* out_;
    int32_t rows_;
};

}  // namespace

std::unique_ptr<ImageRecord> decodeBmp(const uint8_t* data, int32_t size)
{
    ChunkStream stream(data, data ? size : 0);
    Source source;
    if (!readHeaders(stream, source))
        return nullptr;
    if (source.width <= 0 || source.height == 0 || source.height == INT32_MIN || !supported(source)) {
        report(kConversionError);
        return nullptr;
    }
    const int64_t rows = source.height < 0 ? -int64_t(source.height) : source.height;
    // Width times rows stays below 2^62; times 3 it could pass 64 bits.
    const int64_t pixelCount = int64_t(source.width) * rows;
    if (pixelCount > kMaxPixelBytes / 3) {
        report(kOutOfMemory);
        return nullptr;
    }
    const int64_t pixelBytes = pixelCount * 3;
    if (source.pixelOffset > stream.size()) {
        report(kConversionError);
        return nullptr;
    }

    std::unique_ptr<ImageRecord> image(new (std::nothrow) ImageRecord);
    uint8_t* pixels = new (std::nothrow) uint8_t[size_t(pixelBytes)]();
    if (!image || !pixels) {
        delete[] pixels;
        report(kOutOfMemory);
        return nullptr;
    }
    image->pixels.reset(pixels);
    image->width = source.width;
    image->height = int32_t(rows);
    Decoder decoder(source, pixels, int32_t(rows));

    stream.read(nullptr, 0, int32_t(source.pixelOffset));
    if (source.compression == kRle8 || source.compression == kRle4) {
        decoder.decodeRle(stream);
        return image;
    }

    // Stored rows are padded to 4 bytes; the last row's padding may be missing.
    const int64_t rowBytes = (int64_t(source.width) * source.bitsPerPixel + 7) / 8;
    const int64_t stride = (int64_t(source.width) * source.bitsPerPixel + 31) / 32 * 4;
    if (stride * (rows - 1) + rowBytes > stream.remaining()) {
        report(kConversionError);
        return nullptr;
    }
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int64_t r = 0; r < rows; ++r) {
        stream.read(row.data(), int32_t(rowBytes), int32_t(source.pixelOffset + r * stride));
        decoder.decodeRow(row.data(), int32_t(source.height > 0 ? r : rows - 1 - r));
    }
    return image;
}

std::unique_ptr<ImageRecord> readBmpFile(const char* path)
{
    uint8_t* data = nullptr;
    int32_t size = 0;
    // An empty file cannot be mapped, so it counts as one that cannot be opened.
    if (!path || !readWholeFile(path, data, size) || size == 0) {
        delete[] data;
        std::string text = std::string("Failed to open DIB file ") + (path ? path : "") + ".\n";
        report(text.c_str());
        return nullptr;
    }
    std::unique_ptr<ImageRecord> image = decodeBmp(data, size);
    delete[] data;
    return image;
}
