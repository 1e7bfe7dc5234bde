// What a timeline chart shows besides the walk: the music's waveform and
// thumbnails of frames through the offline renderer.
#include <algorithm>
#include <cmath>

#include "tools/media/png.h"
#include "tools/render/render.h"
#include "tools/render/timeline_chart.h"
#include "tools/render/video.h"

namespace tools::render {

using namespace tools::media;

std::string base64(const Bytes& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t v = uint32_t(bytes[i]) << 16 | (two ? uint32_t(bytes[i + 1]) << 8 : 0);
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += two ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::vector<int32_t> thumbnailFrames(int32_t frames, int count)
{
    std::vector<int32_t> result;
    if (frames < 1 || count < 1)
        return result;
    for (int i = 0; i < count; ++i) {
        const int32_t frame = int32_t(1 + (int64_t(2 * i + 1) * frames) / (2 * int64_t(count)));
        if (result.empty() || frame > result.back())
            result.push_back(std::min(frame, frames));
    }
    return result;
}

bool chartTimeline(const std::string& path, const ChartOptions& options, std::string& svg, std::string* error)
{
    std::string ignored;
    std::string& message = error ? *error : ignored;
    ChartInput input;
    input.title = options.title.empty() ? path : options.title;
    if (!walkTimeline(path, input.walk, &message))
        return false;

    Bytes file;
    if (!readFile(path, file)) {
        message = "cannot read " + path;
        return false;
    }
    demosound::Pcm pcm;
    const Bytes audio = musicOf(file);
    if (audio.empty())
        input.musicNote = "the demo has no music resource";
    else if (!demosound::decode(audio.data(), audio.size(), pcm))
        input.musicNote = "the music resource holds no sound this tool can decode";
    else
        input.music = &pcm;

    ChartLayout layout;
    if (options.width > 0)
        layout.width = options.width;
    layout.height = options.height;

    const std::vector<int32_t> frames = thumbnailFrames(input.walk.frames, options.thumbnails);
    if (!frames.empty()) {
        // As wide as the slots the chart gives them, in the demo's shape.
        const double plotWidth = plotWidthFor(layout.width);
        const size_t n = frames.size();
        const double slot = std::min(180.0, (plotWidth - 6.0 * double(n - 1)) / double(n));
        RenderOptions render;
        render.width = std::max(16, int(std::lround(slot)));
        const double aspect = input.walk.width > 0 && input.walk.height > 0
                                  ? double(input.walk.height) / input.walk.width
                                  : 0.75;
        render.height = std::max(12, int(std::lround(slot * aspect)));
        std::string list;
        for (int32_t f : frames)
            list += (list.empty() ? "" : ",") + std::to_string(f);
        render.frames.parse(list, nullptr);
        bool written = true;
        if (!renderDemo(
                path, render,
                [&](const RenderedFrame& frame) {
                    ChartThumbnail t;
                    t.frame = frame.frame;
                    t.width = frame.width;
                    t.height = frame.height;
                    t.png = encodePng(frame.width, frame.height, frame.rgb);
                    written = written && !t.png.empty();
                    input.thumbnails.push_back(std::move(t));
                    return true;
                },
                &message))
            return false;
        if (!written) {
            message = "a rendered frame could not be encoded";
            return false;
        }
    }
    svg = timelineSvg(input, layout);
    return true;
}

}  // namespace tools::render
