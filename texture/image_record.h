// An 8-bit RGB picture: three bytes per pixel (red, green, blue), rows from
// the bottom row to the top row, tightly packed.
#pragma once

#include <cstdint>
#include <memory>

struct ImageRecord {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint8_t[]> pixels;  // width × height × 3 bytes

    bool empty() const { return !pixels || width <= 0 || height <= 0; }
};
