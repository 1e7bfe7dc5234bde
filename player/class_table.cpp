// The player's class table: the loader's columns of the class registry.
#include "demo/class_table.h"

#include "demo/class_registry.h"
#include "player/class_factories.h"
#include "sound/sound_library.h"

namespace {

using namespace factories;

#define PLAYER_ROW(id, path, extraId, factory, ...) {id, LoadPath::path, extraId, factory},
const ResourceClass kClasses[] = {DEMO_CLASSES(PLAYER_ROW)};
#undef PLAYER_ROW

}  // namespace

const ResourceClass* findClass(int16_t id)
{
    for (const ResourceClass& c : kClasses)
        if (c.id == id)
            return &c;
    return nullptr;
}

SoundLibrary* createSoundLibrary(ChunkStream& stream, uint32_t length)
{
    return new SoundLibrary(stream, length);
}

void destroySoundLibrary(SoundLibrary* library)
{
    delete library;
}
