// demotool: authoring commands around demo data, one CLI11 subcommand each.
#include <CLI/CLI.hpp>

#include <cstring>
#include <iostream>
#include <vector>

#include "tools/demotool/commands.h"

namespace {

struct Command {
    const char* name;
    const char* summary;
    tools::demotool::Run (*add)(CLI::App& command);
};

// New subcommands go here; `demotool --help` lists them in this order.
const Command kCommands[] = {
    {"pack", "put demo data (a description, raw or packed data) behind a player executable", tools::demotool::addPack},
    {"inspect", "print the chunk tree of demo data or a packed executable; exit 1 if malformed",
     tools::demotool::addInspect},
    {"render", "play a description, demo data or a packed demo offscreen and write its frames as PNG files or a video",
     tools::demotool::addRender},
    {"build", "compile a JSON demo description into demo data", tools::demotool::addBuild},
    {"assets", "write the sample demo's textures and music (made from code, the same every time) into DIR",
     tools::demotool::addAssets},
    {"play", "play a description or demo data in a window, rebuilding it on every edit with --watch",
     tools::demotool::addPlay},
    {"timeline", "chart a demo's timeline (instances, dynamics, entries, music, frames) as an SVG file",
     tools::demotool::addTimeline},
    {"studio", "serve a description to the browser: the web player, the timeline chart, a rebuild on every save",
     tools::demotool::addStudio},
};

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app("demotool: authoring commands around demo data", "demotool");
    app.require_subcommand(1);
    std::vector<std::pair<CLI::App*, tools::demotool::Run>> runs;
    for (const Command& command : kCommands) {
        CLI::App* sub = app.add_subcommand(command.name, command.summary);
        runs.emplace_back(sub, command.add(*sub));
    }
    if (argc == 2 && !std::strcmp(argv[1], "help")) {
        std::cout << app.help();
        return 0;
    }
    if (argc < 2) {
        std::cerr << app.help();
        return 2;
    }
    bool known = argv[1][0] == '-';
    for (const Command& command : kCommands)
        known = known || !std::strcmp(argv[1], command.name);
    if (!known) {
        std::cerr << "demotool: unknown command '" << argv[1] << "'\n\n" << app.help();
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // Usage errors keep exit code 2 whatever kind CLI11 reports.
        std::string where = "demotool";
        for (const auto& run : runs) {
            if (run.first->parsed())
                where += " " + run.first->get_name();
        }
        std::cerr << where << ": " << e.what() << "\nRun '" << where << " --help' for the usage.\n";
        return 2;
    }
    for (const auto& run : runs) {
        if (run.first->parsed())
            return run.second();
    }
    return 2;
}
