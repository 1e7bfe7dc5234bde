// Arbitrary bytes as whole demo data: loaded and played for a few frames.
// Build and run with scripts/fuzz.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_player.h"
#include "player/demo_data.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::openWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzing::FuzzPlayer fuzz;
    if (readContainer(fuzz.player, fuzzing::inputFile(data, size), 0))
        fuzz.play(4);
    return 0;
}
