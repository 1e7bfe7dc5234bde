// The PNG writer of rendered frames: checksums, the zlib stream and the file
// structure, checked by decoding with an independent reader written here.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>

#include "tools/writer/png.h"

using namespace authoring;

namespace {

// A minimal inflate: stored and fixed-Huffman blocks (dynamic blocks make
// it throw, which fails the test as well).
class Inflater {
public:
    explicit Inflater(const Bytes& in, size_t at) : in_(in), pos_(at) {}

    Bytes run()
    {
        Bytes out;
        bool last = false;
        while (!last) {
            last = bits(1);
            int type = int(bits(2));
            if (type == 0) {
                bitPos_ = 0;
                ++pos_;
                uint16_t len = uint16_t(byteAt(pos_) | byteAt(pos_ + 1) << 8);
                uint16_t nlen = uint16_t(byteAt(pos_ + 2) | byteAt(pos_ + 3) << 8);
                if (uint16_t(~nlen) != len)
                    throw std::runtime_error("stored block length check");
                pos_ += 4;
                for (int i = 0; i < len; ++i)
                    out.push_back(byteAt(pos_++));
            } else if (type == 1) {
                fixedBlock(out);
            } else {
                throw std::runtime_error("unsupported block type");
            }
        }
        if (bitPos_) {
            bitPos_ = 0;
            ++pos_;
        }
        end_ = pos_;
        return out;
    }
    size_t end() const { return end_; }

private:
    uint8_t byteAt(size_t i) const
    {
        if (i >= in_.size())
            throw std::runtime_error("ran off the end");
        return in_[i];
    }
    uint32_t bits(int count)
    {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value |= uint32_t((byteAt(pos_) >> bitPos_) & 1) << i;
            if (++bitPos_ == 8) {
                bitPos_ = 0;
                ++pos_;
            }
        }
        return value;
    }
    uint32_t huffmanBits(int count)
    {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 1 | bits(1);
        return value;
    }
    int literal()
    {
        uint32_t code = huffmanBits(7);
        if (code <= 0x17)
            return int(code) + 256;
        code = code << 1 | bits(1);
        if (code >= 0x30 && code <= 0xBF)
            return int(code - 0x30);
        if (code >= 0xC0 && code <= 0xC7)
            return int(code - 0xC0 + 280);
        code = code << 1 | bits(1);
        return int(code - 0x190 + 144);
    }
    void fixedBlock(Bytes& out)
    {
        static const int lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int distanceBase[] = {1,    2,    3,    4,    5,    7,    9,     13,    17,    25,
                                           33,   49,   65,   97,   129,  193,  257,   385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        for (;;) {
            int symbol = literal();
            if (symbol < 256) {
                out.push_back(uint8_t(symbol));
                continue;
            }
            if (symbol == 256)
                return;
            int l = symbol - 257;
            int lengthExtra = (l < 8 || l == 28) ? 0 : (l - 4) / 4;
            int length = lengthBase[l] + int(bits(lengthExtra));
            int d = int(huffmanBits(5));
            int distanceExtra = d < 4 ? 0 : (d - 2) / 2;
            int distance = distanceBase[d] + int(bits(distanceExtra));
            if (size_t(distance) > out.size())
                throw std::runtime_error("distance before the start");
            for (int i = 0; i < length; ++i)
                out.push_back(out[out.size() - size_t(distance)]);
        }
    }

    const Bytes& in_;
    size_t pos_;
    int bitPos_ = 0;
    size_t end_ = 0;
};

uint32_t bigEndian(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

Bytes unzlib(const Bytes& stream)
{
    EXPECT_GE(stream.size(), 6u);
    EXPECT_EQ((stream[0] << 8 | stream[1]) % 31, 0) << "zlib header check";
    EXPECT_EQ(stream[0] & 0x0F, 8) << "deflate";
    Inflater inflater(stream, 2);
    Bytes out = inflater.run();
    EXPECT_EQ(inflater.end() + 4, stream.size()) << "Adler-32 ends the stream";
    EXPECT_EQ(bigEndian(stream, inflater.end()), adler32(out.data(), out.size()));
    return out;
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
    EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
    Bytes idat;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = bigEndian(png, at);
        std::string type(png.begin() + long(at) + 4, png.begin() + long(at) + 8);
        result.chunkTypes.push_back(type);
        EXPECT_EQ(bigEndian(png, at + 8 + length), crc32(&png[at + 4], length + 4)) << type;
        Bytes content(png.begin() + long(at) + 8, png.begin() + long(at + 8 + length));
        if (type == "IHDR")
            result.header = content;
        if (type == "IDAT")
            append(idat, content);
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    result.width = bigEndian(result.header, 0);
    result.height = bigEndian(result.header, 4);
    Bytes raw = unzlib(idat);
    size_t row = size_t(result.width) * 3;
    EXPECT_EQ(raw.size(), (row + 1) * result.height);
    for (uint32_t y = 0; y < result.height && (y + 1) * (row + 1) <= raw.size(); ++y) {
        EXPECT_EQ(raw[y * (row + 1)], 0) << "filter type of row " << y;
        result.rgb.insert(result.rgb.end(), raw.begin() + long(y * (row + 1) + 1),
                          raw.begin() + long((y + 1) * (row + 1)));
    }
    return result;
}

}  // namespace

TEST(PngChecksums, KnownAnswers)
{
    const char* digits = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits), 9), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
    // A running checksum over two halves equals the one over the whole.
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(digits) + 4, 5,
                    crc32(reinterpret_cast<const uint8_t*>(digits), 4)),
              0xCBF43926u);
    const char* wiki = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(wiki), 9), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
    // Adler sums wrap modulo 65521: a long run of 0xFF exercises it.
    Bytes ff(100000, 0xFF);
    uint32_t a = 1, b = 0;
    for (uint8_t byte : ff) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(adler32(ff.data(), ff.size()), b << 16 | a);
}

TEST(PngZlib, RoundTripsAllKindsOfInput)
{
    std::mt19937 random(7);
    std::vector<Bytes> inputs = {{}, {42}, Bytes(70000, 9)};
    Bytes noise(5000);
    for (uint8_t& byte : noise)
        byte = uint8_t(random());
    inputs.push_back(noise);
    // Repeats at every distance and length the format has, up to the window.
    Bytes repeats;
    for (int run = 0; repeats.size() < 200000; ++run) {
        size_t distance = size_t(1) << (run % 16);
        size_t length = 3 + size_t(random() % 300);
        if (repeats.size() < distance) {
            repeats.push_back(uint8_t(random()));
            continue;
        }
        for (size_t i = 0; i < length; ++i)
            repeats.push_back(repeats[repeats.size() - distance]);
        repeats.push_back(uint8_t(random()));
    }
    inputs.push_back(repeats);
    for (const Bytes& input : inputs) {
        Bytes compressed = zlibCompress(input);
        EXPECT_EQ(unzlib(compressed), input) << "input of " << input.size() << " bytes";
    }
    EXPECT_LT(zlibCompress(Bytes(70000, 9)).size(), 1000u) << "flat data compresses";
}

TEST(PngFile, HeaderChunksAndPixelsDecodeBack)
{
    const int width = 7, height = 5;
    Bytes rgb(size_t(width * height * 3));
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(i * 37);
    Bytes png = encodePng(width, height, rgb);
    DecodedPng decoded = decodePng(png);
    EXPECT_EQ(decoded.chunkTypes, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(decoded.width, 7u);
    EXPECT_EQ(decoded.height, 5u);
    ASSERT_EQ(decoded.header.size(), 13u);
    EXPECT_EQ(decoded.header[8], 8) << "bit depth";
    EXPECT_EQ(decoded.header[9], 2) << "RGB";
    EXPECT_EQ(decoded.rgb, rgb);
    EXPECT_EQ(encodePng(width, height, rgb), png) << "same pixels, same bytes";
}

TEST(PngFile, RefusesPixelsThatDoNotFit)
{
    EXPECT_TRUE(encodePng(4, 4, Bytes(47)).empty());
    EXPECT_TRUE(encodePng(0, 4, Bytes(48)).empty());
    EXPECT_FALSE(encodePng(4, 4, Bytes(48)).empty());
}
