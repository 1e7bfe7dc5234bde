// What the collision world costs per step: 200 spheres falling under a force
// onto four grids, each sphere moving by a translation dynamic, stepped in
// step-only frames (no GL), against the same tree under a plain object
// instead of the world, in the same run. Every pair is tested every step, so
// the world's share grows with the square of the colliders.
//
// The world reads each transform's matrix back from OpenGL, so a window is
// opened for the context.
//
//   SDL_VIDEODRIVER=offscreen collision_bench [frames] [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "animation/collision_world.h"
#include "animation/dynamic.h"
#include "geometry/grid.h"
#include "geometry/quadric.h"
#include "objects/force.h"
#include "player/window.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSpheres = 200;
constexpr int kGrids = 4;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Four floors of 10 x 10 side by side, each turned flat by its transform, and
// the spheres on a lattice above them under one force.
SceneObject* buildScene(bool withWorld)
{
    SceneObject* root = withWorld ? new CollisionWorld(nullptr) : new SceneObject;
    for (int g = 0; g < kGrids; ++g) {
        auto* flat = new Transform;
        flat->angles[0] = -90;
        flat->position[0] = float(g % 2) * 10 - 5;
        flat->position[2] = float(g / 2) * 10 - 5;
        auto* grid = new Grid;
        grid->gridWidth = grid->gridHeight = 10;
        grid->buildGrid(10, 10, 4, 4);
        flat->children->add(grid);
        root->children->add(flat);
    }
    auto* force = new Force;
    force->strength = 0.002f;
    force->direction[1] = -1;
    root->children->add(force);
    unsigned seed = 12345;
    auto random = [&seed] {
        seed = seed * 214013u + 2531011u;
        return float((seed >> 16) & 0x7fff) / 32767.0f;
    };
    for (int i = 0; i < kSpheres; ++i) {
        auto* s = new Quadric;
        s->kind = Quadric::kSphere;
        s->radius1 = 0.3f;
        s->position[0] = float(i % 20) - 9.5f;
        s->position[1] = 1 + float(i / 20) * 0.7f;
        s->position[2] = random() * 18 - 9;
        auto* d = new TranslationDynamic;
        d->target = s;
        d->parameterIndex = 15;
        d->length = 0x7000;
        const float v[3] = {random() * 0.02f - 0.01f, 0, random() * 0.02f - 0.01f};
        d->setVectorAndRemainingValues(v, 1.0f);
        s->children->add(d);
        force->children->add(s);
    }
    return root;
}

double timeScene(bool withWorld, int frames, int* aboveFloors)
{
    SceneObject* root = buildScene(withWorld);
    const auto from = Clock::now();
    for (int f = 0; f < frames; ++f)
        root->step(true);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    // Spheres still above the floors' plane tell that the world did its work.
    int above = 0;
    for (auto* c = static_cast<SceneObject*>(root->children->first()); c; c = static_cast<SceneObject*>(root->children->next()))
        if (c->typeId() == 421)
            for (auto* s = static_cast<Quadric*>(c->children->first()); s; s = static_cast<Quadric*>(c->children->next()))
                above += s->position[1] > 0;
    *aboveFloors = above;
    delete root;
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::min(20000, std::atoi(argv[1]))) : 300;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    WindowState window;
    if (!createGLWindow(window, "collision bench", 64, 48, 16, false)) {
        std::fprintf(stderr, "no GL window\n");
        return 1;
    }
    std::vector<double> world, plain;
    int aboveWorld = 0, abovePlain = 0;
    for (int r = 0; r < runs; ++r) {
        world.push_back(timeScene(true, frames, &aboveWorld));
        plain.push_back(timeScene(false, frames, &abovePlain));
    }
    const double w = median(world), p = median(plain);
    std::printf("%d spheres over %d grids, %d step-only frames, median of %d runs\n", kSpheres, kGrids, frames, runs);
    std::printf("  with the world    : %9.3f ms  (%7.1f us per step; %d of %d spheres above the floors)\n", w,
                w * 1e3 / frames, aboveWorld, kSpheres);
    std::printf("  without the world : %9.3f ms  (%7.1f us per step; %d above)\n", p, p * 1e3 / frames, abovePlain);
    std::printf("  world's own share : %9.3f ms  (%7.1f us per step, %d pair tests)\n", w - p, (w - p) * 1e3 / frames,
                (kSpheres + kGrids) * (kSpheres + kGrids - 1) / 2);
    std::printf("  ratio             : %9.1f x\n", w / p);
    killGLWindow(window);
    return 0;
}
