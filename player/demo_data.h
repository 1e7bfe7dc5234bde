// Loads a player from demo data: settings, window and render state,
// resources, timeline.
#pragma once

#include <cstdint>

#include "demo/container.h"
#include "demo/format.h"

struct Player;
struct PlayerSettings;

// Reads the demo data of the file at `path` from `offset` into `player`.
// Returns false only when the window could not be created. A window already
// open in `player` is kept: 2103 chunks then only run their scripts in it.
bool readContainer(Player& player, const char* path, uint32_t offset = format::kDataOffset);

// For tools: called once the window settings are known, right before the
// window is created (to force a size or windowed mode, say).
using WindowSettingsHook = void (*)(void* user, PlayerSettings& settings);
bool readContainer(Player& player, const char* path, uint32_t offset, WindowSettingsHook hook, void* user);
