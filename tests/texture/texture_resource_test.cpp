// Textures as the resource loader builds them from resource chunks 200 and 202.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>

#include "demo/object_list.h"
#include "demo/object_loader.h"
#include "tests/support/gl_fixture.h"
#include "texture/texture.h"
#include "tools/writer/geometry_payloads.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;

namespace {

Bytes pattern(int width, int height)
{
    Bytes rgb(size_t(width * height * 3));
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(i * 11 + 5);
    return rgb;
}

Bytes levelZero(GLuint name)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Bytes out(size_t(width * height * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!out.empty())
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

GLint parameter(GLuint name, GLenum pname)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    return value;
}

using TextureResource = GLTest;

}  // namespace

TEST_F(TextureResource, ImagesAndCopiesOfOtherTexturesComeFromTheResourceStream)
{
    const Bytes rgb = pattern(6, 2);
    TextureParameters clamped;
    clamped.wrapS = kGlClamp;
    Envelope transform;
    transform.tag = "TRNS";
    transform.body = transformPayload({});
    const Bytes stream = StreamWriter()
                             .add(textureResource("IMG1", bmp24(6, 2, rgb)))
                             // Body before the parameter stream: still loaded first.
                             .add(chunk(200, cat({chunk(1, tag("ORDR")), chunk(8, bmp24(6, 2, rgb)),
                                                  chunk(201, textureParameters())})))
                             .add(textureCopyResource("CPY1", "IMG1", textureParameters(clamped)))
                             .add(textureCopyResource("NONE", "XXXX"))
                             .add(resource(275, transform))
                             .add(textureCopyResource("NOTX", "TRNS"))
                             .bytes();
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    ObjectLoader loader(stream.data(), int32_t(stream.size()));
    loader.load(&resources, nullptr);
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].text;
    ASSERT_EQ(6, resources.count());

    for (const char* tagText : {"IMG1", "ORDR", "CPY1"}) {
        SCOPED_TRACE(tagText);
        auto* texture = dynamic_cast<Texture*>(static_cast<SceneObject*>(resources.find(tagText)));
        ASSERT_NE(nullptr, texture);
        EXPECT_EQ(200, texture->typeId());
        EXPECT_EQ(rgb, levelZero(texture->textureName));
        EXPECT_EQ(GL_LINEAR, parameter(texture->textureName, GL_TEXTURE_MIN_FILTER));
    }
    auto* image = static_cast<Texture*>(static_cast<SceneObject*>(resources.find("IMG1")));
    auto* copy = static_cast<Texture*>(static_cast<SceneObject*>(resources.find("CPY1")));
    EXPECT_NE(image->textureName, copy->textureName);
    EXPECT_EQ(GL_CLAMP, parameter(copy->textureName, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_REPEAT, parameter(image->textureName, GL_TEXTURE_WRAP_S));

    // A source tag naming nothing, or naming no texture: a texture without image.
    for (const char* tagText : {"NONE", "NOTX"}) {
        SCOPED_TRACE(tagText);
        auto* texture = dynamic_cast<Texture*>(static_cast<SceneObject*>(resources.find(tagText)));
        ASSERT_NE(nullptr, texture);
        EXPECT_TRUE(levelZero(texture->textureName).empty());
    }
}
