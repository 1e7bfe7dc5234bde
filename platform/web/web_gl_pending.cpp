// Temporary stand-ins, so that the web player links and shows a camera's
// view until the GL and GLU pieces a browser lacks (quadrics, mipmaps,
// texture read-back, 3D texture coordinates, a gluLookAt and gluPerspective
// that multiply the current matrix) arrive in this folder; those files
// replace this one, which is then deleted. Until then quadrics draw nothing,
// mipmapped textures get their top level only and read-back leaves the
// buffer as it is.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

extern "C" {

struct GLUquadric {
    int unused;
};

GLUquadric* gluNewQuadric(void) { return new GLUquadric{0}; }
void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }
void gluQuadricDrawStyle(GLUquadric*, GLenum) {}
void gluQuadricNormals(GLUquadric*, GLenum) {}
void gluQuadricOrientation(GLUquadric*, GLenum) {}
void gluQuadricTexture(GLUquadric*, GLboolean) {}
void gluSphere(GLUquadric*, GLdouble, GLint, GLint) {}
void gluCylinder(GLUquadric*, GLdouble, GLdouble, GLdouble, GLint, GLint) {}
void gluDisk(GLUquadric*, GLdouble, GLdouble, GLint, GLint) {}
void gluPartialDisk(GLUquadric*, GLdouble, GLdouble, GLint, GLint, GLdouble, GLdouble) {}

GLint gluBuild2DMipmaps(GLenum target, GLint, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void* data)
{
    glTexImage2D(target, 0, GLint(format), width, height, 0, format, type, data);
    return 0;
}

// Emscripten's own gluLookAt does nothing and its gluPerspective replaces
// the matrix; GLU multiplies the current one.
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    const double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    const GLfloat m[16] = {GLfloat(f / aspect), 0, 0, 0, 0, GLfloat(f), 0, 0,
                           0, 0, GLfloat((zFar + zNear) / (zNear - zFar)), -1,
                           0, 0, GLfloat(2 * zFar * zNear / (zNear - zFar)), 0};
    glMultMatrixf(m);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY, GLdouble centreZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    double f[3] = {centreX - eyeX, centreY - eyeY, centreZ - eyeZ};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (fl > 0)
        for (double& v : f)
            v /= fl;
    double s[3] = {f[1] * upZ - f[2] * upY, f[2] * upX - f[0] * upZ, f[0] * upY - f[1] * upX};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (sl > 0)
        for (double& v : s)
            v /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    const GLfloat m[16] = {GLfloat(s[0]), GLfloat(u[0]), GLfloat(-f[0]), 0, GLfloat(s[1]), GLfloat(u[1]), GLfloat(-f[1]), 0,
                           GLfloat(s[2]), GLfloat(u[2]), GLfloat(-f[2]), 0, 0, 0, 0, 1};
    glMultMatrixf(m);
    glTranslated(-eyeX, -eyeY, -eyeZ);
}

// Emscripten's throws; 0 makes a texture copy find nothing to copy.
void glGetTexLevelParameteriv(GLenum, GLint, GLenum, GLint* params) { *params = 0; }

void glGetTexImage(GLenum, GLint, GLenum, GLenum, GLvoid*) {}

void glTexCoord3fv(const GLfloat* v) { glTexCoord2f(v[0], v[1]); }

}  // extern "C"
