// Test-only scene object for the state objects' tests: records the GL state
// its parent left for it on every step and, in drawing passes, draws a square
// of half-size `half` centred on the origin in the z = 0 plane.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "demo/scene_object.h"
#include "tests/support/gl_fixture.h"

class Probe : public SceneObject {
public:
    explicit Probe(float half = 0.5f) : half(half) {}

    int step(bool stepOnly) override
    {
        ++steps;
        lastStepOnly = stepOnly;
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackDepth);
        glGetFloatv(GL_CURRENT_COLOR, color);
        int result = SceneObject::step(stepOnly);
        if (!stepOnly && half > 0) {
            if (paints)
                glColor4fv(paint);
            glBegin(GL_QUADS);
            glVertex3f(-half, -half, 0);
            glVertex3f(half, -half, 0);
            glVertex3f(half, half, 0);
            glVertex3f(-half, half, 0);
            glEnd();
        }
        return result;
    }
    SceneObject* clone() override
    {
        auto* copy = new Probe(half);
        copyInto(copy);
        return copy;
    }
    void setPaint(float r, float g, float b, float a = 1)
    {
        paints = true;
        paint[0] = r, paint[1] = g, paint[2] = b, paint[3] = a;
    }

    float half;
    bool paints = false;
    float paint[4] = {};
    int steps = 0;
    bool lastStepOnly = false;
    float matrix[16] = {};
    GLint stackDepth = 0;
    float color[4] = {};
};

// m × (x, y, z, w) for a column-major GL matrix.
inline std::array<float, 4> transformed(const float m[16], float x, float y, float z, float w = 1)
{
    std::array<float, 4> out;
    for (int r = 0; r < 4; ++r)
        out[size_t(r)] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
    return out;
}

inline std::array<float, 16> modelview()
{
    std::array<float, 16> m;
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

inline GLint modelviewDepth()
{
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    return depth;
}

// The whole back buffer, bottom row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;

    static Picture read(int width, int height)
    {
        Picture p;
        p.width = width;
        p.height = height;
        p.rgba.resize(size_t(width * height * 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
        return p;
    }
    const uint8_t* at(int x, int y) const { return &rgba[size_t((y * width + x) * 4)]; }
    bool operator==(const Picture& o) const { return rgba == o.rgba; }
};

// Largest step of one colour channel in the framebuffer, for tolerances.
inline int channelStep()
{
    GLint bits = 8;
    glGetIntegerv(GL_RED_BITS, &bits);
    return bits >= 8 ? 1 : 256 >> bits;
}
