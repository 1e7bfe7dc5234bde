// Reads the demo data: top-level chunks from a byte offset of a file to its end.
#pragma once

#include <cstdint>

struct Player;

// Where the demo data starts in the player's executable.
constexpr uint32_t kDemoDataOffset = 151552;

// Walks the top-level chunks of the file at `path` from `offset`: settings,
// window and render state, resources, timeline. Returns false only when the
// window could not be created. A file that cannot be opened reads as empty.
bool readContainer(Player& player, const char* path, uint32_t offset = kDemoDataOffset);

// For tools: called once the window settings are known, right before the
// window is created (to force a size or windowed mode, say).
using WindowSettingsHook = void (*)(void* user, struct PlayerSettings& settings);
bool readContainer(Player& player, const char* path, uint32_t offset, WindowSettingsHook hook, void* user);
