// The classes a description names, and what the dynamics may drive in each.
#include "tools/description/resources.h"

#include <cstring>
#include <memory>

#include "animation/dynamic.h"
#include "demo/class_registry.h"
#include "demo/class_table.h"
#include "demo/format.h"
#include "demo/scene_object.h"

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

// One entry per class of the registry; "class" in a description names the
// entry. Rows without a name are none of a description's classes.
#define DESCRIPTION_ROW(id, path, extraId, factory, name, writer, transformCopy, ...) {name, id, writer, transformCopy},
const ResourceClass kResourceClasses[] = {DEMO_CLASSES(DESCRIPTION_ROW)};
#undef DESCRIPTION_ROW

// What other classes enter besides themselves (a world its forces and
// spawners, a model its meshes); placed like other resources.
#define PART_ROW(id, factory, name) {name, id, nullptr, false},
const ResourceClass kPartClasses[] = {DEMO_PART_CLASSES(PART_ROW)};
#undef PART_ROW

const ResourceClass* partClass(int16_t id)
{
    for (const ResourceClass& c : kPartClasses) {
        if (c.chunkId == id)
            return &c;
    }
    return nullptr;
}

const ResourceClass* findClass(const std::string& name)
{
    for (const ResourceClass& c : kResourceClasses) {
        if (c.name && name == c.name)
            return &c;
    }
    return nullptr;
}

// A fresh object of the named class, as the player makes it, to read what
// it registers; none for a class that makes no object.
std::unique_ptr<SceneObject> classSample(const std::string& name)
{
    const ResourceClass* c = findClass(name);
    if (!c) {
        for (const ResourceClass& part : kPartClasses) {
            if (name == part.name)
                c = &part;
        }
    }
    return std::unique_ptr<SceneObject>(c ? makeSample(c->chunkId) : nullptr);
}

// ---- Dynamics

// Whether the object registers the parameter of the dynamics' name table.
bool hasParameter(SceneObject& object, int16_t index)
{
    return object.parameters->find(Dynamic::parameterNames[index]) != nullptr;
}

// Whether a vector dynamic may drive the parameter in the object: its three
// floats must lie within adjacent float fields of the object, as the player
// checks. A name the object lacks is not checked here.
bool drivesThreeFloats(SceneObject& object, int16_t index)
{
    auto* p = static_cast<float*>(object.parameters->find(Dynamic::parameterNames[index]));
    return !p || object.floatsFrom(p) >= 3;
}

// A table name as descriptions write it: UTF-8.
std::string displayName(int16_t index)
{
    return common::utf8FromLatin1(dynamicParameterName(index));
}

std::vector<std::string> resourceClassNames()
{
    std::vector<std::string> names;
    for (const ResourceClass& c : kResourceClasses) {
        if (c.name)
            names.push_back(c.name);
    }
    return names;
}

}  // namespace tools::description
