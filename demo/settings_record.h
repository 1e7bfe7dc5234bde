// The player's settings record: filled by the settings readers, and by a
// settings image in the timeline stream.
#pragma once

#include <cstdint>

// Fixed memory image: a 2101 chunk of the timeline stream is copied byte for
// byte onto its start.
#pragma pack(push, 1)
struct PlayerSettings {
    int32_t totalFrames = 0;
    int32_t frameRate = 0;
    uint8_t loop = 0;
    uint8_t catchUp = 0;
    uint8_t spare0[2] = {};
    char title[256] = {};
    int16_t width = 0;
    int16_t height = 0;
    uint8_t fullscreen = 0;
    uint8_t spare1 = 0;
};
#pragma pack(pop)
static_assert(sizeof(PlayerSettings) == 274, "the settings image is 274 bytes");

// Clears everything but total frames, as the player does at start.
void clearSettings(PlayerSettings& settings);
// Copies a settings image onto the start of the record; at most the record's
// 274 bytes are written.
void applySettingsImage(PlayerSettings& settings, const void* data, uint32_t length);
