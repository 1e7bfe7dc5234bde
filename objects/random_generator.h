// The seedable generator behind the piece assembly's order and dips: the
// same seed gives the same numbers on every system, which the C library's
// rand does not promise.
#pragma once

#include <cstdint>

class RandomGenerator {
public:
    void seed(uint32_t value) { state = value; }
    // 0 to 32767: bits 16 to 30 of the next state.
    int32_t next()
    {
        state = state * 214013u + 2531011u;
        return int32_t((state >> 16) & 0x7FFF);
    }

    uint32_t state = 1;
};
