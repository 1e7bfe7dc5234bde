// Sound resources as the player reads them: the sound library image (463)
// and music tracks (461 with their 462 settings block).
#pragma once

#include <cstdint>
#include <string>

#include "tools/writer/writer.h"

namespace tools::writer {

// Settings block of a music track: 4 file name, 17 frames per second,
// 8 volume, in the order the authoring tool writes them, with the trailing byte.
struct MusicSettings {
    std::string name = "pista.mp3";  // the file written to the temporary directory
    int16_t framesPerSecond = 20;
    int16_t volume = 255;
};
Bytes musicSettings(const MusicSettings& settings);

// Resource 461: tag, settings block (462), the audio file's bytes (8).
Bytes musicResource(const std::string& tag, const MusicSettings& settings, const Bytes& audio);

// Resource 463: the library file's bytes, bare (no envelope).
Bytes soundLibraryResource(const Bytes& library);

}  // namespace tools::writer
