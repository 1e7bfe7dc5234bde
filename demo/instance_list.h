// The borrowing list of timeline instances, found by their tags. An instance
// whose lifetime ends leaves the list, so a later command naming its tag finds
// nothing (or an older instance) instead of a destroyed object.
#pragma once

#include "demo/object_list.h"

class SceneObject;

class InstanceList : public ObjectList {
public:
    InstanceList() : ObjectList(false) {}
    ~InstanceList() override;

    void registerInstance(const char* tag, SceneObject* object);
    // Forgets every instance; the instances themselves live on.
    void clear();
};
