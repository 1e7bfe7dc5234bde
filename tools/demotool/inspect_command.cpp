#include <iostream>

#include "tools/demotool/commands.h"
#include "tools/demotool/inspect.h"

namespace demotool {

int runInspect(const Args& args)
{
    if (args.size() != 1) {
        std::cerr << "usage: demotool inspect FILE\n";
        return 2;
    }
    authoring::Bytes file;
    if (!authoring::readFile(args[0], file)) {
        std::cerr << "demotool inspect: cannot read " << args[0] << "\n";
        return 2;
    }
    return inspect(file, std::cout) ? 0 : 1;
}

}  // namespace demotool
