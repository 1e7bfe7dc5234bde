// Textures from the image files demo makers have: BMP (any header version,
// depth, run-length encoding and row order), PNG, JPEG, TGA, GIF, PSD, PNM.
// The player reads only 24-bit uncompressed BMP files with the 54-byte
// header, rows stored bottom first and a multiple of 4 bytes long.
#pragma once

#include <string>

#include "tools/writer/writer.h"

namespace tools::media {

using namespace tools::writer;

// The largest side every usual driver's GL_MAX_TEXTURE_SIZE allows.
constexpr int kMaxTextureSide = 8192;

struct TextureImage {
    Bytes bmp;                // what goes into the demo data
    int fileWidth = 0;        // the image as the file has it
    int fileHeight = 0;
    bool converted = false;   // false: the file was in the player's layout and is kept byte for byte
    bool widened = false;     // the width was stretched to a multiple of 4
};

// Why the player's texture loader would not take these BMP bytes as they
// are, or "" when it would.
std::string playerBmpProblem(const Bytes& file);

// Turns an image file into the player's layout. A file already in it is
// kept as it is. Otherwise the image is decoded (alpha is dropped) and an
// image whose width is not a multiple of 4 is stretched to the next
// multiple of 4 (rows of 24-bit pixels must be a multiple of 4 bytes, and
// stretching keeps the whole picture on the texture's 0..1 coordinates).
// With a scaled size (both sides above 0) the image is first resampled to
// it with stb_image_resize, whatever its layout.
// Returns "" or why the file cannot be a texture (unreadable, zero size,
// larger than kMaxTextureSide), worded to follow the file's name.
std::string textureFromImage(const Bytes& file, TextureImage& out, int scaledWidth = 0, int scaledHeight = 0);

// Texture sizes a release would not want in its demo data: one texture's
// chunk, and the whole demo.
constexpr size_t kLargeTextureBytes = 4000000;
constexpr size_t kLargeDemoBytes = 32000000;

}  // namespace tools::media
