// The borrowing list of timeline instances, found by their tags. An instance
// whose lifetime ends leaves the list, so a later command naming its tag finds
// nothing (or an older instance) instead of a destroyed object.
#pragma once

#include "demo/object_list.h"

class SceneObject;

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

private:
    ObjectList unplaced_;
};
