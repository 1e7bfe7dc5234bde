// The GLU calls the engine makes, written against plain OpenGL 1.1 entry
// points (glBegin, glVertex3f, glTexImage2D, glMultMatrixd, ...), for
// platforms whose GL has no GLU: the web player's WebGL emulation has none
// of the quadrics and no mipmap builder. They live in namespace webgl so
// that the Linux tests can draw them beside the system's GLU and compare;
// glu_exports.cpp gives them their C names in the web build.
#pragma once

#include <GL/gl.h>

namespace webgl {

struct Quadric {
    GLenum normals;
    GLenum orientation;
    GLenum drawStyle;
    bool textured;
};

Quadric* gluNewQuadric();
void gluDeleteQuadric(Quadric* quadric);
void gluQuadricNormals(Quadric* quadric, GLenum normals);
void gluQuadricOrientation(Quadric* quadric, GLenum orientation);
void gluQuadricDrawStyle(Quadric* quadric, GLenum drawStyle);
void gluQuadricTexture(Quadric* quadric, GLboolean textured);
void gluCylinder(Quadric* quadric, GLdouble baseRadius, GLdouble topRadius, GLdouble height, GLint slices,
                 GLint stacks);
void gluSphere(Quadric* quadric, GLdouble radius, GLint slices, GLint stacks);
void gluDisk(Quadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops);
void gluPartialDisk(Quadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops,
                    GLdouble startAngle, GLdouble sweepAngle);

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ);

// Only GL_UNSIGNED_BYTE data with 1 to 4 components (GL_RGB, GL_RGBA,
// GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_ALPHA, GL_RED...); other types
// report GLU_INVALID_ENUM.
GLint gluScaleImage(GLenum format, GLsizei widthIn, GLsizei heightIn, GLenum typeIn, const void* dataIn,
                    GLsizei widthOut, GLsizei heightOut, GLenum typeOut, void* dataOut);
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void* data);

}  // namespace webgl
