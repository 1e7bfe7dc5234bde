#include <unistd.h>

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/demotool/demo_input.h"
#include "tools/writer/file_kind.h"
#include "tools/writer/writer.h"

namespace demotool {

int runPack(const std::string& playerPath, const std::string& dataPath, const std::string& output,
            const std::string& soundLibrary, bool keepLibrary, bool asIs);

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
        bool keepLibrary = false, asIs = false;
    };
    auto o = std::make_shared<Options>();
    command.add_option("PLAYER", o->player, "the player executable (ELF or PE), or a packed demo whose player is taken")
        ->required();
    command.add_option("DATA", o->data, "a description (built first), demo data, or a packed demo whose data is taken")
        ->required();
    command.add_option("-o", o->output, "the packed demo to write")->type_name("OUT")->required();
    CLI::Option* library = command.add_option(
        "--sound-library", o->soundLibrary,
        "replace the sound library carried in DATA by LIB (default: libdemosound.so next to demotool),\n"
        "so that the music plays on this system")
        ->type_name("LIB");
    command.add_flag("--keep-sound-library", o->keepLibrary, "keep the sound library DATA carries")
        ->excludes(library);
    command.add_flag("--as-is", o->asIs, "pack damaged demo data as it is instead of refusing it");
    return [o] { return runPack(o->player, o->data, o->output, o->soundLibrary, o->keepLibrary, o->asIs); };
}

int runPack(const std::string& playerPath, const std::string& dataPath, const std::string& output,
            const std::string& soundLibrary, bool keepLibrary, bool asIs)
{
    authoring::Bytes playerFile, player;
    if (!authoring::readFile(playerPath, playerFile)) {
        std::cerr << "demotool pack: cannot read " << playerPath << "\n";
        return 1;
    }
    // A shell refuses to run what is not an executable, and the player
    // reads its data at a fixed offset: anything else would fail only later.
    std::string problem = authoring::playerProblem(playerFile, &player);
    if (!problem.empty()) {
        std::cerr << "demotool pack: " << playerPath << ": " << problem << "\n";
        return 1;
    }
    DemoInput input;
    std::string error = readDemoInput("pack", dataPath, input);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return 1;
    }
    authoring::Bytes data = std::move(input.data);
    if (!input.description && reportDamage("pack", dataPath, damageOf(data))) {
        if (!asIs) {
            std::cerr << "demotool pack: refused; --as-is packs it all the same\n";
            return 1;
        }
        std::cerr << "demotool pack: packing it as it is (--as-is)\n";
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

    authoring::Bytes packed = authoring::pack(player, data, &error);
    if (packed.empty()) {
        std::cerr << "demotool pack: " << playerPath << ": " << error << "\n";
        return 1;
    }
    if (!authoring::writeFile(output, packed, true)) {
        std::cerr << "demotool pack: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace demotool
