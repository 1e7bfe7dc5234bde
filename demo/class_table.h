// The dispatch table's shape: how the loader and the timeline find the class
// that a chunk id or a timeline command creates. The table itself belongs to
// the player, the one layer that knows every class; its rows come from
// demo/class_registry.h.
#pragma once

#include <cstddef>
#include <cstdint>

class ChunkStream;
class ObjectList;
class SceneObject;
class SoundLibrary;

enum class LoadPath {
    Generic,          // envelope: tag and body
    WithExtra,        // envelope with an extra block, loaded after the body
    TextureCopy,      // envelope with a source tag and an extra block
    Music,            // extra block first, then the body; needs the sound library
    Timeline,         // timeline entry (25)
    Sound,            // the sound library image (463)
    SettingsImage,    // bytes copied onto the settings record (2101)
    TimelineCommand   // made by a timeline command (1002 to 1005), not loaded
};

// What a constructor may need: the target list (for classes that look up
// other resources), the loader's sound library, for texture copies the
// source and the extra block, and for dynamics the object they animate.
struct FactoryArgs {
    ObjectList* target = nullptr;
    SoundLibrary* sound = nullptr;
    SceneObject* source = nullptr;
    const uint8_t* extra = nullptr;
    int32_t extraSize = 0;
};
using Factory = SceneObject* (*)(const FactoryArgs& args);

struct ResourceClass {
    int16_t id;
    LoadPath path;
    int16_t extraId;
    Factory create;
};

// The class of a chunk id or timeline command, or none.
const ResourceClass* findClass(int16_t id);

// For the tools: a fresh object of the class of a registry row (DEMO_CLASSES
// by chunk id, or DEMO_PART_CLASSES by its id), made with nothing to look up
// or animate, so that what it registers (its parameters, say) can be read.
// None for rows that make no object. The player links none of it.
SceneObject* makeSample(int16_t id);

// The sound library is no scene object: made and destroyed through these.
SoundLibrary* createSoundLibrary(ChunkStream& stream, uint32_t length);
void destroySoundLibrary(SoundLibrary* library);
