// Offline rendering: plays a demo frame by frame the way the player steps it
// (timeline check, then a drawing pass; no pacing, no catch-up) and reads each
// wanted frame back before it is presented.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tools/common/frame_time.h"
#include "tools/writer/writer.h"

namespace tools::render {

using namespace tools::writer;

// Frame numbers such as "1,10,20-25": ascending or not, overlaps allowed.
// Items may be times ("10s", "1:05-1:10", "64b"), points in time on `scale`.
class FrameList {
public:
    // False with the reason in *error for an empty item, a number below 1, a
    // reversed range or anything that is not a number or a time. Without a
    // scale, times are checked for their form only and parse must be called
    // again with the demo's scale before the list is used.
    bool parse(const std::string& text, std::string* error, const common::TimeScale* scale = nullptr);
    bool empty() const { return ranges_.empty(); }
    bool contains(int32_t frame) const;
    int32_t last() const;  // 0 when empty

private:
    std::vector<std::pair<int32_t, int32_t>> ranges_;
};

struct RenderOptions {
    FrameList frames;  // frames to capture; empty: every frame of one pass of the demo
    int width = 0;     // window size; 0: the demo's own
    int height = 0;
    // Frames that are not captured are drawn all the same, into a 1 x 1
    // hidden window (the same picture at the captured ones, much faster);
    // true draws them in the demo's window, as the player would.
    bool drawEveryFrame = false;
    // Called after every frame played (captured or not), with the frame
    // number and the last frame that will be played.
    std::function<void(int32_t frame, int32_t last)> progress;
    // Called once the window is up, before the first frame, with the picture
    // size, the demo's frame rate and the last frame that will be played;
    // false ends the render there (without an error).
    std::function<bool(int width, int height, int frameRate, int32_t last)> started;
};

struct RenderedFrame {
    int32_t frame = 0;  // frames played so far, this one included (1 = the first)
    int width = 0;
    int height = 0;
    Bytes rgb;  // 8-bit RGB, top row first
};

// Plays the demo in `path` (raw demo data, or a packed executable whose data
// starts at kDataOffset) in a window forced to windowed mode. Frames run from
// 1 to the last wanted frame; a looping demo starts again at its frame 1 after
// its last, as the player does. onFrame gets each wanted frame and may return
// false to stop. False with a message in *error when the file cannot be read,
// no window comes up, or a wanted frame lies past the end of a demo that does
// not loop.
bool renderDemo(const std::string& path, const RenderOptions& options,
                const std::function<bool(const RenderedFrame&)>& onFrame, std::string* error);

// The same, keeping every wanted frame in memory.
bool renderDemo(const std::string& path, const RenderOptions& options, std::vector<RenderedFrame>& frames,
                std::string* error);

}  // namespace tools::render
