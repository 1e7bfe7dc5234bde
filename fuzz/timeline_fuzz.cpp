// Arbitrary bytes as a timeline stream (the payload of chunk 2104) over a
// fixed set of resources (those of the seed demos): loaded and played.
#include <cstddef>
#include <cstdint>

#include "demo/object_loader.h"
#include "fuzz/fuzz_player.h"
#include "fuzz/seed_demos.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::openWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tools::writer::Bytes resources = fuzzing::allSeedResources();
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
