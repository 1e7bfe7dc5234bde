// The web player's GLU supplement against the system's GLU, in the same
// real GL context: every quadric case drawn both ways must give the same
// vertex stream (GL feedback: positions, lit colours, texture coordinates)
// and the same pixels; the matrix helpers the same matrices; the mipmap
// builder the levels GLU documents, also for sizes that are not powers of
// two.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "platform/web/gl_enums.h"
#include "platform/web/gl_immediate.h"
#include "platform/web/gl_textures.h"
#include "platform/web/glu_supplement.h"
#include "player/window.h"

namespace {

class WebGlu : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(createGLWindow(window_, "test", kW, kH, 16, false)); }
    void TearDown() override
    {
        releaseGLContext(window_);
        killGLWindow(window_);
    }
    platform::TestDouble platform_;
    WindowState window_;
    static constexpr int kW = 128, kH = 96;
};

enum class Shape { Sphere, Cylinder, Disk, PartialDisk };

struct QuadricCase {
    const char* name;
    Shape shape;
    GLenum style, normals, orientation;
    bool textured, lit;
    GLenum cull;  // the faces culled, 0 for none
    bool flatShading;
    double r1, r2, height, start, sweep;
    int slices, stacks;
};

constexpr GLenum F = GLU_FILL, L = GLU_LINE, P = GLU_POINT, S = GLU_SILHOUETTE;
constexpr GLenum NONE = GLU_NONE, FLAT = GLU_FLAT, SMOOTH = GLU_SMOOTH;
constexpr GLenum OUT = GLU_OUTSIDE, IN = GLU_INSIDE;

const QuadricCase kQuadrics[] = {
    // name, shape, style, normals, orientation, textured, lit, culled, flat shading, sizes, slices, stacks
    {"sphere fill smooth lit", Shape::Sphere, F, SMOOTH, OUT, false, true, 0, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere fill flat lit", Shape::Sphere, F, FLAT, OUT, false, true, 0, true, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere fill no normals", Shape::Sphere, F, NONE, OUT, false, false, 0, false, 1.2, 0, 0, 0, 0, 9, 6},
    {"sphere fill textured lit", Shape::Sphere, F, SMOOTH, OUT, true, true, 0, false, 1.2, 0, 0, 0, 0, 8, 6},
    {"sphere inside culled", Shape::Sphere, F, SMOOTH, IN, false, true, GL_BACK, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere inside flat textured", Shape::Sphere, F, FLAT, IN, true, true, 0, true, 1.2, 0, 0, 0, 0, 6, 4},
    {"sphere inside flat caps", Shape::Sphere, F, FLAT, IN, false, true, 0, true, 1.2, 0, 0, 0, 0, 6, 4},
    {"sphere lines smooth lit", Shape::Sphere, L, SMOOTH, OUT, false, true, 0, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere lines flat lit", Shape::Sphere, L, FLAT, OUT, true, true, 0, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere silhouette", Shape::Sphere, S, NONE, OUT, false, false, 0, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"sphere points smooth lit", Shape::Sphere, P, SMOOTH, OUT, true, true, 0, false, 1.2, 0, 0, 0, 0, 7, 5},
    {"cylinder fill smooth lit", Shape::Cylinder, F, SMOOTH, OUT, false, true, 0, false, 0.8, 0.8, 1.5, 0, 0, 8, 3},
    {"cylinder fill flat lit", Shape::Cylinder, F, FLAT, OUT, false, true, 0, true, 0.8, 0.8, 1.5, 0, 0, 8, 3},
    {"cylinder textured", Shape::Cylinder, F, NONE, OUT, true, false, 0, false, 0.8, 0.8, 1.5, 0, 0, 8, 3},
    {"cylinder inside culled", Shape::Cylinder, F, SMOOTH, IN, true, true, GL_BACK, false, 0.8, 0.8, 1.5, 0, 0, 8, 3},
    {"cone fill smooth lit", Shape::Cylinder, F, SMOOTH, OUT, false, true, 0, false, 1.0, 0.0, 1.6, 0, 0, 9, 2},
    {"cone widening flat", Shape::Cylinder, F, FLAT, IN, false, true, 0, true, 0.3, 1.1, 1.2, 0, 0, 9, 2},
    {"cylinder lines flat lit", Shape::Cylinder, L, FLAT, OUT, true, true, 0, false, 0.8, 0.5, 1.5, 0, 0, 8, 3},
    {"cylinder silhouette smooth", Shape::Cylinder, S, SMOOTH, OUT, false, true, 0, false, 0.8, 0.5, 1.5, 0, 0, 8, 3},
    {"cylinder points", Shape::Cylinder, P, SMOOTH, OUT, true, true, 0, false, 0.8, 0.5, 1.5, 0, 0, 8, 3},
    {"disk full textured", Shape::Disk, F, SMOOTH, OUT, true, true, 0, false, 0.0, 1.3, 0, 0, 0, 10, 3},
    {"disk annulus", Shape::Disk, F, NONE, OUT, false, false, 0, false, 0.5, 1.3, 0, 0, 0, 10, 3},
    {"disk inside culled", Shape::Disk, F, SMOOTH, IN, true, true, GL_FRONT, false, 0.0, 1.3, 0, 0, 0, 10, 3},
    {"disk inside flat shading", Shape::Disk, F, FLAT, IN, true, true, 0, true, 0.4, 1.3, 0, 0, 0, 7, 2},
    {"disk lines", Shape::Disk, L, SMOOTH, OUT, true, true, 0, false, 0.4, 1.3, 0, 0, 0, 10, 3},
    {"disk silhouette", Shape::Disk, S, NONE, OUT, true, false, 0, false, 0.4, 1.3, 0, 0, 0, 10, 3},
    {"disk points", Shape::Disk, P, NONE, OUT, true, false, 0, false, 0.4, 1.3, 0, 0, 0, 10, 3},
    {"circle lines", Shape::Disk, L, NONE, OUT, true, false, 0, false, 1.0, 1.0, 0, 0, 0, 12, 2},
    {"partial disk textured", Shape::PartialDisk, F, SMOOTH, OUT, true, true, 0, false, 0.3, 1.3, 0, 30, 200, 9, 3},
    {"partial disk full fan", Shape::PartialDisk, F, NONE, IN, true, false, 0, false, 0.0, 1.3, 0, 30, 250, 9, 3},
    {"partial disk negative sweep", Shape::PartialDisk, F, NONE, OUT, false, false, 0, false, 0.3, 1.3, 0, 10, -120, 6, 2},
    {"partial disk over a turn", Shape::PartialDisk, F, NONE, OUT, true, false, 0, false, 0.3, 1.3, 0, 45, 400, 6, 2},
    {"partial disk lines", Shape::PartialDisk, L, NONE, OUT, true, false, 0, false, 0.3, 1.3, 0, 30, 200, 9, 3},
    {"partial disk silhouette", Shape::PartialDisk, S, NONE, OUT, true, false, 0, false, 0.3, 1.3, 0, 30, 200, 9, 3},
    {"partial disk points", Shape::PartialDisk, P, NONE, OUT, true, false, 0, false, 0.3, 1.3, 0, 30, 200, 9, 3},
};

// An 8 x 8 texture of distinct colours, nearest-filtered, so that every
// texture coordinate shows in the pixels.
GLuint bindPatternTexture()
{
    uint8_t texels[8 * 8 * 3];
    for (int i = 0; i < 64; i++) {
        texels[i * 3] = uint8_t(i * 4);
        texels[i * 3 + 1] = uint8_t(255 - i * 3);
        texels[i * 3 + 2] = uint8_t((i * 37) & 255);
    }
    GLuint name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 8, 8, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

struct Drawn {
    std::vector<float> feedback;
    std::vector<uint8_t> pixels;
    float normal[3] = {}, texCoord[4] = {};
};

template <typename Quadric, typename Api>
Drawn drawQuadric(const QuadricCase& c, Quadric* q, Api api)
{
    glClearColor(0.1f, 0.2f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glNormal3f(0.3f, 0.4f, 0.5f);
    glTexCoord2f(0.25f, 0.75f);
    api.normals(q, c.normals);
    api.orientation(q, c.orientation);
    api.drawStyle(q, c.style);
    api.texture(q, c.textured);
    auto draw = [&] {
        switch (c.shape) {
        case Shape::Sphere:
            api.sphere(q, c.r1, c.slices, c.stacks);
            break;
        case Shape::Cylinder:
            api.cylinder(q, c.r1, c.r2, c.height, c.slices, c.stacks);
            break;
        case Shape::Disk:
            api.disk(q, c.r1, c.r2, c.slices, c.stacks);
            break;
        case Shape::PartialDisk:
            api.partialDisk(q, c.r1, c.r2, c.slices, c.stacks, c.start, c.sweep);
            break;
        }
    };
    Drawn d;
    d.feedback.resize(200000);
    glFeedbackBuffer(GLsizei(d.feedback.size()), GL_3D_COLOR_TEXTURE, d.feedback.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    d.feedback.resize(used > 0 ? used : 0);
    draw();
    d.pixels.resize(size_t(128) * 96 * 4);
    glReadPixels(0, 0, 128, 96, GL_RGBA, GL_UNSIGNED_BYTE, d.pixels.data());
    glGetFloatv(GL_CURRENT_NORMAL, d.normal);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, d.texCoord);
    return d;
}

struct SystemGlu {
    void normals(GLUquadric* q, GLenum v) { gluQuadricNormals(q, v); }
    void orientation(GLUquadric* q, GLenum v) { gluQuadricOrientation(q, v); }
    void drawStyle(GLUquadric* q, GLenum v) { gluQuadricDrawStyle(q, v); }
    void texture(GLUquadric* q, bool v) { gluQuadricTexture(q, v); }
    void sphere(GLUquadric* q, double r, int a, int b) { gluSphere(q, r, a, b); }
    void cylinder(GLUquadric* q, double r1, double r2, double h, int a, int b) { gluCylinder(q, r1, r2, h, a, b); }
    void disk(GLUquadric* q, double r1, double r2, int a, int b) { gluDisk(q, r1, r2, a, b); }
    void partialDisk(GLUquadric* q, double r1, double r2, int a, int b, double s, double w)
    {
        gluPartialDisk(q, r1, r2, a, b, s, w);
    }
};

struct Supplement {
    void normals(webgl::Quadric* q, GLenum v) { webgl::gluQuadricNormals(q, v); }
    void orientation(webgl::Quadric* q, GLenum v) { webgl::gluQuadricOrientation(q, v); }
    void drawStyle(webgl::Quadric* q, GLenum v) { webgl::gluQuadricDrawStyle(q, v); }
    void texture(webgl::Quadric* q, bool v) { webgl::gluQuadricTexture(q, v); }
    void sphere(webgl::Quadric* q, double r, int a, int b) { webgl::gluSphere(q, r, a, b); }
    void cylinder(webgl::Quadric* q, double r1, double r2, double h, int a, int b)
    {
        webgl::gluCylinder(q, r1, r2, h, a, b);
    }
    void disk(webgl::Quadric* q, double r1, double r2, int a, int b) { webgl::gluDisk(q, r1, r2, a, b); }
    void partialDisk(webgl::Quadric* q, double r1, double r2, int a, int b, double s, double w)
    {
        webgl::gluPartialDisk(q, r1, r2, a, b, s, w);
    }
};

void setUpScene(const QuadricCase& c)
{
    glViewport(0, 0, 128, 96);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45, 128.0 / 96.0, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -4.5f);
    glRotatef(-55, 1, 0, 0);
    glRotatef(25, 0, 0, 1);
    if (c.shape == Shape::Cylinder)
        glTranslatef(0, 0, -0.7f);
    glEnable(GL_DEPTH_TEST);
    glColor4f(0.9f, 0.7f, 0.5f, 1);
    glPointSize(2);
    glShadeModel(c.flatShading ? GL_FLAT : GL_SMOOTH);
    if (c.lit) {
        const GLfloat direction[] = {0.4f, 0.6f, 1.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, direction);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    }
    if (c.cull) {
        glCullFace(c.cull);
        glEnable(GL_CULL_FACE);
    }
}

int differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    int n = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return n;
}

int drawnPixels(const std::vector<uint8_t>& a)
{
    int n = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        n += a[i] != a[0] || a[i + 1] != a[1] || a[i + 2] != a[2];
    return n;
}

} // namespace

TEST_F(WebGlu, QuadricsTessellateVertexForVertexAsSystemGlu)
{
    const GLuint texture = bindPatternTexture();
    for (const QuadricCase& c : kQuadrics) {
        SCOPED_TRACE(c.name);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        setUpScene(c);
        if (c.textured)
            glEnable(GL_TEXTURE_2D);
        GLUquadric* system = ::gluNewQuadric();
        const Drawn expected = drawQuadric(c, system, SystemGlu{});
        ::gluDeleteQuadric(system);
        webgl::Quadric* ours = webgl::gluNewQuadric();
        const Drawn actual = drawQuadric(c, ours, Supplement{});
        webgl::gluDeleteQuadric(ours);
        glPopAttrib();

        ASSERT_GT(expected.feedback.size(), 20u);
        EXPECT_GT(drawnPixels(expected.pixels), 30);
        EXPECT_EQ(actual.feedback, expected.feedback);
        EXPECT_EQ(differingPixels(actual.pixels, expected.pixels), 0);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(actual.normal[i], expected.normal[i]) << "current normal " << i;
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(actual.texCoord[i], expected.texCoord[i]) << "current texture coordinate " << i;
    }
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(WebGlu, PerspectiveAndLookAtMultiplyTheCurrentMatrixAsSystemGlu)
{
    struct View {
        double eye[3], center[3], up[3];
        double fovy, aspect, zNear, zFar;
    };
    const View views[] = {
        {{0, 0, 5}, {0, 0, 0}, {0, 1, 0}, 45, 4.0 / 3.0, 0.1f, 100},
        {{1.5, -2, 3.25}, {0.2, 0.7, -1}, {0.3, 1, 0.1}, 60, 1.0, 0.5, 20},
        {{-3, 4, 1}, {2, 2, 2}, {0, 0, 1}, 90, 16.0 / 9.0, 1, 1000},
    };
    for (const View& v : views) {
        float expected[2][16], actual[2][16];
        for (int ours = 0; ours < 2; ours++) {
            // A matrix already in place, which both calls must keep.
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glOrtho(-2, 3, -1, 4, 0.5, 7);
            (ours ? webgl::gluPerspective : ::gluPerspective)(v.fovy, v.aspect, v.zNear, v.zFar);
            glGetFloatv(GL_PROJECTION_MATRIX, ours ? actual[0] : expected[0]);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            glTranslatef(0.5f, -1, 2);
            glRotatef(30, 1, 1, 0);
            (ours ? webgl::gluLookAt : ::gluLookAt)(v.eye[0], v.eye[1], v.eye[2], v.center[0],
                                                    v.center[1], v.center[2], v.up[0], v.up[1],
                                                    v.up[2]);
            glGetFloatv(GL_MODELVIEW_MATRIX, ours ? actual[1] : expected[1]);
        }
        for (int m = 0; m < 2; m++)
            for (int i = 0; i < 16; i++)
                EXPECT_EQ(actual[m][i], expected[m][i]) << (m ? "modelview " : "projection ") << i;
    }
}

// ---- Immediate mode reduced to triangles, lines and points -------------

namespace {

struct ImmediateCase {
    const char* name;
    GLenum mode;
    int count;
    GLenum front, back;
    bool flat, cull, lit, textured;
};

const ImmediateCase kImmediate[] = {
    {"quad strip filled smooth", GL_QUAD_STRIP, 10, GL_FILL, GL_FILL, false, false, false, true},
    {"quad strip flat lit", GL_QUAD_STRIP, 10, GL_FILL, GL_FILL, true, false, true, false},
    {"quad strip lines", GL_QUAD_STRIP, 10, GL_LINE, GL_LINE, false, false, false, false},
    {"quad strip points flat", GL_QUAD_STRIP, 10, GL_POINT, GL_POINT, true, false, false, false},
    {"quads front lines back filled", GL_QUADS, 12, GL_LINE, GL_FILL, false, false, false, false},
    {"quads front filled back points", GL_QUADS, 12, GL_FILL, GL_POINT, true, false, false, false},
    {"quads lines culled back", GL_QUADS, 12, GL_LINE, GL_LINE, false, true, false, false},
    {"polygon filled smooth", GL_POLYGON, 7, GL_FILL, GL_FILL, false, false, false, true},
    {"polygon flat takes the first colour", GL_POLYGON, 7, GL_FILL, GL_FILL, true, false, false, false},
    {"polygon lines", GL_POLYGON, 7, GL_LINE, GL_LINE, true, false, false, false},
    {"triangles flat lit", GL_TRIANGLES, 9, GL_FILL, GL_FILL, true, false, true, false},
    {"triangle strip flat", GL_TRIANGLE_STRIP, 8, GL_FILL, GL_FILL, true, false, false, false},
    {"triangle strip lines culled", GL_TRIANGLE_STRIP, 8, GL_LINE, GL_LINE, false, true, false, false},
    {"triangle strip lines over shared edges", GL_TRIANGLE_STRIP, 8, GL_LINE, GL_LINE, false, false, false, false},
    {"triangle strip front lines back filled", GL_TRIANGLE_STRIP, 8, GL_LINE, GL_FILL, false, false, false, true},
    {"triangle fan points", GL_TRIANGLE_FAN, 8, GL_POINT, GL_POINT, false, false, false, false},
    {"triangle fan flat culled", GL_TRIANGLE_FAN, 8, GL_FILL, GL_FILL, true, true, false, false},
    {"line strip flat", GL_LINE_STRIP, 6, GL_FILL, GL_FILL, true, false, false, false},
    {"line loop flat", GL_LINE_LOOP, 6, GL_FILL, GL_FILL, true, false, false, false},
    {"lines with an odd vertex", GL_LINES, 7, GL_FILL, GL_FILL, false, false, false, false},
};

// Vertices laid out so that each mode makes a sensible shape: strips zig-zag
// along x, fans and polygons go round a centre, quads sit side by side.
std::vector<webgl::Vertex> shapeFor(GLenum mode, int count)
{
    std::vector<webgl::Vertex> out(count);
    for (int i = 0; i < count; i++) {
        webgl::Vertex& v = out[i];
        float x, y;
        if (mode == GL_TRIANGLE_FAN || mode == GL_POLYGON || mode == GL_LINE_LOOP) {
            const float a = i == 0 && mode == GL_TRIANGLE_FAN ? 0 : 5.8f * i / count;
            const float r = i == 0 && mode == GL_TRIANGLE_FAN ? 0 : 0.9f;
            x = r * std::cos(a), y = r * std::sin(a);
        } else if (mode == GL_QUADS) {
            const int q = i / 4, k = i % 4;
            x = -0.95f + 0.65f * q + (k == 1 || k == 2 ? 0.55f : 0), y = k >= 2 ? 0.8f : -0.7f + 0.1f * q;
        } else if (mode == GL_TRIANGLES) {
            const int t = i / 3, k = i % 3;
            x = -0.9f + 0.6f * t + (k == 1 ? 0.5f : k == 2 ? 0.2f : 0), y = k == 2 ? 0.8f : -0.6f;
        } else {
            x = -0.9f + 1.8f * (i / 2) / ((count - 1) / 2 + 0.01f) + 0.07f * (i % 2);
            y = i % 2 ? 0.7f : -0.7f + 0.05f * i;
        }
        const float p[4] = {x, y, 0.1f * (i % 3), 1};
        const float c[4] = {(i * 53 % 256) / 255.0f, (i * 97 % 256) / 255.0f, (255 - i * 31 % 256) / 255.0f, 1};
        const float n[3] = {0.1f * i - 0.3f, 0.2f, 1};
        const float t[4] = {0.13f * i, 1 - 0.11f * i, 0, 1};
        std::copy(p, p + 4, v.position);
        std::copy(c, c + 4, v.color);
        std::copy(n, n + 3, v.normal);
        std::copy(t, t + 4, v.texCoord);
    }
    return out;
}

void sendVertex(const webgl::Vertex& v)
{
    glColor4fv(v.color);
    glNormal3fv(v.normal);
    glTexCoord2fv(v.texCoord);
    glVertex4fv(v.position);
}

class GLSink : public webgl::PrimitiveSink {
public:
    void draw(GLenum mode, const webgl::Vertex* v, size_t count) override
    {
        glBegin(mode);
        for (size_t i = 0; i < count; i++)
            sendVertex(v[i]);
        glEnd();
    }
};

// The shape on the left as given and on the right mirrored, so that both
// faces show.
template <typename Draw>
std::vector<uint8_t> drawBothFaces(Draw draw)
{
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<uint8_t> pixels(size_t(128) * 96 * 4);
    for (int side = 0; side < 2; side++) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(side ? 0.5f : -0.5f, 0, 0);
        glScalef(side ? -0.48f : 0.48f, 0.9f, 0.5f);
        draw();
    }
    glReadPixels(0, 0, 128, 96, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace

TEST_F(WebGlu, ImmediateBlocksDrawAsTheGlBeginModesTheyReplace)
{
    const GLuint texture = bindPatternTexture();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -2, 2);
    glPointSize(2);
    for (const ImmediateCase& c : kImmediate) {
        SCOPED_TRACE(c.name);
        const std::vector<webgl::Vertex> vertices = shapeFor(c.mode, c.count);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        if (c.cull)
            glEnable(GL_CULL_FACE);
        if (c.textured)
            glEnable(GL_TEXTURE_2D);
        if (c.lit) {
            const GLfloat direction[] = {0.3f, 0.5f, 1, 0};
            glLightfv(GL_LIGHT0, GL_POSITION, direction);
            glEnable(GL_LIGHTING);
            glEnable(GL_LIGHT0);
        }
        glShadeModel(c.flat ? GL_FLAT : GL_SMOOTH);
        glPolygonMode(GL_FRONT, c.front);
        glPolygonMode(GL_BACK, c.back);
        const auto expected = drawBothFaces([&] {
            glBegin(c.mode);
            for (const webgl::Vertex& v : vertices)
                sendVertex(v);
            glEnd();
        });
        glShadeModel(GL_SMOOTH);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        const auto actual = drawBothFaces([&] {
            webgl::RasterState state;
            state.frontMode = c.front, state.backMode = c.back;
            state.flat = c.flat;
            state.cullFace = c.cull;
            GLfloat projection[16], modelview[16];
            glGetFloatv(GL_PROJECTION_MATRIX, projection);
            glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glMultMatrixf(modelview);
            glGetFloatv(GL_PROJECTION_MATRIX, state.clipMatrix);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            GLSink sink;
            webgl::assemble(c.mode, vertices, state, sink);
        });
        glPopAttrib();
        EXPECT_GT(drawnPixels(expected), 20);
        EXPECT_EQ(differingPixels(actual, expected), 0);
    }
    glDeleteTextures(1, &texture);
}

// ---- Mipmaps and kept texture state --------------------------------------

namespace {

enum class Pattern { Noise, Constant, HalvesRedBlue };

// An image of unsigned bytes with rows padded to `alignment`.
std::vector<uint8_t> makeImage(int w, int h, int components, int alignment, Pattern pattern)
{
    const size_t stride = (size_t(w) * components + alignment - 1) / alignment * alignment;
    std::vector<uint8_t> image(stride * h, 0xEE);
    uint32_t seed = 12345;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < components; c++) {
                seed = seed * 214013 + 2531011;
                uint8_t v = uint8_t(seed >> 16);
                if (pattern == Pattern::Constant)
                    v = uint8_t(40 + 70 * c);
                else if (pattern == Pattern::HalvesRedBlue)
                    v = (x < w / 2 ? c == 0 : c == 2) ? 255 : 0;
                image[y * stride + size_t(x) * components + c] = v;
            }
    return image;
}

struct Level {
    int width, height;
    std::vector<uint8_t> texels;  // tightly packed
};

std::vector<Level> readLevels(int components, GLenum format)
{
    std::vector<Level> levels;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int n = 0; n < 16; n++) {
        Level l;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, n, GL_TEXTURE_WIDTH, &l.width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, n, GL_TEXTURE_HEIGHT, &l.height);
        if (l.width == 0)
            break;
        l.texels.resize(size_t(l.width) * l.height * components);
        glGetTexImage(GL_TEXTURE_2D, n, format, GL_UNSIGNED_BYTE, l.texels.data());
        levels.push_back(l);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return levels;
}

template <typename Build>
std::vector<Level> buildLevels(Build build, const std::vector<uint8_t>& image, int w, int h,
                               int components, GLenum format, int alignment)
{
    GLuint name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    EXPECT_EQ(build(GL_TEXTURE_2D, components, w, h, format, GL_UNSIGNED_BYTE, image.data()), 0);
    GLint kept = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &kept);
    EXPECT_EQ(kept, alignment) << "the caller's unpacking is kept";
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    auto levels = readLevels(components, format);
    glDeleteTextures(1, &name);
    return levels;
}

} // namespace

TEST_F(WebGlu, MipmapsAreBuiltAsGluDocumentsThem)
{
    struct Case {
        const char* name;
        int width, height;
        GLenum format;
        int components, alignment;
        Pattern pattern;
        int levelWidth, levelHeight;  // of level 0, the powers of two GLU names
    };
    const Case cases[] = {
        {"square power of two", 16, 16, GL_RGB, 3, 4, Pattern::Noise, 16, 16},
        {"wide power of two down to a row", 32, 4, GL_RGBA, 4, 4, Pattern::Noise, 32, 4},
        {"tall power of two down to a column", 2, 16, GL_RGB, 3, 1, Pattern::Noise, 2, 16},
        {"57 x 23 (widened, narrowed)", 57, 23, GL_RGB, 3, 4, Pattern::Constant, 64, 16},
        {"exactly between scales up", 48, 3, GL_RGB, 3, 4, Pattern::Constant, 64, 4},
        {"luminance alpha", 5, 40, GL_LUMINANCE_ALPHA, 2, 4, Pattern::Constant, 4, 32},
        {"shrunk halves stay apart", 40, 6, GL_RGB, 3, 4, Pattern::HalvesRedBlue, 32, 8},
        {"widened halves meet in a blend", 24, 3, GL_RGB, 3, 2, Pattern::HalvesRedBlue, 32, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = makeImage(c.width, c.height, c.components, c.alignment, c.pattern);
        const auto levels = buildLevels(webgl::gluBuild2DMipmaps, image, c.width, c.height,
                                        c.components, c.format, c.alignment);
        ASSERT_FALSE(levels.empty());
        // A full chain: each level half the one before, down to 1 x 1.
        int w = c.levelWidth, h = c.levelHeight;
        for (const Level& l : levels) {
            EXPECT_EQ(l.width, w);
            EXPECT_EQ(l.height, h);
            w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
        }
        EXPECT_EQ(levels.back().width * levels.back().height, 1);

        if (c.pattern == Pattern::Noise) {
            // No scaling: GLU's own halving, texel for texel.
            const auto expected = buildLevels(::gluBuild2DMipmaps, image, c.width, c.height,
                                              c.components, c.format, c.alignment);
            ASSERT_EQ(levels.size(), expected.size());
            for (size_t n = 0; n < levels.size(); n++)
                EXPECT_EQ(levels[n].texels, expected[n].texels) << "level " << n;
        } else if (c.pattern == Pattern::Constant) {
            // Every texel of every level is the colour (no dark edge row).
            for (size_t n = 0; n < levels.size(); n++)
                for (size_t i = 0; i < levels[n].texels.size(); i++)
                    ASSERT_EQ(levels[n].texels[i], 40 + 70 * (i % c.components))
                        << "level " << n << " byte " << i;
        } else {
            // Red left, blue right; a box filter keeps the halves apart
            // when the width shrinks by 5/4, linear interpolation blends
            // only the columns next to the middle when it grows.
            const Level& l = levels[0];
            const bool shrunk = c.width > l.width;
            const int blend = shrunk ? 0 : 2;
            int lastRed = 256;
            for (int y = 0; y < l.height; y++)
                for (int x = 0; x < l.width; x++) {
                    const uint8_t* t = &l.texels[(size_t(y) * l.width + x) * 3];
                    EXPECT_EQ(t[1], 0);
                    EXPECT_EQ(t[0] + t[2], 255) << x << "," << y;
                    if (x < l.width / 2 - blend) {
                        EXPECT_EQ(t[0], 255) << x << "," << y;
                    } else if (x >= l.width / 2 + blend) {
                        EXPECT_EQ(t[2], 255) << x << "," << y;
                    }
                    if (y == 0) {
                        EXPECT_LE(t[0], lastRed) << x;
                        lastRed = t[0];
                    }
                }
        }
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(WebGlu, KeptTextureLevelsReadBackAsGlReadsThem)
{
    struct Case {
        const char* name;
        GLint internalFormat;
        GLenum format;
        int components, width, height;
        webgl::PixelStore unpack, pack;
    };
    const Case cases[] = {
        {"component count 3 from RGB", 3, GL_RGB, 3, 5, 3, {4, 0, 0, 0}, {4, 0, 0, 0}},
        {"RGBA kept from RGB data", GL_RGBA, GL_RGB, 3, 6, 2, {1, 0, 0, 0}, {8, 0, 0, 0}},
        {"RGB kept from RGBA data", GL_RGB8, GL_RGBA, 4, 3, 4, {4, 5, 1, 2}, {2, 7, 1, 3}},
        {"luminance from RGB data", 1, GL_RGB, 3, 4, 4, {4, 0, 0, 0}, {1, 0, 0, 0}},
        {"luminance alpha", GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA, 2, 3, 3, {2, 4, 0, 1}, {4, 0, 2, 0}},
        {"alpha from BGRA data", GL_ALPHA, GL_BGRA, 4, 2, 5, {4, 0, 0, 0}, {4, 0, 0, 0}},
    };
    const GLenum readFormats[] = {GL_RGB, GL_RGBA, GL_LUMINANCE, GL_ALPHA, GL_BGR, GL_RED};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int rows = c.height + c.unpack.skipRows + 1;
        const auto data = makeImage(std::max(c.width, c.unpack.rowLength) + c.unpack.skipPixels, rows,
                                    c.components, c.unpack.alignment, Pattern::Noise);
        auto setStore = [](const webgl::PixelStore& u, const webgl::PixelStore& p) {
            glPixelStorei(GL_UNPACK_ALIGNMENT, u.alignment);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, u.rowLength);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, u.skipRows);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, u.skipPixels);
            glPixelStorei(GL_PACK_ALIGNMENT, p.alignment);
            glPixelStorei(GL_PACK_ROW_LENGTH, p.rowLength);
            glPixelStorei(GL_PACK_SKIP_ROWS, p.skipRows);
            glPixelStorei(GL_PACK_SKIP_PIXELS, p.skipPixels);
        };
        webgl::PixelStore unpack = c.unpack;
        if (unpack.rowLength == 0 && c.unpack.skipPixels)
            unpack.rowLength = c.width + c.unpack.skipPixels;
        setStore(unpack, c.pack);
        GLuint names[2];
        glGenTextures(2, names);
        glBindTexture(GL_TEXTURE_2D, names[0]);
        glTexImage2D(GL_TEXTURE_2D, 2, c.internalFormat, c.width, c.height, 0, c.format, GL_UNSIGNED_BYTE, data.data());

        webgl::TextureStore store;
        store.unpack = unpack;
        store.pack = c.pack;
        store.bind(names[0]);
        GLenum uploadFormat = 0;
        std::vector<uint8_t> upload;
        ASSERT_EQ(store.upload(2, c.internalFormat, c.width, c.height, 0, c.format, GL_UNSIGNED_BYTE,
                               data.data(), &uploadFormat, &upload),
                  GLenum(GL_NO_ERROR));

        for (GLenum pname : {GL_TEXTURE_WIDTH, GL_TEXTURE_HEIGHT, GL_TEXTURE_BORDER, GL_TEXTURE_INTERNAL_FORMAT,
                             GL_TEXTURE_RED_SIZE, GL_TEXTURE_ALPHA_SIZE, GL_TEXTURE_LUMINANCE_SIZE}) {
            for (int level : {2, 0}) {
                GLint expected = -1, actual = -2;
                glGetTexLevelParameteriv(GL_TEXTURE_2D, level, pname, &expected);
                ASSERT_TRUE(store.levelParameter(level, pname, &actual));
                EXPECT_EQ(actual, expected) << "pname " << std::hex << pname << " level " << level;
            }
        }
        for (GLenum format : readFormats) {
            const int n = format == GL_RGBA ? 4 : format == GL_RGB || format == GL_BGR ? 3 : 1;
            const size_t size = size_t(c.height + c.pack.skipRows + 1) *
                                (size_t(std::max(c.width, c.pack.rowLength) + c.pack.skipPixels) * n + 8);
            std::vector<uint8_t> expected(size, 0x5A), actual(size, 0x5A);
            glGetTexImage(GL_TEXTURE_2D, 2, format, GL_UNSIGNED_BYTE, expected.data());
            EXPECT_EQ(store.image(2, format, GL_UNSIGNED_BYTE, actual.data()), GLenum(GL_NO_ERROR));
            EXPECT_EQ(actual, expected) << "read as " << std::hex << format;
        }

        // What goes up to WebGL (tight, in the texture's own format) holds
        // the same texture.
        setStore({1, 0, 0, 0}, {1, 0, 0, 0});
        glBindTexture(GL_TEXTURE_2D, names[1]);
        glTexImage2D(GL_TEXTURE_2D, 0, uploadFormat, c.width, c.height, 0, uploadFormat, GL_UNSIGNED_BYTE, upload.data());
        std::vector<uint8_t> sent(size_t(c.width) * c.height * 4), kept(sent.size());
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, sent.data());
        glBindTexture(GL_TEXTURE_2D, names[0]);
        glGetTexImage(GL_TEXTURE_2D, 2, GL_RGBA, GL_UNSIGNED_BYTE, kept.data());
        EXPECT_EQ(sent, kept);
        glDeleteTextures(2, names);
        setStore({4, 0, 0, 0}, {4, 0, 0, 0});
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// ---- Errors as a desktop GL reports them --------------------------------

// The render-state script passes 16-bit values sign-extended: every value it
// can send below 0x8000 (the rest are no name at all) must be taken or
// refused as Mesa takes or refuses it, and so must the hints' modes, the
// shade models and polygon mode's faces and modes.
TEST_F(WebGlu, StateCallsReportTheErrorsOfADesktopGl)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    const GLenum hintModes[] = {GL_DONT_CARE, GL_FASTEST, GL_NICEST, GL_FLAT, 0};
    const GLenum polygonValues[] = {GL_FRONT, GL_BACK, GL_FRONT_AND_BACK, GL_LEFT, GL_POINT, GL_LINE,
                                    GL_FILL, GL_FILL + 1, 0};
    int mismatches = 0;
    auto check = [&](const char* call, GLenum a, GLenum b, GLenum ours) {
        const GLenum mesa = glGetError();
        if (mesa != ours && ++mismatches <= 20)
            ADD_FAILURE() << call << "(0x" << std::hex << a << ", 0x" << b << "): Mesa 0x" << mesa
                          << ", ours 0x" << ours;
    };
    for (GLenum value = 0; value < 0x8000; value++) {
        glEnable(value);
        check("glEnable", value, 0, webgl::enableError(value));
        glDisable(value);
        check("glDisable", value, 0, webgl::enableError(value));
        glShadeModel(value);
        check("glShadeModel", value, 0, webgl::shadeModelError(value));
        for (GLenum mode : hintModes) {
            glHint(value, mode);
            check("glHint", value, mode, webgl::hintError(value, mode));
        }
    }
    for (GLenum face : polygonValues)
        for (GLenum mode : polygonValues) {
            glPolygonMode(face, mode);
            check("glPolygonMode", face, mode, webgl::polygonModeError(face, mode));
        }
    EXPECT_EQ(mismatches, 0);
}
