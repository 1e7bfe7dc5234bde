// Immediate-mode primitives reduced to what WebGL draws: every glBegin/glEnd
// block becomes independent triangles, lines or points, with polygon mode
// (lines or points per face, culled faces skipped), flat shading (the
// provoking vertex's colour and normal on every vertex of its primitive),
// quads, quad strips and polygons done here. Plain C++ with no GL calls, so
// that the Linux tests can feed its output to a real GL.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <vector>

namespace webgl {

struct Vertex {
    float position[4];
    float color[4];
    float normal[3];
    float texCoord[4];
};

struct RasterState {
    GLenum frontMode = GL_FILL, backMode = GL_FILL;
    bool flat = false;
    bool cullFace = false;
    GLenum cullMode = GL_BACK;
    GLenum frontFace = GL_CCW;
    // Projection times modelview, column-major: only read to tell front
    // faces from back faces when polygon mode or culling needs it here.
    float clipMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // Whether assembling needs the clip matrix (the caller fetches it then).
    bool needsFacing() const;
};

class PrimitiveSink {
public:
    virtual ~PrimitiveSink() = default;
    // mode is GL_TRIANGLES, GL_LINES or GL_POINTS; count is a whole number
    // of primitives.
    virtual void draw(GLenum mode, const Vertex* vertices, size_t count) = 0;
};

// The modes glBegin accepts.
bool isBeginMode(GLenum mode);

// Sends the vertices of one glBegin(mode) block to the sink; incomplete
// primitives at the end are dropped, as GL does.
void assemble(GLenum mode, const std::vector<Vertex>& vertices, const RasterState& state, PrimitiveSink& sink);

}  // namespace webgl
