// Seeds of the audio target: a small file of every layout the sound
// library's own reading takes.
#pragma once

#include <vector>

#include "fuzz/seed_demos.h"

namespace fuzzing {

std::vector<Seed> seedAudio();

}  // namespace fuzzing
