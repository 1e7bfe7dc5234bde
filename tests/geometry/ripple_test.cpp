// Ripples on meshes: the ring, the restore rule between deformers and
// frames, copies, damaged payloads, and how the timeline binds them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "demo/instance_list.h"
#include "demo/timeline.h"
#include "geometry/grid.h"
#include "geometry/mesh_deformer.h"
#include "objects/blend_mode.h"
#include "tests/support/gl_fixture.h"
#include "platform/test_double.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

// Vertices on the X axis at x = 0, 1, 2...; ripples centred on x = 0.
struct Line {
    explicit Line(int count)
    {
        mesh.vertexFloatCount = 3 * count;
        mesh.vertices = newMeshArray<float>(mesh.vertexFloatCount);
        for (int i = 0; i < count; ++i)
            mesh.vertices[3 * i] = float(i);
    }
    std::unique_ptr<Ripple> ripple(float startRadius, float speed, float amplitude, float width)
    {
        auto r = std::make_unique<Ripple>();
        r->startRadius = startRadius, r->speed = speed, r->amplitude = amplitude, r->waveWidth = width;
        r->bind(&mesh);
        return r;
    }
    float z(int i) const { return mesh.vertices[3 * i + 2]; }
    QuadMesh mesh;
};

// The lift at distance d, on top of z.
float lift(float d, float radius, float width, float amplitude, float z = 0)
{
    return float(std::fabs(std::sin((d - radius) * 3.14 / width) * amplitude / radius + z));
}

}  // namespace

TEST(Ripple, RingLiftsInsideItFallsOffWithTheRadiusAndEndsOncePassed)
{
    Line line(6);
    auto r = line.ripple(1, 1, 2, 2.2f);
    // Ring (1, 3.2): 1 on its edge stays; at 3 the sine is just short of its
    // zero crossing, where 3.14 and pi differ.
    EXPECT_EQ(1, r->step(false));
    EXPECT_EQ((std::vector<float>{0, 0, lift(2, 1, 2.2f, 2), lift(3, 1, 2.2f, 2), 0}),
              (std::vector<float>{line.z(0), line.z(1), line.z(2), line.z(3), line.z(4)}));
    // Next frame (the draw cleared the flag): flat first, then half the lift per unit of sine.
    line.mesh.deformed = 0;
    EXPECT_EQ(1, r->step(false));
    EXPECT_EQ((std::vector<float>{0, lift(3, 2, 2.2f, 2), lift(4, 2, 2.2f, 2)}),
              (std::vector<float>{line.z(2), line.z(3), line.z(4)}));
    // Radii 3 and 4 still hold a vertex; at 5 the ring has passed: it ends, the line flat.
    int steps = 0;
    for (line.mesh.deformed = 0; r->step(false) == 1 && steps < 9; line.mesh.deformed = 0)
        ++steps;
    EXPECT_EQ(2, steps);
    EXPECT_EQ(0, line.z(4) + line.z(5));
    EXPECT_EQ(0, line.ripple(50, 1, 1, 1)->step(false)) << "reaching no vertex at once";
    // Told not to end, it and its clone live on past every vertex.
    auto kept = line.ripple(50, 1, 1, 1);
    kept->endWhenPassed = 0;
    std::unique_ptr<SceneObject> keptCopy(kept->clone());
    EXPECT_EQ((std::vector<int>{1, 1}), (std::vector<int>{kept->step(false), keptCopy->step(false)}));
    // Radius 0: the vertices in the ring count, none rises (no division by it).
    auto zero = line.ripple(0, 0.5f, 1, 2.5f);
    EXPECT_EQ(1, zero->step(false));
    EXPECT_EQ(0, line.z(1) + line.z(2));
    // The outer edge, at distance radius + width, is not moved either.
    line.mesh.deformed = 0;
    auto edge = line.ripple(1, 0, 2, 2);
    edge->step(false);
    EXPECT_EQ((std::vector<bool>{true, false}), (std::vector<bool>{line.z(2) != 0, line.z(3) != 0}));
    // Unbound it lives its length; over a mesh with no whole vertex (a short
    // vertex chunk, or none) its ring reaches no vertex and it ends at once.
    Ripple loose, onEmpty, onShort;
    QuadMesh empty, shortMesh;
    shortMesh.vertexFloatCount = 2;
    shortMesh.vertices = newMeshArray<float>(2);
    onEmpty.bind(&empty);
    onShort.bind(&shortMesh);
    EXPECT_EQ((std::vector<int>{1, 0, 0}), (std::vector<int>{loose.step(false), onEmpty.step(false), onShort.step(false)}));
}

TEST(Ripple, TwoAddUpWithinAFrameRestartFromTheUntouchedShapeAndCopiesOutliveTheirSource)
{
    Line line(5);
    auto a = line.ripple(1, 0, 1, 3);
    auto b = line.ripple(1.5f, 0, 1, 3);
    for (int frame = 0; frame < 3; ++frame, line.mesh.deformed = 0) {
        a->step(false);
        b->step(false);
        EXPECT_FLOAT_EQ(lift(3, 1.5f, 3, 1, lift(3, 1, 3, 1)), line.z(3)) << frame;
    }
    // Bound while the others bend the mesh, it still starts from the flat shape.
    line.mesh.children->append("a", a.release());
    auto c = line.ripple(0, 0, 1, 3);
    EXPECT_EQ(0, c->pristine->vertices[3 * 3 + 2]);

    // A clone goes on from the radius reached, with the untouched shape
    // though its source is gone.
    b->speed = 1;
    b->step(false);
    std::unique_ptr<SceneObject> copy(b->clone());
    b.reset();
    line.mesh.deformed = 0;
    EXPECT_EQ(1, copy->step(false));
    EXPECT_EQ((std::vector<float>{0, lift(3, 2.5f, 3, 1)}), (std::vector<float>{line.z(2), line.z(3)}));

    // Damaged payloads: an oversize centre fills the centre only; unknown parts are reported.
    platform::TestDouble quiet;
    const Bytes payload = StreamWriter().add(16, cat({f32(-1), f32(4), f32(99)})).add(17, f32(0)).bytes();
    c->load(payload.data(), int32_t(payload.size()));
    EXPECT_EQ((std::vector<float>{-1, 4, 0, 1}), (std::vector<float>{c->centre[0], c->centre[1], c->startRadius, c->amplitude}));
    ASSERT_EQ(1u, quiet.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", quiet.boxes[0].text);
}

// A motion trail's snapshots clone a grid together with its ripple: each
// copied ripple bends its own copy of the grid, keeps its centre, and none
// reaches the grid once it is gone; a deformer is told when its mesh dies,
// wherever the deformer lives.
using RippleGL = GLTest;

TEST_F(RippleGL, CopiedWithTheirMeshTheyBendTheCopyAndNoneOutlivesItsMesh)
{
    MotionTrail trail;
    trail.trailLength = 2;
    auto* grid = new Grid;
    grid->buildGrid(4, 4, 4, 4);
    trail.children->append("grd", grid);
    auto* ripple = new Ripple;
    ripple->startRadius = 0.5f, ripple->speed = 0.1f, ripple->amplitude = 1, ripple->waveWidth = 1;
    ripple->setCentre(0.5f, -0.25f);
    ripple->endWhenPassed = 0;
    grid->children->append("rip", ripple);
    ripple->bind(grid);
    for (int i = 0; i < 4; ++i)
        trail.step(i % 2 == 0);
    ASSERT_EQ(3, trail.snapshots->count);
    for (void* s = trail.snapshots->first(); s; s = trail.snapshots->next()) {
        auto* copy = static_cast<Grid*>(static_cast<SceneObject*>(s)->children->first());
        auto* bent = static_cast<Ripple*>(copy->children->first());
        EXPECT_EQ(copy, bent->target);
        EXPECT_NE(grid->vertices, copy->vertices);
        EXPECT_EQ((std::vector<float>{0.5f, -0.25f}), (std::vector<float>{bent->centre[0], bent->centre[1]}));
    }
    trail.children->remove(grid);  // its lifetime ends first
    for (int i = 0; i < 4; ++i)
        trail.step(i % 2 == 0);  // the sanitizers watch the snapshots' ripples

    // Bound though owned elsewhere: the ripple and its copy let go.
    auto* mesh = new Grid;
    mesh->buildGrid(2, 2, 2, 2);
    Ripple apart;
    apart.bind(mesh);
    std::unique_ptr<SceneObject> copy(apart.clone());
    delete mesh;
    EXPECT_EQ((std::vector<Mesh*>{nullptr, nullptr}), (std::vector<Mesh*>{apart.target, static_cast<Ripple*>(copy.get())->target}));
    EXPECT_EQ(1, copy->step(false));
}

namespace {

// What an impact spawner shows the timeline: type 423 and the object it is attached to.
struct SpawnerStandIn : SceneObject {
    int typeId() const override { return 423; }
    SceneObject* clone() override { return new SpawnerStandIn; }
    void attachTo(SceneObject* object) override { attached = object; }
    SceneObject* attachedObject() const override { return attached; }
    SceneObject* attached = nullptr;
};

}  // namespace

TEST(Ripple, TimelineBindsItToItsParentOrToTheSpawnersObject)
{
    ObjectList resources(true), active(true);
    resources.deleter = active.deleter = &SceneObject::destroy;
    InstanceList instances;
    auto* grid = new Grid;
    grid->buildGrid(2, 2, 2, 2);
    resources.append("grd", grid);
    resources.append("rip", new Ripple);
    resources.append("spw", new SpawnerStandIn);
    auto placing = [](const char* resource, const char* as, const char* parent) {
        return placeCommand(Place{resource, as, 0, 0, 1, parent, ""});
    };
    TimelineEntry entry(&resources, &active, &instances);
    const Bytes payload = timelineEntry(1, cat({placing("grd", "g1", ""), placing("rip", "r1", "g1"),
                                                placing("spw", "s1", "g1"), placing("rip", "r2", "s1"),
                                                placing("rip", "r3", ""), placing("grd", "g2", ""),
                                                placeCommand(Place{"rip", "r4", 0, 0, 1, "g2", "none"})}));
    entry.load(payload.data(), int32_t(payload.size()));
    entry.apply();
    auto* g1 = static_cast<Grid*>(instances.find("g1"));
    auto target = [&](const char* tag) { return static_cast<Ripple*>(instances.find(tag))->target; };
    EXPECT_EQ((std::vector<Mesh*>{g1, g1, nullptr}), (std::vector<Mesh*>{target("r1"), target("r2"), target("r3")}));
    EXPECT_EQ(g1, static_cast<SpawnerStandIn*>(instances.find("s1"))->attached);
    EXPECT_NE(grid->vertices, g1->vertices) << "the placed grid bends arrays of its own";
    // Bound though placed nowhere (its after tag names no child), a ripple
    // lets go of its mesh when that goes first.
    auto* r4 = static_cast<Ripple*>(instances.find("r4"));
    EXPECT_EQ(instances.find("g2"), r4->target);
    active.remove(instances.find("g2"));
    EXPECT_EQ(nullptr, r4->target);
    EXPECT_EQ(1, r4->step(false));
}
