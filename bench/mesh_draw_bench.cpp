// Frames per second drawing a textured model of 100,352 triangles at
// 640 x 480: the mesh's own batch draw (immediate mode, a texture coordinate
// and a vertex call per drawn vertex, through both index arrays) against the
// same triangles sent as one client vertex array with glDrawArrays, the
// fastest way OpenGL 1.1 has to send them and so the limit on this GL. Both
// run side by side in one process, alternating, and both frames are compared
// pixel for pixel.
//
//   SDL_VIDEODRIVER=offscreen mesh_draw_bench [frames] [runs]
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "geometry/model.h"
#include "geometry/mesh.h"
#include "player/window.h"
#include "tools/writer/mesh_payloads.h"

using namespace tools::writer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kSide = 224;  // 224 x 224 quads of two triangles: 100,352

// A sphere of kSide x kSide quads with texture coordinates, its own index
// array for them.
MeshFields sphere()
{
    MeshFields m;
    const double pi = 3.14159265358979;
    for (int j = 0; j <= kSide; ++j) {
        for (int i = 0; i <= kSide; ++i) {
            const double a = 2 * pi * i / kSide, b = pi * j / kSide;
            m.vertices.insert(m.vertices.end(), {float(std::sin(b) * std::cos(a)), float(std::cos(b)),
                                                 float(std::sin(b) * std::sin(a))});
            m.texCoords.insert(m.texCoords.end(), {float(4.0 * i / kSide), float(2.0 * j / kSide), 0.0f});
        }
    }
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const int k = j * (kSide + 1) + i, up = k + kSide + 1;
            for (int v : {k, up, k + 1, k + 1, up, up + 1})
                m.indices.push_back(v);
        }
    }
    m.texIndices = m.indices;
    return m;
}

void texture()
{
    std::vector<uint8_t> texels(64 * 64 * 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                texels[size_t((y * 64 + x) * 3 + c)] = uint8_t(((x / 8 + y / 8) % 2) ? 230 : 40 + 60 * c);
    GLuint name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glEnable(GL_TEXTURE_2D);
}

std::vector<uint8_t> frame()
{
    std::vector<uint8_t> p(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

struct Timing {
    double fps;          // wall clock
    double cpuPerFrame;  // milliseconds of process CPU time (all of the GL's threads), steadier on a busy machine
};

template <typename Draw>
Timing timeFrames(int frames, Draw&& draw)
{
    const Clock::time_point start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int f = 0; f < frames; ++f) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw();
    }
    glFinish();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return {frames / std::chrono::duration<double>(Clock::now() - start).count(), 1000 * cpu / frames};
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    WindowState window;
    if (!createGLWindow(window, "mesh bench", kWidth, kHeight, 16, false)) {
        std::fprintf(stderr, "no GL window\n");
        return 1;
    }
    glEnable(GL_DEPTH_TEST);
    texture();

    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    Model model(&resources);
    const Bytes payload = modelPayload({{"sph", sphere()}});
    model.load(payload.data(), int32_t(payload.size()));
    model.position[2] = -3;
    auto* mesh = static_cast<TriangleMesh*>(model.meshes->first());
    std::printf("%d triangles, %d vertices, %d texture coordinates, %dx%d\n", mesh->indexCount / 3,
                mesh->vertexFloatCount / 3, mesh->texCoordFloatCount / 3, kWidth, kHeight);

    // The same triangles, expanded once into one array per attribute.
    std::vector<float> positions, coords;
    for (int32_t i = 0; i < mesh->indexCount; ++i) {
        positions.insert(positions.end(), mesh->vertices + 3 * mesh->vertexIndices[i],
                         mesh->vertices + 3 * mesh->vertexIndices[i] + 3);
        coords.insert(coords.end(), mesh->texCoords + 3 * mesh->texIndices[i],
                      mesh->texCoords + 3 * mesh->texIndices[i] + 3);
    }
    auto drawModel = [&] { model.step(false); };
    auto drawArrays = [&] {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions.data());
        glTexCoordPointer(3, GL_FLOAT, 0, coords.data());
        glTranslatef(0, 0, -3);
        glDrawArrays(GL_TRIANGLES, 0, mesh->indexCount);
        glTranslatef(0, 0, 3);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    };

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawModel();
    const std::vector<uint8_t> a = frame();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawArrays();
    const std::vector<uint8_t> b = frame();
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        differing += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    std::printf("pixels differing between the two draws: %zu of %d\n", differing, kWidth * kHeight);

    std::vector<double> immediate, arrays, immediateCpu, arraysCpu;
    for (int r = 0; r < runs; ++r) {
        const Timing m = timeFrames(frames, drawModel), v = timeFrames(frames, drawArrays);
        immediate.push_back(m.fps);
        arrays.push_back(v.fps);
        immediateCpu.push_back(m.cpuPerFrame);
        arraysCpu.push_back(v.cpuPerFrame);
        std::printf("run %d: mesh draw %.1f fps (%.0f ms CPU a frame), vertex array %.1f fps (%.0f ms)\n", r + 1,
                    m.fps, m.cpuPerFrame, v.fps, v.cpuPerFrame);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double mi = median(immediate), ma = median(arrays);
    const double ci = median(immediateCpu), ca = median(arraysCpu);
    std::printf("median of %d runs of %d frames: mesh draw %.1f fps, vertex array %.1f fps, ratio %.2f; "
                "CPU a frame %.0f ms against %.0f ms, ratio %.2f\n",
                runs, frames, mi, ma, ma / mi, ci, ca, ci / ca);
    releaseGLContext(window);
    killGLWindow(window);
    return 0;
}
