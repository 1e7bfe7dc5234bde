// The input of pack, render and play: a description (built in memory), demo
// data or a packed demo. Anything else is refused with one line saying what
// the file looks like; damaged data is reported with the problems `inspect`
// finds.
#pragma once

#include <string>
#include <vector>

#include "tools/common/frame_time.h"
#include "tools/common/temporary_file.h"
#include "tools/writer/writer.h"

namespace tools::demotool {

using namespace tools::writer;

struct DemoInput {
    writer::Bytes data;
    bool description = false;
    std::vector<std::string> watched;  // the description and the files it names
    // What times on the command line count in: the data's frame rate (set by
    // prepareDemo) and a description's "bpm".
    common::TimeScale time;
};

// "" or the line to print (a description's problems in build's words,
// "FILE:LINE:COLUMN: ..."; anything else as "demotool COMMAND: FILE: ...").
// With `description` (a file that was one, as play watches it) the file is
// built whatever it holds, so that an emptied or garbled one gets build's
// words; otherwise a blank file is a description when its name ends in .json.
// A description's sound library without a file is `soundLibrary`, or
// defaultSoundLibrary() when that is "".
std::string readDemoInput(const std::string& command, const std::string& path, DemoInput& out,
                          bool description = false, const std::string& soundLibrary = "");

struct Damage {
    std::vector<std::string> problems;  // inspect's "!" lines, without the mark
    // The top-level walk ends inside a chunk: part of the demo is missing.
    bool cutShort = false;
    std::string cutAt;  // "chunk 2104 (timeline) at offset 120"
};
Damage damageOf(const writer::Bytes& data);

// Prints the damage under "demotool COMMAND: FILE: damaged demo data (N
// problems):" to stderr; false when there is none.
bool reportDamage(const std::string& command, const std::string& path, const Damage& damage);

// The frame rate the player takes from the data's playback settings (0, as
// the player's, when they give none).
int frameRateOf(const writer::Bytes& data);

// The folder a description's relative file names are read from.
std::string folderOf(const std::string& path);

// The player reads demo data from a file: a temporary one, removed with this.
class TemporaryDataFile : public common::TemporaryFile {
public:
    TemporaryDataFile() : TemporaryFile("demotool-") {}
};

// For render and play: the input as demo data in a temporary file, damage
// reported as `inspect` finds it. False (the line printed) when the input
// cannot be played: unreadable, not demo data, a broken description, or
// data cut short so that part of the demo is missing.
bool prepareDemo(const std::string& command, const std::string& path, DemoInput& input,
                 TemporaryDataFile& file);

}  // namespace tools::demotool
