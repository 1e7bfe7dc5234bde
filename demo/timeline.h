// Timeline entries: a start frame and the commands that place instances of
// resources into the scene when the frame comes.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "demo/instance_list.h"
#include "demo/object_list.h"

class SceneObject;

class TimelineEntry {
public:
    TimelineEntry(ObjectList* resources, ObjectList* active, InstanceList* instances);
    virtual ~TimelineEntry();

    // First 2 bytes: start frame; the rest: the command stream.
    void load(const void* data, int32_t length);
    // Runs the commands; every call creates a fresh set of instances.
    void apply();

    static void destroy(void* entry);

    int16_t startFrame = 0;
    ObjectList* resources;
    ObjectList* active;
    InstanceList* instances;
    uint8_t* commands = nullptr;
    int32_t size = 0;

    TimelineEntry(const TimelineEntry&) = delete;
    TimelineEntry& operator=(const TimelineEntry&) = delete;
};

// Reads a 4-byte tag (into `read` when given); an empty tag (first byte zero)
// finds nothing.
SceneObject* readTagAndFind(ChunkStream& stream, ObjectList* list, ObjectTag* read = nullptr);
