// Texture images are kept with tightly packed rows, but GL's default pixel
// store pads every row to 4 bytes: a transfer of a row of width × 3 bytes
// that is not a multiple of 4 would then read or write past the image. The
// guard packs tightly for one transfer and restores the caller's settings.
#pragma once

#include <GL/gl.h>

class TightPixelStore {
public:
    TightPixelStore()
    {
        for (int i = 0; i < kCount; ++i) {
            glGetIntegerv(kNames[i], &saved_[i]);
            glPixelStorei(kNames[i], kTight[i]);
        }
    }
    ~TightPixelStore()
    {
        for (int i = 0; i < kCount; ++i)
            glPixelStorei(kNames[i], saved_[i]);
    }
    TightPixelStore(const TightPixelStore&) = delete;
    TightPixelStore& operator=(const TightPixelStore&) = delete;

private:
    static constexpr int kCount = 8;
    static constexpr GLenum kNames[kCount] = {
        GL_PACK_ALIGNMENT,   GL_PACK_ROW_LENGTH,   GL_PACK_SKIP_ROWS,   GL_PACK_SKIP_PIXELS,
        GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS};
    static constexpr GLint kTight[kCount] = {1, 0, 0, 0, 1, 0, 0, 0};
    GLint saved_[kCount] = {};
};
