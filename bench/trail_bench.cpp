// What a motion trail costs per frame: a trail of length 25 over a subtree of
// 50 objects (transforms, boxes, quads and spheres) against the same subtree
// stepped without the trail, side by side in one run, in drawing frames (GL
// work finished every frame) and in step-only frames (the catch-up path,
// where the trail still copies its subtree). The trail's figure includes
// copying the subtree once a frame and destroying the oldest copy.
//
//   SDL_VIDEODRIVER=offscreen trail_bench [frames] [runs]
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "geometry/box.h"
#include "geometry/quad.h"
#include "geometry/quadric.h"
#include "geometry/transform.h"
#include "objects/blend_mode.h"
#include "player/window.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGroups = 7, kPerGroup = 6;  // 1 + 7 + 42 = 50 objects

// A root transform with seven group transforms of three boxes, two quads and
// a sphere each, spread over the view.
SceneObject* buildSubtree()
{
    auto* root = new Transform;
    root->position[2] = -12;
    for (int g = 0; g < kGroups; ++g) {
        auto* group = new Transform;
        group->position[0] = float(g - kGroups / 2) * 1.5f;
        for (int i = 0; i < kPerGroup; ++i) {
            Transform* shape;
            if (i < 3) {
                auto* box = new Box;
                box->dimensions[0] = box->dimensions[1] = box->dimensions[2] = 0.4f;
                shape = box;
            } else if (i < 5) {
                auto* quad = new Quad;
                const float corners[4][2] = {{-0.2f, -0.2f}, {0.2f, -0.2f}, {0.2f, 0.2f}, {-0.2f, 0.2f}};
                for (int c = 0; c < 4; ++c) {
                    quad->corners[c][0] = corners[c][0], quad->corners[c][1] = corners[c][1];
                    std::fill(quad->cornerColors[c], quad->cornerColors[c] + 4, 1.0f);
                }
                shape = quad;
            } else {
                auto* sphere = new Quadric;
                sphere->kind = Quadric::kSphere;
                sphere->radius1 = 0.25f, sphere->slices = 12, sphere->stacks = 6;
                shape = sphere;
            }
            shape->position[1] = float(i - kPerGroup / 2) * 0.6f;
            group->children->append("SHAP", shape);
        }
        root->children->append("GRUP", group);
    }
    return root;
}

int countObjects(SceneObject* o)
{
    int n = 1;
    for (void* c = o->children->first(); c; c = o->children->next())
        n += countObjects(static_cast<SceneObject*>(c));
    return n;
}

// Milliseconds per frame over `frames` frames after `warmup` untimed ones.
double timeFrames(SceneObject& top, bool stepOnly, int frames, int warmup)
{
    for (int i = 0; i < warmup; ++i) {
        top.step(stepOnly);
        glFinish();
    }
    Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        if (stepOnly) {  // as catch-up frames: no clear, nothing drawn
            top.step(true);
            continue;
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        top.step(false);
        glFinish();
    }
    glFinish();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    WindowState window;
    if (!createGLWindow(window, "trail bench", 320, 240, 16, false)) {
        std::fprintf(stderr, "no GL context\n");
        return 1;
    }
    glEnable(GL_DEPTH_TEST);
    std::printf("GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    std::vector<double> plainDraw, trailDraw, plainOnly, trailOnly;
    int objects = 0;
    for (int run = 0; run < runs; ++run) {
        // The trail reaches its 26 kept copies during the warm-up.
        SceneObject* plain = buildSubtree();
        auto* trail = new MotionTrail;
        trail->trailLength = 25;
        trail->sourceFactor = GL_SRC_ALPHA;
        trail->destinationFactor = GL_ONE;
        trail->children->append("TREE", buildSubtree());
        objects = countObjects(plain);
        plainDraw.push_back(timeFrames(*plain, false, frames, 30));
        trailDraw.push_back(timeFrames(*trail, false, frames, 30));
        plainOnly.push_back(timeFrames(*plain, true, frames, 30));
        trailOnly.push_back(timeFrames(*trail, true, frames, 30));
        delete plain;
        delete trail;
    }
    std::printf("subtree of %d objects, trail length 25, %d frames, median of %d runs (ms per frame)\n", objects,
                frames, runs);
    std::printf("drawing:   subtree %.3f, under the trail %.3f, ratio %.1f x\n", median(plainDraw), median(trailDraw),
                median(trailDraw) / median(plainDraw));
    std::printf("step-only: subtree %.4f, under the trail %.4f, ratio %.1f x\n", median(plainOnly), median(trailOnly),
                median(trailOnly) / median(plainOnly));
    releaseGLContext(window);
    killGLWindow(window);
    return 0;
}
