// PNG files of rendered frames, written with libpng.
#pragma once

#include "tools/writer/writer.h"

namespace tools::media {

using namespace tools::writer;

// 8-bit RGB image, rows from top to bottom, 3 * width * height bytes. Empty
// when the pixels do not fit the size. The same pixels always give the same
// bytes (no time stamp).
Bytes encodePng(int width, int height, const Bytes& rgb);

}  // namespace tools::media
