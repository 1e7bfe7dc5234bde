// Arbitrary bytes as a resource stream (the payload of chunk 2102): loaded,
// then a clone of every resource placed and played for a few frames.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "demo/object_loader.h"
#include "demo/scene_object.h"
#include "fuzz/fuzz_player.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::openWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzing::FuzzPlayer fuzz;
    Player& player = fuzz.player;
    player.resourceLoader = new ObjectLoader(data, int32_t(size));
    LoadContext context = player.loadContext(false);
    player.resourceLoader->load(player.resources, &context);

    std::vector<SceneObject*> resources;
    for (void* item = player.resources->first(); item; item = player.resources->next())
        resources.push_back(static_cast<SceneObject*>(item));
    for (SceneObject* resource : resources) {
        if (SceneObject* instance = resource->clone())
            player.active->add(instance);
    }
    fuzz.play(3);
    return 0;
}
