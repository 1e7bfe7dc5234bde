// Writes the seed corpora of the fuzz targets: fuzz_seeds DIR makes
// DIR/container, DIR/resource, DIR/timeline, DIR/bmp, DIR/audio and
// DIR/library (the start of the sound library built here).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "demo/format.h"
#include "fuzz/seed_audio.h"
#include "fuzz/seed_demos.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    std::string error;
    std::vector<fuzzing::Seed> demos = fuzzing::seedDemos(&error);
    if (demos.empty()) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
        return 1;
    }
    const std::string dir = argv[1];
    for (const char* target : {"container", "resource", "timeline", "bmp", "audio", "library"})
        std::filesystem::create_directories(dir + "/" + target);
    bool ok = true;
    for (const fuzzing::Seed& demo : demos) {
        ok &= tools::writer::writeFile(dir + "/container/" + demo.name + ".dat", demo.data);
        ok &= tools::writer::writeFile(dir + "/resource/" + demo.name + ".dat",
                                       fuzzing::topLevelPayload(demo.data, format::kResources));
        tools::writer::Bytes timeline = fuzzing::topLevelPayload(demo.data, format::kTimeline);
        if (!timeline.empty())
            ok &= tools::writer::writeFile(dir + "/timeline/" + demo.name + ".dat", timeline);
    }
    for (const fuzzing::Seed& bitmap : fuzzing::seedBitmaps())
        ok &= tools::writer::writeFile(dir + "/bmp/" + bitmap.name, bitmap.data);
    for (const fuzzing::Seed& file : fuzzing::seedAudio())
        ok &= tools::writer::writeFile(dir + "/audio/" + file.name, file.data);
    // Inputs are at most 4 kB: a library's headers and tables, not its code.
    std::ifstream library(DEMOSOUND_LIBRARY, std::ios::binary);
    tools::writer::Bytes head(std::istreambuf_iterator<char>(library), {});
    head.resize(std::min<size_t>(head.size(), 4096));
    ok &= !head.empty() && tools::writer::writeFile(dir + "/library/libdemosound.so", head);
    for (const std::string& name : fuzzing::classesWithoutSeed())
        std::fprintf(stderr, "fuzz_seeds: no seed line for class '%s' (fuzz/seed_demos.cpp)\n", name.c_str());
    return ok ? 0 : 1;
}
