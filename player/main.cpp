// demoplayer: plays the demo data appended to its own executable.
#include <string>

#include "demo/format.h"
#include "player/demo_data.h"
#include "platform/platform.h"
#include "player/entry.h"

int main(int argc, char** argv)
{
    // Only the first character of the command line matters.
    std::string commandLine = platform::commandLine(argc, argv);
    std::string self = platform::executablePath();
    return playerMain(commandLine.c_str(), self.c_str(), format::kDataOffset);
}
