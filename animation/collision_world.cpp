#include "animation/collision_world.h"

#include <cstring>

#include "animation/dynamic.h"
#include "animation/vector_math.h"
#include "demo/format.h"
#include "demo/messages.h"
#include "geometry/grid.h"
#include "geometry/quadric.h"
#include "objects/force.h"

namespace {

const char kRollTag[] = "DINAMICA_ROTACIO";
const char kForceTag[] = "FOR\xC7" "A";
constexpr int16_t kRotation3 = 9;
constexpr int16_t kPosition = 15;

// p (three floats) as the row vector (p, 1) times the row-major 4×4 m.
void mapPoint(const float* p, const float* m, float out[3])
{
    float row[4] = {p[0], p[1], p[2], 1};
    matMultiply(row, m, row, 1, 4, 4, 4);
    std::memcpy(out, row, 3 * sizeof(float));
}

void sub(const float* a, const float* b, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] - b[i];
}

Quadric* asSphere(SceneObject* o)
{
    if (o->typeId() != format::type::kQuadric)
        return nullptr;
    Quadric* q = dynamic_cast<Quadric*>(o);
    return q && q->kind == Quadric::kSphere ? q : nullptr;
}

// Gives a dynamic `value` for every frame from now on. One of unlimited life
// never leaves its first frame, so that is the value it keeps using.
void setFromNow(Dynamic* d, float value)
{
    if (d->length > 0) {
        d->setRemainingValues(value);
        return;
    }
    if (!d->values) {
        d->values = new float[1];
        d->valueCount = 1;
    }
    d->values[0] = value;
}

void spawnAll(SceneObject* collider, const float point[3])
{
    ObjectList* list = collider->children;
    for (auto* c = static_cast<SceneObject*>(list->first()); c; c = static_cast<SceneObject*>(list->next()))
        if (c->typeId() == format::type::kImpactSpawner)
            if (auto* spawner = dynamic_cast<ImpactSpawner*>(c))
                spawner->spawnAt(point);
}

}  // namespace

CollisionWorld::CollisionWorld(ObjectList* resources) : resources(resources) {}

CollisionWorld::~CollisionWorld()
{
    delete[] colliders_;
}

void CollisionWorld::load(const void* data, int32_t size)
{
    rolling = false;
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id != format::world::kForce && id != format::world::kRolling && id != format::world::kSpawner) {
            showError("ID DESCONEGUDA");
            stream.skip(length);
            return;
        }
        if (id == format::world::kRolling) {
            rolling = true;
            stream.skip(length);
            return;
        }
        // The fields come from the sub-chunk only, never from past its end.
        uint8_t fields[20] = {};
        const int32_t need = id == format::world::kForce ? 20 : 4;
        const bool whole = readField(stream, length, fields, need) == need;
        if (!whole || !resources)
            return;
        char tag[5] = {};
        std::memcpy(tag, fields, 4);
        SceneObject* made;
        if (id == format::world::kForce) {
            made = new Force;
            made->load(fields + 4, 16);
        } else {
            made = new ImpactSpawner;
        }
        resources->append(tag, made);
    });
}

SceneObject* CollisionWorld::clone()
{
    CollisionWorld* copy = new CollisionWorld(resources);
    copy->rolling = rolling;
    copyInto(copy);
    return copy;
}

void CollisionWorld::collectColliders(SceneObject* node, float* m, SceneObject* force)
{
    bool metForce = false;
    ObjectList* list = node->children;
    for (auto* t = static_cast<SceneObject*>(list->first()); t; t = static_cast<SceneObject*>(list->next())) {
        float saved[16];
        std::memcpy(saved, m, sizeof saved);
        const int type = t->typeId();
        int kind = 0;
        if (type == format::type::kGrid && dynamic_cast<Grid*>(t)) {
            kind = 3;
        } else if (type == format::type::kTransform) {
            if (Transform* tr = dynamic_cast<Transform*>(t)) {
                float* local = tr->localMatrix();
                matMultiply(local, m, m, 4, 4, 4, 4);
                delete[] local;
            }
        } else if (Quadric* sphere = asSphere(t)) {
            kind = 1;
            if (rolling && !t->children->find(kRollTag)) {
                ScalarDynamic* d = new ScalarDynamic;
                d->parameterIndex = kRotation3;
                d->start = t->start;
                d->length = t->length;
                d->target = t;
                setFromNow(d, 0);
                t->children->append(kRollTag, d);
            }
            if (force && !t->children->find(kForceTag)) {
                if (Force* f = dynamic_cast<Force*>(force))
                    t->children->append(kForceTag, f->bindTo(sphere));
            }
        } else if (type == format::type::kForce) {
            force = t;
            metForce = true;
        } else if (type == format::type::kImpactSpawner) {
            // The spawners that this pass's contacts may call.
            if (auto* spawner = dynamic_cast<ImpactSpawner*>(t))
                spawner->beginPass();
        }
        if (kind) {
            if (colliderCount_ == colliderCapacity_) {
                const int grown = colliderCapacity_ ? colliderCapacity_ * 2 : 16;
                Collider* bigger = new Collider[size_t(grown)];
                if (colliderCount_)
                    std::memcpy(bigger, colliders_, sizeof(Collider) * size_t(colliderCount_));
                delete[] colliders_;
                colliders_ = bigger;
                colliderCapacity_ = grown;
            }
            Collider& c = colliders_[colliderCount_++];
            c.object = t;
            c.kind = kind;
            std::memcpy(c.matrix, m, sizeof c.matrix);
        }
        // A sphere's translation dynamics are destroyed by velocity changes
        // during the pass: nothing below one may be a collider. A spawner's
        // templates are patterns: they never collide, spawn or get a force.
        if ((type != format::type::kTranslationDynamic || !asSphere(node)) && type != format::type::kImpactSpawner)
            collectColliders(t, m, force);
        std::memcpy(m, saved, sizeof saved);
        if (metForce)
            force = nullptr;
    }
}

bool CollisionWorld::sphereVelocity(SceneObject* sphere, float out[3])
{
    bool found = false;
    out[0] = out[1] = out[2] = 0;
    ObjectList* list = sphere->children;
    for (auto* c = static_cast<SceneObject*>(list->first()); c; c = static_cast<SceneObject*>(list->next())) {
        const int type = c->typeId();
        if (type == format::type::kTranslationDynamic) {
            auto* d = dynamic_cast<TranslationDynamic*>(c);
            if (!d)
                continue;
            found = true;
            // The first per-frame value, whatever the frame.
            if (d->values && d->valueCount > 0)
                vecAddScaled(out, d->vector, out, d->values[0]);
        } else if (type == format::type::kForce) {
            auto* f = dynamic_cast<Force*>(c);
            if (!f)
                continue;
            found = true;
            float v[3];
            f->currentVelocity(v);
            for (int i = 0; i < 3; ++i)
                out[i] += v[i];
        }
    }
    return found;
}

void CollisionWorld::setSphereVelocity(Quadric* sphere, const float v[3])
{
    ObjectList* list = sphere->children;
    for (auto* c = static_cast<SceneObject*>(list->first()); c;) {
        auto* following = static_cast<SceneObject*>(list->next());
        if (c->typeId() == format::type::kTranslationDynamic)
            list->remove(c);  // the owning list destroys it
        else if (c->typeId() == format::type::kForce)
            if (auto* f = dynamic_cast<Force*>(c))
                f->restart();
        c = following;
    }
    TranslationDynamic* d = new TranslationDynamic;
    d->start = sphere->stepCount;
    d->length = int16_t(length - stepCount + sphere->stepCount);
    // An unlimited world (or a count that wrapped) moves the sphere for good.
    if (length <= 0 || d->length <= 0)
        d->length = 0;
    d->target = sphere;
    d->parameterIndex = kPosition;
    std::memcpy(d->vector, v, sizeof d->vector);
    setFromNow(d, 1.0f);
    list->add(d);
}

bool CollisionWorld::sphereContact(Quadric* a, Quadric* b, const float* ma, const float* mb, float point[3])
{
    float pa[3], pb[3], n[3];
    mapPoint(a->position, ma, pa);
    mapPoint(b->position, mb, pb);
    sub(pa, pb, n);
    if (vecLength(n) > a->radius1 + b->radius1)
        return false;
    vecNormalize(n);
    vecAddScaled(pa, n, point, a->radius1);
    float va[3], vb[3], partA[3] = {0, 0, 0}, partB[3] = {0, 0, 0};
    const bool hasA = sphereVelocity(a, va);
    const bool hasB = sphereVelocity(b, vb);
    if (hasA)
        vecAddScaled(partA, n, partA, vecDot(va, n));
    if (hasB)
        vecAddScaled(partB, n, partB, vecDot(vb, n));
    if (hasA || hasB) {
        float newA[3], newB[3];
        for (int i = 0; i < 3; ++i) {
            newA[i] = (hasB ? partB[i] : -partA[i]) + (hasA ? va[i] : 0);
            newB[i] = (hasA ? partA[i] : -partB[i]) + (hasB ? vb[i] : 0);
        }
        setSphereVelocity(a, newA);
        setSphereVelocity(b, newB);
    }
    return true;
}

bool CollisionWorld::gridContact(Grid* g, Quadric* s, const float* mg, const float* ms, float point[3])
{
    const float w = g->gridWidth, h = g->gridHeight;
    const float c0[3] = {-w / 2, -h / 2, 0}, c1[3] = {w / 2, h / 2, 0};
    const float origin[3] = {0, 0, 0}, ux[3] = {1, 0, 0}, uy[3] = {0, 1, 0}, uz[3] = {0, 0, 1};
    float p0[3], p1[3], z[3], n[3], q[3];
    mapPoint(c0, mg, p0);
    mapPoint(c1, mg, p1);
    mapPoint(origin, mg, z);
    mapPoint(uz, mg, n);
    sub(n, z, n);
    // A plane squashed flat has no side to push to.
    if (vecLength(n) == 0)
        return false;
    mapPoint(s->position, ms, q);
    float dist = vecDot(q, n) - vecDot(z, n);
    if (dist < 0)
        dist = -dist;
    if (dist > s->radius1)
        return false;
    float ex[3], ey[3], f[3];
    mapPoint(ux, mg, ex);
    sub(ex, z, ex);
    mapPoint(uy, mg, ey);
    sub(ey, z, ey);
    vecAddScaled(q, n, f, -dist);
    std::memcpy(point, f, sizeof f);
    float d[3], cross[3];
    const float* corners[2] = {p0, p1};
    for (const float* corner : corners) {
        sub(corner, f, d);
        vecCross(d, ex, cross);
        if (vecLength(cross) > h)
            return false;
        vecCross(d, ey, cross);
        if (vecLength(cross) > w)
            return false;
    }
    vecAddScaled(s->position, n, s->position, s->radius1 - dist);
    float v[3];
    if (sphereVelocity(s, v)) {
        float pn[3] = {0, 0, 0}, bounced[3];
        vecAddScaled(pn, n, pn, vecDot(v, n));
        for (int i = 0; i < 3; ++i)
            bounced[i] = (v[i] - pn[i]) - 0.9f * pn[i];
        setSphereVelocity(s, bounced);
    }
    return true;
}

void CollisionWorld::roll(Quadric* s, const float v[3])
{
    const float speed = vecLength(v);
    const float axis[3] = {-v[1], v[0], 0};
    // A sphere without size has no circumference to roll along.
    if (s->radius1 != 0) {
        if (auto* d = dynamic_cast<Dynamic*>(static_cast<SceneObject*>(s->children->find(kRollTag))))
            setFromNow(d, speed / s->radius1 * kRadiansToDegrees);
    }
    for (int i = 0; i < 3; ++i)
        s->axis3[i] = s->axis3[i] + (axis[i] - s->axis3[i]) * 0.1f;
}

int CollisionWorld::step(bool stepOnly)
{
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    colliderCount_ = 0;
    collectColliders(this, m, nullptr);
    for (int i = 0; i < colliderCount_; ++i) {
        Collider& q = colliders_[i];
        if (rolling && q.kind == 1) {
            float v[3];
            if (sphereVelocity(q.object, v))
                roll(static_cast<Quadric*>(q.object), v);
        }
        for (int j = i + 1; j < colliderCount_; ++j) {
            Collider& r = colliders_[j];
            float point[3];
            bool contact = false;
            if (q.kind + r.kind == 2) {
                contact = sphereContact(static_cast<Quadric*>(q.object), static_cast<Quadric*>(r.object), q.matrix, r.matrix, point);
            } else if (q.kind + r.kind == 4) {
                Collider& g = q.kind == 3 ? q : r;
                Collider& s = q.kind == 3 ? r : q;
                contact = gridContact(static_cast<Grid*>(g.object), static_cast<Quadric*>(s.object), g.matrix, s.matrix, point);
            }
            if (contact) {
                spawnAll(q.object, point);
                spawnAll(r.object, point);
            }
        }
    }
    colliderCount_ = 0;
    return SceneObject::step(stepOnly);
}
