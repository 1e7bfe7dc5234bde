// The lifetimes of a demo's timeline instances and dynamics, learnt by
// playing one pass of the demo through the player's own frame pieces
// (timeline check, then a drawing pass, as `demotool render` plays it) and
// watching what the timeline makes, what each frame steps and what ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools::inspect {

struct ChartedSkip {  // a fast-forward (1006) of an instance
    int32_t frame = 0;
    int16_t count = 0;
};

// One object a timeline command made (1001, 1005: an instance; 1002 to
// 1004: a dynamic). Frames are numbers of one pass of the demo, from 1.
struct ChartedObject {
    int16_t command = 0;
    std::string tag;        // as the data gives it (Latin-1 bytes)
    std::string className;  // the engine's class ("Box", "Transform", "RotationDynamic")
    std::string parameter;  // dynamics: the parameter driven, as the data names it (Latin-1)
    int16_t start = 0, length = 0, frame = 0;  // the fields the command set
    int parent = -1;        // index of the object it was placed under; -1: the top level
    int depth = 0;          // 0 at the top level
    bool placed = false;    // false: registered but placed nowhere, so never stepped
    int32_t madeAt = 0;     // the frame of the entry that made it
    int32_t firstStep = 0;  // first and last frame it was stepped in; 0: never
    int32_t lastStep = 0;
    int32_t endedAt = 0;    // the frame it was destroyed in; 0: still there after the last frame
    bool ownEnd = false;    // ended by its own step (otherwise with an ancestor)
    // When it ended with an ancestor: the last frame its own length would
    // have given it (at least; 0 when its length is unlimited).
    int32_t plannedLast = 0;
    std::vector<ChartedSkip> skips;
};

struct ChartedEntry {
    int32_t frame = 0;
    int commands = 0;  // commands that made, or fast-forwarded, something
};

// A fast-forward that reached no instance: of a resource (1007), or of a
// tag that names nothing.
struct ChartedResourceSkip {
    int16_t command = 0;
    int32_t frame = 0;
    std::string tag;
    int16_t count = 0;
    bool found = false;
};

struct TimelineWalk {
    int32_t frames = 0;  // frames of one pass (at least 1)
    int frameRate = 0;
    bool loop = false;
    int width = 0, height = 0;  // the demo's window
    std::vector<ChartedEntry> entries;
    std::vector<ChartedObject> objects;  // in the order they were made
    std::vector<ChartedResourceSkip> otherSkips;
};

// Plays one pass of the demo data in the file at `path` (raw, or packed
// behind a player) in a small offscreen window. False with the reason in
// *error when the file cannot be read or the demo opens no window.
bool walkTimeline(const std::string& path, TimelineWalk& walk, std::string* error);

}  // namespace tools::inspect
