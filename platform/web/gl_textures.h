// What WebGL cannot tell about 2D textures, kept beside it: each level's
// size, internal format and border, its texels (for glGetTexImage), and the
// border colour. Uploads arrive here as glTexImage2D gets them, read with
// the unpack pixel store; read-back packs with the pack pixel store. Plain
// C++ with no GL calls, so that the Linux tests can check it against a real
// GL.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace webgl {

// Components per pixel of a client pixel format; 0 for one it does not take.
int formatComponents(GLenum format);

struct PixelStore {
    GLint alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0;
};

class TextureStore {
public:
    // The texture glTexImage2D and the queries act on (GL_TEXTURE_2D's).
    void bind(GLuint name) { bound_ = name; }
    void forget(GLuint name);

    PixelStore unpack, pack;

    // Records level `level` of the bound texture. pixels may be null (a
    // level of undefined texels, kept as zeros). Returns the GL error the
    // call makes (GL_NO_ERROR when recorded), and in `upload` the texels
    // tightly packed in the base format of internalFormat, which is
    // `uploadFormat` (GL_RGB, GL_RGBA, GL_LUMINANCE, GL_LUMINANCE_ALPHA or
    // GL_ALPHA): what a GL that takes only matching unsized formats needs.
    GLenum upload(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border, GLenum format,
                  GLenum type, const void* pixels, GLenum* uploadFormat, std::vector<uint8_t>* upload);

    // glGetTexLevelParameteriv of the bound texture; false for a pname it
    // does not know (GL_INVALID_ENUM).
    bool levelParameter(GLint level, GLenum pname, GLint* value) const;
    // glGetTexImage of the bound texture; returns the GL error.
    GLenum image(GLint level, GLenum format, GLenum type, void* pixels) const;

    void setBorderColor(const GLfloat color[4]);
    void borderColor(GLfloat color[4]) const;

    // Levels past this are refused, as GL_MAX_TEXTURE_SIZE says.
    GLint maxSize = 8192;

private:
    struct Level {
        GLsizei width = 0, height = 0;
        GLint border = 0, internalFormat = GL_RGBA;  // what GL reports for an undefined level
        GLenum base = GL_RGBA;
        std::vector<uint8_t> rgba;  // width x height, 4 bytes a texel
    };
    // A handful of textures with a dozen levels each: plain vectors, which
    // cost the web player less code than maps.
    struct Texture {
        GLuint name;
        std::vector<Level> levels;  // by level number; width 0 = undefined
        GLfloat border[4];
    };
    const Level* level(GLint level) const;
    const Texture* find(GLuint name) const;
    Texture& bound();

    GLuint bound_ = 0;
    std::vector<Texture> textures_;
};

}  // namespace webgl
