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

int MotionTrail::step(bool stepOnly)
{
    // A negative length widens this test and, below, pops whenever there is
    // a snapshot: the queue then keeps the newest one alone.
    // (In 64 bits: a length set beyond 16 bits cannot overflow it.)
    const int64_t kept = trailLength;
    const int64_t steps = stepCount;
    if (start + steps < frame - kept - steps)
        return SceneObject::step(stepOnly);

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
