#include "tools/writer/texture_payloads.h"

#include "demo/format.h"

namespace tools::writer {

namespace {

Bytes u16(uint16_t value)
{
    return {uint8_t(value), uint8_t(value >> 8)};
}

Bytes u32(uint32_t value)
{
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

}  // namespace

Bytes bmpFile(int32_t width, int32_t height, int bitsPerPixel, const Bytes& rows, const std::vector<Rgb8>& palette,
              const BmpLayout& layout)
{
    const bool core = layout.headerSize == 12;
    Bytes header;
    if (core) {
        header = cat({u32(12), u16(uint16_t(width)), u16(uint16_t(height)), u16(1), u16(uint16_t(bitsPerPixel))});
    } else {
        header = cat({u32(layout.headerSize), s32(width), s32(layout.topDown ? -height : height), u16(1),
                      u16(uint16_t(bitsPerPixel)), u32(layout.compression), u32(layout.imageSizeField),
                      s32(2835), s32(2835), u32(layout.colorsUsed), u32(0)});
        header.resize(layout.headerSize < 40 ? 40 : layout.headerSize, 0);
        if (layout.compression == 3 && layout.headerSize == 40)
            for (uint32_t mask : layout.masks)
                append(header, u32(mask));
    }
    for (const Rgb8& c : palette) {
        append(header, {c[2], c[1], c[0]});
        if (!core)
            header.push_back(0);
    }
    header.resize(header.size() + size_t(layout.gapBeforePixels), 0);

    Bytes pixels;
    if (layout.compression == 1 || layout.compression == 2) {
        pixels = rows;
    } else {
        const size_t rowBytes = (size_t(width) * size_t(bitsPerPixel) + 7) / 8;
        const size_t stride = (size_t(width) * size_t(bitsPerPixel) + 31) / 32 * 4;
        for (int32_t r = 0; r < height; ++r) {
            size_t at = size_t(r) * rowBytes;
            for (size_t i = 0; i < stride; ++i)
                pixels.push_back(i < rowBytes && at + i < rows.size() ? rows[at + i] : 0);
        }
    }

    Bytes out;
    if (layout.fileHeader) {
        const uint32_t offset = uint32_t(14 + header.size());
        append(out, cat({text("BM"), u32(uint32_t(offset + pixels.size())), u32(0), u32(offset)}));
    }
    append(out, header);
    append(out, pixels);
    return out;
}

Bytes bmp24(int32_t width, int32_t height, const Bytes& rgb, const BmpLayout& layout)
{
    Bytes bgr(rgb.size());
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        bgr[i] = rgb[i + 2];
        bgr[i + 1] = rgb[i + 1];
        bgr[i + 2] = rgb[i];
    }
    return bmpFile(width, height, 24, bgr, {}, layout);
}

TextureParameterWriter& TextureParameterWriter::magFilter(uint16_t value)
{
    stream_.add(10240, u16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::minFilter(uint16_t value)
{
    stream_.add(10241, u16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::wrapS(uint16_t value)
{
    stream_.add(10242, u16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::wrapT(uint16_t value)
{
    stream_.add(10243, u16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::borderColor(float r, float g, float b, float a)
{
    stream_.add(format::texture::kBorderColor, cat({f32(r), f32(g), f32(b), f32(a)}));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::level(int16_t value)
{
    stream_.add(format::texture::kSetLevel, s16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::border(int16_t value)
{
    stream_.add(format::texture::kSetBorder, s16(value));
    return *this;
}

TextureParameterWriter& TextureParameterWriter::upload()
{
    stream_.add(format::texture::kUpload);
    return *this;
}

TextureParameterWriter& TextureParameterWriter::buildMipmaps()
{
    stream_.add(format::texture::kBuildMipmaps);
    return *this;
}

TextureParameterWriter& TextureParameterWriter::raw(const Bytes& chunkBytes)
{
    stream_.add(chunkBytes);
    return *this;
}

Bytes TextureParameterWriter::bytes() const
{
    return stream_.bytes();
}

Bytes textureParameters(const TextureParameters& p)
{
    TextureParameterWriter w;
    if (p.minFilter)
        w.minFilter(*p.minFilter);
    if (p.magFilter)
        w.magFilter(*p.magFilter);
    if (p.wrapS)
        w.wrapS(*p.wrapS);
    if (p.wrapT)
        w.wrapT(*p.wrapT);
    if (p.level)
        w.level(*p.level);
    if (p.border)
        w.border(*p.border);
    if (p.borderColor)
        w.borderColor((*p.borderColor)[0], (*p.borderColor)[1], (*p.borderColor)[2], (*p.borderColor)[3]);
    if (p.upload == TextureUpload::Level0)
        w.upload();
    else if (p.upload == TextureUpload::Mipmaps)
        w.buildMipmaps();
    return w.bytes();
}

Bytes textureResource(const std::string& tagText, const Bytes& bmp, const Bytes& parameters)
{
    Envelope e;
    e.tag = tagText;
    e.body = bmp;
    e.extraId = format::envelope::kTextureImage;
    e.extra = parameters;
    return resource(format::kTexture, e);
}

Bytes textureCopyResource(const std::string& tagText, const std::string& sourceTag, const Bytes& parameters)
{
    Envelope e;
    e.tag = tagText;
    e.withBody = false;
    e.extraId = format::envelope::kTextureImage;
    e.extra = parameters;
    e.sourceTag = sourceTag;
    return resource(format::kTextureCopy, e);
}

}  // namespace tools::writer
