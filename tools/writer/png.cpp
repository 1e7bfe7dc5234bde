#include "tools/writer/png.h"

#include <algorithm>
#include <array>
#include <vector>

namespace authoring {

uint32_t crc32(const uint8_t* data, size_t size, uint32_t previous)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = ~previous;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t* data, size_t size)
{
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

namespace {

class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}

    // Least significant bit first, as deflate packs header bits and extra bits.
    void bits(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            if ((value >> i) & 1)
                current_ |= uint8_t(1u << filled_);
            if (++filled_ == 8)
                flushByte();
        }
    }
    // Huffman codes go most significant bit first.
    void code(uint32_t value, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            bits((value >> i) & 1, 1);
    }
    void finish()
    {
        if (filled_)
            flushByte();
    }

private:
    void flushByte()
    {
        out_.push_back(current_);
        current_ = 0;
        filled_ = 0;
    }

    Bytes& out_;
    uint8_t current_ = 0;
    int filled_ = 0;
};

// The fixed literal/length code of deflate.
void literalOrLength(BitWriter& w, int symbol)
{
    if (symbol < 144)
        w.code(uint32_t(0x30 + symbol), 8);
    else if (symbol < 256)
        w.code(uint32_t(0x190 + symbol - 144), 9);
    else if (symbol < 280)
        w.code(uint32_t(symbol - 256), 7);
    else
        w.code(uint32_t(0xC0 + symbol - 280), 8);
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void match(BitWriter& w, int length, int distance)
{
    int l = 28;
    while (kLengthBase[l] > length)
        --l;
    literalOrLength(w, 257 + l);
    w.bits(uint32_t(length - kLengthBase[l]), kLengthExtra[l]);
    int d = 29;
    while (kDistanceBase[d] > distance)
        --d;
    w.code(uint32_t(d), 5);
    w.bits(uint32_t(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

constexpr int kWindow = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 32;

uint32_t hash3(const uint8_t* p)
{
    return ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

Bytes zlibCompress(const Bytes& data)
{
    Bytes out = {0x78, 0x01};  // deflate, 32K window, no dictionary; (0x7801 % 31 == 0)
    BitWriter w(out);
    w.bits(1, 1);  // final block
    w.bits(1, 2);  // fixed Huffman codes

    const int n = int(data.size());
    std::vector<int> head(size_t(1) << kHashBits, -1);
    std::vector<int> previous(size_t(n), -1);
    auto insert = [&](int at) {
        if (at + kMinMatch > n)
            return;
        uint32_t h = hash3(&data[size_t(at)]);
        previous[size_t(at)] = head[h];
        head[h] = at;
    };

    int i = 0;
    while (i < n) {
        int bestLength = 0, bestDistance = 0;
        if (i + kMinMatch <= n) {
            int limit = std::min(kMaxMatch, n - i);
            int candidate = head[hash3(&data[size_t(i)])];
            for (int chain = 0; candidate >= 0 && i - candidate <= kWindow && chain < kMaxChain; ++chain) {
                int length = 0;
                while (length < limit && data[size_t(candidate + length)] == data[size_t(i + length)])
                    ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = i - candidate;
                    if (length == limit)
                        break;
                }
                candidate = previous[size_t(candidate)];
            }
        }
        if (bestLength >= kMinMatch) {
            match(w, bestLength, bestDistance);
            for (int k = 0; k < bestLength; ++k)
                insert(i + k);
            i += bestLength;
        } else {
            literalOrLength(w, data[size_t(i)]);
            insert(i);
            ++i;
        }
    }
    literalOrLength(w, 256);
    w.finish();

    uint32_t adler = adler32(data.data(), data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(adler >> shift));
    return out;
}

namespace {

void bigEndian32(Bytes& to, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        to.push_back(uint8_t(value >> shift));
}

void pngChunk(Bytes& to, const char type[4], const Bytes& content)
{
    bigEndian32(to, uint32_t(content.size()));
    size_t typeAt = to.size();
    to.insert(to.end(), type, type + 4);
    to.insert(to.end(), content.begin(), content.end());
    bigEndian32(to, crc32(&to[typeAt], to.size() - typeAt));
}

}  // namespace

Bytes encodePng(int width, int height, const Bytes& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() < size_t(width) * size_t(height) * 3)
        return {};
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    bigEndian32(header, uint32_t(width));
    bigEndian32(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    pngChunk(png, "IHDR", header);

    // Each row with filter type 0: rendered frames are mostly flat colour,
    // which the matcher takes care of.
    const size_t rowBytes = size_t(width) * 3;
    Bytes raw;
    raw.reserve((rowBytes + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint8_t* row = rgb.data() + rowBytes * size_t(y);
        raw.insert(raw.end(), row, row + rowBytes);
    }
    pngChunk(png, "IDAT", zlibCompress(raw));
    pngChunk(png, "IEND", {});
    return png;
}

}  // namespace authoring
