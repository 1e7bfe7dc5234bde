// The demotool subcommands. Each gets the arguments after its own name and
// returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace demotool {

using Args = std::vector<std::string>;

int runPack(const Args& args);
// The sound library that pack and build put into demo data by default.
std::string defaultSoundLibrary();
int runInspect(const Args& args);
int runRender(const Args& args);
int runBuild(const Args& args);
int runAssets(const Args& args);

}  // namespace demotool
