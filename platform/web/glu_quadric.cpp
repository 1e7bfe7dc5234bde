// GLU quadrics drawn with glBegin/glEnd, vertex for vertex as the Mesa GLU
// that the Linux player uses tessellates them: the same primitives, the same
// vertex order, the same single- and double-precision steps in every value,
// so that a scene looks the same wherever it plays. Where Mesa reads a cache
// it never filled (points or silhouettes with flat normals) the smooth
// normals are used.
#include "platform/web/glu_supplement.h"

#include <GL/glu.h>

#include <cmath>

namespace webgl {
namespace {

// The largest slice (and sphere stack) count; more are drawn as this many.
constexpr int kCacheSize = 240;
constexpr double kPi = 3.14159265358979323846;

// Trigonometry in double precision on a single-precision angle, as GLU does.
double dsin(double angle)
{
    return std::sin(angle);
}
double dcos(double angle)
{
    return std::cos(angle);
}

void normal(const Quadric& q, GLfloat x, GLfloat y, GLfloat z)
{
    if (q.normals != GLU_NONE)
        glNormal3f(x, y, z);
}

}  // namespace

Quadric* gluNewQuadric()
{
    return new Quadric{GLU_SMOOTH, GLU_OUTSIDE, GLU_FILL, false};
}

void gluDeleteQuadric(Quadric* quadric)
{
    delete quadric;
}

void gluQuadricNormals(Quadric* quadric, GLenum normals)
{
    if (normals == GLU_SMOOTH || normals == GLU_FLAT || normals == GLU_NONE)
        quadric->normals = normals;
}

void gluQuadricOrientation(Quadric* quadric, GLenum orientation)
{
    if (orientation == GLU_OUTSIDE || orientation == GLU_INSIDE)
        quadric->orientation = orientation;
}

void gluQuadricDrawStyle(Quadric* quadric, GLenum drawStyle)
{
    if (drawStyle == GLU_POINT || drawStyle == GLU_LINE || drawStyle == GLU_FILL || drawStyle == GLU_SILHOUETTE)
        quadric->drawStyle = drawStyle;
}

void gluQuadricTexture(Quadric* quadric, GLboolean textured)
{
    quadric->textured = textured;
}

void gluCylinder(Quadric* quadric, GLdouble baseRadius, GLdouble topRadius, GLdouble height, GLint slices, GLint stacks)
{
    const Quadric& q = *quadric;
    if (slices >= kCacheSize)
        slices = kCacheSize - 1;
    if (slices < 2 || stacks < 1 || baseRadius < 0.0 || topRadius < 0.0 || height < 0.0)
        return;

    const GLfloat deltaRadius = baseRadius - topRadius;
    const GLfloat length = std::sqrt(deltaRadius * deltaRadius + height * height);
    if (length == 0.0f)
        return;
    const GLfloat zNormal = deltaRadius / length;
    const GLfloat xyNormalRatio = height / length;
    const bool outside = q.orientation == GLU_OUTSIDE;
    const GLfloat side = outside ? xyNormalRatio : -xyNormalRatio;

    // Vertex directions, smooth normals at the vertices, flat normals
    // half a slice back (the middle of the face the vertex ends).
    GLfloat sinV[kCacheSize], cosV[kCacheSize];
    GLfloat sinS[kCacheSize], cosS[kCacheSize];
    GLfloat sinF[kCacheSize], cosF[kCacheSize];
    for (int i = 0; i < slices; i++) {
        GLfloat angle = 2 * kPi * i / slices;
        sinS[i] = side * dsin(angle);
        cosS[i] = side * dcos(angle);
        sinV[i] = dsin(angle);
        cosV[i] = dcos(angle);
        angle = 2 * kPi * (i - 0.5) / slices;
        sinF[i] = side * dsin(angle);
        cosF[i] = side * dcos(angle);
    }
    sinV[slices] = sinV[0];
    cosV[slices] = cosV[0];
    sinS[slices] = sinS[0];
    cosS[slices] = cosS[0];
    sinF[slices] = sinF[0];
    cosF[slices] = cosF[0];

    auto faceNormal = [&](int i) {
        if (q.normals == GLU_FLAT)
            glNormal3f(sinF[i], cosF[i], zNormal);
        else if (q.normals == GLU_SMOOTH)
            glNormal3f(sinS[i], cosS[i], zNormal);
    };
    auto texCoord = [&](int i, int j) {
        if (q.textured)
            glTexCoord2f(1 - (float)i / slices, (float)j / stacks);
    };
    auto radiusAt = [&](int j) -> GLfloat { return baseRadius - deltaRadius * ((float)j / stacks); };
    // One ring of the side at stack j, as a line strip.
    auto ring = [&](int j) {
        const GLfloat z = j * height / stacks;
        const GLfloat radius = radiusAt(j);
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i <= slices; i++) {
            faceNormal(i);
            texCoord(i, j);
            glVertex3f(radius * sinV[i], radius * cosV[i], z);
        }
        glEnd();
    };

    switch (q.drawStyle) {
    case GLU_FILL:
        for (int j = 0; j < stacks; j++) {
            const GLfloat zLow = j * height / stacks;
            const GLfloat zHigh = (j + 1) * height / stacks;
            const GLfloat radiusLow = radiusAt(j);
            const GLfloat radiusHigh = radiusAt(j + 1);
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i <= slices; i++) {
                faceNormal(i);
                const int first = outside ? j : j + 1;
                const int second = outside ? j + 1 : j;
                texCoord(i, first);
                glVertex3f((outside ? radiusLow : radiusHigh) * sinV[i], (outside ? radiusLow : radiusHigh) * cosV[i],
                           outside ? zLow : zHigh);
                texCoord(i, second);
                glVertex3f((outside ? radiusHigh : radiusLow) * sinV[i], (outside ? radiusHigh : radiusLow) * cosV[i],
                           outside ? zHigh : zLow);
            }
            glEnd();
        }
        break;
    case GLU_POINT:
        glBegin(GL_POINTS);
        for (int i = 0; i < slices; i++) {
            if (q.normals != GLU_NONE)
                glNormal3f(sinS[i], cosS[i], zNormal);
            for (int j = 0; j <= stacks; j++) {
                const GLfloat z = j * height / stacks;
                const GLfloat radius = radiusAt(j);
                texCoord(i, j);
                glVertex3f(radius * sinV[i], radius * cosV[i], z);
            }
        }
        glEnd();
        break;
    case GLU_LINE:
    case GLU_SILHOUETTE:
        if (q.drawStyle == GLU_LINE)
            for (int j = 1; j < stacks; j++)
                ring(j);
        ring(0);
        ring(stacks);
        for (int i = 0; i < slices; i++) {
            normal(q, sinS[i], cosS[i], 0.0f);
            glBegin(GL_LINE_STRIP);
            for (int j = 0; j <= stacks; j++) {
                const GLfloat z = j * height / stacks;
                const GLfloat radius = radiusAt(j);
                texCoord(i, j);
                glVertex3f(radius * sinV[i], radius * cosV[i], z);
            }
            glEnd();
        }
        break;
    default:
        break;
    }
}

void gluDisk(Quadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops)
{
    gluPartialDisk(quadric, innerRadius, outerRadius, slices, loops, 0.0, 360.0);
}

void gluPartialDisk(Quadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops,
                    GLdouble startAngle, GLdouble sweepAngle)
{
    const Quadric& q = *quadric;
    if (slices >= kCacheSize)
        slices = kCacheSize - 1;
    if (slices < 2 || loops < 1 || outerRadius <= 0.0 || innerRadius < 0.0 || innerRadius > outerRadius)
        return;

    if (sweepAngle < -360.0 || sweepAngle > 360.0)
        sweepAngle = 360.0;
    if (sweepAngle < 0) {
        startAngle += sweepAngle;
        sweepAngle = -sweepAngle;
    }
    const bool full = sweepAngle == 360.0;
    // A partial disk has a radial line more than it has slices.
    const int radials = full ? slices : slices + 1;
    const GLfloat deltaRadius = outerRadius - innerRadius;
    const bool outside = q.orientation == GLU_OUTSIDE;

    GLfloat sinV[kCacheSize], cosV[kCacheSize];
    const GLfloat angleOffset = startAngle / 180.0 * kPi;
    for (int i = 0; i <= slices; i++) {
        const GLfloat angle = angleOffset + ((kPi * sweepAngle) / 180.0) * i / slices;
        sinV[i] = dsin(angle);
        cosV[i] = dcos(angle);
    }
    if (full) {
        sinV[slices] = sinV[0];
        cosV[slices] = cosV[0];
    }

    if (q.normals != GLU_NONE)
        glNormal3f(0.0f, 0.0f, outside ? 1.0f : -1.0f);

    auto radiusAt = [&](int j) -> GLfloat { return outerRadius - deltaRadius * ((float)j / loops); };
    // The texture maps the outer circle onto the unit square's inscribed
    // circle; tex is the radius in texture units.
    auto texCoord = [&](GLfloat tex, int i) {
        if (q.textured)
            glTexCoord2f(tex * sinV[i] + 0.5, tex * cosV[i] + 0.5);
    };
    auto texRadius = [&](GLfloat radius) -> GLfloat { return radius / outerRadius / 2; };
    auto loop = [&](int j) {
        const GLfloat radius = radiusAt(j);
        const GLfloat tex = q.textured ? texRadius(radius) : 0.0f;
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i <= slices; i++) {
            texCoord(tex, i);
            glVertex3f(radius * sinV[i], radius * cosV[i], 0.0f);
        }
        glEnd();
    };
    auto radial = [&](int i) {
        glBegin(GL_LINE_STRIP);
        for (int j = 0; j <= loops; j++) {
            const GLfloat radius = radiusAt(j);
            texCoord(texRadius(radius), i);
            glVertex3f(radius * sinV[i], radius * cosV[i], 0.0f);
        }
        glEnd();
    };

    switch (q.drawStyle) {
    case GLU_FILL: {
        int rings = loops;
        if (innerRadius == 0.0) {
            // The innermost loop is a fan around the centre.
            rings = loops - 1;
            glBegin(GL_TRIANGLE_FAN);
            if (q.textured)
                glTexCoord2f(0.5f, 0.5f);
            glVertex3f(0.0f, 0.0f, 0.0f);
            const GLfloat radius = outerRadius - deltaRadius * ((float)(loops - 1) / loops);
            const GLfloat tex = q.textured ? texRadius(radius) : 0.0f;
            for (int k = 0; k <= slices; k++) {
                const int i = outside ? slices - k : k;
                texCoord(tex, i);
                glVertex3f(radius * sinV[i], radius * cosV[i], 0.0f);
            }
            glEnd();
        }
        for (int j = 0; j < rings; j++) {
            const GLfloat radiusLow = radiusAt(j);
            const GLfloat radiusHigh = radiusAt(j + 1);
            const GLfloat texLow = q.textured ? texRadius(radiusLow) : 0.0f;
            const GLfloat texHigh = q.textured ? texRadius(radiusHigh) : 0.0f;
            const GLfloat first = outside ? radiusLow : radiusHigh;
            const GLfloat second = outside ? radiusHigh : radiusLow;
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i <= slices; i++) {
                texCoord(outside ? texLow : texHigh, i);
                glVertex3f(first * sinV[i], first * cosV[i], 0.0f);
                texCoord(outside ? texHigh : texLow, i);
                glVertex3f(second * sinV[i], second * cosV[i], 0.0f);
            }
            glEnd();
        }
        break;
    }
    case GLU_POINT:
        glBegin(GL_POINTS);
        for (int i = 0; i < radials; i++) {
            for (int j = 0; j <= loops; j++) {
                const GLfloat radius = radiusAt(j);
                texCoord(texRadius(radius), i);
                glVertex3f(radius * sinV[i], radius * cosV[i], 0.0f);
            }
        }
        glEnd();
        break;
    case GLU_LINE:
        if (innerRadius == outerRadius) {
            // A circle: texture coordinates on the outer edge.
            glBegin(GL_LINE_STRIP);
            for (int i = 0; i <= slices; i++) {
                if (q.textured)
                    glTexCoord2f(sinV[i] / 2 + 0.5, cosV[i] / 2 + 0.5);
                glVertex3f(innerRadius * sinV[i], innerRadius * cosV[i], 0.0);
            }
            glEnd();
            break;
        }
        for (int j = 0; j <= loops; j++)
            loop(j);
        for (int i = 0; i < radials; i++)
            radial(i);
        break;
    case GLU_SILHOUETTE:
        if (sweepAngle < 360.0) {
            radial(0);
            radial(slices);
        }
        loop(0);
        if (innerRadius != outerRadius)
            loop(loops);
        break;
    default:
        break;
    }
}

void gluSphere(Quadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    const Quadric& q = *quadric;
    if (slices >= kCacheSize)
        slices = kCacheSize - 1;
    if (stacks >= kCacheSize)
        stacks = kCacheSize - 1;
    if (slices < 2 || stacks < 1 || radius < 0.0)
        return;
    const bool outside = q.orientation == GLU_OUTSIDE;

    // a: around the axis (slices); b: from pole to pole (stacks). V are the
    // vertex positions (b scaled by the radius), S the smooth normals, F the
    // flat normals half a step back.
    // The bottom pole's normal reads the slice cache at the stack count
    // (as GLU does); past the slices that reads zero.
    GLfloat sinVa[kCacheSize] = {}, cosVa[kCacheSize] = {};
    GLfloat sinVb[kCacheSize], cosVb[kCacheSize];
    GLfloat sinSb[kCacheSize], cosSb[kCacheSize];
    GLfloat sinFa[kCacheSize], cosFa[kCacheSize];
    GLfloat sinFb[kCacheSize], cosFb[kCacheSize];
    for (int i = 0; i < slices; i++) {
        GLfloat angle = 2 * kPi * i / slices;
        sinVa[i] = dsin(angle);
        cosVa[i] = dcos(angle);
        angle = 2 * kPi * (i - 0.5) / slices;
        sinFa[i] = dsin(angle);
        cosFa[i] = dcos(angle);
    }
    for (int j = 0; j <= stacks; j++) {
        GLfloat angle = kPi * j / stacks;
        sinSb[j] = outside ? dsin(angle) : -dsin(angle);
        cosSb[j] = outside ? dcos(angle) : -dcos(angle);
        sinVb[j] = radius * dsin(angle);
        cosVb[j] = radius * dcos(angle);
        angle = kPi * (j - 0.5) / stacks;
        sinFb[j] = outside ? dsin(angle) : -dsin(angle);
        cosFb[j] = outside ? dcos(angle) : -dcos(angle);
    }
    // The poles come to a point.
    sinVb[0] = 0;
    sinVb[stacks] = 0;
    sinVa[slices] = sinVa[0];
    cosVa[slices] = cosVa[0];
    sinFa[slices] = sinFa[0];
    cosFa[slices] = cosFa[0];
    // The smooth normals around the axis are the vertex directions.
    const GLfloat* sinSa = sinVa;
    const GLfloat* cosSa = cosVa;

    auto texCoord = [&](int i, int j) {
        if (q.textured)
            glTexCoord2f(1 - (float)i / slices, 1 - (float)j / stacks);
    };

    switch (q.drawStyle) {
    case GLU_FILL: {
        int start = 0;
        int finish = stacks;
        // Without texture coordinates the caps are fans around the poles
        // (with them, the pole's coordinate differs per slice).
        if (!q.textured) {
            start = 1;
            finish = stacks - 1;
            for (int cap = 0; cap < 2; cap++) {
                const bool top = cap == 0;
                const int ringIndex = top ? 1 : stacks - 1;
                const GLfloat ringRadius = sinVb[ringIndex];
                const GLfloat z = cosVb[ringIndex];
                GLfloat sinN = 0, cosN = 0;
                if (q.normals == GLU_FLAT) {
                    sinN = sinFb[top ? 1 : stacks];
                    cosN = cosFb[top ? 1 : stacks];
                } else if (q.normals == GLU_SMOOTH) {
                    sinN = sinSb[ringIndex];
                    cosN = cosSb[ringIndex];
                    const int pole = top ? 0 : stacks;
                    glNormal3f(sinSa[pole] * sinSb[pole], cosSa[pole] * sinSb[pole], cosSb[pole]);
                }
                glBegin(GL_TRIANGLE_FAN);
                glVertex3f(0.0f, 0.0f, top ? radius : -radius);
                // The fan runs backwards around the top when seen from
                // outside, and around the bottom when seen from inside.
                const bool backwards = top == outside;
                for (int k = 0; k <= slices; k++) {
                    const int i = backwards ? slices - k : k;
                    if (q.normals == GLU_SMOOTH) {
                        glNormal3f(sinSa[i] * sinN, cosSa[i] * sinN, cosN);
                    } else if (q.normals == GLU_FLAT) {
                        if (!backwards)
                            glNormal3f(sinFa[i] * sinN, cosFa[i] * sinN, cosN);
                        else if (i != slices)
                            glNormal3f(sinFa[i + 1] * sinN, cosFa[i + 1] * sinN, cosN);
                    }
                    glVertex3f(ringRadius * sinVa[i], ringRadius * cosVa[i], z);
                }
                glEnd();
            }
        }
        for (int j = start; j < finish; j++) {
            const GLfloat zLow = cosVb[j];
            const GLfloat zHigh = cosVb[j + 1];
            const GLfloat radiusLow = sinVb[j];
            const GLfloat radiusHigh = sinVb[j + 1];
            // Normals of the first and the second vertex of each pair.
            GLfloat sin1 = 0, cos1 = 0, sin2 = 0, cos2 = 0;
            if (q.normals == GLU_FLAT) {
                sin2 = sinFb[j + 1];
                cos2 = cosFb[j + 1];
            } else if (q.normals == GLU_SMOOTH) {
                sin1 = sinSb[outside ? j + 1 : j];
                cos1 = cosSb[outside ? j + 1 : j];
                sin2 = sinSb[outside ? j : j + 1];
                cos2 = cosSb[outside ? j : j + 1];
            }
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i <= slices; i++) {
                if (q.normals == GLU_SMOOTH)
                    glNormal3f(sinSa[i] * sin1, cosSa[i] * sin1, cos1);
                if (outside) {
                    texCoord(i, j + 1);
                    glVertex3f(radiusHigh * sinVa[i], radiusHigh * cosVa[i], zHigh);
                } else {
                    texCoord(i, j);
                    glVertex3f(radiusLow * sinVa[i], radiusLow * cosVa[i], zLow);
                }
                if (q.normals == GLU_SMOOTH)
                    glNormal3f(sinSa[i] * sin2, cosSa[i] * sin2, cos2);
                else if (q.normals == GLU_FLAT)
                    glNormal3f(sinFa[i] * sin2, cosFa[i] * sin2, cos2);
                if (outside) {
                    texCoord(i, j);
                    glVertex3f(radiusLow * sinVa[i], radiusLow * cosVa[i], zLow);
                } else {
                    texCoord(i, j + 1);
                    glVertex3f(radiusHigh * sinVa[i], radiusHigh * cosVa[i], zHigh);
                }
            }
            glEnd();
        }
        break;
    }
    case GLU_POINT:
        glBegin(GL_POINTS);
        for (int j = 0; j <= stacks; j++) {
            for (int i = 0; i < slices; i++) {
                normal(q, sinSa[i] * sinSb[j], cosSa[i] * sinSb[j], cosSb[j]);
                texCoord(i, j);
                glVertex3f(sinVb[j] * sinVa[i], sinVb[j] * cosVa[i], cosVb[j]);
            }
        }
        glEnd();
        break;
    case GLU_LINE:
    case GLU_SILHOUETTE:
        // Silhouettes of a sphere are drawn as its lines.
        for (int j = 1; j < stacks; j++) {
            glBegin(GL_LINE_STRIP);
            for (int i = 0; i <= slices; i++) {
                if (q.normals == GLU_FLAT)
                    glNormal3f(sinFa[i] * sinSb[j], cosFa[i] * sinSb[j], cosSb[j]);
                else if (q.normals == GLU_SMOOTH)
                    glNormal3f(sinSa[i] * sinSb[j], cosSa[i] * sinSb[j], cosSb[j]);
                texCoord(i, j);
                glVertex3f(sinVb[j] * sinVa[i], sinVb[j] * cosVa[i], cosVb[j]);
            }
            glEnd();
        }
        for (int i = 0; i < slices; i++) {
            glBegin(GL_LINE_STRIP);
            for (int j = 0; j <= stacks; j++) {
                if (q.normals == GLU_FLAT)
                    glNormal3f(sinSa[i] * sinFb[j], cosSa[i] * sinFb[j], cosFb[j]);
                else if (q.normals == GLU_SMOOTH)
                    glNormal3f(sinSa[i] * sinSb[j], cosSa[i] * sinSb[j], cosSb[j]);
                texCoord(i, j);
                glVertex3f(sinVa[i] * sinVb[j], cosVa[i] * sinVb[j], cosVb[j]);
            }
            glEnd();
        }
        break;
    default:
        break;
    }
}

}  // namespace webgl
