#include <unistd.h>

#include <iostream>

#include "tools/demotool/commands.h"
#include "tools/writer/writer.h"

namespace demotool {

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

int runPack(const Args& args)
{
    const char* usage =
        "usage: demotool pack PLAYER DATA -o OUT [--sound-library LIB | --keep-sound-library]\n"
        "  The sound library carried in DATA is replaced by LIB (default: libdemosound.so\n"
        "  next to demotool) so that the music plays on this system.\n";
    std::vector<std::string> inputs;
    std::string output;
    std::string soundLibrary = defaultSoundLibrary();
    bool keepLibrary = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--sound-library") {
            std::string& target = args[i] == "-o" ? output : soundLibrary;
            if (i + 1 >= args.size() || (args[i] == "-o" && !output.empty())) {
                std::cerr << usage;
                return 2;
            }
            target = args[++i];
        } else if (args[i] == "--keep-sound-library") {
            keepLibrary = true;
        } else {
            inputs.push_back(args[i]);
        }
    }
    if (inputs.size() != 2 || output.empty()) {
        std::cerr << usage;
        return 2;
    }

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
