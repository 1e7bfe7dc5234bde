// PNG files of rendered frames, written without outside libraries: one zlib
// stream (fixed-Huffman deflate with LZ77 matching) in one IDAT chunk. The
// same pixels always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/writer/writer.h"

namespace authoring {

// CRC-32 as PNG chunks use it (reflected, polynomial 0xEDB88320); pass the
// previous result to continue a running checksum.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t previous = 0);
uint32_t adler32(const uint8_t* data, size_t size);
// A complete zlib stream (header, one fixed-Huffman deflate block, Adler-32).
Bytes zlibCompress(const Bytes& data);
// 8-bit RGB image, rows from top to bottom, 3 * width * height bytes.
Bytes encodePng(int width, int height, const Bytes& rgb);

}  // namespace authoring
