// The demotool subcommands. main() makes one CLI11 subcommand per entry of
// its table; each add function declares that subcommand's arguments and
// returns the code that runs it once they are parsed (returning the process
// exit code).
#pragma once

#include <functional>
#include <string>

#include "tools/common/frame_time.h"

namespace CLI {
class App;
class Option;
}

namespace tools::demotool {

using Run = std::function<int()>;

Run addPack(CLI::App& command);
// The sound library that pack and build put into demo data by default.
std::string defaultSoundLibrary();
Run addInspect(CLI::App& command);
Run addRender(CLI::App& command);
Run addBuild(CLI::App& command);
Run addAssets(CLI::App& command);
Run addPlay(CLI::App& command);
Run addTimeline(CLI::App& command);
Run addStudio(CLI::App& command);

// --size: WIDTHxHEIGHT, each 1 to 32767.
bool parseSize(const std::string& text, int& width, int& height);
CLI::Option* addSizeOption(CLI::App& command, std::string& text, const std::string& description);
// --from, --to: a whole frame number from 1 or a time ("10s", "1:05.5",
// "64b"), checked here for its form; frameOfOption turns it into a frame
// once the demo's frame rate (and a description's bpm) are known.
CLI::Option* checkFrameNumber(CLI::Option* option);
// False with "demotool COMMAND: OPTION ..." printed when the value gives no frame.
bool frameOfOption(const std::string& command, const std::string& option, const std::string& text,
                   const common::TimeScale& scale, int32_t& frame);

}  // namespace tools::demotool
