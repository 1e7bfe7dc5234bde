// `demotool studio`: a description played in the browser with its timeline,
// rebuilt on every save (tools/studio serves it).
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <memory>

#include "tools/demotool/commands.h"
#include "tools/studio/studio.h"

namespace tools::demotool {

namespace {

// scripts/build-web builds the web player into build/web, beside the
// build/release that holds demotool.
std::string defaultWebFolder()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "build/web";
    const std::string path(self, size_t(n));
    return path.substr(0, path.rfind('/') + 1) + "../web";
}

}  // namespace

Run addStudio(CLI::App& command)
{
    auto a = std::make_shared<studio::StudioOptions>();
    command.add_option("DESC", a->description, "the JSON description; files it names are found next to it")->required();
    command.add_option("--port", a->port, "the port to answer on (default: one the system picks)")
        ->check(CLI::Range(1, 65535));
    command.add_option("--host", a->host,
                       "the address to answer on (default 127.0.0.1, this machine only); the page must be\n"
                       "opened by that address, 127.0.0.1 or localhost");
    command.add_option("--web", a->webFolder,
                       "the folder of the web player (demoplayer.html, .js, .wasm; default: build/web\n"
                       "beside demotool's build folder, where scripts/build-web puts it)");
    command.footer("Prints the page's address; open it in a browser. Ctrl+C ends.\n"
                   "In the page: click the chart to go to a frame, drag along it to loop a stretch;\n"
                   "Space pauses and resumes, Left and Right step a frame (with Shift, a second), Home\n"
                   "goes to the start. Every save of the description or of a file it names rebuilds.");
    return [a] {
        if (a->webFolder.empty())
            a->webFolder = defaultWebFolder();
        a->soundLibrary = defaultSoundLibrary();
        return studio::runStudio(*a);
    };
}

}  // namespace tools::demotool
