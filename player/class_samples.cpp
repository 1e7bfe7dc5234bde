// Objects made from the class registry for the tools to look at. Apart from
// the class table, so that the player, which never asks for one, links none.
#include "demo/class_registry.h"
#include "demo/class_table.h"
#include "player/class_factories.h"

using namespace factories;

SceneObject* makeSample(int16_t id)
{
    const FactoryArgs none;
    Factory factory = nullptr;
#define SAMPLE_ROW(rowId, path, extraId, rowFactory, ...) \
    if (!factory && id == rowId)                         \
        factory = rowFactory;
    DEMO_CLASSES(SAMPLE_ROW)
#undef SAMPLE_ROW
#define SAMPLE_PART(rowId, rowFactory, name) \
    if (!factory && id == rowId)             \
        factory = rowFactory;
    DEMO_PART_CLASSES(SAMPLE_PART)
#undef SAMPLE_PART
    return factory ? factory(none) : nullptr;
}
