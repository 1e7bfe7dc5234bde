// Collision world, forces and impact spawners on hand-built trees: contacts,
// velocity hand-over, bounces, force marking, rolling, spawning, payloads.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "animation/collision_world.h"
#include "animation/dynamic.h"
#include "demo/instance_list.h"
#include "geometry/grid.h"
#include "geometry/mesh_deformer.h"
#include "geometry/quadric.h"
#include "objects/force.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/world_payloads.h"

using namespace tools::writer;

namespace {

Quadric* sphere(SceneObject* parent, float x, float y, float radius = 1)
{
    auto* s = new Quadric;
    s->kind = Quadric::kSphere;
    s->radius1 = radius;
    s->position[0] = x;
    s->position[1] = y;
    parent->children->add(s);
    return s;
}

void giveVelocity(Quadric* s, std::vector<float> v)
{
    auto* d = new TranslationDynamic;
    d->target = s;
    d->parameterIndex = 15;
    d->length = 100;
    d->setVectorAndRemainingValues(v.data(), 1.0f);
    s->children->add(d);
}

int countOf(SceneObject* o, int type)
{
    int n = 0;
    for (auto* c = static_cast<SceneObject*>(o->children->first()); c; c = static_cast<SceneObject*>(o->children->next()))
        n += c->typeId() == type;
    return n;
}

std::vector<float> velocity(SceneObject* s)
{
    float v[3] = {NAN, NAN, NAN};
    CollisionWorld::sphereVelocity(s, v);
    return {v[0], v[1], v[2]};
}

struct Pair {
    CollisionWorld world{nullptr};
    Quadric* a;
    Quadric* b;
    Pair(float apart) : a(sphere(&world, 0, 0)), b(sphere(&world, apart, 0)) { world.length = 100; }
};

}  // namespace

TEST(CollisionWorld, SpheresTouchAtTheSumOfRadiiAndHandOverVelocity)
{
    for (float apart : {2.0f, 2.001f}) {
        Pair p(apart);
        float point[3];
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        EXPECT_EQ(apart == 2.0f, p.world.sphereContact(p.a, p.b, identity, identity, point)) << apart;
    }
    // A moving at (1, 0, 0) meets resting B: A stops, B carries on, each with
    // exactly one translation dynamic of its own.
    Pair p(2);
    giveVelocity(p.a, {1, 0, 0});
    p.world.stepCount = 30;
    p.b->stepCount = 10;
    p.world.step(true);
    EXPECT_EQ((std::vector<float>{0, 0, 0}), velocity(p.a));
    EXPECT_EQ((std::vector<float>{1, 0, 0}), velocity(p.b));
    EXPECT_EQ(1, countOf(p.a, 349));
    EXPECT_EQ(1, countOf(p.b, 349));
    EXPECT_FLOAT_EQ(3, p.b->position[0]);  // stepped after the pass
    // The new dynamic starts at the sphere's count and lasts as long as the
    // world has left: 100 - 30 + 10.
    auto* given = static_cast<SceneObject*>(p.b->children->first());
    EXPECT_EQ((std::vector<int>{10, 80}), (std::vector<int>{given->start, given->length}));
}

// Transforms give their matrices through OpenGL.
using CollisionWorldGL = GLTest;

TEST_F(CollisionWorldGL, GridBouncesAndPushesOutOnlyInsideItsRectangle)
{
    // The floor turned so that its normal is +Y, as a parent transform puts
    // it: 5 wide along X, 3 high along its own Y (world -Z). A centre within
    // the rectangle is pushed to 1 and moves by the bounce; one beyond any
    // of its four sides falls on by -1. A floor moved down by its parent's
    // transform meets the sphere where it now lies.
    const struct {
        float x, z;
        bool contact;
        float floorY = 0;
    } places[] = {{0, 0, true},      {2.4f, 0, true},   {-2.4f, 0, true},  {0, 1.4f, true},  {0, -1.4f, true},
                  {2.6f, 0, false},  {-2.6f, 0, false}, {0, 1.6f, false},  {0, -1.6f, false}, {2.4f, 1.4f, true},
                  {0, 0, true, -3},  {2.6f, 0, false, -3}};
    for (const auto& at : places) {
        CollisionWorld world(nullptr);
        world.length = 50;
        auto* lowered = new Transform;
        lowered->position[1] = at.floorY;
        world.children->add(lowered);
        auto* floor = new Transform;
        floor->angles[0] = -90;  // about X: the grid's +Z becomes +Y
        lowered->children->add(floor);
        auto* grid = new Grid;
        grid->gridWidth = 5;
        grid->gridHeight = 3;
        floor->children->add(grid);
        Quadric* s = sphere(&world, at.x, at.floorY + 0.5f);
        s->position[2] = at.z;
        giveVelocity(s, {0, -1, 0});
        world.step(true);
        if (at.contact) {
            EXPECT_NEAR(at.floorY + 1.0f + 0.9f, s->position[1], 1e-5) << at.x << ", " << at.z << ", " << at.floorY;
            std::vector<float> v = velocity(s);
            EXPECT_NEAR(0.9f, v[1], 1e-6);
            EXPECT_NEAR(0, v[0], 1e-6);
        } else {
            EXPECT_FLOAT_EQ(at.floorY - 0.5f, s->position[1]) << at.x << ", " << at.z << ", " << at.floorY;
        }
    }
    // A force moving its target inside the target's step leaves the matrix
    // as the target found it.
    Transform ball;
    Force pull;
    pull.strength = 1;
    pull.direction[0] = 1;
    std::unique_ptr<Force> bound(pull.bindTo(&ball));
    bound->stepCount = 3;
    ball.children->add(bound.release());
    glLoadIdentity();
    ball.step(false);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(3, ball.position[0]);
    EXPECT_FLOAT_EQ(0, m[12]);
}

TEST(CollisionWorld, ForcesAccelerateRestartAndMarkOnlyTheirSubtree)
{
    Transform target;
    Force force;
    force.strength = 0.5f;
    force.direction[1] = -1;
    std::unique_ptr<Force> bound(force.bindTo(&target));
    // The velocity a contact reads is the move the next step makes.
    std::vector<float> ys, told, moved;
    for (int i = 0; i < 3; ++i) {
        float v[3];
        bound->currentVelocity(v);
        told.push_back(v[1]);
        const float before = target.position[1];
        bound->step(true);
        ys.push_back(target.position[1]);
        moved.push_back(target.position[1] - before);
    }
    EXPECT_EQ((std::vector<float>{0, -0.5f, -1.5f}), ys);
    EXPECT_EQ(moved, told);
    bound->stepCount = 10;
    bound->restart();
    bound->step(true);
    EXPECT_FLOAT_EQ(-2.5f, target.position[1]);
    // A bound force has no copy: it would outlive its target or, unbound,
    // add a velocity that nothing applies. A marker's copy keeps the pull.
    EXPECT_EQ(nullptr, std::unique_ptr<SceneObject>(bound->clone()));
    std::unique_ptr<SceneObject> copy(force.clone());
    ASSERT_NE(nullptr, copy);
    copy->step(true);
    EXPECT_FLOAT_EQ(-2.5f, target.position[1]);
    EXPECT_FLOAT_EQ(0.5f, static_cast<Force*>(copy.get())->strength);
    // Bound to what is no transform, it moves nothing and still steps.
    SceneObject plain;
    std::unique_ptr<Force> idle(force.bindTo(&plain));
    EXPECT_EQ(1, idle->step(true));

    // A force among the world's children marks the spheres below it only;
    // bound copies are made once, however many steps pass.
    CollisionWorld world(nullptr);
    world.rolling = true;
    auto* marker = new Force;
    marker->strength = 0.1f;
    world.children->add(marker);
    Quadric* below = sphere(marker, 0, 10);
    Quadric* after = sphere(&world, 10, 10);
    for (int i = 0; i < 5; ++i)
        world.step(true);
    EXPECT_EQ(1, countOf(below, 421));
    EXPECT_EQ(0, countOf(after, 421));
    for (Quadric* s : {below, after}) {
        EXPECT_EQ(1, countOf(s, 348));
        EXPECT_NE(nullptr, s->children->find("DINAMICA_ROTACIO"));
    }
}

TEST(CollisionWorld, RollingTurnsBySpeedOverRadiusInDegrees)
{
    CollisionWorld world(nullptr);
    world.rolling = true;
    Quadric* s = sphere(&world, 0, 0, 0.5f);
    s->length = 20;
    Quadric* still = sphere(&world, 10, 0, 0);  // no size: never rolls
    giveVelocity(s, {0.1f, 0, 0});
    giveVelocity(still, {0.1f, 0, 0});
    world.step(true);  // creates the dynamics
    world.step(true);  // rolls
    auto* d = static_cast<Dynamic*>(s->children->find("DINAMICA_ROTACIO"));
    ASSERT_NE(nullptr, d);
    EXPECT_FLOAT_EQ(0.1f / 0.5f * 57.297176f, d->values[d->stepCount]);
    EXPECT_NEAR(0.019f, s->axis3[1], 1e-6);  // eased a tenth towards (0, 0.1, 0) twice
    EXPECT_FLOAT_EQ(0, still->angles[2]);
    std::unique_ptr<CollisionWorld> copy(static_cast<CollisionWorld*>(world.clone()));
    EXPECT_TRUE(copy->rolling);
}

TEST(CollisionWorld, SpawnersCloneTheirTemplatesPerContact)
{
    Pair p(1.5f);
    p.a->position[1] = p.b->position[1] = 2;  // the contact at (-1, 2, 0)
    giveVelocity(p.a, {0, 0, 0});
    auto* spawner = new ImpactSpawner;
    p.a->children->add(spawner);
    spawner->attachTo(p.a);
    spawner->children->add(new Ripple);
    spawner->children->add(new Counter);
    spawner->stepCount = 7;
    // A second spawner of the same object spawns too: the first one's copies,
    // added to the children being walked, leave the walk whole.
    auto* second = new ImpactSpawner;
    p.a->children->add(second);
    second->attachTo(p.a);
    auto* pattern = new Counter;
    second->children->add(pattern);
    // A template that touches its own object is a pattern, not a collider.
    sphere(second, 0.5f, 0);
    // The other collider's spawner spawns too.
    auto* other = new ImpactSpawner;
    p.b->children->add(other);
    other->attachTo(p.b);
    other->children->add(new Counter);
    spawner->start = 3;
    p.world.step(true);
    EXPECT_EQ(1, countOf(p.a, 450));
    EXPECT_EQ(2, countOf(p.a, 0));
    EXPECT_EQ(1, countOf(p.a, 400));  // one contact, though the template touches a
    EXPECT_EQ(1, countOf(p.b, 0));
    EXPECT_EQ(0, pattern->steps) << "templates are never stepped";
    auto* found = static_cast<SceneObject*>(p.a->children->first());
    while (found && found->typeId() != 450)
        found = static_cast<SceneObject*>(p.a->children->next());
    ASSERT_NE(nullptr, found);
    auto* ripple = static_cast<Ripple*>(found);
    // Centred one radius from A's centre along the line from B to A;
    // started at the spawner's count.
    EXPECT_EQ((std::vector<float>{-1, 2}), (std::vector<float>{ripple->centre[0], ripple->centre[1]}));
    EXPECT_EQ((std::vector<int>{10, 10}), (std::vector<int>{ripple->start, ripple->frame}));
    EXPECT_EQ(2, spawner->children->count());
    // Never placed under an object: nothing to add to.
    ImpactSpawner loose;
    loose.children->add(new Counter);
    const float at[3] = {0, 0, 0};
    loose.spawnAt(at);
    std::unique_ptr<SceneObject> copy(spawner->clone());
    EXPECT_EQ(0, copy->children->count());
    EXPECT_EQ(nullptr, copy->attachedObject());
}

// Every contact spawns a set: an object touching two others in one step gets
// two. Copies that touch the object that spawned them spawn again at the next
// step, so the copies double until one pass makes 32, and then grow by 32 a
// step; a spawner not yet due counts its copies by the pass all the same. A
// template touching its object alone spawns nothing. A copy made while its
// object carries a force gets none (the force ends the marking for the
// children after it), so nothing moves it: at a contact with a resting sphere
// it stays where the template lies.
TEST(CollisionWorld, SpawnedCopiesGrowBoundedAndMoveOnlyByWhatPullsThem)
{
    enum Case { Held, Later, Twice, Falling, Alone };
    const std::vector<int> doubling{1, 3, 7, 15, 31, 63, 95, 127, 159, 191, 223, 255};
    for (Case c : {Held, Later, Twice, Falling, Alone}) {
        SCOPED_TRACE(c);
        CollisionWorld world(nullptr);
        auto* marker = new Force;
        marker->strength = c == Falling ? 0.5f : 0;
        marker->direction[1] = -1;
        world.children->add(marker);
        Quadric* a = sphere(marker, 0, 0);
        if (c != Alone)
            sphere(&world, 2, 0);  // touching; held, a stays and touches it every step
        if (c == Twice)
            sphere(&world, -2, 0);
        auto* spawner = new ImpactSpawner;
        a->children->add(spawner);
        spawner->attachTo(a);
        if (c == Later)
            spawner->start = 1000;
        // Held and alone, the template and its copies touch a; falling, a
        // falls off at once and the one copy lies against a resting sphere;
        // twice, the copies lie far from a.
        const bool away = c == Falling || c == Twice;
        Quadric* pattern = sphere(spawner, away ? 0 : 0.5f, away ? 50 : 0);
        if (c == Falling)
            sphere(&world, 0, 52);
        std::vector<Quadric*> copies;
        std::vector<int> counts;
        std::vector<float> ys;
        for (int i = 1; i <= 12; ++i) {
            world.step(true);
            copies.clear();
            for (auto* o = static_cast<SceneObject*>(a->children->first()); o; o = static_cast<SceneObject*>(a->children->next()))
                if (o->typeId() == 400)
                    copies.push_back(static_cast<Quadric*>(o));
            counts.push_back(int(copies.size()));
            if (c == Falling && !copies.empty())
                ys.push_back(copies.front()->position[1]);
        }
        const std::vector<int> expected = c == Held || c == Later ? doubling
                                          : c == Twice            ? std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24}
                                          : c == Falling          ? std::vector<int>(12, 1)
                                                                  : std::vector<int>(12, 0);
        EXPECT_EQ(expected, counts);
        EXPECT_EQ(0, pattern->children->count()) << "the world never touches a template";
        if (c != Falling)
            continue;
        EXPECT_EQ(0, countOf(copies.front(), 421));
        EXPECT_EQ(std::vector<float>(12, pattern->position[1]), ys);
    }
}

TEST(CollisionWorld, SpheresBelowDynamicsAreFoundUnlessASphereOwnsThem)
{
    // Below a translation dynamic of a plain object a sphere is found; below
    // one of a sphere, which the velocity change of that sphere's contact
    // destroys during the pass, none is.
    CollisionWorld world(nullptr);
    world.rolling = true;
    world.length = 100;
    auto* holder = new SceneObject;
    world.children->add(holder);
    auto* carried = new TranslationDynamic;
    carried->target = holder;
    holder->children->add(carried);
    Quadric* found = sphere(carried, 0, 0);
    Quadric* mover = sphere(&world, 10, 0);
    giveVelocity(mover, {1, 0, 0});
    sphere(static_cast<SceneObject*>(mover->children->first()), 100, 0);
    sphere(&world, 12, 0);
    world.step(true);
    EXPECT_NE(nullptr, found->children->find("DINAMICA_ROTACIO"));
    EXPECT_EQ(1, countOf(mover, 349));
}

TEST(ImpactSpawner, PlacedNowhereItsTemplatesLetGoOfItsDeadObject)
{
    InstanceList instances;
    auto* grid = new Grid;
    grid->buildGrid(2, 2, 2, 2);
    instances.registerInstance("grid", grid);
    auto* spawner = new ImpactSpawner;
    instances.registerInstance("spwn", spawner);
    instances.keepUnplaced(spawner);
    spawner->attachTo(grid);
    auto* ripple = new Ripple;
    spawner->children->add(ripple);
    ripple->attachTo(spawner->attachedObject());
    ASSERT_EQ(grid, ripple->target);
    delete grid;
    EXPECT_EQ(nullptr, spawner->attachedObject());
    EXPECT_EQ(nullptr, ripple->target);
    EXPECT_EQ(1, ripple->step(true));  // fast-forwarded, it bends nothing
}

TEST(CollisionWorld, PayloadCreatesResourcesAndSkipsOddLengths)
{
    platform::TestDouble quiet;
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    CollisionWorld world(&resources);
    WorldFields f;
    f.forces.push_back({"GRAV", 0.25f, {0, -2, 0}});
    f.spawners.push_back("SPWN");
    f.rolling = true;
    Bytes payload = worldPayload(f);
    payload.pop_back();  // the stream's trailing byte: more chunks follow
    // A longer force chunk, a short spawner chunk, an unknown id.
    append(payload, chunk(421, cat({tag("LONG"), Bytes(16, 0), Bytes(8, 0xFF)})));
    append(payload, chunk(423, Bytes(2, 'X')));
    append(payload, chunk(77, Bytes(3, 0)));
    loadExact(world, payload);
    EXPECT_TRUE(world.rolling);
    auto* g = static_cast<Force*>(resources.find("GRAV"));
    ASSERT_NE(nullptr, g);
    EXPECT_EQ((std::vector<float>{0.25f, 0, -2, 0}), (std::vector<float>{g->strength, g->direction[0], g->direction[1], g->direction[2]}));
    ASSERT_NE(nullptr, resources.find("SPWN"));
    EXPECT_EQ(423, static_cast<SceneObject*>(resources.find("SPWN"))->typeId());
    ASSERT_NE(nullptr, resources.find("LONG"));
    EXPECT_EQ(3, resources.count());
    ASSERT_EQ(1u, quiet.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", quiet.boxes[0].text);
}
