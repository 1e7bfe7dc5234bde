#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/assets/sample_assets.h"
#include "tools/demotool/commands.h"

namespace tools::demotool {

using namespace tools::assets;

int runAssets(const std::string& directory, const assets::AssetOptions& options);

Run addAssets(CLI::App& command)
{
    struct Options {
        std::string directory;
        assets::AssetOptions assets;
    };
    auto o = std::make_shared<Options>();
    command.add_option("DIR", o->directory, "where the files go")->required();
    command.add_flag("--wav", o->assets.wav, "write the music as WAV instead of MP3");
    command.add_option("--seconds", o->assets.musicSeconds, "length of the music")
        ->check(CLI::Range(0.001, 600.0));
    return [o] { return runAssets(o->directory, o->assets); };
}

int runAssets(const std::string& directory, const assets::AssetOptions& options)
{
    std::string error;
    if (!assets::writeSampleAssets(directory, options, &error)) {
        std::cerr << "demotool assets: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tools::demotool
