// demotool: authoring commands around demo data, dispatched by name.
#include <cstring>
#include <iostream>

#include "tools/demotool/commands.h"

namespace {

struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const demotool::Args& args);
};

// New subcommands go here; the usage text is built from this table.
const Command kCommands[] = {
    {"pack", "PLAYER DATA -o OUT", "put demo data (raw or packed) behind a player executable",
     demotool::runPack},
    {"inspect", "FILE", "print the chunk tree of demo data or a packed executable; exit 1 if malformed",
     demotool::runInspect},
    {"render", "DEMO --out DIR [--frames LIST] [--size WxH]",
     "play demo data or a packed demo offscreen and write frames as DIR/frame-NNNNN.png\n"
     "      (LIST such as 1,10,20-25; default: every frame; size default: the demo's)",
     demotool::runRender},
    {"build", "DESC -o DATA", "compile a JSON demo description into demo data", demotool::runBuild},
    {"assets", "DIR [--wav] [--seconds N]",
     "write the sample demo's textures and music (made from code, the same every time) into DIR",
     demotool::runAssets},
};

void usage(std::ostream& out)
{
    out << "usage: demotool COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& command : kCommands)
        out << "  " << command.name << ' ' << command.arguments << "\n      " << command.summary << '\n';
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage(std::cerr);
        return 2;
    }
    if (!std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")) {
        usage(std::cout);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0)
            return command.run(demotool::Args(argv + 2, argv + argc));
    }
    std::cerr << "demotool: unknown command '" << argv[1] << "'\n\n";
    usage(std::cerr);
    return 2;
}
