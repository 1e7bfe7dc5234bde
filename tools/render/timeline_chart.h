// `demotool timeline`: a demo's timeline as one self-contained SVG file. A
// time axis in frames and seconds with the entries marked, one row per
// instance nested under its parent with a bar over its lifetime, its
// dynamics as slimmer labelled bars beneath it, the music's waveform and a
// row of rendered frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/demosound/decoder.h"
#include "tools/inspect/timeline_walk.h"
#include "tools/writer/writer.h"

namespace tools::render {

using namespace tools::writer;
using namespace tools::inspect;

struct ChartThumbnail {
    int32_t frame = 0;
    int width = 0, height = 0;
    Bytes png;
};

struct ChartInput {
    std::string title;  // the top line (the file's name)
    TimelineWalk walk;
    // The audio of the demo's music resource, decoded; none: no waveform.
    const demosound::Pcm* music = nullptr;
    std::string musicNote;  // shown in the strip when there is no waveform
    std::vector<ChartThumbnail> thumbnails;
};

struct ChartLayout {
    int width = 1400;  // of the picture
    int height = 0;    // 0: as tall as the rows need; else rows are fitted into it
};

// The SVG. Every bar is a <rect class="bar"> whose data-* attributes give
// what it shows (data-id, data-parent, data-depth, data-kind, data-tag,
// data-class, data-command, data-first, data-last, data-end), with a <title>
// for the hover; the root's data-plot-left, data-plot-width and data-frames
// give the time scale (frame n spans (n - 1) to n frame widths from the left).
std::string timelineSvg(const ChartInput& input, const ChartLayout& layout);

// Where the time axis starts, and how wide it is, in a chart `width` pixels wide.
double plotLeftFor(int width);
double plotWidthFor(int width);

// `count` frames spread evenly over `frames`: the middles of equal spans.
std::vector<int32_t> thumbnailFrames(int32_t frames, int count);

// Bytes to base64 (for data: URIs).
std::string base64(const Bytes& bytes);
// Latin-1 text (as the demo data holds names) as UTF-8, escaped for XML
// text and attribute values; control characters become U+FFFD.
std::string xmlText(const std::string& latin1);

struct ChartOptions {
    int width = 0, height = 0;  // 0: the defaults of ChartLayout
    int thumbnails = 8;
    std::string title;
};

// Everything for the demo data in the file at `path` (raw or packed): the
// walk, the music's waveform, the thumbnails through the offline renderer.
// False with the reason in *error when the demo cannot be played.
bool chartTimeline(const std::string& path, const ChartOptions& options, std::string& svg, std::string* error);

}  // namespace tools::render
