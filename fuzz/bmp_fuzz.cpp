// Arbitrary bytes as a BMP file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "fuzz/fuzz_player.h"
#include "texture/bmp_reader.h"

namespace {

// Bytes of RGB pixels the headers ask for, read as the reader reads them; 0
// when they cannot be read.
int64_t claimedPixelBytes(const uint8_t* data, size_t size)
{
    const size_t start = size >= 2 && data[0] == 'B' && data[1] == 'M' ? 14 : 0;
    uint32_t headerSize = 0;
    if (size < start + 12)
        return 0;
    std::memcpy(&headerSize, data + start, 4);
    if (headerSize == 12) {
        uint16_t wh[2];
        std::memcpy(wh, data + start + 4, 4);
        return int64_t(wh[0]) * wh[1] * 3;
    }
    if (headerSize != 40 || size < start + 12)
        return 0;
    int32_t wh[2];
    std::memcpy(wh, data + start + 4, 8);
    const int64_t rows = wh[1] < 0 ? -int64_t(wh[1]) : wh[1];
    const int64_t pixels = wh[0] > 0 ? int64_t(wh[0]) * rows : 0;  // below 2^62
    return pixels > (int64_t(1) << 40) ? std::numeric_limits<int64_t>::max() : pixels * 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzing::beQuiet();
    // Pictures of several megabytes up to the reader's own limit decode as
    // small ones do, but each costs the time of a thousand small ones (the
    // pixels are allocated and cleared first). Claims above the limit still
    // go through: the reader refuses them.
    const int64_t claimed = claimedPixelBytes(data, size);
    if (claimed > (int64_t(1) << 22) && claimed <= (int64_t(1) << 28))
        return -1;  // not added to the corpus
    decodeBmp(data, int32_t(size));
    return 0;
}
