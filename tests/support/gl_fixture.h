// A real offscreen window with a current GL context for tests that draw or
// read GL state back.
#pragma once

#include <gtest/gtest.h>

#include "platform/test_double.h"
#include "player/window.h"

class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    platform::TestDouble platform_;
    WindowState window_;
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
};

// Binds and enables a 2 x 2 nearest-filtered, edge-clamped texture: red at
// texel (0,0), green (1,0), blue (0,1), white (1,1). Returns its name.
unsigned bindCornerTexture();

// A scene object that records its steps, for lifetime and ordering tests.
#include <string>
#include <vector>

#include "demo/scene_object.h"

class RecordingObject : public SceneObject {
public:
    explicit RecordingObject(std::string name = "", std::vector<std::string>* log = nullptr,
                             int* destroyed = nullptr)
        : name(std::move(name)), log(log), destroyed(destroyed)
    {
    }
    ~RecordingObject() override
    {
        if (destroyed)
            ++*destroyed;
    }
    int step(bool stepOnly) override
    {
        if (log)
            log->push_back(name + (stepOnly ? "~" : ""));
        return SceneObject::step(stepOnly);
    }
    SceneObject* clone() override
    {
        auto* copy = new RecordingObject(name, log, destroyed);
        copyInto(copy);
        return copy;
    }

    std::string name;
    std::vector<std::string>* log;
    int* destroyed;
};
