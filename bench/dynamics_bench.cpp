// What driving parameters through dynamics costs over changing the floats
// directly: a scene of 1,000 transforms, each with a scalar dynamic on
// "Rotació 1" and a translation dynamic on "Posició", stepped in step-only
// frames (the catch-up path: no GL at all), against a plain loop making the
// same float updates on the same objects, in the same run. The same scene
// without dynamics is timed too, so that the walk of the tree itself can be
// told apart from the dynamics' own work (name lookup, reset test, change).
//
//   dynamics_bench [frames] [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "animation/dynamic.h"
#include "animation/vector_math.h"
#include "demo/scene_object.h"
#include "geometry/transform.h"
#include "tools/writer/animation_payloads.h"

using namespace tools::writer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kInstances = 1000;
constexpr float kSpin = 0.5f;
constexpr float kStep = 0.01f;
const float kDirection[3] = {0.3f, -0.2f, 0.1f};

double milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A root holding the transforms, each with its two dynamics when asked.
SceneObject* buildScene(bool withDynamics, int frames)
{
    auto* root = new SceneObject;
    const Bytes spin = [] {
        DynamicFields f;
        f.parameter = "Rotaci\xf3 1";
        f.perFrame = kSpin;
        return scalarDynamicPayload(f);
    }();
    const Bytes move = [] {
        DynamicFields f;
        f.parameter = "Posici\xf3";
        f.perFrame = kStep;
        f.vector = {kDirection[0], kDirection[1], kDirection[2]};
        return vectorDynamicPayload(f);
    }();
    for (int i = 0; i < kInstances; ++i) {
        auto* t = new Transform;
        t->frame = 1;
        if (withDynamics) {
            auto* s = new ScalarDynamic;
            s->length = int16_t(frames + 1);  // alive for the whole run
            s->target = t;
            s->load(spin.data(), int32_t(spin.size()));
            t->children->append("SPIN", s);
            auto* m = new TranslationDynamic;
            m->length = int16_t(frames + 1);
            m->target = t;
            m->load(move.data(), int32_t(move.size()));
            t->children->append("MOVE", m);
        }
        root->children->append("INST", t);
    }
    return root;
}

double timeScene(bool withDynamics, int frames, float* check)
{
    SceneObject* root = buildScene(withDynamics, frames);
    const auto from = Clock::now();
    for (int f = 0; f < frames; ++f)
        root->step(true);
    const double ms = milliseconds(from, Clock::now());
    auto* last = static_cast<Transform*>(root->children->first());
    *check = last->angles[0] + last->position[0];
    delete root;
    return ms;
}

double timePlain(int frames, float* check)
{
    std::vector<Transform*> objects;
    for (int i = 0; i < kInstances; ++i)
        objects.push_back(new Transform);
    const auto from = Clock::now();
    for (int f = 0; f < frames; ++f) {
        for (Transform* t : objects) {
            t->angles[0] = kSpin + t->angles[0];
            vecAddScaled(t->position, kDirection, t->position, kStep);
        }
    }
    const double ms = milliseconds(from, Clock::now());
    *check = objects.front()->angles[0] + objects.front()->position[0];
    for (Transform* t : objects)
        delete t;
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::min(30000, std::atoi(argv[1]))) : 500;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

    std::vector<double> dynamics, empty, plain;
    float sceneCheck = 0, plainCheck = 0, emptyCheck = 0;
    for (int r = 0; r < runs; ++r) {
        dynamics.push_back(timeScene(true, frames, &sceneCheck));
        empty.push_back(timeScene(false, frames, &emptyCheck));
        plain.push_back(timePlain(frames, &plainCheck));
    }
    // Both paths must have made the same change, or the comparison means nothing.
    if (sceneCheck != plainCheck) {
        std::fprintf(stderr, "results differ: scene %.9g, plain loop %.9g\n", double(sceneCheck), double(plainCheck));
        return 1;
    }

    const double steps = double(frames) * kInstances * 2;
    const double withDynamics = median(dynamics);
    const double walkOnly = median(empty);
    const double direct = median(plain);
    std::printf("%d instances x 2 dynamics, %d step-only frames, median of %d runs\n", kInstances, frames, runs);
    std::printf("  scene with dynamics : %9.3f ms  (%7.1f ns per dynamic step, tree walk included)\n", withDynamics,
                withDynamics * 1e6 / steps);
    std::printf("  same scene, no dyn. : %9.3f ms\n", walkOnly);
    std::printf("  plain float loop    : %9.3f ms  (%7.1f ns per update)\n", direct, direct * 1e6 / steps);
    std::printf("  dynamics alone      : %9.3f ms  (%7.1f ns per dynamic step)\n", withDynamics - walkOnly,
                (withDynamics - walkOnly) * 1e6 / steps);
    std::printf("  ratio scene / plain : %9.1f x\n", withDynamics / direct);
    return 0;
}
