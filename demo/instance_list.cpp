#include "demo/instance_list.h"

#include "demo/scene_object.h"

InstanceList::~InstanceList()
{
    clear();
}

void InstanceList::registerInstance(const char* tag, SceneObject* object)
{
    append(tag, object);
    object->instanceList = this;
}

void InstanceList::clear()
{
    while (SceneObject* object = static_cast<SceneObject*>(first())) {
        object->instanceList = nullptr;
        remove(object);
    }
}
