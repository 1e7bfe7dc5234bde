#include "demo/instance_list.h"

#include "demo/scene_object.h"

InstanceList::InstanceList() : ObjectList(false), unplaced_(true)
{
    unplaced_.deleter = &SceneObject::destroy;
}

InstanceList::~InstanceList()
{
    clear();
}

void InstanceList::registerInstance(const char* tag, SceneObject* object)
{
    append(tag, object);
    object->instanceList = this;
}

void InstanceList::keepUnplaced(SceneObject* object)
{
    unplaced_.add(object);
}

void InstanceList::unregister(SceneObject* gone)
{
    if (watcher)
        watcher->ended(gone);
    // A clone is registered once, but nothing stops data from naming one
    // object twice.
    while (remove(gone)) {
    }
    for (void* object = unplaced_.first(); object; object = unplaced_.next())
        static_cast<SceneObject*>(object)->forgetObject(gone);
}

void InstanceList::clear()
{
    while (SceneObject* object = static_cast<SceneObject*>(first())) {
        object->instanceList = nullptr;
        remove(object);
    }
    // Every registration is gone, so no destructor below reaches this list.
    while (void* object = unplaced_.first())
        unplaced_.remove(object);
}
