#include "sound/sound_library.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"
#include "sound/fresh_file.h"

SoundApi* createSoundApi(const char* path)
{
    SoundApi* api = new (std::nothrow) SoundApi;
    if (!api)
        return nullptr;
    api->slots[0] = platform::loadLibrary(path);
    if (!api->slots[0]) {
        delete api;
        return nullptr;
    }
    for (int slot = 1; slot < kSoundApiSlots; ++slot) {
        api->slots[slot] = platform::getProcAddress(api->slots[0], kSoundApiNames[slot - 1]);
        if (!api->slots[slot]) {
            platform::freeLibrary(api->slots[0]);
            delete api;
            return nullptr;
        }
    }
    return api;
}

void freeSoundApi(SoundApi* api)
{
    if (!api)
        return;
    if (api->module())
        platform::freeLibrary(api->module());
    delete api;
}

SoundLibrary::SoundLibrary(ChunkStream& stream, uint32_t length)
{
    // A directory of this player's own: names chosen by the data touch no
    // file of the user's, and two players never share the library's file.
    std::string dir = platform::createPrivateDirectory();
    if (dir.size() < sizeof directory)
        std::memcpy(directory, dir.c_str(), dir.size() + 1);
    else
        platform::removePrivateDirectory(dir.c_str());
    // The library keeps its usual name; on this system it is a shared object.
    int written = std::snprintf(dllPath, sizeof dllPath, "%s%s", directory, "fmod.dll");
    bool pathFits = directory[0] && written > 0 && size_t(written) < sizeof dllPath;
    if (!pathFits)
        dllPath[0] = 0;  // a cut path would name some other file: write nothing
    bool whole = int64_t(length) <= stream.remaining();
    if (pathFits && whole) {
        if (FILE* file = createFreshFile(dllPath)) {
            fileWritten_ = std::fwrite(stream.data() + stream.position(), 1, length, file) == length;
            fileWritten_ = std::fclose(file) == 0 && fileWritten_;
            if (!fileWritten_)
                platform::deleteFile(dllPath);  // no half-written library left behind
        }
    }
    stream.skip(length);
    // Only a library written whole by this player is loaded; without one the
    // demo runs silently.
    api = fileWritten_ ? createSoundApi(dllPath) : nullptr;
    if (api) {
        api->fn<FnSetOutput>(kSetOutput)(1);
        api->fn<FnSetDriver>(kSetDriver)(0);
        api->fn<FnInit>(kInit)(44100, 32, 0);
    }
}

SoundLibrary::~SoundLibrary()
{
    if (api)
        api->fn<FnClose>(kClose)();
    freeSoundApi(api);
    if (fileWritten_)
        platform::deleteFile(dllPath);
    if (directory[0])
        platform::removePrivateDirectory(directory);
}
