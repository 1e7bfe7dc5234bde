// The factory: walks a chunk stream and creates an object per chunk id.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "demo/instance_list.h"
#include "demo/object_list.h"

struct PlayerSettings;
class SoundLibrary;

struct LoadContext {
    ObjectList* active = nullptr;
    ObjectList* resources = nullptr;
    InstanceList* instances = nullptr;  // none in the resource pass
    PlayerSettings* settings = nullptr;
};

class ObjectLoader {
public:
    ObjectLoader(const void* data, int32_t size);  // takes its own copy
    virtual ~ObjectLoader();

    // Loads every chunk into target. Without a context, timeline entries and
    // the settings image are skipped.
    void load(ObjectList* target, const LoadContext* context);

    SoundLibrary* soundLibrary() const { return soundLibrary_; }

    ObjectLoader(const ObjectLoader&) = delete;
    ObjectLoader& operator=(const ObjectLoader&) = delete;

private:
    uint8_t* data_ = nullptr;
    int32_t size_ = 0;
    SoundLibrary* soundLibrary_ = nullptr;
};
