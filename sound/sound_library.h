// The sound library carried in the demo data: written to the temporary
// directory, loaded at run time and bound by name.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "sound/sound_api.h"

class SoundLibrary {
public:
    // Consumes `length` bytes of the stream: the library's file image.
    SoundLibrary(ChunkStream& stream, uint32_t length);
    virtual ~SoundLibrary();

    SoundApi* api = nullptr;  // none when the library could not be bound
    char dllPath[256] = {};
    // This player's own directory inside the temporary directory, ending
    // with '/', where the library and the music files are written; removed
    // with the library. Empty when it could not be made: nothing is written.
    char directory[256] = {};

    SoundLibrary(const SoundLibrary&) = delete;
    SoundLibrary& operator=(const SoundLibrary&) = delete;

private:
    bool fileWritten_ = false;  // only a file this object wrote is deleted
};

// Loads the library at path and binds every slot; none when it cannot be
// loaded or lacks any one name (nothing then stays loaded).
SoundApi* createSoundApi(const char* path);
void freeSoundApi(SoundApi* api);
