// The borrowing list of timeline instances, found by their tags. An instance
// whose lifetime ends leaves the list, so a later command naming its tag finds
// nothing (or an older instance) instead of a destroyed object.
#pragma once

#include <cstdint>

#include "demo/object_list.h"

class SceneObject;

// Told what the timeline makes and what leaves the instance list, for tools
// that chart a demo's timeline from the engine's own stepping. The player
// sets none.
class TimelineWatcher {
public:
    // An instance (1001, 1005) or a dynamic (1002 to 1004) registered under
    // `tag` and, when `placed`, inserted under `parent` (none: the top level).
    virtual void made(int16_t command, const char* tag, SceneObject* object, SceneObject* parent,
                      bool placed) = 0;
    // A fast-forward (1006, 1007); `object` is none when the tag named nothing.
    virtual void skipped(int16_t command, const char* tag, SceneObject* object, int16_t count) = 0;
    // A registered object is being destroyed: only its SceneObject fields
    // are still there to read.
    virtual void ended(const SceneObject* object) = 0;

protected:
    ~TimelineWatcher() = default;
};

class InstanceList : public ObjectList {
public:
    InstanceList();
    ~InstanceList() override;

    void registerInstance(const char* tag, SceneObject* object);
    // Takes an object that is registered but placed nowhere: it is never
    // stepped, yet later commands may still name it as parent. Nothing else
    // owns it, so it lives until the list is emptied or destroyed.
    void keepUnplaced(SceneObject* object);
    // Drops every registration of an object being destroyed and tells the
    // unplaced objects, which do not die with it, to forget it.
    void unregister(SceneObject* gone);
    // Forgets every instance; the placed instances live on, the unplaced ones,
    // which no tag can reach any more, are destroyed.
    void clear();

    TimelineWatcher* watcher = nullptr;

private:
    ObjectList unplaced_;
};
