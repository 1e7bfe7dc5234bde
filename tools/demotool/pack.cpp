#include <iostream>

#include "tools/demotool/commands.h"
#include "tools/writer/writer.h"

namespace demotool {

int runPack(const Args& args)
{
    const char* usage = "usage: demotool pack PLAYER DATA -o OUT\n";
    std::vector<std::string> inputs;
    std::string output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size() || !output.empty()) {
                std::cerr << usage;
                return 2;
            }
            output = args[++i];
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
