// Dynamics: short-lived children that animate one float parameter, or one
// vector of three consecutive floats, of their target for a fixed number of
// frames. The parameter is found by name in the target's `parameters` list
// on every step.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "demo/scene_object.h"

class Transform;

class Dynamic : public SceneObject {
public:
    static constexpr int kNameCount = 83;  // entry 0 names nothing
    static constexpr int kNameSize = 20;

    Dynamic();
    ~Dynamic() override;

    void load(const void* data, int32_t size) override;
    void loadExtra(const void* data, int32_t size) override;
    int typeId() const override;
    // Dynamics stay with the object they were made for: a copy of the target
    // starts without them.
    SceneObject* clone() override;
    // Sets the values of every frame not yet stepped.
    virtual void setRemainingValues(float value);

    // The parameter names that `parameterIndex` selects from, the same for
    // every dynamic (Latin-1: "Posici\xf3", "Rotaci\xf3").
    static const char parameterNames[kNameCount][kNameSize];
    // The table index of an exact name, or 0.
    static int16_t indexOfParameter(const char* name);

    SceneObject* target = nullptr;  // borrowed; set by the creator
    float* values = nullptr;        // one per frame of life; owned
    float initialValue = 0;
    bool resetAtStart = false;
    int16_t parameterIndex = 0;
    int32_t valueCount = 0;  // entries in `values`

    // A dynamic placed nowhere outlives its target: it keeps none once the
    // target is destroyed.
    void forgetObject(const SceneObject* gone) override;

protected:
    // The parameter's address in the target when it exists and `width`
    // floats from it lie within adjacent float fields of the target, else none.
    float* findParameter(int width) const;
    // The value for frame k, false when there is none (no load, a length of
    // 0 or less, or a length raised after the values were made).
    bool valueAt(int k, float& value) const;
    // Takes the target's state off the matrix (a pushed camera view or scale,
    // an applied transform) so that its parameter can change; returns the
    // transform it undid, if any.
    Transform* liftTargetState(bool stepOnly);
    // Puts the state back with the new values, so the siblings stepped after
    // this dynamic see them in the same frame.
    void restoreTargetState(bool stepOnly, Transform* undone);
    // Reads mode, initial value, per-frame value and parameter index.
    void loadCommon(ChunkStream& stream);
    void fillValues(float perFrame);
};

// Adds the frame's value to one float.
class ScalarDynamic : public Dynamic {
public:
    void load(const void* data, int32_t size) override;  // 11 bytes
    int step(bool stepOnly) override;
};

// A direction or axis next to the common fields.
class VectorDynamic : public Dynamic {
public:
    VectorDynamic();

    void load(const void* data, int32_t size) override;  // 23 bytes
    // Sets the remaining values (Dynamic's own version, whatever a derived
    // class makes of it), then the vector.
    void setVectorAndRemainingValues(const float vector[3], float value);

    float vector[3] = {0, 0, 0};
};

// Moves a three-float parameter by the frame's value times `vector`.
class TranslationDynamic : public VectorDynamic {
public:
    int step(bool stepOnly) override;
    int typeId() const override;
};

// Turns a three-float parameter about `vector` by the frame's value in degrees.
class RotationDynamic : public VectorDynamic {
public:
    int step(bool stepOnly) override;
};
