// The demotool subcommands. main() makes one CLI11 subcommand per entry of
// its table; each add function declares that subcommand's arguments and
// returns the code that runs it once they are parsed (returning the process
// exit code).
#pragma once

#include <functional>
#include <string>

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

// --size: WIDTHxHEIGHT, each 1 to 32767.
bool parseSize(const std::string& text, int& width, int& height);
CLI::Option* addSizeOption(CLI::App& command, std::string& text, const std::string& description);
// --from, --to: a whole frame number from 1 (CLI11's own number checks
// print a range up to the largest double).
CLI::Option* checkFrameNumber(CLI::Option* option);

}  // namespace tools::demotool
