#include "demo/settings_record.h"

#include <cstring>

void clearSettings(PlayerSettings& settings)
{
    int32_t total = settings.totalFrames;
    settings = PlayerSettings();
    settings.totalFrames = total;
}

void applySettingsImage(PlayerSettings& settings, const void* data, uint32_t length)
{
    uint32_t n = length < sizeof(PlayerSettings) ? length : uint32_t(sizeof(PlayerSettings));
    std::memcpy(&settings, data, n);
    // The title must stay terminated whatever the image held.
    settings.title[sizeof settings.title - 1] = 0;
}
