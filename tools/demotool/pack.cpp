#include <unistd.h>

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/demotool/demo_input.h"
#include "tools/demotool/web_page.h"
#include "tools/writer/file_kind.h"
#include "tools/writer/writer.h"

namespace tools::demotool {

using namespace tools::writer;

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

namespace {

// A description reads relative names from its own folder; the library
// named here is relative to where demotool runs.
std::string absolute(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

// A Windows player finds its library where scripts/build-windows puts it,
// beside the player; a Linux player's is built next to demotool.
std::string defaultLibraryFor(writer::ExecutableFormat player, const std::string& playerPath)
{
    if (player == writer::ExecutableFormat::Pe)
        return absolute(folderOf(playerPath) + "/demosound.dll");
    return defaultSoundLibrary();
}

const char* libraryHint(writer::ExecutableFormat player)
{
    return player == writer::ExecutableFormat::Pe
               ? "a Windows player takes demosound.dll, which scripts/build-windows builds beside demoplayer.exe"
               : "a Linux player takes libdemosound.so, built next to demotool";
}

}  // namespace

Run addPack(CLI::App& command)
{
    struct Options {
        std::string player, data, output;
        std::string soundLibrary;  // "": the player's own
        bool keepLibrary = false, asIs = false;
    };
    auto o = std::make_shared<Options>();
    command.add_option("PLAYER", o->player, "the player executable (ELF or PE), a packed demo whose player is taken,\n"
                                       "or the web player's page (build/web/demoplayer.html)")
        ->required();
    command.add_option("DATA", o->data, "a description (built first), demo data, or a packed demo whose data is taken")
        ->required();
    command.add_option("-o", o->output, "the packed demo to write")->type_name("OUT")->required();
    CLI::Option* library = command.add_option(
        "--sound-library", o->soundLibrary,
        "replace the sound library carried in DATA by LIB, so that the music plays with PLAYER\n"
        "(default: for a Windows PLAYER demosound.dll beside it, for a Linux one\n"
        "libdemosound.so next to demotool); a library PLAYER cannot load is refused")
        ->type_name("LIB");
    command.add_flag("--keep-sound-library", o->keepLibrary,
                     "keep the sound library DATA carries; one PLAYER cannot load is refused")
        ->excludes(library);
    command.add_flag("--as-is", o->asIs,
                     "pack damaged demo data, or a sound library PLAYER cannot load, as it is\n"
                     "instead of refusing it");
    return [o] { return runPack(o->player, o->data, o->output, o->soundLibrary, o->keepLibrary, o->asIs); };
}

int runPack(const std::string& playerPath, const std::string& dataPath, const std::string& output,
            const std::string& soundLibrary, bool keepLibrary, bool asIs)
{
    if (isWebPage(playerPath))
        return packWebPage(playerPath, dataPath, output, asIs);
    writer::Bytes playerFile, player;
    if (!writer::readFile(playerPath, playerFile)) {
        std::cerr << "demotool pack: cannot read " << playerPath << "\n";
        return 1;
    }
    // A shell refuses to run what is not an executable, and the player
    // reads its data at a fixed offset: anything else would fail only later.
    std::string problem = writer::playerProblem(playerFile, &player);
    if (!problem.empty()) {
        std::cerr << "demotool pack: " << playerPath << ": " << problem << "\n";
        return 1;
    }
    const writer::BinaryKind playerKind = writer::binaryKind(player);
    const bool ownLibrary = soundLibrary.empty();
    const std::string libraryPath =
        ownLibrary ? defaultLibraryFor(playerKind.format, playerPath) : absolute(soundLibrary);
    const std::string& libraryName = ownLibrary ? libraryPath : soundLibrary;  // as the user gave it
    DemoInput input;
    // A description's default library is the one this player loads.
    std::string error = readDemoInput("pack", dataPath, input, false, libraryPath);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return 1;
    }
    writer::Bytes data = std::move(input.data);
    if (!input.description && reportDamage("pack", dataPath, damageOf(data))) {
        if (!asIs) {
            std::cerr << "demotool pack: refused; --as-is packs it all the same\n";
            return 1;
        }
        std::cerr << "demotool pack: packing it as it is (--as-is)\n";
    }

    // The player loads the first library the data carries; one it cannot
    // load means a silent demo, which nothing at run time explains.
    writer::Bytes library, carried;
    const bool carries = writer::carriedSoundLibrary(data, &carried);
    bool keeps = keepLibrary;
    if (carries && !keepLibrary) {
        if (!writer::readFile(libraryPath, library)) {
            std::cerr << "demotool pack: warning: cannot read the sound library " << libraryName
                      << (ownLibrary && playerKind.format == writer::ExecutableFormat::Pe
                              ? ", which a Windows player takes from beside it"
                              : "")
                      << "; the demo keeps the one it carries\n";
            keeps = true;
        } else {
            const std::string mismatch = writer::libraryMismatch(playerKind, writer::binaryKind(library));
            if (!mismatch.empty()) {
                std::cerr << "demotool pack: the sound library " << libraryName << " is " << mismatch
                          << ", so the music would not play; " << libraryHint(playerKind.format) << "\n";
                if (!asIs) {
                    std::cerr << "demotool pack: refused; --as-is packs it all the same\n";
                    return 1;
                }
                std::cerr << "demotool pack: packing it all the same (--as-is)\n";
            }
            int replaced = 0;
            data = writer::replaceSoundLibrary(data, library, &replaced);
        }
    }
    if (carries && keeps) {
        const std::string mismatch = writer::libraryMismatch(playerKind, writer::binaryKind(carried));
        if (!mismatch.empty()) {
            std::cerr << "demotool pack: the sound library the demo carries is " << mismatch
                      << ", so the music would not play; " << libraryHint(playerKind.format) << "\n";
            if (!asIs) {
                std::cerr << "demotool pack: refused; --as-is packs it all the same\n";
                return 1;
            }
            std::cerr << "demotool pack: packing it all the same (--as-is)\n";
        }
    }

    writer::Bytes packed = writer::pack(player, data, &error);
    if (packed.empty()) {
        std::cerr << "demotool pack: " << playerPath << ": " << error << "\n";
        return 1;
    }
    if (!writer::writeFile(output, packed, true)) {
        std::cerr << "demotool pack: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tools::demotool
