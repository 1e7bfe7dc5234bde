#include "tools/inspect/timeline_walk.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>
#include <unordered_map>

#include "animation/dynamic.h"
#include "demo/format.h"
#include "demo/instance_list.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "player/demo_data.h"
#include "player/frame_loop.h"
#include "player/player.h"

namespace tools::inspect {

namespace {

// The pass is drawn, so that children start on the frames a playing demo
// shows them (a step-only pass starts them a frame later); a small window
// keeps the drawing cheap.
constexpr int kWalkWidth = 64, kWalkHeight = 48;

// Keeps the demo's own size in the walk (for the thumbnails' shape).
void smallWindow(void* user, PlayerSettings& settings)
{
    TimelineWalk& walk = *static_cast<TimelineWalk*>(user);
    walk.width = settings.width;
    walk.height = settings.height;
    settings.fullscreen = 0;
    settings.width = kWalkWidth;
    settings.height = kWalkHeight;
}

std::string classNameOf(const SceneObject& object)
{
    const char* mangled = typeid(object).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    std::free(plain);
    return name;
}

// Raw demo data starts at 0, a packed player's at format::kDataOffset.
bool dataOffsetOf(const std::string& path, uint32_t& offset, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    unsigned char magic[4] = {};
    const size_t got = std::fread(magic, 1, 4, file);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    offset = 0;
    if (got == 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F') {
        if (size <= long(format::kDataOffset)) {
            *error = path + " is an executable without demo data";
            return false;
        }
        offset = format::kDataOffset;
    }
    return true;
}

// Watches the timeline of one player: what its entries make, which objects
// each frame steps (their step count moves) and when they are destroyed.
class Recorder final : public TimelineWatcher {
public:
    explicit Recorder(TimelineWalk& walk) : walk_(walk) {}

    void beginFrame(int32_t frame)
    {
        frame_ = frame;
        before_.clear();
    }
    void beginEntry() { walk_.entries.push_back({frame_, 0}); }

    // Right before the frame's pass.
    void snapshot()
    {
        for (const auto& [object, index] : alive_)
            before_[object] = object->stepCount;
    }
    // Right after it: whatever is still alive and counted a step was stepped.
    void afterPass()
    {
        for (const auto& [object, index] : alive_) {
            auto seen = before_.find(object);
            if (seen != before_.end() && seen->second != object->stepCount)
                stepped(walk_.objects[index]);
        }
    }

    void made(int16_t command, const char* tag, SceneObject* object, SceneObject* parent, bool placed) override
    {
        ChartedObject charted;
        charted.command = command;
        charted.tag = tag;
        charted.className = classNameOf(*object);
        if (const auto* dynamic = dynamic_cast<const Dynamic*>(object)) {
            const int index = dynamic->parameterIndex;
            if (index > 0 && index < Dynamic::kNameCount)
                charted.parameter = Dynamic::parameterNames[index];
            else
                charted.parameter = "parameter " + std::to_string(index);
        }
        charted.start = object->start;
        charted.length = object->length;
        charted.frame = object->frame;
        charted.placed = placed;
        charted.madeAt = frame_;
        auto owner = parent ? alive_.find(parent) : alive_.end();
        if (placed && owner != alive_.end()) {
            charted.parent = int(owner->second);
            charted.depth = walk_.objects[owner->second].depth + 1;
        }
        alive_[object] = walk_.objects.size();
        walk_.objects.push_back(std::move(charted));
        countCommand();
    }

    void skipped(int16_t command, const char* tag, SceneObject* object, int16_t count) override
    {
        countCommand();
        auto known = object && command == format::timeline::kFastForwardInstance ? alive_.find(object) : alive_.end();
        if (known != alive_.end()) {
            walk_.objects[known->second].skips.push_back({frame_, count});
            return;
        }
        ChartedResourceSkip skip;
        skip.command = command;
        skip.frame = frame_;
        skip.tag = tag;
        skip.count = count;
        skip.found = object != nullptr;
        walk_.otherSkips.push_back(skip);
    }

    void ended(const SceneObject* object) override
    {
        auto known = alive_.find(object);
        if (known == alive_.end())
            return;
        ChartedObject& charted = walk_.objects[known->second];
        auto seen = before_.find(object);
        if (seen != before_.end() && seen->second != object->stepCount)
            stepped(charted);
        charted.endedAt = frame_;
        // A parent is told of before its children are destroyed: one that
        // has ended took this object with it. Otherwise its own step ended it,
        // by its length or by its class's own rule (a ripple whose ring has
        // passed the mesh).
        charted.ownEnd = charted.parent < 0 || walk_.objects[size_t(charted.parent)].endedAt == 0;
        if (!charted.ownEnd && object->length > 0)
            charted.plannedLast = frame_ + (object->length - object->stepCount);
        alive_.erase(known);
        before_.erase(object);
    }

private:
    void stepped(ChartedObject& charted)
    {
        if (!charted.firstStep)
            charted.firstStep = frame_;
        charted.lastStep = frame_;
    }
    void countCommand()
    {
        if (!walk_.entries.empty() && walk_.entries.back().frame == frame_)
            ++walk_.entries.back().commands;
    }

    TimelineWalk& walk_;
    int32_t frame_ = 0;
    std::unordered_map<const SceneObject*, size_t> alive_;
    std::unordered_map<const SceneObject*, int16_t> before_;
};

}  // namespace

bool walkTimeline(const std::string& path, TimelineWalk& walk, std::string* error)
{
    std::string ignored;
    std::string& message = error ? *error : ignored;
    walk = TimelineWalk();
    uint32_t offset = 0;
    if (!dataOffsetOf(path, offset, &message))
        return false;

    Player player;
    if (!readContainer(player, path.c_str(), offset, &smallWindow, &walk) || !player.window.context) {
        message = path + " holds no render state, so the demo opens no window";
        return false;
    }
    const PlayerSettings& settings = player.settings;
    walk.frames = std::max<int32_t>(1, settings.totalFrames);  // the player always plays frame 1
    walk.frameRate = settings.frameRate;
    walk.loop = settings.loop != 0;

    Recorder recorder(walk);
    player.instances->watcher = &recorder;
    for (int32_t frame = 1; frame <= walk.frames; ++frame) {
        recorder.beginFrame(frame);
        if (!player.cursor)
            player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
        if (player.cursor && player.cursor->startFrame == frame)
            recorder.beginEntry();
        timelineCheck(player, frame);
        recorder.snapshot();
        runFrame(player, false);
        recorder.afterPass();
    }
    // What is left ends with the player, not with the demo.
    player.instances->watcher = nullptr;
    player.shutdown();
    return true;
}

}  // namespace tools::inspect
