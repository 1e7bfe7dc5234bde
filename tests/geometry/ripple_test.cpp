// Ripples on meshes: the ring's arithmetic, the restore rule between
// deformers and frames, loading, copies, and how the timeline binds them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "demo/instance_list.h"
#include "demo/timeline.h"
#include "geometry/grid.h"
#include "geometry/mesh_deformer.h"
#include "platform/test_double.h"
#include "tools/writer/writer.h"

using namespace authoring;

namespace {

// Vertices on the X axis at x = 0, 1, ..., count - 1.
std::unique_ptr<QuadMesh> lineMesh(int count)
{
    auto mesh = std::make_unique<QuadMesh>();
    mesh->vertexFloatCount = 3 * count;
    mesh->vertices = newMeshArray<float>(mesh->vertexFloatCount);
    for (int i = 0; i < count; ++i)
        mesh->vertices[3 * i] = float(i);
    return mesh;
}

std::unique_ptr<Ripple> ripple(float startRadius, float speed, float amplitude, float width)
{
    auto r = std::make_unique<Ripple>();
    r->startRadius = startRadius;
    r->speed = speed;
    r->amplitude = amplitude;
    r->waveWidth = width;
    return r;
}

std::vector<float> heights(const Mesh& mesh)
{
    std::vector<float> z;
    for (int i = 0; i < mesh.vertexFloatCount / 3; ++i)
        z.push_back(mesh.vertices[3 * i + 2]);
    return z;
}

// The lift of one vertex at distance d from the centre, on top of z.
float lift(float d, float radius, float width, float amplitude, float z = 0)
{
    return float(std::fabs(std::sin((d - radius) * 3.14 / width) * amplitude / radius + z));
}

}  // namespace

TEST(Ripple, RingLiftsOnlyInsideItAndFallsOffWithTheRadius)
{
    auto mesh = lineMesh(6);
    auto r = ripple(1, 1, 2, 2.2f);
    r->bind(mesh.get());
    EXPECT_NE(nullptr, r->pristine);

    // Radius 1, ring (1, 3.2): 0 and 1 (on the edge) stay; 2 and 3 rise.
    // 3.14, not pi: at 3 the sine is just short of its zero crossing.
    EXPECT_EQ(1, r->step(false));
    EXPECT_EQ(2, r->radius);
    const std::vector<float> first = heights(*mesh);
    EXPECT_EQ(0, first[0]);
    EXPECT_EQ(0, first[1]);
    EXPECT_FLOAT_EQ(lift(2, 1, 2.2f, 2), first[2]);
    EXPECT_FLOAT_EQ(lift(3, 1, 2.2f, 2), first[3]);
    EXPECT_NE(float(std::fabs(std::sin(2 * M_PI / 2.2) * 2)), first[3]);
    EXPECT_EQ(0, first[4]);
    EXPECT_TRUE(mesh->deformed);

    // Next frame (the draw cleared the flag): back to flat first, then the
    // ring of radius 2 lifts half as much per unit of sine.
    mesh->deformed = 0;
    EXPECT_EQ(1, r->step(false));
    const std::vector<float> second = heights(*mesh);
    EXPECT_EQ(0, second[2]);  // on the inner edge now: restored, not lifted
    EXPECT_FLOAT_EQ(lift(3, 2, 2.2f, 2), second[3]);
    EXPECT_FLOAT_EQ(lift(4, 2, 2.2f, 2), second[4]);

    // Once the ring has left every vertex the ripple ends, the mesh flat.
    int steps = 0;
    for (mesh->deformed = 0; r->step(false) == 1 && steps < 10; mesh->deformed = 0)
        ++steps;
    EXPECT_EQ(2, steps);
    EXPECT_EQ(std::vector<float>(6, 0), heights(*mesh));

    // A ring that reaches no vertex at its first step ends at once.
    auto far = ripple(50, 1, 1, 1);
    far->bind(mesh.get());
    EXPECT_EQ(0, far->step(false));
}

TEST(Ripple, TwoOnOneMeshAddUpWithinAFrameAndRestartFromThePristineShape)
{
    auto mesh = lineMesh(4);
    auto a = ripple(1, 0, 1, 3);
    auto b = ripple(1.5f, 0, 1, 3);
    a->bind(mesh.get());
    b->bind(mesh.get());
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        mesh->deformed = 0;  // as the mesh's draw leaves it
        a->step(false);
        b->step(false);
        EXPECT_FLOAT_EQ(lift(2, 1.5f, 3, 1, lift(2, 1, 3, 1)), mesh->vertices[3 * 2 + 2]);
        EXPECT_FLOAT_EQ(lift(3, 1.5f, 3, 1, lift(3, 1, 3, 1)), mesh->vertices[3 * 3 + 2]);
    }
    // The copy the ripples keep is the mesh's own shape, not the bent one.
    EXPECT_EQ(std::vector<float>(4, 0), heights(*a->pristine));

    // A ripple bound while another one bends the mesh still starts from
    // the flat shape, not from the other one's last frame.
    mesh->children->append("rpa", a.release());
    auto c = ripple(1, 0, 1, 3);
    c->bind(mesh.get());
    EXPECT_EQ(std::vector<float>(4, 0), heights(*c->pristine));
}

TEST(Ripple, NothingToBendAndRadiusZeroLiftNothing)
{
    // Unbound, or on a mesh without vertices: the ripple lives out its
    // lifetime and touches nothing.
    auto loose = ripple(1, 1, 1, 5);
    loose->length = 2;
    EXPECT_EQ(1, loose->step(false));
    EXPECT_EQ(0, loose->step(false));
    QuadMesh empty;
    auto onEmpty = ripple(1, 1, 1, 5);
    onEmpty->bind(&empty);
    EXPECT_EQ(1, onEmpty->step(false));

    // Radius 0: the vertices inside the ring count as passed, none rises.
    auto mesh = lineMesh(3);
    auto flat = ripple(0, 0.5f, 1, 2.5f);
    flat->bind(mesh.get());
    EXPECT_EQ(1, flat->step(false));
    EXPECT_EQ(std::vector<float>(3, 0), heights(*mesh));
    EXPECT_EQ(0.5f, flat->radius);
}

TEST(Ripple, LoadsItsFieldsAndReportsUnknownParts)
{
    platform::TestDouble quiet;
    Ripple r;
    const Bytes payload = StreamWriter()
                              .add(15, cat({f32(1), f32(0.5f), f32(2), f32(3)}))
                              .add(16, cat({f32(-1), f32(4), f32(99)}))  // longer: the first 8 bytes count
                              .add(17, f32(0))
                              .bytes();
    r.load(payload.data(), int32_t(payload.size()));
    EXPECT_EQ(1, r.startRadius);
    EXPECT_EQ(0.5f, r.speed);
    EXPECT_EQ(2, r.amplitude);
    EXPECT_EQ(3, r.waveWidth);
    EXPECT_EQ(-1, r.centre[0]);
    EXPECT_EQ(4, r.centre[1]);
    ASSERT_EQ(1u, quiet.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", quiet.boxes[0].text);
    EXPECT_EQ(450, r.typeId());
    EXPECT_FALSE(r.copyFitsTransform());
}

TEST(Ripple, CloneContinuesAndOutlivesItsSource)
{
    auto mesh = lineMesh(5);
    auto source = ripple(1, 1, 1, 2);
    source->setCentre(0, 0);
    source->bind(mesh.get());
    source->step(false);
    std::unique_ptr<SceneObject> copy(source->clone());
    auto* r = dynamic_cast<Ripple*>(copy.get());
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(2, r->radius);
    EXPECT_EQ(mesh.get(), r->target);
    source.reset();  // the copy's untouched shape must survive this
    mesh->deformed = 0;
    EXPECT_EQ(1, r->step(false));
    EXPECT_EQ(0, mesh->vertices[2 + 3 * 2]);  // restored on the ring's inner edge
    EXPECT_FLOAT_EQ(lift(3, 2, 2, 1), mesh->vertices[3 * 3 + 2]);
}

namespace {

// What an impact spawner shows the timeline: type 423, the object it is attached to.
class SpawnerStandIn : public SceneObject {
public:
    int typeId() const override { return 423; }
    SceneObject* clone() override { return new SpawnerStandIn; }
    void attachTo(SceneObject* object) override { attached = object; }
    SceneObject* attachedObject() const override { return attached; }
    SceneObject* attached = nullptr;
};

}  // namespace

TEST(Ripple, TimelineBindsItToItsParentOrToTheSpawnersObject)
{
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    ObjectList active(true);
    active.deleter = &SceneObject::destroy;
    InstanceList instances;
    auto* grid = new Grid;
    grid->buildGrid(2, 2, 2, 2);
    resources.append("grd", grid);
    resources.append("rip", new Ripple);
    resources.append("spw", new SpawnerStandIn);
    auto placing = [](const char* resource, const char* as, const char* parent) {
        Place p;
        p.resourceTag = resource;
        p.instanceTag = as;
        p.parentTag = parent;
        return placeCommand(p);
    };
    TimelineEntry entry(&resources, &active, &instances);
    const Bytes payload = timelineEntry(1, cat({placing("grd", "g1", ""), placing("rip", "r1", "g1"),
                                                placing("spw", "s1", "g1"), placing("rip", "r2", "s1"),
                                                placing("rip", "r3", "")}));
    entry.load(payload.data(), int32_t(payload.size()));
    entry.apply();

    auto* g1 = static_cast<Grid*>(instances.find("g1"));
    ASSERT_NE(nullptr, g1);
    EXPECT_EQ(g1, static_cast<Ripple*>(instances.find("r1"))->target);
    EXPECT_EQ(g1, static_cast<SpawnerStandIn*>(instances.find("s1"))->attached);
    EXPECT_EQ(g1, static_cast<Ripple*>(instances.find("r2"))->target);
    EXPECT_EQ(nullptr, static_cast<Ripple*>(instances.find("r3"))->target);
    // The placed grid bends arrays of its own, not the resource's.
    EXPECT_NE(grid->vertices, g1->vertices);
}
