#include "tools/media/wav.h"

namespace tools::media {

Bytes encodeWav(const std::vector<int16_t>& interleaved, int rate, int channels)
{
    Bytes out;
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(uint8_t(value >> (8 * i)));
    };
    const uint32_t dataSize = uint32_t(interleaved.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + dataSize, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);  // integer PCM
    put(uint32_t(channels), 2);
    put(uint32_t(rate), 4);
    put(uint32_t(rate * channels * 2), 4);  // bytes a second
    put(uint32_t(channels * 2), 2);         // bytes a frame
    put(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(dataSize, 4);
    for (int16_t v : interleaved)
        put(uint16_t(v), 2);
    return out;
}

}  // namespace tools::media
