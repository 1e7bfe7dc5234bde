#include "tools/render/render.h"

#include "tools/writer/file_kind.h"

#include <GL/gl.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

#include "player/demo_data.h"
#include "demo/format.h"
#include "demo/timeline.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "tools/render/unseen_frames.h"

namespace tools::render {

using namespace tools::writer;

namespace {

std::string trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool frameNumber(const std::string& text, int32_t& out, std::string* error, const common::TimeScale* scale)
{
    // Without the demo's scale only the form of a time is checked.
    const common::TimeScale formOnly{1, 1};
    int64_t value = 0;
    std::string why;
    if (text.empty() || !common::framesOfTime(text, common::TimeUse::point, scale ? *scale : formOnly, value, &why)) {
        if (error)
            *error = common::isTimeText(text) ? why : "'" + text + "' is not a frame number or a time (10s, 1:05.5, 64b)";
        return false;
    }
    if (value < 1 || value > INT32_MAX) {
        if (error)
            *error = "frame " + text + " is out of range (frames start at 1)";
        return false;
    }
    out = int32_t(value);
    return true;
}

}  // namespace

bool FrameList::parse(const std::string& text, std::string* error, const common::TimeScale* scale)
{
    ranges_.clear();
    size_t begin = 0;
    for (;;) {
        size_t comma = text.find(',', begin);
        std::string item = trim(text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
        if (item.empty()) {
            if (error)
                *error = "empty item in frame list '" + text + "'";
            ranges_.clear();
            return false;
        }
        // "-" only separates a range: frame numbers are never negative.
        size_t dash = item.find('-');
        int32_t first, last;
        if (dash == std::string::npos) {
            if (!frameNumber(item, first, error, scale)) {
                ranges_.clear();
                return false;
            }
            last = first;
        } else {
            if (!frameNumber(trim(item.substr(0, dash)), first, error, scale) ||
                !frameNumber(trim(item.substr(dash + 1)), last, error, scale)) {
                ranges_.clear();
                return false;
            }
            // Times are put in order only on the demo's scale.
            const bool timed = common::isTimeText(trim(item.substr(0, dash))) ||
                               common::isTimeText(trim(item.substr(dash + 1)));
            if (last < first && (scale || !timed)) {
                if (error)
                    *error = "range '" + item + "' runs backwards";
                ranges_.clear();
                return false;
            }
        }
        ranges_.emplace_back(first, last);
        if (comma == std::string::npos)
            return true;
        begin = comma + 1;
    }
}

bool FrameList::contains(int32_t frame) const
{
    for (const auto& range : ranges_) {
        if (frame >= range.first && frame <= range.second)
            return true;
    }
    return false;
}

int32_t FrameList::last() const
{
    int32_t result = 0;
    for (const auto& range : ranges_)
        result = std::max(result, range.second);
    return result;
}

namespace {

struct WindowOverride {
    int width;
    int height;
};

void forceWindow(void* user, PlayerSettings& settings)
{
    const WindowOverride& size = *static_cast<const WindowOverride*>(user);
    settings.fullscreen = 0;
    if (size.width > 0 && size.height > 0) {
        settings.width = int16_t(size.width);
        settings.height = int16_t(size.height);
    }
}

void readBack(RenderedFrame& frame)
{
    const size_t rowBytes = size_t(frame.width) * 3;
    Bytes bottomUp(rowBytes * size_t(frame.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    // GL's first row is the bottom one; pictures start at the top.
    frame.rgb.resize(bottomUp.size());
    for (int y = 0; y < frame.height; ++y) {
        std::copy_n(bottomUp.data() + rowBytes * size_t(frame.height - 1 - y), rowBytes,
                    frame.rgb.data() + rowBytes * size_t(y));
    }
}

}  // namespace

bool renderDemo(const std::string& path, const RenderOptions& options,
                const std::function<bool(const RenderedFrame&)>& onFrame, std::string* error)
{
    auto failWith = [&](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    if (options.width < 0 || options.height < 0 || options.width > 32767 || options.height > 32767)
        return failWith("window size out of range");

    // Tell raw data from a packed player by the executable's headers.
    uint32_t offset = 0;
    {
        Bytes head;
        if (!readFile(path, head))
            return failWith("cannot read " + path);
        if (isExecutable(head)) {
            if (head.size() <= format::kDataOffset)
                return failWith(path + " is an executable without demo data");
            offset = format::kDataOffset;
        }
    }

    Player player;
    WindowOverride size{options.width, options.height};
    if (!readContainer(player, path.c_str(), offset, &forceWindow, &size))
        return failWith("the window could not be created");
    if (!player.window.context)
        return failWith("the demo data has no render state (chunk 2103), where the player opens its window");
    const PlayerSettings& settings = player.settings;
    if (settings.width <= 0 || settings.height <= 0)
        return failWith("the demo's window has no size; give one");

    // The player always plays frame 1, even with no total frame count.
    const int32_t passLength = std::max<int32_t>(1, settings.totalFrames);
    const int32_t last = options.frames.empty() ? passLength : options.frames.last();
    if (last > passLength && !settings.loop) {
        return failWith("frame " + std::to_string(last) + " is past the end of the demo (" +
                        std::to_string(passLength) + " frames, no loop)");
    }

    if (options.started && !options.started(settings.width, settings.height, settings.frameRate, last)) {
        player.shutdown();
        return true;
    }

    RenderedFrame picture;
    picture.width = settings.width;
    picture.height = settings.height;
    bool stopped = false;
    int32_t frame = 1;
    UnseenFrames unseen(player);
    for (int32_t played = 1; played <= last && !stopped; ++played) {
        bool wanted = options.frames.empty() || options.frames.contains(played);
        if (!wanted) {
            // In the demo's window only when asked to draw every frame there.
            unseen.play(frame, options.drawEveryFrame);
        } else {
            unseen.show();
            if (!player.cursor)
                player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
            timelineCheck(player, frame);
            runFrame(player, false, [&] {
                picture.frame = played;
                readBack(picture);
                stopped = !onFrame(picture);
            });
        }
        if (options.progress)
            options.progress(played, last);
        if (++frame > settings.totalFrames) {
            // Only a looping demo gets here with frames still to play.
            player.instances->clear();
            frame = 1;
        }
    }
    unseen.close();
    player.shutdown();
    return true;
}

bool renderDemo(const std::string& path, const RenderOptions& options, std::vector<RenderedFrame>& frames,
                std::string* error)
{
    frames.clear();
    return renderDemo(
        path, options,
        [&](const RenderedFrame& frame) {
            frames.push_back(frame);
            return true;
        },
        error);
}

}  // namespace tools::render
