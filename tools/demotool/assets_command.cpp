#include <cstdlib>
#include <iostream>

#include "tools/assets/sample_assets.h"
#include "tools/demotool/commands.h"

namespace demotool {

int runAssets(const Args& args)
{
    const char* usage =
        "usage: demotool assets DIR [--wav] [--seconds N]\n"
        "  writes the sample demo's textures (BMP) and music (MP3, or WAV with --wav) into DIR\n";
    std::string directory;
    assets::AssetOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--wav") {
            options.wav = true;
        } else if (args[i] == "--seconds") {
            char* end = nullptr;
            if (i + 1 >= args.size() || (options.musicSeconds = std::strtod(args[i + 1].c_str(), &end)) <= 0 ||
                options.musicSeconds > 600 || *end) {
                std::cerr << usage;
                return 2;
            }
            ++i;
        } else if (directory.empty() && !args[i].empty() && args[i][0] != '-') {
            directory = args[i];
        } else {
            std::cerr << usage;
            return 2;
        }
    }
    if (directory.empty()) {
        std::cerr << usage;
        return 2;
    }
    std::string error;
    if (!assets::writeSampleAssets(directory, options, &error)) {
        std::cerr << "demotool assets: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace demotool
