// The viewer: a look-at view around the children and an optional full-screen
// fade drawn as a blended sphere round the eye.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

struct GLUquadric;

class Camera : public SceneObject {
public:
    Camera();
    ~Camera() override;

    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    SceneObject* clone() override;

    // Pushes the modelview matrix and multiplies the look-at view onto it.
    void applyView();
    // centre + proximity × (position − centre), per component.
    void eye(float out[3]) const;

    float position[3] = {0, 0, 0};
    float centre[3] = {0, 0, 0};
    float up[3] = {0, 0, 0};
    // Not every payload carries the fade and proximity groups: start with no
    // fade and the eye at the position.
    float fadeColor[3] = {0, 0, 0};
    float fadeValue = 0;
    float proximity = 1;

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

private:
    void fadePass();

    GLUquadric* quadric_ = nullptr;
};
