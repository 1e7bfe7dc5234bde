// gluPerspective and gluLookAt, which multiply the current matrix, and the
// mipmap builder with its image scaling, as GLU documents them.
#include "platform/web/gl_textures.h"
#include "platform/web/glu_supplement.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace webgl {

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    const double radians = fovy / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0)
        return;
    const double cotangent = std::cos(radians) / sine;
    GLdouble m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / deltaZ;
    m[11] = -1;
    m[14] = -2 * zNear * zFar / deltaZ;
    glMultMatrixd(m);
}

namespace {

void normalize(float v[3])
{
    const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f)
        return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    // Single precision throughout, as GLU computes it.
    float forward[3] = {float(centerX - eyeX), float(centerY - eyeY), float(centerZ - eyeZ)};
    float up[3] = {float(upX), float(upY), float(upZ)};
    float side[3];
    normalize(forward);
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    const GLfloat m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                           side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
    glMultMatrixf(m);
    glTranslated(-eyeX, -eyeY, -eyeZ);
}

namespace {

PixelStore currentStore(bool unpack)
{
    PixelStore s;
    glGetIntegerv(unpack ? GL_UNPACK_ALIGNMENT : GL_PACK_ALIGNMENT, &s.alignment);
    glGetIntegerv(unpack ? GL_UNPACK_ROW_LENGTH : GL_PACK_ROW_LENGTH, &s.rowLength);
    glGetIntegerv(unpack ? GL_UNPACK_SKIP_ROWS : GL_PACK_SKIP_ROWS, &s.skipRows);
    glGetIntegerv(unpack ? GL_UNPACK_SKIP_PIXELS : GL_PACK_SKIP_PIXELS, &s.skipPixels);
    if (s.alignment < 1)
        s.alignment = 1;
    return s;
}

// Byte offset of pixel (0, row) of an image laid out by a pixel store.
size_t rowOffset(const PixelStore& s, int width, int components, int row)
{
    const size_t pixels = s.rowLength > 0 ? s.rowLength : width;
    const size_t bytes = pixels * components;
    const size_t stride = (bytes + s.alignment - 1) / s.alignment * s.alignment;
    return (row + s.skipRows) * stride + s.skipPixels * components;
}

std::vector<uint8_t> unpackImage(const PixelStore& s, int width, int height, int components, const void* data)
{
    std::vector<uint8_t> tight(size_t(width) * height * components);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (int y = 0; y < height; y++)
        std::memcpy(&tight[size_t(y) * width * components], bytes + rowOffset(s, width, components, y),
                    size_t(width) * components);
    return tight;
}

void packImage(const PixelStore& s, int width, int height, int components, const std::vector<uint8_t>& tight,
               void* data)
{
    auto* bytes = static_cast<uint8_t*>(data);
    for (int y = 0; y < height; y++)
        std::memcpy(bytes + rowOffset(s, width, components, y), &tight[size_t(y) * width * components],
                    size_t(width) * components);
}

struct Tap {
    int index;
    double weight;
};

// The source pixels and weights that make destination pixel i along one
// axis: a box filter over the pixel's footprint when shrinking, linear
// interpolation between pixel centres when magnifying.
std::vector<std::vector<Tap>> axisTaps(int from, int to)
{
    std::vector<std::vector<Tap>> taps(to);
    const double scale = double(from) / to;
    for (int i = 0; i < to; i++) {
        if (to == from) {
            taps[i].push_back({i, 1.0});
        } else if (to < from) {
            const double begin = i * scale, end = (i + 1) * scale;
            for (int k = int(std::floor(begin)); k < end && k < from; k++) {
                const double cover = std::fmin(end, k + 1.0) - std::fmax(begin, double(k));
                if (cover > 0)
                    taps[i].push_back({k, cover / scale});
            }
        } else {
            double at = (i + 0.5) * scale - 0.5;
            at = std::fmax(0.0, std::fmin(at, from - 1.0));
            const int low = int(std::floor(at));
            const int high = low + 1 < from ? low + 1 : low;
            const double fraction = at - low;
            taps[i].push_back({low, 1.0 - fraction});
            if (fraction > 0)
                taps[i].push_back({high, fraction});
        }
    }
    return taps;
}

std::vector<uint8_t> scaleTight(const std::vector<uint8_t>& in, int widthIn, int heightIn, int components, int widthOut,
                                int heightOut)
{
    if (widthIn == widthOut && heightIn == heightOut)
        return in;
    const auto xs = axisTaps(widthIn, widthOut);
    const auto ys = axisTaps(heightIn, heightOut);
    std::vector<uint8_t> out(size_t(widthOut) * heightOut * components);
    for (int y = 0; y < heightOut; y++)
        for (int x = 0; x < widthOut; x++)
            for (int c = 0; c < components; c++) {
                double sum = 0;
                for (const Tap& ty : ys[y])
                    for (const Tap& tx : xs[x])
                        sum += ty.weight * tx.weight * in[(size_t(ty.index) * widthIn + tx.index) * components + c];
                const double rounded = std::floor(sum + 0.5);
                out[(size_t(y) * widthOut + x) * components + c] = uint8_t(rounded < 0     ? 0
                                                                           : rounded > 255 ? 255
                                                                                           : rounded);
            }
    return out;
}

// The next level: every texel the rounded mean of the 2 x 2 texels above
// it, or of 2 texels once one side is 1 (truncated there, as GLU does).
std::vector<uint8_t> halve(const std::vector<uint8_t>& in, int width, int height, int components)
{
    const int w = width > 1 ? width / 2 : 1;
    const int h = height > 1 ? height / 2 : 1;
    std::vector<uint8_t> out(size_t(w) * h * components);
    auto at = [&](int x, int y, int c) { return int(in[(size_t(y) * width + x) * components + c]); };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < components; c++) {
                int value;
                if (width > 1 && height > 1)
                    value = (at(2 * x, 2 * y, c) + at(2 * x + 1, 2 * y, c) + at(2 * x, 2 * y + 1, c) +
                             at(2 * x + 1, 2 * y + 1, c) + 2) /
                            4;
                else if (width > 1)
                    value = (at(2 * x, y, c) + at(2 * x + 1, y, c)) / 2;
                else
                    value = (at(x, 2 * y, c) + at(x, 2 * y + 1, c)) / 2;
                out[(size_t(y) * w + x) * components + c] = uint8_t(value);
            }
    return out;
}

// The power of two nearest to value; halfway rounds up (48 -> 64, 40 -> 32).
int nearestPower(int value)
{
    int power = 1;
    while (power * 2 <= value)
        power *= 2;
    return value - power >= power / 2 && power < value ? power * 2 : power;
}

}  // namespace

GLint gluScaleImage(GLenum format, GLsizei widthIn, GLsizei heightIn, GLenum typeIn, const void* dataIn,
                    GLsizei widthOut, GLsizei heightOut, GLenum typeOut, void* dataOut)
{
    const int components = formatComponents(format);
    if (components == 0 || typeIn != GL_UNSIGNED_BYTE || typeOut != GL_UNSIGNED_BYTE)
        return GLU_INVALID_ENUM;
    if (widthIn < 0 || heightIn < 0 || widthOut < 0 || heightOut < 0)
        return GLU_INVALID_VALUE;
    if (widthIn == 0 || heightIn == 0 || widthOut == 0 || heightOut == 0)
        return 0;
    const auto in = unpackImage(currentStore(true), widthIn, heightIn, components, dataIn);
    packImage(currentStore(false), widthOut, heightOut, components,
              scaleTight(in, widthIn, heightIn, components, widthOut, heightOut), dataOut);
    return 0;
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void* data)
{
    const int components = formatComponents(format);
    if (components == 0 || type != GL_UNSIGNED_BYTE)
        return GLU_INVALID_ENUM;
    if (width < 1 || height < 1)
        return GLU_INVALID_VALUE;

    int w = nearestPower(width);
    int h = nearestPower(height);
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    while (maxSize > 0 && (w > maxSize || h > maxSize)) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }

    const PixelStore unpack = currentStore(true);
    auto level = scaleTight(unpackImage(unpack, width, height, components, data), width, height, components, w, h);

    // The levels are tightly packed; the caller's unpacking comes back after.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    for (int n = 0;; n++) {
        glTexImage2D(target, n, internalFormat, w, h, 0, format, GL_UNSIGNED_BYTE, level.data());
        if (w == 1 && h == 1)
            break;
        level = halve(level, w, h, components);
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpack.alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, unpack.rowLength);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skipRows);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skipPixels);
    return 0;
}

}  // namespace webgl
