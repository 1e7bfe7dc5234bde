// Windows bitmap files (12- or 40-byte header, with or without the file
// header) decoded to RGB images. Every failure is reported with exactly one
// "Error" message box and gives no image.
#pragma once

#include <cstdint>
#include <memory>

#include "texture/image_record.h"

// Uncompressed 1, 4, 8, 16 (5-5-5), 24 and 32 bits per pixel, 16 and 32 bits
// with colour masks, and run-length encoded 4 and 8 bits per pixel; colour
// tables of 3- or 4-byte entries, sized by the colours-used field when it is
// set. Images stored top row first come out bottom row first like the others.
std::unique_ptr<ImageRecord> readBmpFile(const char* path);

// The same for the bytes of a whole file.
std::unique_ptr<ImageRecord> decodeBmp(const uint8_t* data, int32_t size);
