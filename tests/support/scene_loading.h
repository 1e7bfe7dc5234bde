// Loading and stepping helpers shared by the scene object tests.
#pragma once

#include "demo/scene_object.h"
#include "tools/writer/writer.h"

// Loads from an exact-size heap copy, so a read past the end is caught.
void loadExact(SceneObject& object, const tools::writer::Bytes& bytes);

// A child that counts its steps and passes them on.
class Counter : public SceneObject {
public:
    int step(bool stepOnly) override
    {
        ++steps;
        return SceneObject::step(stepOnly);
    }
    SceneObject* clone() override
    {
        auto* copy = new Counter;
        copyInto(copy);
        return copy;
    }
    int steps = 0;
};
