// Little-endian numbers at a place in a byte buffer, for the file headers
// the tools look into (BMP, WAV, executables). The caller bounds the read.
#pragma once

#include <cstdint>

namespace tools::common {

inline uint16_t readLe16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace tools::common
