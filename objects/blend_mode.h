// Blending for a subtree, and the motion trail that redraws recent poses of
// its subtree with graded alpha behind the current one.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"

// First-in-first-out queue of borrowed pointers: it never destroys its items.
class TrailQueue {
public:
    TrailQueue() = default;
    ~TrailQueue();

    void push(void* item);
    // The oldest item, or null when empty; its node goes.
    void* pop();
    // Iteration from the oldest: first() resets the cursor.
    void* first();
    void* next();

    int32_t count = 0;

    TrailQueue(const TrailQueue&) = delete;
    TrailQueue& operator=(const TrailQueue&) = delete;

private:
    struct Node {
        void* item;
        Node* next;
    };
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* cursor_ = nullptr;
};

class BlendMode : public SceneObject {
public:
    // Two signed 16-bit values: source and destination factor.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    // The factors only, and only into another blend mode.
    void copyInto(SceneObject* destination) override;
    SceneObject* clone() override;

    int32_t sourceFactor = 0;
    int32_t destinationFactor = 0;
};

class MotionTrail : public BlendMode {
public:
    MotionTrail();
    ~MotionTrail() override;

    // The blend mode's factors, then the trail length at byte 4.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    // Factors, length and clones of the kept snapshots; no children.
    SceneObject* clone() override;
    // As the base's steps, without making the snapshots that the fast-forward
    // itself would pop before it ends.
    void skipFrames(int count) override;

    // Snapshots whose alpha steps apart by less than one 8-bit level (1/255)
    // cannot be told apart, so a longer trail keeps no more than this many
    // besides the newest: that bounds what one step costs.
    static constexpr int32_t kVisibleLength = 254;

    // Snapshots kept besides the newest; a negative length counts as 0, one
    // past kVisibleLength as kVisibleLength.
    int32_t trailLength = 0;
    // Blend modes holding clones of the children, oldest first; owned.
    TrailQueue* snapshots;

private:
    // Whether a step with these counters takes the plain path (no snapshot).
    bool plainStep(int64_t stepCount, int64_t frame) const;
    int32_t keptLength() const;
};
