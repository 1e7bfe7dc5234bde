// The readers of the window-settings, playback and
// render-state streams.
#pragma once

#include <cstdint>

#include "demo/settings_record.h"

// Payload of top-level chunk 2100: title (4), size (2003), fullscreen (2004).
void readWindowSettings(PlayerSettings& settings, const void* data, int32_t length);
// Payload of top-level chunk 2101: frame rate (2000), catch-up (2001), loop (2002).
void readPlaybackSettings(PlayerSettings& settings, const void* data, int32_t length);
// Payload of top-level chunk 2103: OpenGL state calls. Needs a current context.
int runRenderStateScript(const void* data, int32_t length);
