// The player's whole run: credits box, or load and play the demo data.
#pragma once

#include <cstdint>

// commandLine: the arguments after the program name. dataPath: the file that
// holds the demo data (the player's own executable), read from `offset`.
int playerMain(const char* commandLine, const char* dataPath, uint32_t offset);
