#include "platform/web/gl_immediate.h"

#include <cstring>

namespace webgl {

bool RasterState::needsFacing() const
{
    return frontMode != backMode || (cullFace && (frontMode != GL_FILL || backMode != GL_FILL));
}

bool isBeginMode(GLenum mode)
{
    switch (mode) {
    case GL_POINTS:
    case GL_LINES:
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
    case GL_TRIANGLES:
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN:
    case GL_QUADS:
    case GL_QUAD_STRIP:
    case GL_POLYGON:
        return true;
    default:
        return false;
    }
}

namespace {

// Output kept from block to block, so that a frame of many small blocks
// does not allocate for each.
struct Scratch {
    std::vector<Vertex> triangles, lines, points;
};

class Assembler {
public:
    Assembler(const std::vector<Vertex>& vertices, const RasterState& state, PrimitiveSink& sink, Scratch& scratch)
        : vertices_(vertices), state_(state), sink_(sink), triangles_(scratch.triangles), lines_(scratch.lines),
          points_(scratch.points)
    {
        triangles_.clear();
        lines_.clear();
        points_.clear();
    }
    ~Assembler()
    {
        flush(GL_TRIANGLES, triangles_);
        flush(GL_LINES, lines_);
        flush(GL_POINTS, points_);
    }

    void point(size_t i) { points_.push_back(vertices_[i]); }

    // A segment; its provoking vertex is the given one.
    void line(size_t a, size_t b, size_t provoking)
    {
        add(lines_, a, provoking);
        add(lines_, b, provoking);
    }

    // A polygon of n corners in drawing order (a triangle or a quad for
    // everything but GL_POLYGON). Filled polygons are split into triangles
    // the way Mesa's drivers split them, so that colours and texture
    // coordinates interpolate across the same diagonals.
    void polygon(const size_t* corners, size_t n, size_t provoking)
    {
        GLenum mode = state_.frontMode;
        if (state_.needsFacing()) {
            const bool front = isFront(corners, n);
            if (state_.cullFace && (state_.cullMode == GL_FRONT_AND_BACK || (state_.cullMode == GL_FRONT) == front))
                return;
            mode = front ? state_.frontMode : state_.backMode;
        }
        if (mode == GL_POINT) {
            for (size_t k = 0; k < n; k++)
                add(points_, corners[k], provoking);
        } else if (mode == GL_LINE) {
            // The closing edge first, as Mesa draws them: where edges of
            // neighbouring faces overlap, the one drawn last shows.
            for (size_t k = 0; k < n; k++)
                line(corners[(k + n - 1) % n], corners[k], provoking);
        } else if (n == 4) {
            triangle(corners[0], corners[1], corners[3], provoking);
            triangle(corners[1], corners[2], corners[3], provoking);
        } else {
            for (size_t k = 1; k + 1 < n; k++)
                triangle(corners[0], corners[k], corners[k + 1], provoking);
        }
    }

private:
    void triangle(size_t a, size_t b, size_t c, size_t provoking)
    {
        add(triangles_, a, provoking);
        add(triangles_, b, provoking);
        add(triangles_, c, provoking);
    }

    void add(std::vector<Vertex>& out, size_t i, size_t provoking)
    {
        out.push_back(vertices_[i]);
        if (state_.flat) {
            Vertex& v = out.back();
            std::memcpy(v.color, vertices_[provoking].color, sizeof v.color);
            std::memcpy(v.normal, vertices_[provoking].normal, sizeof v.normal);
        }
    }

    void clip(size_t i, double out[4]) const
    {
        const float* m = state_.clipMatrix;
        const float* p = vertices_[i].position;
        for (int r = 0; r < 4; r++)
            out[r] = double(m[r]) * p[0] + double(m[4 + r]) * p[1] + double(m[8 + r]) * p[2] + double(m[12 + r]) * p[3];
    }

    // Front when the window-space corners turn the way glFrontFace names.
    bool isFront(const size_t* corners, size_t n) const
    {
        double area = 0;
        bool behind = false;
        double c[3][4];
        for (size_t k = 0; k < n && k < 3; k++) {
            clip(corners[k], c[k]);
            behind = behind || c[k][3] <= 0;
        }
        if (behind || n < 3) {
            // Homogeneous orientation of the first three corners.
            double det = c[0][0] * (c[1][1] * c[2][3] - c[2][1] * c[1][3]) -
                         c[1][0] * (c[0][1] * c[2][3] - c[2][1] * c[0][3]) +
                         c[2][0] * (c[0][1] * c[1][3] - c[1][1] * c[0][3]);
            if (c[0][3] * c[1][3] * c[2][3] < 0)
                det = -det;
            area = det;
        } else {
            double prev[4], first[4];
            clip(corners[0], first);
            std::memcpy(prev, first, sizeof prev);
            for (size_t k = 1; k <= n; k++) {
                double cur[4];
                if (k == n)
                    std::memcpy(cur, first, sizeof cur);
                else
                    clip(corners[k], cur);
                area += prev[0] / prev[3] * (cur[1] / cur[3]) - cur[0] / cur[3] * (prev[1] / prev[3]);
                std::memcpy(prev, cur, sizeof prev);
            }
        }
        return state_.frontFace == GL_CW ? area < 0 : area > 0;
    }

    void flush(GLenum mode, const std::vector<Vertex>& out)
    {
        if (!out.empty())
            sink_.draw(mode, out.data(), out.size());
    }

    const std::vector<Vertex>& vertices_;
    const RasterState& state_;
    PrimitiveSink& sink_;
    std::vector<Vertex>& triangles_;
    std::vector<Vertex>& lines_;
    std::vector<Vertex>& points_;
};

}  // namespace

void assemble(GLenum mode, const std::vector<Vertex>& vertices, const RasterState& state, PrimitiveSink& sink)
{
    const size_t n = vertices.size();
    static Scratch scratch;
    Assembler out(vertices, state, sink, scratch);
    switch (mode) {
    case GL_POINTS:
        for (size_t i = 0; i < n; i++)
            out.point(i);
        break;
    case GL_LINES:
        for (size_t i = 0; i + 1 < n; i += 2)
            out.line(i, i + 1, i + 1);
        break;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (size_t i = 0; i + 1 < n; i++)
            out.line(i, i + 1, i + 1);
        // The closing segment takes the first vertex's colour.
        if (mode == GL_LINE_LOOP && n > 2)
            out.line(n - 1, 0, 0);
        break;
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3) {
            const size_t t[3] = {i, i + 1, i + 2};
            out.polygon(t, 3, i + 2);
        }
        break;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < n; i++) {
            // Every other triangle is turned back to keep the winding.
            const size_t t[3] = {i % 2 ? i + 1 : i, i % 2 ? i : i + 1, i + 2};
            out.polygon(t, 3, i + 2);
        }
        break;
    case GL_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < n; i++) {
            const size_t t[3] = {0, i, i + 1};
            out.polygon(t, 3, i + 1);
        }
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            const size_t q[4] = {i, i + 1, i + 2, i + 3};
            out.polygon(q, 4, i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < n; i += 2) {
            // Starting at the third vertex, as Mesa splits strips.
            const size_t q[4] = {i + 2, i, i + 1, i + 3};
            out.polygon(q, 4, i + 3);
        }
        break;
    case GL_POLYGON:
        if (n >= 3) {
            std::vector<size_t> corners(n);
            for (size_t i = 0; i < n; i++)
                corners[i] = i;
            out.polygon(corners.data(), n, 0);
        }
        break;
    default:
        break;
    }
}

}  // namespace webgl
