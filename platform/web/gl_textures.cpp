#include "platform/web/gl_textures.h"

#include <cstring>
#include <utility>

namespace webgl {
namespace {

// The base format of an internal format GL 1.1 accepts (0 if none).
GLenum baseFormat(GLint internalFormat)
{
    switch (internalFormat) {
    case 1:
    case GL_LUMINANCE:
    case GL_LUMINANCE4:
    case GL_LUMINANCE8:
    case GL_LUMINANCE12:
    case GL_LUMINANCE16:
        return GL_LUMINANCE;
    case 2:
    case GL_LUMINANCE_ALPHA:
    case GL_LUMINANCE4_ALPHA4:
    case GL_LUMINANCE6_ALPHA2:
    case GL_LUMINANCE8_ALPHA8:
    case GL_LUMINANCE12_ALPHA4:
    case GL_LUMINANCE12_ALPHA12:
    case GL_LUMINANCE16_ALPHA16:
        return GL_LUMINANCE_ALPHA;
    case GL_ALPHA:
    case GL_ALPHA4:
    case GL_ALPHA8:
    case GL_ALPHA12:
    case GL_ALPHA16:
        return GL_ALPHA;
    case 3:
    case GL_RGB:
    case GL_R3_G3_B2:
    case GL_RGB4:
    case GL_RGB5:
    case GL_RGB8:
    case GL_RGB10:
    case GL_RGB12:
    case GL_RGB16:
        return GL_RGB;
    case 4:
    case GL_RGBA:
    case GL_RGBA2:
    case GL_RGBA4:
    case GL_RGB5_A1:
    case GL_RGBA8:
    case GL_RGB10_A2:
    case GL_RGBA12:
    case GL_RGBA16:
        return GL_RGBA;
    default:
        return 0;
    }
}

size_t rowStride(const PixelStore& s, GLsizei width, int bytesPerPixel)
{
    const size_t pixels = s.rowLength > 0 ? size_t(s.rowLength) : size_t(width);
    const size_t alignment = s.alignment > 0 ? size_t(s.alignment) : 1;
    return (pixels * bytesPerPixel + alignment - 1) / alignment * alignment;
}

// One pixel of a client image to RGBA, as GL's unpacking does (luminance
// goes to red, green and blue; missing components are 0, alpha 1).
void toRgba(GLenum format, const uint8_t* p, uint8_t out[4])
{
    out[0] = out[1] = out[2] = 0;
    out[3] = 255;
    switch (format) {
    case GL_RED:
        out[0] = p[0];
        break;
    case GL_GREEN:
        out[1] = p[0];
        break;
    case GL_BLUE:
        out[2] = p[0];
        break;
    case GL_ALPHA:
        out[3] = p[0];
        break;
    case GL_LUMINANCE:
        out[0] = out[1] = out[2] = p[0];
        break;
    case GL_LUMINANCE_ALPHA:
        out[0] = out[1] = out[2] = p[0];
        out[3] = p[1];
        break;
    case GL_RGB:
        std::memcpy(out, p, 3);
        break;
    case GL_BGR:
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        break;
    case GL_RGBA:
        std::memcpy(out, p, 4);
        break;
    case GL_BGRA:
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = p[3];
        break;
    default:
        break;
    }
}

// What a texel of base format `base` holds, as RGBA read back: luminance
// reads as red, and the components the format lacks as 0 (alpha as 1).
void keepBase(GLenum base, uint8_t t[4])
{
    switch (base) {
    case GL_LUMINANCE:
        t[1] = t[2] = 0;
        t[3] = 255;
        break;
    case GL_LUMINANCE_ALPHA:
        t[1] = t[2] = 0;
        break;
    case GL_ALPHA:
        t[0] = t[1] = t[2] = 0;
        break;
    case GL_RGB:
        t[3] = 255;
        break;
    default:
        break;
    }
}

void fromRgba(GLenum format, const uint8_t t[4], uint8_t* p)
{
    switch (format) {
    case GL_RED:
        p[0] = t[0];
        break;
    case GL_GREEN:
        p[0] = t[1];
        break;
    case GL_BLUE:
        p[0] = t[2];
        break;
    case GL_ALPHA:
        p[0] = t[3];
        break;
    case GL_LUMINANCE:
        p[0] = t[0];
        break;
    case GL_LUMINANCE_ALPHA:
        p[0] = t[0];
        p[1] = t[3];
        break;
    case GL_RGB:
        std::memcpy(p, t, 3);
        break;
    case GL_BGR:
        p[0] = t[2];
        p[1] = t[1];
        p[2] = t[0];
        break;
    case GL_RGBA:
        std::memcpy(p, t, 4);
        break;
    case GL_BGRA:
        p[0] = t[2];
        p[1] = t[1];
        p[2] = t[0];
        p[3] = t[3];
        break;
    default:
        break;
    }
}

}  // namespace

int formatComponents(GLenum format)
{
    switch (format) {
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
    case GL_BGR:
        return 3;
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    default:
        return 0;
    }
}

const TextureStore::Texture* TextureStore::find(GLuint name) const
{
    for (const Texture& t : textures_)
        if (t.name == name)
            return &t;
    return nullptr;
}

TextureStore::Texture& TextureStore::bound()
{
    for (Texture& t : textures_)
        if (t.name == bound_)
            return t;
    textures_.push_back({bound_, {}, {0, 0, 0, 0}});
    return textures_.back();
}

void TextureStore::forget(GLuint name)
{
    for (size_t i = 0; i < textures_.size(); i++)
        if (textures_[i].name == name) {
            textures_[i] = std::move(textures_.back());
            textures_.pop_back();
            break;
        }
    if (bound_ == name)
        bound_ = 0;
}

GLenum TextureStore::upload(GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                            GLenum format, GLenum type, const void* pixels, GLenum* uploadFormat,
                            std::vector<uint8_t>* upload)
{
    const GLenum base = baseFormat(internalFormat);
    const int n = formatComponents(format);
    if (base == 0)
        return GL_INVALID_VALUE;
    if (n == 0 || type != GL_UNSIGNED_BYTE)
        return GL_INVALID_ENUM;
    if (level < 0 || width < 0 || height < 0 || width > maxSize || height > maxSize || (border != 0 && border != 1) ||
        (level > 0 && (maxSize >> level) == 0))
        return GL_INVALID_VALUE;

    std::vector<Level>& levels = bound().levels;
    if (levels.size() <= size_t(level))
        levels.resize(level + 1);
    Level& out = levels[level];
    out.width = width;
    out.height = height;
    out.border = border;
    out.internalFormat = internalFormat;
    out.base = base;
    out.rgba.assign(size_t(width) * height * 4, 0);
    if (pixels) {
        const auto* bytes = static_cast<const uint8_t*>(pixels);
        const size_t stride = rowStride(unpack, width, n);
        for (GLsizei y = 0; y < height; y++) {
            const uint8_t* row = bytes + (size_t(y) + unpack.skipRows) * stride + size_t(unpack.skipPixels) * n;
            for (GLsizei x = 0; x < width; x++) {
                uint8_t* t = &out.rgba[(size_t(y) * width + x) * 4];
                toRgba(format, row + size_t(x) * n, t);
                keepBase(base, t);
            }
        }
    }
    *uploadFormat = base;
    const int m = formatComponents(base);
    upload->resize(size_t(width) * height * m);
    for (size_t i = 0; i < size_t(width) * height; i++) {
        const uint8_t* t = &out.rgba[i * 4];
        fromRgba(base, t, &(*upload)[i * m]);
    }
    return GL_NO_ERROR;
}

const TextureStore::Level* TextureStore::level(GLint level) const
{
    const Texture* t = find(bound_);
    if (!t || level < 0 || size_t(level) >= t->levels.size() || t->levels[level].width == 0)
        return nullptr;
    return &t->levels[level];
}

bool TextureStore::levelParameter(GLint index, GLenum pname, GLint* value) const
{
    const Level* l = level(index);
    const Level empty;
    if (!l)
        l = &empty;
    switch (pname) {
    case GL_TEXTURE_WIDTH:
        *value = l->width;
        return true;
    case GL_TEXTURE_HEIGHT:
        *value = l->height;
        return true;
    case GL_TEXTURE_BORDER:
        *value = l->border;
        return true;
    case GL_TEXTURE_INTERNAL_FORMAT:
        *value = l->internalFormat;
        return true;
    case GL_TEXTURE_RED_SIZE:
    case GL_TEXTURE_GREEN_SIZE:
    case GL_TEXTURE_BLUE_SIZE:
        *value = l->width && (l->base == GL_RGB || l->base == GL_RGBA) ? 8 : 0;
        return true;
    case GL_TEXTURE_ALPHA_SIZE:
        *value = l->width && (l->base == GL_RGBA || l->base == GL_ALPHA || l->base == GL_LUMINANCE_ALPHA) ? 8 : 0;
        return true;
    case GL_TEXTURE_LUMINANCE_SIZE:
        *value = l->width && (l->base == GL_LUMINANCE || l->base == GL_LUMINANCE_ALPHA) ? 8 : 0;
        return true;
    case GL_TEXTURE_INTENSITY_SIZE:
        *value = 0;
        return true;
    default:
        return false;
    }
}

GLenum TextureStore::image(GLint index, GLenum format, GLenum type, void* pixels) const
{
    const int n = formatComponents(format);
    if (n == 0 || type != GL_UNSIGNED_BYTE)
        return GL_INVALID_ENUM;
    if (index < 0)
        return GL_INVALID_VALUE;
    const Level* l = level(index);
    if (!l || !pixels)
        return GL_NO_ERROR;
    auto* bytes = static_cast<uint8_t*>(pixels);
    const size_t stride = rowStride(pack, l->width, n);
    for (GLsizei y = 0; y < l->height; y++) {
        uint8_t* row = bytes + (size_t(y) + pack.skipRows) * stride + size_t(pack.skipPixels) * n;
        for (GLsizei x = 0; x < l->width; x++)
            fromRgba(format, &l->rgba[(size_t(y) * l->width + x) * 4], row + size_t(x) * n);
    }
    return GL_NO_ERROR;
}

void TextureStore::setBorderColor(const GLfloat color[4])
{
    Texture& t = bound();
    for (int i = 0; i < 4; i++)
        t.border[i] = color[i] < 0 ? 0 : color[i] > 1 ? 1 : color[i];
}

void TextureStore::borderColor(GLfloat color[4]) const
{
    const Texture* t = find(bound_);
    for (int i = 0; i < 4; i++)
        color[i] = t ? t->border[i] : 0;
}

}  // namespace webgl
