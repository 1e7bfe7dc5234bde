#include "objects/blend_mode.h"

#include <GL/gl.h>

#include "demo/chunk_stream.h"
#include "demo/format.h"

TrailQueue::~TrailQueue()
{
    while (head_) {
        Node* following = head_->next;
        delete head_;
        head_ = following;
    }
}

void TrailQueue::push(void* item)
{
    Node* node = new Node{item, nullptr};
    if (tail_)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
    ++count;
}

void* TrailQueue::pop()
{
    if (!head_)
        return nullptr;
    Node* node = head_;
    head_ = node->next;
    if (!head_)
        tail_ = nullptr;
    if (cursor_ == node)
        cursor_ = nullptr;
    void* item = node->item;
    delete node;
    --count;
    return item;
}

void* TrailQueue::first()
{
    cursor_ = head_;
    return cursor_ ? cursor_->item : nullptr;
}

void* TrailQueue::next()
{
    if (cursor_)
        cursor_ = cursor_->next;
    return cursor_ ? cursor_->item : nullptr;
}

namespace {

// A signed 16-bit value at `at`, widened; `field` keeps its value when the
// payload is too short for it.
void readWidened(const void* data, int32_t size, int32_t at, int32_t& field)
{
    int16_t value;
    ChunkStream stream(data, size);
    if (stream.read(&value, 2, at))
        field = value;
}

}  // namespace

void BlendMode::load(const void* data, int32_t size)
{
    readWidened(data, size, 0, sourceFactor);
    readWidened(data, size, 2, destinationFactor);
}

int BlendMode::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    glBlendFunc(GLenum(sourceFactor), GLenum(destinationFactor));
    glEnable(GL_BLEND);
    int result = SceneObject::step(false);
    glDisable(GL_BLEND);
    return result;
}

int BlendMode::typeId() const
{
    return format::type::kBlendMode;
}

void BlendMode::copyInto(SceneObject* destination)
{
    // The timeline's transform copy cannot take factors.
    BlendMode* blend = dynamic_cast<BlendMode*>(destination);
    if (!blend)
        return;
    blend->sourceFactor = sourceFactor;
    blend->destinationFactor = destinationFactor;
}

SceneObject* BlendMode::clone()
{
    BlendMode* copy = new BlendMode;
    SceneObject::copyInto(copy);
    copyInto(copy);
    return copy;
}

MotionTrail::MotionTrail() : snapshots(new TrailQueue) {}

MotionTrail::~MotionTrail()
{
    while (void* snapshot = snapshots->pop())
        delete static_cast<BlendMode*>(snapshot);
    delete snapshots;
}

void MotionTrail::load(const void* data, int32_t size)
{
    BlendMode::load(data, size);
    readWidened(data, size, 4, trailLength);
}

bool MotionTrail::plainStep(int64_t steps, int64_t at) const
{
    // A negative length widens this test and, in step, pops whenever there
    // is a snapshot: the queue then keeps the newest one alone.
    // (In 64 bits: a length set beyond 16 bits cannot overflow it.)
    return start + steps < at - int64_t(trailLength) - steps;
}

int32_t MotionTrail::keptLength() const
{
    return trailLength < kVisibleLength ? trailLength : kVisibleLength;
}

int MotionTrail::step(bool stepOnly)
{
    if (plainStep(stepCount, frame))
        return SceneObject::step(stepOnly);
    const int64_t kept = keptLength();

    float saved[4];
    glGetFloatv(GL_CURRENT_COLOR, saved);
    float working[4] = {saved[0], saved[1], saved[2], saved[3]};

    BlendMode* snapshot = new BlendMode;
    BlendMode::copyInto(snapshot);
    if (snapshots->count > kept)
        delete static_cast<BlendMode*>(snapshots->pop());
    for (SceneObject* child = static_cast<SceneObject*>(children->first()); child;
         child = static_cast<SceneObject*>(children->next())) {
        if (SceneObject* copy = child->clone())
            snapshot->children->append(nullptr, copy);
    }
    snapshots->push(snapshot);

    // Oldest first, each a step more transparent; the newest ends at alpha
    // 1 - saved alpha, which the children then keep.
    const float alphaStep = saved[3] / float(snapshots->count);
    working[3] = 1.0f;
    for (void* item = snapshots->first(); item; item = snapshots->next()) {
        working[3] -= alphaStep;
        glColor4fv(working);
        static_cast<BlendMode*>(item)->step(stepOnly);
    }
    int result = SceneObject::step(stepOnly);
    glColor4fv(saved);
    return result;
}

void MotionTrail::skipFrames(int count)
{
    // The queue ends holding the snapshots of the last kept + 1 trail steps
    // (older ones pop one a step), so the trail steps before those would make
    // snapshots that are stepped without drawing and popped unseen: c frames
    // would cost c x kept snapshot steps. Count the trail steps on the
    // counters as the base step moves them, then let the early ones step
    // only the children, as the plain path does.
    int64_t trailSteps = 0;
    int16_t steps = stepCount, at = frame;
    for (int i = 0; i < count; ++i) {
        if (!plainStep(steps, at))
            ++trailSteps;
        ++steps;
        if (length > 0)
            at = steps >= length ? 0 : int16_t(at + 1);
    }
    // A step pops only while the queue holds more than the kept length, so
    // it ends with the last `left` snapshots (more only if the length was
    // lowered under a fuller queue: then every step counts).
    const int64_t left = keptLength() < 0 ? 1 : int64_t(keptLength()) + 1;
    int64_t unseen = trailSteps - left;
    if (unseen <= 0 || snapshots->count > left) {
        SceneObject::skipFrames(count);
        return;
    }
    while (void* snapshot = snapshots->pop())
        delete static_cast<BlendMode*>(snapshot);
    int i = 0;
    for (; unseen > 0; ++i) {
        if (!plainStep(stepCount, frame))
            --unseen;
        SceneObject::step(true);
    }
    for (; i < count; ++i)
        step(true);
}

SceneObject* MotionTrail::clone()
{
    MotionTrail* copy = new MotionTrail;
    BlendMode::copyInto(copy);
    copy->trailLength = trailLength;
    for (void* item = snapshots->first(); item; item = snapshots->next()) {
        if (SceneObject* snapshot = static_cast<BlendMode*>(item)->clone())
            copy->snapshots->push(snapshot);
    }
    return copy;
}
