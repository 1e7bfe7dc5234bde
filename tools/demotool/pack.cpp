#include <unistd.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/writer/writer.h"

namespace demotool {

int runPack(const std::string& playerPath, const std::string& dataPath, const std::string& output,
            const std::string& soundLibrary, bool keepLibrary);

std::string defaultSoundLibrary()
{
    // Built next to demotool.
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "libdemosound.so";
    std::string path(self, size_t(n));
    return path.substr(0, path.rfind('/') + 1) + "libdemosound.so";
}

Run addPack(CLI::App& command)
{
    struct Options {
        std::string player, data, output;
        std::string soundLibrary = defaultSoundLibrary();
        bool keepLibrary = false;
    };
    auto o = std::make_shared<Options>();
    command.add_option("PLAYER", o->player, "the player executable")->required();
    command.add_option("DATA", o->data, "demo data, or a packed demo whose data is taken")->required();
    command.add_option("-o", o->output, "the packed demo to write")->type_name("OUT")->required();
    CLI::Option* library = command.add_option(
        "--sound-library", o->soundLibrary,
        "replace the sound library carried in DATA by LIB (default: libdemosound.so next to demotool),\n"
        "so that the music plays on this system")
        ->type_name("LIB");
    command.add_flag("--keep-sound-library", o->keepLibrary, "keep the sound library DATA carries")
        ->excludes(library);
    return [o] { return runPack(o->player, o->data, o->output, o->soundLibrary, o->keepLibrary); };
}

int runPack(const std::string& playerPath, const std::string& dataPath, const std::string& output,
            const std::string& soundLibrary, bool keepLibrary)
{
    const std::string inputs[2] = {playerPath, dataPath};
    authoring::Bytes player, dataFile;
    for (auto [path, bytes] : {std::pair{&inputs[0], &player}, std::pair{&inputs[1], &dataFile}}) {
        if (!authoring::readFile(*path, *bytes)) {
            std::cerr << "demotool pack: cannot read " << *path << "\n";
            return 1;
        }
    }
    // An already packed demo gives its data, so a new player can be slipped under it.
    authoring::Bytes data = authoring::demoDataOf(dataFile);
    if (data.empty()) {
        std::cerr << "demotool pack: no demo data in " << inputs[1] << "\n";
        return 1;
    }

    authoring::Bytes library;
    int replaced = 0;
    if (keepLibrary) {
    } else if (authoring::readFile(soundLibrary, library)) {
        data = authoring::replaceSoundLibrary(data, library, &replaced);
    } else if (authoring::replaceSoundLibrary(data, {}, &replaced); replaced > 0) {
        std::cerr << "demotool pack: warning: cannot read the sound library " << soundLibrary
                  << "; the demo keeps the one it carries\n";
    }

    std::string error;
    authoring::Bytes packed = authoring::pack(player, data, &error);
    if (packed.empty()) {
        std::cerr << "demotool pack: " << inputs[0] << ": " << error << "\n";
        return 1;
    }
    if (!authoring::writeFile(output, packed, true)) {
        std::cerr << "demotool pack: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace demotool
