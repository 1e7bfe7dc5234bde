// The web player's OpenGL 1.1 and GLU supplement: what Emscripten's legacy
// GL emulation (-sLEGACY_GL_EMULATION on WebGL 2) lacks or gets wrong for
// the engine's calls. The C definitions here take precedence over the
// emulation's; they keep the state WebGL cannot hold and draw through the
// emulation's own emscripten_gl* entry points. What they keep starts over
// with each new context (resetGLState, called by the web layer).
//
// Implemented:
// - GLU: gluNewQuadric, gluDeleteQuadric, gluQuadricNormals,
//   gluQuadricOrientation, gluQuadricDrawStyle, gluQuadricTexture,
//   gluSphere, gluCylinder, gluDisk, gluPartialDisk (vertex for vertex as
//   Mesa's GLU, glu_quadric.cpp); gluPerspective and gluLookAt multiplying
//   the current matrix; gluScaleImage and gluBuild2DMipmaps (scaling to
//   powers of two as GLU documents, then halving; glu_util.cpp). Only
//   GL_UNSIGNED_BYTE images.
// - glBegin/glEnd with every mode, GL_QUADS, GL_QUAD_STRIP and GL_POLYGON
//   included; glVertex2f/3f/3fv/4f, glColor3f/3fv/4f/4fv/4ub, glNormal3f/3fv,
//   glTexCoord2f/2fv/3f/3fv (r and q are kept, not drawn). Each block is
//   drawn as independent triangles, lines or points, every vertex with
//   colour, normal and texture coordinate (gl_immediate.cpp).
// - glPolygonMode per face (lines and points, culled faces skipped),
//   glShadeModel(GL_FLAT) (the provoking vertex's colour and normal for the
//   whole primitive, so flat lighting is exact for directional lights and a
//   distant viewer), glCullFace and glFrontFace kept for both.
// - Current colour, normal and texture coordinate from kept state
//   (glGetFloatv GL_CURRENT_COLOR, GL_CURRENT_NORMAL,
//   GL_CURRENT_TEXTURE_COORDS); glGetIntegerv GL_POLYGON_MODE, GL_SHADE_MODEL.
// - Textures (gl_textures.cpp): glTexImage2D with any GL 1.1 internal
//   format (1 to 4 components or a named one) and any client format of
//   unsigned bytes, uploaded in the matching unsized WebGL format; every
//   level's size, format and texels kept for glGetTexLevelParameteriv and
//   glGetTexImage (with the pack pixel store); GL_CLAMP and
//   GL_CLAMP_TO_BORDER as GL_CLAMP_TO_EDGE; GL_TEXTURE_BORDER_COLOR kept
//   for glGetTexParameterfv and GL_TEXTURE_PRIORITY dropped, neither sent.
// - Colours reach the emulation aimed at the middle of a byte, so that its
//   truncation to bytes rounds as a desktop GL does.
// - Enumerations as a desktop GL takes them (gl_enums.cpp, checked against
//   Mesa for every value below 0x8000): glEnable/glDisable accept every
//   GL 1.x capability (those WebGL lacks do nothing) and refuse others with
//   GL_INVALID_ENUM, where the emulation ignored them silently; glHint
//   accepts every desktop target; glShadeModel and glPolygonMode refuse
//   what a desktop GL refuses; glGetError reports these errors before
//   WebGL's.
//
// Not implemented: vertex arrays under polygon mode or flat shading (the
// engine draws immediate mode only); texture borders (a border of 1 is
// refused by WebGL); colour and texture types other than unsigned bytes;
// glTexSubImage2D and glCopyTexImage2D kept state; edge flags; flat
// shading with positional lights or a local viewer (lit per vertex from
// the provoking vertex's normal); projective texture coordinates; line
// stipple, smoothing, wide lines (WebGL draws lines one pixel wide).
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <vector>

#include "platform/web/gl_enums.h"
#include "platform/web/gl_immediate.h"
#include "platform/web/gl_textures.h"
#include "platform/web/glu_supplement.h"
#include "platform/web/web_platform.h"

extern "C" {
void emscripten_glBegin(GLenum mode);
void emscripten_glEnd();
void emscripten_glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w);
void emscripten_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void emscripten_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void emscripten_glTexCoord2f(GLfloat s, GLfloat t);
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
void emscripten_glCullFace(GLenum mode);
void emscripten_glFrontFace(GLenum mode);
void emscripten_glHint(GLenum target, GLenum mode);
GLenum emscripten_glGetError();
void emscripten_glGetFloatv(GLenum pname, GLfloat* params);
void emscripten_glGetIntegerv(GLenum pname, GLint* params);
void emscripten_glBindTexture(GLenum target, GLuint texture);
void emscripten_glDeleteTextures(GLsizei n, const GLuint* textures);
void emscripten_glPixelStorei(GLenum pname, GLint param);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels);
void emscripten_glTexParameteri(GLenum target, GLenum pname, GLint param);
void emscripten_glTexParameterf(GLenum target, GLenum pname, GLfloat param);
void emscripten_glGetTexParameterfv(GLenum target, GLenum pname, GLfloat* params);
}

namespace {

struct State {
    GLfloat color[4] = {1, 1, 1, 1};
    GLfloat normal[3] = {0, 0, 1};
    GLfloat texCoord[4] = {0, 0, 0, 1};
    webgl::RasterState raster;
    GLenum shadeModel = GL_SMOOTH;
    bool inBegin = false;
    GLenum beginMode = 0;
    std::vector<webgl::Vertex> vertices;
    GLenum error = GL_NO_ERROR;
    webgl::TextureStore textures;
    bool maxSizeKnown = false;
};

State& state()
{
    static State s;
    return s;
}

void setError(GLenum error)
{
    if (state().error == GL_NO_ERROR)
        state().error = error;
}

// The emulation keeps colours as bytes by truncating; aiming at the middle
// of the byte makes that GL's rounding.
GLfloat byteCentre(GLfloat c)
{
    c = c < 0 ? 0 : c > 1 ? 1 : c;
    return (std::floor(c * 255 + 0.5f) + 0.5f) / 255;
}

class EmulationSink : public webgl::PrimitiveSink {
public:
    void draw(GLenum mode, const webgl::Vertex* v, size_t count) override
    {
        // The emulation's vertex buffer is bounded; whole primitives go in
        // batches well inside it.
        const size_t batch = 6 * 4096;
        for (size_t start = 0; start < count; start += batch) {
            const size_t end = start + batch < count ? start + batch : count;
            emscripten_glBegin(mode);
            for (size_t i = start; i < end; i++) {
                emscripten_glColor4f(byteCentre(v[i].color[0]), byteCentre(v[i].color[1]), byteCentre(v[i].color[2]),
                                     byteCentre(v[i].color[3]));
                emscripten_glNormal3f(v[i].normal[0], v[i].normal[1], v[i].normal[2]);
                emscripten_glTexCoord2f(v[i].texCoord[0], v[i].texCoord[1]);
                emscripten_glVertex4f(v[i].position[0], v[i].position[1], v[i].position[2], v[i].position[3]);
            }
            emscripten_glEnd();
        }
    }
};

void multiply(const GLfloat a[16], const GLfloat b[16], GLfloat out[16])
{
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            float sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
}

void vertex(GLfloat x, GLfloat y, GLfloat z, GLfloat w)
{
    State& s = state();
    if (!s.inBegin)
        return;
    webgl::Vertex v;
    v.position[0] = x, v.position[1] = y, v.position[2] = z, v.position[3] = w;
    for (int i = 0; i < 4; i++)
        v.color[i] = s.color[i], v.texCoord[i] = s.texCoord[i];
    for (int i = 0; i < 3; i++)
        v.normal[i] = s.normal[i];
    s.vertices.push_back(v);
}

void enable(GLenum cap, bool on)
{
    State& s = state();
    if (s.inBegin)
        return setError(GL_INVALID_OPERATION);
    if (const GLenum error = webgl::enableError(cap))
        return setError(error);
    if (cap == GL_CULL_FACE)
        s.raster.cullFace = on;
    // The emulation takes what WebGL or its own shaders do and drops the rest.
    (on ? emscripten_glEnable : emscripten_glDisable)(cap);
}

void syncMaxSize()
{
    State& s = state();
    if (!s.maxSizeKnown) {
        GLint size = 0;
        emscripten_glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
        if (size > 0)
            s.textures.maxSize = size;
        s.maxSizeKnown = true;
    }
}

GLint wrapMode(GLenum pname, GLint value)
{
    if ((pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T || pname == GL_TEXTURE_WRAP_R) &&
        (value == GL_CLAMP || value == GL_CLAMP_TO_BORDER))
        return GL_CLAMP_TO_EDGE;
    return value;
}

// Parameters WebGL does not have; kept (or dropped) here, no error.
bool keptParameter(GLenum pname)
{
    return pname == GL_TEXTURE_PRIORITY || pname == GL_TEXTURE_BORDER_COLOR;
}

}  // namespace

namespace platform {
namespace web {

void resetGLState()
{
    state() = State();
}

}  // namespace web
}  // namespace platform

extern "C" {

void glBegin(GLenum mode)
{
    State& s = state();
    if (s.inBegin)
        return setError(GL_INVALID_OPERATION);
    if (!webgl::isBeginMode(mode))
        return setError(GL_INVALID_ENUM);
    s.inBegin = true;
    s.beginMode = mode;
    s.vertices.clear();
}

void glEnd()
{
    State& s = state();
    if (!s.inBegin)
        return setError(GL_INVALID_OPERATION);
    s.inBegin = false;
    s.raster.flat = s.shadeModel == GL_FLAT;
    if (s.raster.needsFacing()) {
        GLfloat projection[16], modelview[16];
        emscripten_glGetFloatv(GL_PROJECTION_MATRIX, projection);
        emscripten_glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        multiply(projection, modelview, s.raster.clipMatrix);
    }
    EmulationSink sink;
    webgl::assemble(s.beginMode, s.vertices, s.raster, sink);
    s.vertices.clear();
}

void glVertex2f(GLfloat x, GLfloat y)
{
    vertex(x, y, 0, 1);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    vertex(x, y, z, 1);
}
void glVertex3fv(const GLfloat* v)
{
    vertex(v[0], v[1], v[2], 1);
}
void glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w)
{
    vertex(x, y, z, w);
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    GLfloat* c = state().color;
    c[0] = r, c[1] = g, c[2] = b, c[3] = a;
}
void glColor4fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], v[3]);
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    glColor4f(r, g, b, 1);
}
void glColor3fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], 1);
}
void glColor4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a)
{
    glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    GLfloat* n = state().normal;
    n[0] = x, n[1] = y, n[2] = z;
}
void glNormal3fv(const GLfloat* v)
{
    glNormal3f(v[0], v[1], v[2]);
}

void glTexCoord3f(GLfloat s, GLfloat t, GLfloat r)
{
    GLfloat* c = state().texCoord;
    c[0] = s, c[1] = t, c[2] = r, c[3] = 1;
}
void glTexCoord2f(GLfloat s, GLfloat t)
{
    glTexCoord3f(s, t, 0);
}
void glTexCoord2fv(const GLfloat* v)
{
    glTexCoord3f(v[0], v[1], 0);
}
void glTexCoord3fv(const GLfloat* v)
{
    glTexCoord3f(v[0], v[1], v[2]);
}

void glPolygonMode(GLenum face, GLenum mode)
{
    State& s = state();
    if (s.inBegin)
        return setError(GL_INVALID_OPERATION);
    if (const GLenum error = webgl::polygonModeError(face, mode))
        return setError(error);
    if (face != GL_BACK)
        s.raster.frontMode = mode;
    if (face != GL_FRONT)
        s.raster.backMode = mode;
}

void glShadeModel(GLenum mode)
{
    State& s = state();
    if (s.inBegin)
        return setError(GL_INVALID_OPERATION);
    if (const GLenum error = webgl::shadeModelError(mode))
        return setError(error);
    s.shadeModel = mode;
}

void glCullFace(GLenum mode)
{
    if (mode == GL_FRONT || mode == GL_BACK || mode == GL_FRONT_AND_BACK)
        state().raster.cullMode = mode;
    emscripten_glCullFace(mode);
}

void glFrontFace(GLenum mode)
{
    if (mode == GL_CW || mode == GL_CCW)
        state().raster.frontFace = mode;
    emscripten_glFrontFace(mode);
}

void glEnable(GLenum cap)
{
    enable(cap, true);
}
void glDisable(GLenum cap)
{
    enable(cap, false);
}

void glHint(GLenum target, GLenum mode)
{
    if (state().inBegin)
        return setError(GL_INVALID_OPERATION);
    if (const GLenum error = webgl::hintError(target, mode))
        return setError(error);
    // Nothing a WebGL rasteriser offers for the desktop's own hints.
    if (!webgl::isDesktopOnlyHint(target))
        emscripten_glHint(target, mode);
}

GLenum glGetError()
{
    State& s = state();
    const GLenum own = s.error;
    s.error = GL_NO_ERROR;
    return own != GL_NO_ERROR ? own : emscripten_glGetError();
}

void glGetFloatv(GLenum pname, GLfloat* params)
{
    const State& s = state();
    switch (pname) {
    case GL_CURRENT_COLOR:
        for (int i = 0; i < 4; i++)
            params[i] = s.color[i];
        return;
    case GL_CURRENT_NORMAL:
        for (int i = 0; i < 3; i++)
            params[i] = s.normal[i];
        return;
    case GL_CURRENT_TEXTURE_COORDS:
        for (int i = 0; i < 4; i++)
            params[i] = s.texCoord[i];
        return;
    default:
        emscripten_glGetFloatv(pname, params);
    }
}

void glGetIntegerv(GLenum pname, GLint* params)
{
    const State& s = state();
    switch (pname) {
    case GL_POLYGON_MODE:
        params[0] = s.raster.frontMode;
        params[1] = s.raster.backMode;
        return;
    case GL_SHADE_MODEL:
        params[0] = s.shadeModel;
        return;
    default:
        emscripten_glGetIntegerv(pname, params);
    }
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D)
        state().textures.bind(texture);
    emscripten_glBindTexture(target, texture);
}

void glDeleteTextures(GLsizei n, const GLuint* textures)
{
    for (GLsizei i = 0; i < n; i++)
        state().textures.forget(textures[i]);
    emscripten_glDeleteTextures(n, textures);
}

void glPixelStorei(GLenum pname, GLint param)
{
    webgl::TextureStore& t = state().textures;
    switch (pname) {
    case GL_UNPACK_ALIGNMENT:
        t.unpack.alignment = param;
        break;
    case GL_UNPACK_ROW_LENGTH:
        t.unpack.rowLength = param;
        break;
    case GL_UNPACK_SKIP_ROWS:
        t.unpack.skipRows = param;
        break;
    case GL_UNPACK_SKIP_PIXELS:
        t.unpack.skipPixels = param;
        break;
    case GL_PACK_ALIGNMENT:
        t.pack.alignment = param;
        break;
    case GL_PACK_ROW_LENGTH:
        t.pack.rowLength = param;
        break;
    case GL_PACK_SKIP_ROWS:
        t.pack.skipRows = param;
        break;
    case GL_PACK_SKIP_PIXELS:
        t.pack.skipPixels = param;
        break;
    default:
        break;
    }
    emscripten_glPixelStorei(pname, param);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels)
{
    State& s = state();
    if (target != GL_TEXTURE_2D) {
        emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
        return;
    }
    syncMaxSize();
    GLenum uploadFormat = 0;
    std::vector<uint8_t> texels;
    const GLenum error = s.textures.upload(level, internalFormat, width, height, border, format, type, pixels,
                                           &uploadFormat, &texels);
    if (error != GL_NO_ERROR)
        return setError(error);
    // Tightly packed in the texture's own format, whatever the caller's
    // pixel store and format were.
    const webgl::PixelStore& unpack = s.textures.unpack;
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    emscripten_glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    emscripten_glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    emscripten_glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    emscripten_glTexImage2D(target, level, uploadFormat, width, height, border, uploadFormat, GL_UNSIGNED_BYTE,
                            texels.data());
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, unpack.alignment);
    emscripten_glPixelStorei(GL_UNPACK_ROW_LENGTH, unpack.rowLength);
    emscripten_glPixelStorei(GL_UNPACK_SKIP_ROWS, unpack.skipRows);
    emscripten_glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpack.skipPixels);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (keptParameter(pname))
        return;
    emscripten_glTexParameteri(target, pname, wrapMode(pname, param));
}

void glTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    if (keptParameter(pname))
        return;
    if (pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T || pname == GL_TEXTURE_WRAP_R)
        return emscripten_glTexParameteri(target, pname, wrapMode(pname, GLint(param)));
    emscripten_glTexParameterf(target, pname, param);
}

void glTexParameterfv(GLenum target, GLenum pname, const GLfloat* params)
{
    if (pname == GL_TEXTURE_BORDER_COLOR) {
        if (target == GL_TEXTURE_2D)
            state().textures.setBorderColor(params);
        return;
    }
    glTexParameterf(target, pname, params[0]);
}

void glTexParameteriv(GLenum target, GLenum pname, const GLint* params)
{
    if (pname == GL_TEXTURE_BORDER_COLOR) {
        GLfloat color[4];
        for (int i = 0; i < 4; i++)
            color[i] = params[i] / 2147483647.0f;
        return glTexParameterfv(target, pname, color);
    }
    glTexParameteri(target, pname, params[0]);
}

void glGetTexParameterfv(GLenum target, GLenum pname, GLfloat* params)
{
    if (target == GL_TEXTURE_2D && pname == GL_TEXTURE_BORDER_COLOR)
        state().textures.borderColor(params);
    else
        emscripten_glGetTexParameterfv(target, pname, params);
}

void glGetTexLevelParameteriv(GLenum target, GLint level, GLenum pname, GLint* params)
{
    if (target != GL_TEXTURE_2D || !state().textures.levelParameter(level, pname, params))
        setError(GL_INVALID_ENUM);
}

void glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void* pixels)
{
    const GLenum error = target != GL_TEXTURE_2D ? GL_INVALID_ENUM
                                                 : state().textures.image(level, format, type, pixels);
    if (error != GL_NO_ERROR)
        setError(error);
}

// GLU, from the portable supplement.

GLUquadric* gluNewQuadric()
{
    return reinterpret_cast<GLUquadric*>(webgl::gluNewQuadric());
}
void gluDeleteQuadric(GLUquadric* q)
{
    webgl::gluDeleteQuadric(reinterpret_cast<webgl::Quadric*>(q));
}
void gluQuadricNormals(GLUquadric* q, GLenum normals)
{
    webgl::gluQuadricNormals(reinterpret_cast<webgl::Quadric*>(q), normals);
}
void gluQuadricOrientation(GLUquadric* q, GLenum orientation)
{
    webgl::gluQuadricOrientation(reinterpret_cast<webgl::Quadric*>(q), orientation);
}
void gluQuadricDrawStyle(GLUquadric* q, GLenum drawStyle)
{
    webgl::gluQuadricDrawStyle(reinterpret_cast<webgl::Quadric*>(q), drawStyle);
}
void gluQuadricTexture(GLUquadric* q, GLboolean textured)
{
    webgl::gluQuadricTexture(reinterpret_cast<webgl::Quadric*>(q), textured);
}
void gluSphere(GLUquadric* q, GLdouble radius, GLint slices, GLint stacks)
{
    webgl::gluSphere(reinterpret_cast<webgl::Quadric*>(q), radius, slices, stacks);
}
void gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble height, GLint slices, GLint stacks)
{
    webgl::gluCylinder(reinterpret_cast<webgl::Quadric*>(q), base, top, height, slices, stacks);
}
void gluDisk(GLUquadric* q, GLdouble inner, GLdouble outer, GLint slices, GLint loops)
{
    webgl::gluDisk(reinterpret_cast<webgl::Quadric*>(q), inner, outer, slices, loops);
}
void gluPartialDisk(GLUquadric* q, GLdouble inner, GLdouble outer, GLint slices, GLint loops, GLdouble start,
                    GLdouble sweep)
{
    webgl::gluPartialDisk(reinterpret_cast<webgl::Quadric*>(q), inner, outer, slices, loops, start, sweep);
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    webgl::gluPerspective(fovy, aspect, zNear, zFar);
}
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    webgl::gluLookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ);
}
GLint gluScaleImage(GLenum format, GLsizei wIn, GLsizei hIn, GLenum typeIn, const void* in, GLsizei wOut, GLsizei hOut,
                    GLenum typeOut, GLvoid* out)
{
    return webgl::gluScaleImage(format, wIn, hIn, typeIn, in, wOut, hOut, typeOut, out);
}
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void* data)
{
    return webgl::gluBuild2DMipmaps(target, internalFormat, width, height, format, type, data);
}

}  // extern "C"
