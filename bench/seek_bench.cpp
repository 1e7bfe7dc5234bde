// What it costs to show one late frame of a demo: every frame before it
// drawn in the demo's window (as the player draws them) against the same
// frames drawn out of sight into a 1 x 1 window, in one run. Each time runs
// from loading the demo data to the wanted frame read back; the two pictures
// are compared byte for byte.
//
//   SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy seek_bench DATA [frame] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/render/render.h"

using namespace tools::render;
using Clock = std::chrono::steady_clock;

namespace {

bool timeFrame(const std::string& data, int frame, bool drawEveryFrame, double& seconds, Bytes& picture)
{
    RenderOptions options;
    options.frames.parse(std::to_string(frame), nullptr);
    options.drawEveryFrame = drawEveryFrame;
    std::string error;
    auto start = Clock::now();
    bool ok = renderDemo(
        data, options,
        [&](const RenderedFrame& f) {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            picture = f.rgb;
            return true;
        },
        &error);
    if (!ok)
        std::fprintf(stderr, "%s\n", error.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: seek_bench DATA [frame] [rounds]\n");
        return 2;
    }
    const std::string data = argv[1];
    const int frame = argc > 2 ? std::atoi(argv[2]) : 750;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    // Interleaved rounds, best of each: the machine is shared.
    double everyBest = 1e9, unseenBest = 1e9;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        double every = 0, unseen = 0;
        Bytes drawn, sought;
        if (!timeFrame(data, frame, true, every, drawn) || !timeFrame(data, frame, false, unseen, sought))
            return 1;
        same = same && drawn == sought && !drawn.empty();
        everyBest = std::min(everyBest, every);
        unseenBest = std::min(unseenBest, unseen);
    }
    std::printf("frame %d, best of %d rounds, from loading the data to the frame read back\n", frame, rounds);
    std::printf("  every frame drawn in the window: %8.3f s\n", everyBest);
    std::printf("  frames before it out of sight:   %8.3f s  (%.3f of the first)\n", unseenBest,
                unseenBest / everyBest);
    std::printf("  pictures byte for byte the same: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
