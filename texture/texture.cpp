#include "texture/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "texture/bmp_reader.h"
#include "texture/pixel_store.h"
#include "demo/messages.h"

namespace {

// Parameter stream ids besides the GL parameter names 10240 to 10243.
using format::texture::kBorderColor;
using format::texture::kBuildMipmaps;
using format::texture::kSetBorder;
using format::texture::kSetLevel;
using format::texture::kUpload;

void uploadImage(GLint level, GLint internalFormat, const ImageRecord& image, GLint border)
{
    TightPixelStore tight;
    glTexImage2D(GL_TEXTURE_2D, level, internalFormat, image.width, image.height, border, GL_RGB,
                 GL_UNSIGNED_BYTE, image.pixels.get());
}

// The power of two GLU's mipmap builder scales a side to: the lower one,
// unless the side is at least three quarters of the higher one.
GLint nearestPowerOfTwo(GLint side)
{
    GLint power = 1;
    while (side > 3) {
        side >>= 1;
        power <<= 1;
    }
    return side == 3 ? power * 4 : power * side;
}

// gluBuild2DMipmaps scales an image whose sides are not powers of two, and
// some builds of GLU (Debian's) leave the top row of the scaled level 0
// black. gluScaleImage scales whole, so the builder is handed an image it
// need not scale; where that cannot be had it scales as before.
void buildMipmaps(const ImageRecord& image)
{
    TightPixelStore tight;
    const GLint width = nearestPowerOfTwo(image.width), height = nearestPowerOfTwo(image.height);
    if (width != image.width || height != image.height) {
        std::unique_ptr<uint8_t[]> scaled(new (std::nothrow) uint8_t[size_t(width) * size_t(height) * 3]);
        if (scaled && gluScaleImage(GL_RGB, image.width, image.height, GL_UNSIGNED_BYTE, image.pixels.get(), width,
                                    height, GL_UNSIGNED_BYTE, scaled.get()) == 0) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, scaled.get());
            return;
        }
    }
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.get());
}

}  // namespace

ImageRecord readBackImage(uint32_t name)
{
    ImageRecord image;
    // A name that is not (or no longer) a texture would be created afresh by
    // the bind; there is nothing to read from it.
    if (name == 0 || !glIsTexture(name))
        return image;
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width <= 0 || height <= 0)
        return image;
    image.pixels.reset(new uint8_t[size_t(width) * size_t(height) * 3]);
    image.width = width;
    image.height = height;
    TightPixelStore tight;
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.pixels.get());
    return image;
}

// ---- TextureNode

TextureNode::~TextureNode()
{
    if (!isCopy && textureName != 0)
        glDeleteTextures(1, &textureName);
}

void TextureNode::replaceTextureName()
{
    if (!isCopy && textureName != 0)
        glDeleteTextures(1, &textureName);
    // A copy that gets a texture of its own no longer shares anything, so
    // from here on it deletes its texture like an original does.
    isCopy = 0;
    textureName = 0;
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
}

int TextureNode::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
    int result = SceneObject::step(false);
    glDisable(GL_TEXTURE_2D);
    return result;
}

void TextureNode::loadExtra(const void* data, int32_t size)
{
    if (!data)
        return;
    ImageRecord kept = readBackImage(textureName);
    replaceTextureName();
    GLint level = 0;
    GLint border = 0;

    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        const int64_t end = int64_t(stream.position()) + length;
        // A value is taken only when the chunk holds all of it; the next
        // chunk always starts where this one says it ends.
        auto fits = [&](uint32_t needed) { return length >= needed; };
        switch (id) {
        case kBorderColor: {
            float color[4];
            if (fits(16) && stream.read(color, 16))
                glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, color);
            break;
        }
        case kBuildMipmaps:
            if (!kept.empty())
                buildMipmaps(kept);
            break;
        case kUpload:
            if (!kept.empty())
                uploadImage(level, GL_RGB, kept, border);
            break;
        case kSetLevel:
        case kSetBorder: {
            int16_t value;
            if (fits(2) && stream.readS16(value))
                (id == kSetLevel ? level : border) = value;
            break;
        }
        case GL_TEXTURE_MAG_FILTER:
        case GL_TEXTURE_MIN_FILTER:
        case GL_TEXTURE_WRAP_S:
        case GL_TEXTURE_WRAP_T: {
            // GL enumeration values are never negative; read unsigned so that
            // values above 0x7FFF (GL_CLAMP_TO_EDGE, GL_MIRRORED_REPEAT) work.
            uint16_t value;
            if (fits(2) && stream.readU16(value))
                glTexParameteri(GL_TEXTURE_2D, GLenum(id), GLint(value));
            break;
        }
        default:
            showUnknownId(id);
            break;
        }
        stream.skip(end - stream.position());
    });
}

SceneObject* TextureNode::clone()
{
    TextureNode* copy = new TextureNode;
    SceneObject::copyInto(copy);
    copy->textureName = textureName;
    return copy;
}

// ---- Texture

Texture::Texture(SceneObject* source, const void* parameters, int32_t size)
{
    if (auto* node = dynamic_cast<TextureNode*>(source)) {
        ImageRecord image = readBackImage(node->textureName);
        if (!image.empty()) {
            replaceTextureName();
            uploadImage(0, 3, image, 0);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        }
    }
    loadExtra(parameters, size);
}

namespace {

constexpr int32_t kBmpHeadersSize = 54;

uint16_t u16At(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t u32At(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

// The pixel data starts right behind the two headers. Rows are padded to a
// multiple of 4 bytes as in every BMP file (the last row's padding may be
// missing); the image size field is not needed to find them. Data too short
// for the rows the header announces is ignored like any other unusable image.
void Texture::load(const void* data, int32_t size)
{
    if (!data)
        return;
    ChunkStream stream(data, size);
    uint8_t header[kBmpHeadersSize];
    if (!stream.read(header, kBmpHeadersSize, 0))
        return;
    if (header[0] != 'B' || header[1] != 'M' || u16At(header + 28) != 24 || u32At(header + 30) != 0)
        return;
    const int32_t width = int32_t(u32At(header + 18));
    const int32_t height = int32_t(u32At(header + 22));
    // A negative height stores the top row first.
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return;
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    const int64_t rowBytes = int64_t(width) * 3;
    const int64_t stride = (rowBytes + 3) & ~int64_t(3);
    // The division first: stride times rows can pass 64 bits.
    if (rows - 1 > stream.remaining() / stride || stride * (rows - 1) + rowBytes > stream.remaining())
        return;

    ImageRecord image;
    image.width = width;
    image.height = int32_t(rows);
    image.pixels.reset(new uint8_t[size_t(rowBytes * rows)]);
    for (int64_t row = 0; row < rows; ++row) {
        int64_t sourceRow = height > 0 ? row : rows - 1 - row;
        uint8_t* out = image.pixels.get() + row * rowBytes;
        if (!stream.read(out, int32_t(rowBytes), int32_t(kBmpHeadersSize + sourceRow * stride)))
            return;
        for (int64_t i = 0; i < rowBytes; i += 3)
            std::swap(out[i], out[i + 2]);
    }
    replaceTextureName();
    uploadImage(0, GL_RGB, image, 0);
}

void Texture::loadFile(const char* path)
{
    if (!path)
        return;
    // Only an existing file goes to the reader, which would report a missing one.
    FILE* file = std::fopen(path, "r");
    if (!file)
        return;
    std::fclose(file);
    std::unique_ptr<ImageRecord> image = readBmpFile(path);
    if (!image)
        return;
    replaceTextureName();
    uploadImage(0, 3, *image, 0);

    // The parameter file: the path without its extension, then ".dat".
    size_t length = std::strlen(path);
    std::string parameterPath(path, length >= 4 ? length - 4 : 0);
    parameterPath += ".dat";
    std::memset(dataPath, 0, sizeof dataPath);
    if (parameterPath.size() < sizeof dataPath)
        std::memcpy(dataPath, parameterPath.c_str(), parameterPath.size());
    loadExtraFile(parameterPath.c_str());

    std::snprintf(this->path, sizeof this->path, "%s", path);
}

int Texture::typeId() const
{
    return format::type::kTexture;
}
