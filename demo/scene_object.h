// Base class of every object the demo data creates: children it owns, named
// float parameters that animation drives, and a lifetime counted in frames.
#pragma once

#include <cstdint>

#include "demo/object_list.h"

class InstanceList;

class SceneObject {
public:
    SceneObject();
    virtual ~SceneObject();

    // The ten operations, in this order.
    virtual void load(const void* data, int32_t size);
    virtual void loadFile(const char* path);
    virtual int step(bool stepOnly);
    virtual void loadExtra(const void* data, int32_t size);
    virtual void loadExtraFile(const char* path);
    virtual int typeId() const;
    virtual void copyInto(SceneObject* destination);
    virtual SceneObject* clone();
    virtual void skipFrames(int count);

    // The deleter of lists that own scene objects.
    static void destroy(void* object);

    // Whether copyInto writes nothing but the base fields and a transform's,
    // so that the timeline may make a plain transform copy of this object.
    // Classes whose copyInto fills fields of their own say no.
    virtual bool copyFitsTransform() const { return true; }

    // Told, while this object is registered but placed nowhere, that a
    // registered object is being destroyed: what refers to it lets go.
    virtual void forgetObject(const SceneObject* gone) { (void)gone; }

    // Placement hooks of the timeline: a deformer is given the object it
    // bends, an impact spawner the object it is attached to, which
    // attachedObject then reports (none for every other class).
    virtual void attachTo(SceneObject*) {}
    virtual SceneObject* attachedObject() const { return nullptr; }

    // How many floats, from p on, lie inside one run of adjacent float fields
    // of this object (0 when p is in none): what a write of several floats
    // from a parameter's address may touch. Runs come from describeFloats.
    int floatsFrom(const float* p) const;

    ObjectList* children;
    ObjectList* parameters;
    uint8_t transformApplied = 0;
    int16_t length = 0;
    int16_t start = 0;
    int16_t frame = 0;
    int16_t stepCount = 0;
    uint8_t isCopy = 0;
    char path[255] = {};
    char dataPath[255] = {};
    // The instance list this object is registered in, if any; it leaves that
    // list when destroyed.
    InstanceList* instanceList = nullptr;

    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

protected:
    // The end of a step after the children: counts the frame of an object
    // with a lifetime and says 0 once that lifetime is over.
    int advanceLifetime();
    // Declares `count` float fields from `first`; called by constructors for
    // every field they register as a parameter. A field that starts where an
    // earlier one ends extends its run, so the runs follow the real layout.
    void describeFloats(float* first, int count);

private:
    struct FloatRun {
        const float* first;
        int count;
    };
    static constexpr int kMaxFloatRuns = 4;
    FloatRun floatRuns_[kMaxFloatRuns] = {};
    int floatRunCount_ = 0;
};

// Reads a whole file into memory; false when it cannot be opened or read.
bool readWholeFile(const char* path, uint8_t*& data, int32_t& size);
