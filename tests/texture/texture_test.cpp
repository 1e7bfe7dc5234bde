// Texture objects against a real GL: parameter streams, read-back and
// re-upload, copies, clones, binding around children and drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "demo/object_list.h"
#include "tests/support/gl_fixture.h"
#include "texture/texture.h"
#include "tools/writer/texture_payloads.h"

using namespace tools::writer;

namespace {

// Hands the object an exact-size copy, so a read past the data is a read past
// a heap block.
template <typename Call>
void withExactCopy(const Bytes& bytes, Call call)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    call(copy.get(), int32_t(bytes.size()));
}

void load(Texture& texture, const Bytes& bmp)
{
    withExactCopy(bmp, [&](const uint8_t* d, int32_t n) { texture.load(d, n); });
}

void loadExtra(TextureNode& texture, const Bytes& stream)
{
    withExactCopy(stream, [&](const uint8_t* d, int32_t n) { texture.loadExtra(d, n); });
}

// As the resource loader builds a resource 200.
void loadResource(Texture& texture, const Bytes& bmp, const Bytes& stream = textureParameters())
{
    load(texture, bmp);
    loadExtra(texture, stream);
}

// Distinct bytes everywhere, so a shifted row or swapped channel shows.
Bytes pattern(int width, int height)
{
    Bytes rgb(size_t(width * height * 3));
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(i * 7 + i / 3);
    return rgb;
}

std::array<GLint, 2> levelSize(GLuint name, GLint level)
{
    glBindTexture(GL_TEXTURE_2D, name);
    std::array<GLint, 2> size{};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &size[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &size[1]);
    return size;
}

GLint parameter(GLuint name, GLenum pname)
{
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    return value;
}

std::array<float, 4> borderColor(GLuint name)
{
    glBindTexture(GL_TEXTURE_2D, name);
    std::array<float, 4> c{};
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, c.data());
    return c;
}

// The RGB bytes of one level, tightly packed, read with the test's own
// pixel store settings.
Bytes levelImage(GLuint name, GLint level)
{
    std::array<GLint, 2> size = levelSize(name, level);
    Bytes out(size_t(size[0] * size[1] * 3));
    if (out.empty())
        return out;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

std::array<GLint, 2> alignments()
{
    std::array<GLint, 2> a{};
    glGetIntegerv(GL_PACK_ALIGNMENT, &a[0]);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &a[1]);
    return a;
}

// Records the texturing state its parent leaves for it.
class TextureState : public SceneObject {
public:
    int step(bool stepOnly) override
    {
        ++steps;
        enabled = glIsEnabled(GL_TEXTURE_2D);
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        bound = GLuint(name);
        return SceneObject::step(stepOnly);
    }
    SceneObject* clone() override
    {
        auto* copy = new TextureState;
        copyInto(copy);
        return copy;
    }
    int steps = 0;
    GLboolean enabled = GL_FALSE;
    GLuint bound = 0;
};

// A textured square over the whole viewport (identity matrices), texture
// coordinates (0, 0) at the lower left and (1, 1) at the upper right.
class TexturedSquare : public SceneObject {
public:
    int step(bool stepOnly) override
    {
        int result = SceneObject::step(stepOnly);
        if (!stepOnly) {
            glColor4f(1, 1, 1, 1);
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0), glVertex2f(-1, -1);
            glTexCoord2f(1, 0), glVertex2f(1, -1);
            glTexCoord2f(1, 1), glVertex2f(1, 1);
            glTexCoord2f(0, 1), glVertex2f(-1, 1);
            glEnd();
        }
        return result;
    }
};

using TextureParameterStream = GLTest;
using TextureImageTransfer = GLTest;
using TextureCopy = GLTest;
using TextureNodeStep = GLTest;
using TextureDraw = GLTest;
using TextureFile = GLTest;

}  // namespace

TEST_F(TextureParameterStream, ShippedStreamGivesLinearRepeatTransparentBlackBorderAndImageAtLevelZero)
{
    Bytes rgb = pattern(8, 4);
    Texture texture;
    loadResource(texture, bmp24(8, 4, rgb), textureParameters());
    ASSERT_NE(0u, texture.textureName);
    EXPECT_EQ(GL_LINEAR, parameter(texture.textureName, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_LINEAR, parameter(texture.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(GL_REPEAT, parameter(texture.textureName, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_REPEAT, parameter(texture.textureName, GL_TEXTURE_WRAP_T));
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), borderColor(texture.textureName));
    EXPECT_EQ((std::array<GLint, 2>{8, 4}), levelSize(texture.textureName, 0));
    GLint border = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_BORDER, &border);
    EXPECT_EQ(0, border);
    EXPECT_EQ(rgb, levelImage(texture.textureName, 0));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(TextureParameterStream, EachIdSetsItsOwnParameterWhateverTheOrder)
{
    Texture texture;
    Bytes stream = TextureParameterWriter()
                       .wrapT(kGlMirroredRepeat)
                       .borderColor(0.25f, 0.5f, 0.75f, 1)
                       .magFilter(kGlNearest)
                       .wrapS(kGlClamp)
                       .minFilter(kGlLinearMipmapLinear)
                       .upload()
                       .bytes();
    loadResource(texture, bmp24(2, 2, pattern(2, 2)), stream);
    EXPECT_EQ(GL_NEAREST, parameter(texture.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, parameter(texture.textureName, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_CLAMP, parameter(texture.textureName, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_MIRRORED_REPEAT, parameter(texture.textureName, GL_TEXTURE_WRAP_T));
    EXPECT_EQ((std::array<float, 4>{0.25f, 0.5f, 0.75f, 1}), borderColor(texture.textureName));
    EXPECT_EQ(pattern(2, 2), levelImage(texture.textureName, 0));
}

TEST_F(TextureParameterStream, WithoutAnUploadChunkTheNewTextureHasParametersButNoImage)
{
    Texture texture;
    TextureParameters fields;
    fields.upload = TextureUpload::None;
    fields.magFilter = kGlNearest;
    loadResource(texture, bmp24(4, 4, pattern(4, 4)), textureParameters(fields));
    ASSERT_NE(0u, texture.textureName);
    EXPECT_TRUE(glIsTexture(texture.textureName));
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture.textureName, 0));
    EXPECT_EQ(GL_NEAREST, parameter(texture.textureName, GL_TEXTURE_MAG_FILTER));
}

TEST_F(TextureParameterStream, LevelAndBorderApplyToLaterUploadsAndStartAtZeroInEachStream)
{
    Bytes rgb = pattern(4, 4);
    Texture texture;
    load(texture, bmp24(4, 4, rgb));
    loadExtra(texture, TextureParameterWriter().upload().level(2).upload().bytes());
    EXPECT_EQ((std::array<GLint, 2>{4, 4}), levelSize(texture.textureName, 0));
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture.textureName, 1));
    EXPECT_EQ((std::array<GLint, 2>{4, 4}), levelSize(texture.textureName, 2));
    EXPECT_EQ(rgb, levelImage(texture.textureName, 2));

    // A second stream starts again at level 0.
    loadExtra(texture, TextureParameterWriter().upload().bytes());
    EXPECT_EQ((std::array<GLint, 2>{4, 4}), levelSize(texture.textureName, 0));
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture.textureName, 2));

    // The border counts in the uploaded size: a 4 × 4 image with border 1 is a
    // 2 × 2 texture inside a one-texel frame, at every later upload.
    loadExtra(texture, TextureParameterWriter().border(1).upload().level(1).upload().bytes());
    for (GLint level : {0, 1}) {
        SCOPED_TRACE(level);
        glBindTexture(GL_TEXTURE_2D, texture.textureName);
        GLint border = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_BORDER, &border);
        std::array<GLint, 2> size = levelSize(texture.textureName, level);
        // GL reports either the bordered size with border 1, or (when the
        // driver strips borders) the inner size with border 0.
        EXPECT_TRUE((border == 1 && size == std::array<GLint, 2>{4, 4}) ||
                    (border == 0 && size == std::array<GLint, 2>{2, 2}))
            << border << " " << size[0] << "x" << size[1];
    }
}

TEST_F(TextureParameterStream, MipmapChunkBuildsEveryLevelFromTheImage)
{
    // Four 2 × 2 quadrants: level 1 holds one texel per quadrant, level 2 the mean.
    const Rgb8 quadrant[4] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {100, 100, 100}};
    Bytes rgb;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const Rgb8& c = quadrant[(y / 2) * 2 + x / 2];
            rgb.insert(rgb.end(), c.begin(), c.end());
        }
    Texture texture;
    TextureParameters fields;
    fields.upload = TextureUpload::Mipmaps;
    fields.minFilter = kGlLinearMipmapLinear;
    loadResource(texture, bmp24(4, 4, rgb), textureParameters(fields));
    EXPECT_EQ((std::array<GLint, 2>{4, 4}), levelSize(texture.textureName, 0));
    EXPECT_EQ((std::array<GLint, 2>{2, 2}), levelSize(texture.textureName, 1));
    EXPECT_EQ((std::array<GLint, 2>{1, 1}), levelSize(texture.textureName, 2));
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture.textureName, 3));
    EXPECT_EQ(rgb, levelImage(texture.textureName, 0));
    EXPECT_EQ((Bytes{200, 0, 0, 0, 200, 0, 0, 0, 200, 100, 100, 100}), levelImage(texture.textureName, 1));
    Bytes mean = levelImage(texture.textureName, 2);
    ASSERT_EQ(3u, mean.size());
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(75, mean[size_t(c)], 1) << c;
    GLint components = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &components);
    EXPECT_TRUE(components == 3 || components == GL_RGB || components == GL_RGB8) << components;

    // Sides that are not powers of two go to the nearest ones, and level 0
    // still shows the whole picture upright: every texel a mix of the
    // image's two colours (GLU's scaling blends across the edges, as for a
    // tiling texture), never a black row, the first row nearer the image's
    // first row and the last nearer its last.
    const Rgb8 first = {200, 40, 40}, rest = {40, 200, 120};
    const struct {
        int width, height, levelWidth, levelHeight;
    } sizes[] = {{6, 4, 8, 4}, {12, 4, 16, 4}, {300, 200, 256, 256}, {5, 3, 4, 4}};
    for (const auto& s : sizes) {
        Bytes image;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                image.insert(image.end(), (y ? rest : first).begin(), (y ? rest : first).end());
        Texture scaled;
        loadResource(scaled, bmp24(s.width, s.height, image), textureParameters(fields));
        ASSERT_EQ((std::array<GLint, 2>{s.levelWidth, s.levelHeight}), levelSize(scaled.textureName, 0)) << s.width;
        const Bytes level = levelImage(scaled.textureName, 0);
        const size_t row = size_t(s.levelWidth) * 3;
        auto distance = [&](size_t texel, const Rgb8& c) {
            int d = 0;
            for (size_t i = 0; i < 3; ++i)
                d += std::abs(level[texel + i] - c[i]);
            return d;
        };
        int outside = 0, misplaced = 0;
        for (size_t i = 0; i < level.size(); ++i)
            outside += level[i] + 1 < std::min(first[i % 3], rest[i % 3]) || level[i] > std::max(first[i % 3], rest[i % 3]) + 1;
        for (size_t x = 0; x < row; x += 3) {
            misplaced += distance(x, first) >= distance(x, rest);
            misplaced += distance(level.size() - row + x, rest) >= distance(level.size() - row + x, first);
        }
        EXPECT_EQ((std::vector<int>{0, 0}), (std::vector<int>{outside, misplaced})) << s.width << "x" << s.height;
    }
}

TEST_F(TextureParameterStream, UnknownIdsAreReportedAndSkippedAndTheStreamGoesOn)
{
    Texture texture;
    Bytes stream = TextureParameterWriter()
                       .raw(chunk(999, {1, 2, 3}))
                       .magFilter(kGlNearest)
                       .raw(chunk(-5))
                       .upload()
                       .bytes();
    loadResource(texture, bmp24(2, 2, pattern(2, 2)), stream);
    ASSERT_EQ(2u, platform_.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA: 999", platform_.boxes[0].text);
    EXPECT_EQ("ID DESCONEGUDA: -5", platform_.boxes[1].text);
    for (const auto& box : platform_.boxes) {
        EXPECT_EQ("ERROR", box.caption);
        EXPECT_EQ(platform::MB_OK, box.type);
    }
    EXPECT_EQ(GL_NEAREST, parameter(texture.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(pattern(2, 2), levelImage(texture.textureName, 0));
}

TEST_F(TextureParameterStream, KnownChunksEndWhereTheirLengthSaysAndShortOnesSetNothing)
{
    Texture texture;
    Bytes stream = TextureParameterWriter()
                       .raw(chunk(10240, cat({s16(kGlNearest), s16(0x7777)})))  // 2 bytes too many
                       .raw(chunk(10242, {0x00}))                                // 1 byte too few
                       .raw(chunkWithLength(3, 4, f32(1)))                       // 12 bytes too few
                       .upload()
                       .bytes();
    loadResource(texture, bmp24(2, 2, pattern(2, 2)), stream);
    EXPECT_TRUE(platform_.boxes.empty());
    EXPECT_EQ(GL_NEAREST, parameter(texture.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(GL_REPEAT, parameter(texture.textureName, GL_TEXTURE_WRAP_S));
    EXPECT_EQ((std::array<float, 4>{0, 0, 0, 0}), borderColor(texture.textureName));
    EXPECT_EQ((std::array<GLint, 2>{2, 2}), levelSize(texture.textureName, 0));

    // A stream cut inside a chunk stops there.
    Bytes cut = TextureParameterWriter().magFilter(kGlLinear).upload().bytes();
    cut.resize(7);
    Texture other;
    loadResource(other, bmp24(2, 2, pattern(2, 2)), cut);
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(other.textureName, 0));
}

TEST_F(TextureImageTransfer, ImagesKeepTheirSizeAndPixelsThroughReadBackAndReupload)
{
    for (std::array<int, 2> size : {std::array<int, 2>{256, 128}, {3, 2}, {5, 3}, {1, 7}}) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        Bytes rgb = pattern(size[0], size[1]);
        Texture texture;
        load(texture, bmp24(size[0], size[1], rgb));
        EXPECT_EQ(rgb, levelImage(texture.textureName, 0)) << "after load";
        loadExtra(texture, textureParameters());
        EXPECT_EQ((std::array<GLint, 2>{size[0], size[1]}), levelSize(texture.textureName, 0));
        EXPECT_EQ(rgb, levelImage(texture.textureName, 0)) << "after the parameter stream";
        EXPECT_EQ((std::array<GLint, 2>{4, 4}), alignments());
    }
}

TEST_F(TextureImageTransfer, ImageIsTakenFromByte54WithPaddedRowsWhateverTheOffsetAndSizeFields)
{
    Bytes rgb = pattern(3, 2);
    Bytes bmp = bmp24(3, 2, rgb);
    bmp[10] = 99;               // pixel-data offset
    bmp[34] = 5;                // image size field: wrong, and not needed
    bmp.resize(bmp.size() - 3);  // last row without its padding
    Texture texture;
    load(texture, bmp);
    EXPECT_EQ(rgb, levelImage(texture.textureName, 0));

    // Rows stored top first come out bottom first like the others.
    Bytes topFirst;
    for (int row = 1; row >= 0; --row)
        topFirst.insert(topFirst.end(), rgb.begin() + row * 9, rgb.begin() + row * 9 + 9);
    BmpLayout layout;
    layout.topDown = true;
    Texture topDown;
    load(topDown, bmp24(3, 2, topFirst, layout));
    EXPECT_EQ(rgb, levelImage(topDown.textureName, 0));
}

TEST_F(TextureImageTransfer, UnusableBmpBytesMakeNoTextureSilentlyAndLaterStepsCopeWithIt)
{
    Bytes good = bmp24(4, 2, pattern(4, 2));
    std::vector<std::pair<std::string, Bytes>> cases;
    Bytes other = good;
    other[0] = 'X';
    cases.push_back({"signature", other});
    cases.push_back({"16 bits", bmpFile(4, 2, 16, Bytes(16, 0x55))});
    cases.push_back({"8 bits", bmpFile(4, 2, 8, Bytes(8, 1), {{1, 2, 3}, {4, 5, 6}})});
    other = good;
    other[30] = 1;
    cases.push_back({"compressed", other});
    cases.push_back({"header cut", Bytes(good.begin(), good.begin() + 53)});
    cases.push_back({"pixels cut", Bytes(good.begin(), good.end() - 1)});
    cases.push_back({"no pixels at all for a huge image", Bytes(good.begin(), good.begin() + 54)});
    cases.back().second[18] = 0xFF, cases.back().second[19] = 0x7F;
    cases.push_back({"width and height so huge that rows times stride pass 64 bits", Bytes(good.begin(), good.begin() + 54)});
    for (size_t at : {18, 22})
        cases.back().second[at] = cases.back().second[at + 1] = cases.back().second[at + 2] = 0xFF, cases.back().second[at + 3] = 0x7F;
    cases.push_back({"zero width", bmp24(0, 2, {})});
    cases.push_back({"empty", {}});

    Texture owner;
    loadResource(owner, good);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto texture = std::make_unique<Texture>();
        load(*texture, c.second);
        EXPECT_EQ(0u, texture->textureName);
        // The parameter stream then has no image to upload.
        loadExtra(*texture, textureParameters());
        EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture->textureName, 0));
        texture.reset();
        EXPECT_TRUE(glIsTexture(owner.textureName));
    }
    {
        Texture texture;
        texture.load(nullptr, 0);
        EXPECT_EQ(0u, texture.textureName);
    }
    EXPECT_TRUE(platform_.boxes.empty());
    EXPECT_EQ(pattern(4, 2), levelImage(owner.textureName, 0));
}

TEST_F(TextureImageTransfer, WithoutAParameterStreamTheLoadedImageStays)
{
    Texture texture;
    load(texture, bmp24(2, 2, pattern(2, 2)));
    GLuint name = texture.textureName;
    texture.loadExtra(nullptr, 0);
    EXPECT_EQ(name, texture.textureName);
    EXPECT_EQ(pattern(2, 2), levelImage(texture.textureName, 0));

    // An empty stream, on the other hand, is a stream without uploads.
    loadExtra(texture, {});
    EXPECT_NE(name, texture.textureName);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(texture.textureName, 0));
}

TEST_F(TextureCopy, CopiesTheSourceImageIntoATextureOfItsOwnAndAppliesTheStream)
{
    Bytes rgb = pattern(6, 3);
    Texture source;
    TextureParameters sourceFields;
    sourceFields.magFilter = kGlNearest;
    loadResource(source, bmp24(6, 3, rgb), textureParameters(sourceFields));

    TextureParameters fields;
    fields.wrapS = kGlClamp;
    Bytes stream = textureParameters(fields);
    std::unique_ptr<Texture> copy;
    withExactCopy(stream, [&](const uint8_t* d, int32_t n) { copy = std::make_unique<Texture>(&source, d, n); });
    EXPECT_EQ(200, copy->typeId());
    ASSERT_NE(0u, copy->textureName);
    EXPECT_NE(source.textureName, copy->textureName);
    EXPECT_EQ(rgb, levelImage(copy->textureName, 0));
    EXPECT_EQ(GL_LINEAR, parameter(copy->textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(GL_CLAMP, parameter(copy->textureName, GL_TEXTURE_WRAP_S));

    // Without a stream the copied image keeps the linear filters of the copy.
    Texture plain(&source, nullptr, 0);
    EXPECT_EQ(rgb, levelImage(plain.textureName, 0));
    EXPECT_EQ(GL_LINEAR, parameter(plain.textureName, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_LINEAR, parameter(plain.textureName, GL_TEXTURE_MAG_FILTER));

    // The source is left as it was; the copy outlives it.
    EXPECT_EQ(GL_NEAREST, parameter(source.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(rgb, levelImage(source.textureName, 0));
    GLuint copyName = copy->textureName;
    copy.reset();
    EXPECT_FALSE(glIsTexture(copyName));
    EXPECT_TRUE(glIsTexture(source.textureName));
}

TEST_F(TextureCopy, AMissingSourceOrOneThatIsNoTextureGivesATextureWithoutImage)
{
    SceneObject notATexture;
    Texture emptySource;  // its BMP bytes were rejected
    Bytes rejected = bmp24(2, 2, pattern(2, 2));
    rejected[28] = 8;
    load(emptySource, rejected);
    ASSERT_EQ(0u, emptySource.textureName);
    Bytes stream = textureParameters();
    for (SceneObject* source : {static_cast<SceneObject*>(nullptr), &notATexture,
                                static_cast<SceneObject*>(&emptySource)}) {
        std::unique_ptr<Texture> copy;
        withExactCopy(stream, [&](const uint8_t* d, int32_t n) { copy = std::make_unique<Texture>(source, d, n); });
        EXPECT_EQ((std::array<GLint, 2>{0, 0}), levelSize(copy->textureName, 0));
        EXPECT_EQ(GL_LINEAR, parameter(copy->textureName, GL_TEXTURE_MIN_FILTER));
    }
    EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(TextureCopy, ACloneIsANodeSharingTheNameThatOnlyTheOriginalDeletes)
{
    auto original = std::make_unique<Texture>();
    loadResource(*original, bmp24(2, 2, pattern(2, 2)));
    original->children->append("KID1", new TextureState);
    original->length = 9;
    const GLuint name = original->textureName;

    std::unique_ptr<SceneObject> clone(original->clone());
    auto* node = dynamic_cast<TextureNode*>(clone.get());
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(nullptr, dynamic_cast<Texture*>(clone.get()));
    EXPECT_EQ(0, clone->typeId());
    EXPECT_EQ(1, clone->isCopy);
    EXPECT_EQ(9, clone->length);
    EXPECT_EQ(name, node->textureName);
    ASSERT_EQ(1, clone->children->count());

    glBindTexture(GL_TEXTURE_2D, 0);
    clone->step(false);
    auto* state = static_cast<TextureState*>(clone->children->first());
    EXPECT_EQ(name, state->bound);

    // A clone of the clone shares the name too.
    std::unique_ptr<SceneObject> second(clone->clone());
    EXPECT_EQ(name, static_cast<TextureNode*>(second.get())->textureName);
    second.reset();
    clone.reset();
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(pattern(2, 2), levelImage(name, 0));
    original.reset();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(TextureCopy, AParameterStreamGivenToACloneLeavesTheSharedTextureAlone)
{
    Texture original;
    loadResource(original, bmp24(2, 2, pattern(2, 2)));
    std::unique_ptr<SceneObject> clone(original.clone());
    auto* node = static_cast<TextureNode*>(clone.get());
    TextureParameters fields;
    fields.magFilter = kGlNearest;
    loadExtra(*node, textureParameters(fields));
    EXPECT_NE(original.textureName, node->textureName);
    EXPECT_EQ(pattern(2, 2), levelImage(node->textureName, 0));
    EXPECT_EQ(GL_NEAREST, parameter(node->textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(GL_LINEAR, parameter(original.textureName, GL_TEXTURE_MAG_FILTER));
    EXPECT_EQ(pattern(2, 2), levelImage(original.textureName, 0));

    // The clone now owns the texture it made.
    GLuint own = node->textureName;
    clone.reset();
    EXPECT_FALSE(glIsTexture(own));
    EXPECT_TRUE(glIsTexture(original.textureName));
}

TEST_F(TextureNodeStep, BindsAroundTheChildrenAndStepOnlyPassesLeaveGLAlone)
{
    Texture texture;
    loadResource(texture, bmp24(2, 2, pattern(2, 2)));
    texture.length = 2;
    auto* state = new TextureState;
    texture.children->append("KID1", state);

    EXPECT_EQ(1, texture.step(false));
    EXPECT_EQ(GL_TRUE, state->enabled);
    EXPECT_EQ(texture.textureName, state->bound);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    EXPECT_EQ(0, texture.step(true));
    EXPECT_EQ(2, state->steps);
    EXPECT_EQ(GL_FALSE, state->enabled);
    EXPECT_EQ(other, state->bound);
    glDeleteTextures(1, &other);
}

TEST_F(TextureNodeStep, ANestedTextureTurnsTexturingOffForTheSiblingsAfterIt)
{
    Texture outer, innerImage;
    loadResource(outer, bmp24(2, 2, pattern(2, 2)));
    loadResource(innerImage, bmp24(2, 2, pattern(2, 2)));
    auto* inner = static_cast<TextureNode*>(innerImage.clone());
    auto* insideInner = new TextureState;
    auto* before = new TextureState;
    auto* after = new TextureState;
    inner->children->append("IN", insideInner);
    outer.children->append("BEFO", before);
    outer.children->append("INNR", inner);
    outer.children->append("AFTE", after);

    outer.step(false);
    EXPECT_EQ(GL_TRUE, before->enabled);
    EXPECT_EQ(outer.textureName, before->bound);
    EXPECT_EQ(GL_TRUE, insideInner->enabled);
    EXPECT_EQ(innerImage.textureName, insideInner->bound);
    EXPECT_EQ(GL_FALSE, after->enabled);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureDraw, A24BitBmpOnASquareShowsItsColoursUprightAndInPlace)
{
    // 3 × 2: rows of 9 bytes, padded in the file. Bottom row red, green, blue;
    // top row yellow, cyan, magenta.
    const Rgb8 colours[6] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    Bytes rgb;
    for (const Rgb8& c : colours)
        rgb.insert(rgb.end(), c.begin(), c.end());
    TextureParameters fields;
    fields.minFilter = kGlNearest;
    fields.magFilter = kGlNearest;
    Texture texture;
    loadResource(texture, bmp24(3, 2, rgb), textureParameters(fields));
    texture.children->append("QUAD", new TexturedSquare);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    texture.step(false);
    glFinish();

    std::vector<uint8_t> frame(size_t(kWidth * kHeight * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column) {
            SCOPED_TRACE("column " + std::to_string(column) + " row " + std::to_string(row));
            int x = kWidth * (2 * column + 1) / 6, y = kHeight * (2 * row + 1) / 4;
            const uint8_t* p = &frame[size_t((y * kWidth + x) * 4)];
            const Rgb8& want = colours[row * 3 + column];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(want[size_t(c)], p[c], 8) << "channel " << c;
        }
}

TEST_F(TextureFile, ReadsTheBmpFileAndTheParameterFileBesideIt)
{
    const std::string base = ::testing::TempDir() + "texture_file_" + std::to_string(::getpid());
    const std::string bmpPath = base + ".bmp";
    Bytes rgb = pattern(5, 3);
    ASSERT_TRUE(writeFile(bmpPath, bmp24(5, 3, rgb)));

    // No parameter file: the image with GL's default parameters.
    Texture bare;
    bare.loadFile(bmpPath.c_str());
    EXPECT_EQ(rgb, levelImage(bare.textureName, 0));
    EXPECT_EQ(GL_NEAREST_MIPMAP_LINEAR, parameter(bare.textureName, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(bmpPath, bare.path);
    EXPECT_EQ(base + ".dat", bare.dataPath);

    TextureParameters fields;
    fields.wrapT = kGlClamp;
    ASSERT_TRUE(writeFile(base + ".dat", textureParameters(fields)));
    Texture texture;
    texture.loadFile(bmpPath.c_str());
    EXPECT_EQ(rgb, levelImage(texture.textureName, 0));
    EXPECT_EQ(GL_LINEAR, parameter(texture.textureName, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_CLAMP, parameter(texture.textureName, GL_TEXTURE_WRAP_T));
    EXPECT_TRUE(platform_.boxes.empty());
    std::remove(bmpPath.c_str());
    std::remove((base + ".dat").c_str());
}

TEST_F(TextureFile, AMissingFileSaysNothingAndARejectedOneOnlyWhatTheReaderSays)
{
    Texture texture;
    texture.loadFile((::testing::TempDir() + "no_such_texture.bmp").c_str());
    texture.loadFile(nullptr);
    EXPECT_EQ(0u, texture.textureName);
    EXPECT_STREQ("", texture.path);
    EXPECT_TRUE(platform_.boxes.empty());

    const std::string path = ::testing::TempDir() + "texture_v4_" + std::to_string(::getpid()) + ".bmp";
    BmpLayout layout;
    layout.headerSize = 108;
    ASSERT_TRUE(writeFile(path, bmpFile(2, 2, 24, Bytes(12, 9), {}, layout)));
    texture.loadFile(path.c_str());
    EXPECT_EQ(0u, texture.textureName);
    EXPECT_STREQ("", texture.path);
    ASSERT_EQ(1u, platform_.boxes.size());
    EXPECT_EQ("Unknown DIB file format.", platform_.boxes[0].text);
    EXPECT_EQ("Error", platform_.boxes[0].caption);
    std::remove(path.c_str());
}
