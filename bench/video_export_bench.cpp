// What video export costs over the renderer alone: the first N frames of a
// demo at 640 × 480 rendered to nothing (no read-back), rendered and read
// back, and exported to H.264/AAC through ffmpeg, in one run.
//
//   SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy video_export_bench DATA [frames] [out.mp4] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/render/render.h"
#include "tools/render/video.h"

using namespace tools::render;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: video_export_bench DATA [frames] [out.mp4] [rounds]\n");
        return 2;
    }
    const std::string data = argv[1];
    const int frames = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::string out = argc > 3 ? argv[3] : "/tmp/video_export_bench.mp4";
    std::string error;

    // Interleaved rounds, best of each: the machine is shared and the first
    // load warms caches.
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;
    double aloneBest = 1e9, readBest = 1e9, videoBest = 1e9;
    VideoResult result;
    for (int round = 0; round < rounds; ++round) {
        // The renderer alone: every frame drawn, nothing read back.
        RenderOptions alone;
        alone.width = 640;
        alone.height = 480;
        alone.frames.parse(std::to_string(frames + 1), nullptr);  // only a frame past those timed is read
        auto start = Clock::now();
        Clock::time_point stop;
        alone.progress = [&](int32_t frame, int32_t) {
            if (frame == frames)
                stop = Clock::now();
        };
        if (!renderDemo(data, alone, [](const RenderedFrame&) { return true; }, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const double aloneSeconds = std::chrono::duration<double>(stop - start).count();

        // Rendered and read back, the frames dropped.
        RenderOptions readBack;
        readBack.width = 640;
        readBack.height = 480;
        readBack.frames.parse("1-" + std::to_string(frames), nullptr);
        start = Clock::now();
        if (!renderDemo(data, readBack, [](const RenderedFrame&) { return true; }, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const double readSeconds = seconds(start);

        VideoOptions video;
        video.output = out;
        video.width = 640;
        video.height = 480;
        video.to = frames;
            start = Clock::now();
        if (!exportVideo(data, video, result, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const double videoSeconds = seconds(start);


        aloneBest = std::min(aloneBest, aloneSeconds);
        readBest = std::min(readBest, readSeconds);
        videoBest = std::min(videoBest, videoSeconds);
    }
    std::printf("%d frames at 640 x 480, best of %d rounds\n", frames, rounds);
    std::printf("  renderer alone          %7.1f frames/s\n", frames / aloneBest);
    std::printf("  rendered and read back  %7.1f frames/s\n", frames / readBest);
    std::printf("  exported to %s %7.1f frames/s (%s)\n", out.c_str(), result.frames / videoBest,
                result.withMusic ? "with music" : "no music");
    return 0;
}
