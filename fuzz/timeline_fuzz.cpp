// Arbitrary bytes as a timeline stream (the payload of chunk 2104) over a
// fixed set of resources (those of the seed demos): loaded and played.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "demo/format.h"
#include "demo/object_loader.h"
#include "fuzz/fuzz_player.h"
#include "fuzz/seed_demos.h"

namespace {

// Every input gets fresh resources, so that none sees what an earlier one
// did to them (a skipped resource, a deformed shared grid); loading all of
// them was nine tenths of an input's time. A timeline finds resources only
// by a tag its own bytes hold, so an input gets only the seed lines (each
// whole, with the resources that refer to each other) whose tags it holds.
struct SeedLine {
    std::vector<tools::writer::Bytes> chunks;  // its resource chunks
    std::vector<std::string> tags;         // what finds them, tiles and meshes included
};

std::vector<SeedLine> loadSeedLines()
{
    std::string error;
    std::vector<SeedLine> lines;
    for (const fuzzing::Seed& seed : fuzzing::seedDemos(&error)) {
        SeedLine line;
        const tools::writer::Bytes stream = fuzzing::topLevelPayload(seed.data, format::kResources);
        line.chunks = fuzzing::chunksOf(stream);
        // The tags as the loader enters them, read off a load of the line alone.
        fuzzing::FuzzPlayer fuzz;
        Player& player = fuzz.player;
        player.resourceLoader = new ObjectLoader(stream.data(), int32_t(stream.size()));
        LoadContext context = player.loadContext(false);
        player.resourceLoader->load(player.resources, &context);
        for (void* item = player.resources->first(); item; item = player.resources->next()) {
            const char* tag = player.resources->currentTag();
            if (tag && tag[0])
                line.tags.emplace_back(tag);
        }
        lines.push_back(line);
    }
    return lines;
}

bool holds(const uint8_t* data, size_t size, const std::string& tag)
{
    return size >= tag.size() && memmem(data, size, tag.data(), tag.size()) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::openWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<SeedLine> lines = loadSeedLines();
    tools::writer::StreamWriter stream;
    for (const SeedLine& line : lines) {
        for (const std::string& tag : line.tags) {
            if (holds(data, size, tag)) {
                for (const tools::writer::Bytes& chunk : line.chunks)
                    stream.add(chunk);
                break;
            }
        }
    }
    const tools::writer::Bytes resources = stream.bytes();
    fuzzing::FuzzPlayer fuzz;
    Player& player = fuzz.player;
    player.resourceLoader = new ObjectLoader(resources.data(), int32_t(resources.size()));
    LoadContext resourceContext = player.loadContext(false);
    player.resourceLoader->load(player.resources, &resourceContext);

    ObjectLoader timeline(data, int32_t(size));
    LoadContext context = player.loadContext(true);
    timeline.load(player.timeline, &context);
    fuzz.play(6);
    return 0;
}
