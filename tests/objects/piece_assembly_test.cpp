// Replicators, splitters and assemblies loaded and stepped by hand: the
// seeded order, the mended edge cases and every destruction order.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "geometry/grid.h"
#include "geometry/quad.h"
#include "geometry/quad_splitter.h"
#include "geometry/replicator.h"
#include "objects/piece_assembly.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/replica_payloads.h"

using namespace authoring;

namespace {

using Replicas = GLTest;

// A registry owning a 4 x 3 grid "grd" and a splitter "spl" of its 12 tiles
// t0 to t11, as the loader would leave it.
struct SplitRegistry {
    ObjectList registry{true};
    QuadSplitter* splitter;

    SplitRegistry()
    {
        registry.deleter = &SceneObject::destroy;
        Grid* grid = new Grid;
        grid->buildGrid(4, 3, 4, 3);
        registry.append("grd", grid);
        SplitterFields s;
        s.source = "grd";
        for (int i = 0; i < 12; ++i)
            s.tiles.push_back("t" + std::to_string(i));
        splitter = new QuadSplitter(&registry);
        loadExact(*splitter, splitterPayload(s));
        registry.append("spl", splitter);
    }
    PieceAssembly* assembly(AssemblyFields a)
    {
        a.source = a.source.empty() ? "spl" : a.source;
        auto* assembly = new PieceAssembly(&registry);
        loadExact(*assembly, assemblyPayload(a));
        return assembly;
    }
};

std::vector<std::string> order(PieceAssembly& a)
{
    std::vector<std::string> tags;
    for (void* p = a.pieces->first(); p; p = a.pieces->next())
        tags.push_back(a.pieces->currentTag());
    return tags;
}

}  // namespace

TEST(PieceShuffle, TheSeedFixesOrderAndDips)
{
    RandomGenerator random;
    random.seed(1);
    EXPECT_EQ((std::vector<int32_t>{41, 18467, 6334}), (std::vector<int32_t>{random.next(), random.next(), random.next()}));

    SplitRegistry s;
    AssemblyFields fields;
    fields.depthSpread = 0.35f;
    std::unique_ptr<PieceAssembly> a(s.assembly(fields)), b(s.assembly(fields));
    // 41 % 12, then 18467 % 11 and 6334 % 10 of the tiles left.
    const std::vector<std::string> first = order(*a);
    ASSERT_EQ(12u, first.size());
    EXPECT_EQ((std::vector<std::string>{"t5", "t10", "t4"}), std::vector<std::string>(first.begin(), first.begin() + 3));
    EXPECT_EQ(first, order(*b));
    EXPECT_EQ(std::vector<float>(a->dips, a->dips + 12), std::vector<float>(b->dips, b->dips + 12));
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(a->dips[i] == 0 || a->dips[i] == -0.1f || a->dips[i] == -0.2f) << a->dips[i];
    fields.seed = 2;
    std::unique_ptr<PieceAssembly> other(s.assembly(fields));
    EXPECT_NE(first, order(*other));
    // Homes are the tiles' positions (0 uncentred); pieces wait at the start.
    auto* piece = static_cast<Quad*>(a->pieces->first());
    EXPECT_EQ((std::vector<float>{1, 0, 1, 11}), (std::vector<float>{piece->position[0], piece->position[1],
                                                                     piece->position[2], float(piece->order)}));
}

TEST_F(Replicas, AssemblyEdgeCasesAndFrozenClones)
{
    SplitRegistry s;
    AssemblyFields fields;
    fields.depthSpread = 0.05f;  // no dips
    std::unique_ptr<PieceAssembly> a(s.assembly(fields));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(0.0f, a->dips[i]);
    // Unlimited lifetime: no span to release over; all drawn, none moved.
    a->step(false);
    EXPECT_EQ(12.0f, a->progress);
    EXPECT_EQ(1.0f, static_cast<Quad*>(a->pieces->first())->position[0]);

    a.reset(s.assembly(fields));
    a->length = 20;
    std::unique_ptr<SceneObject> unstarted(a->clone());
    EXPECT_EQ(0, unstarted->isCopy);
    a->step(true);  // step-only passes move pieces too
    auto* piece = static_cast<Quad*>(a->pieces->first());
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f}), (std::vector<float>{piece->position[0], piece->position[2]}));
    std::unique_ptr<PieceAssembly> frozen(static_cast<PieceAssembly*>(a->clone()));
    EXPECT_EQ(1, frozen->isCopy);
    frozen->step(false);
    piece = static_cast<Quad*>(frozen->pieces->first());
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f}), (std::vector<float>{piece->position[0], piece->position[2]}));
    EXPECT_GT(frozen->progress, a->progress);

    // Over its whole lifetime every piece flies, dips and settles at home,
    // with whole turns of spin, by the last step.
    fields = AssemblyFields{};
    fields.startOffset = 2, fields.depthSpread = 0.35f, fields.phaseEnd = 0.95f;
    a.reset(s.assembly(fields));
    a->length = 40;
    bool dipped = false;
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(i < 40 ? 1 : 0, a->step(true));
        for (void* p = a->pieces->first(); p; p = a->pieces->next())
            dipped = dipped || static_cast<Quad*>(p)->position[2] < -0.05f;
    }
    EXPECT_TRUE(dipped);
    for (void* p = a->pieces->first(); p; p = a->pieces->next()) {
        auto* q = static_cast<Quad*>(p);
        EXPECT_EQ((std::vector<float>{0, 0, 0}), (std::vector<float>{q->position[0], q->position[2],
                                                                     std::fmod(q->angles[2], 360.0f)}));
        EXPECT_GE(q->angles[2], 720.0f);
    }

    // A source that is no splitter, or none: nothing to assemble.
    fields.source = "grd";
    a.reset(s.assembly(fields));
    EXPECT_EQ(0, a->pieces->count());
    a->length = 10;
    EXPECT_EQ(1, a->step(false));
}

TEST_F(Replicas, SplitsAndLayoutsFollowTheirSources)
{
    SplitRegistry s;
    // A centred tile of the cell from (-2, -1.5) to (-1, -0.5).
    SplitterFields centred;
    centred.source = "grd";
    centred.tiles = {"c0"};
    centred.centre = true;
    QuadSplitter c(&s.registry);
    loadExact(c, splitterPayload(centred));
    auto* tile = static_cast<Quad*>(s.registry.find("c0"));
    EXPECT_EQ((std::vector<float>{-1.5f, -1, -0.5f, -0.5f, 0.5f, 0.5f}),
              (std::vector<float>{tile->position[0], tile->position[1], tile->corners[0][0], tile->corners[0][1],
                                  tile->corners[2][0], tile->corners[2][1]}));
    EXPECT_FALSE(tile->useColors);
    EXPECT_EQ(0.25f, tile->cornerUV[2][0]);
    // A quad is no mesh: the tiles stay empty.
    centred.source = "c0";
    centred.tiles = {"e0"};
    QuadSplitter empty(&s.registry);
    loadExact(empty, splitterPayload(centred));
    EXPECT_EQ(0.0f, static_cast<Quad*>(s.registry.find("e0"))->corners[2][0]);

    // Instances before their source get no child; a tag chunk longer than a
    // tag gives its first four bytes; the circle turns each to face the centre.
    Replicator r(&s.registry);
    loadExact(r, StreamWriter()
                     .add(tagListChunk(328, {"r0"}))
                     .add(329, cat({tag("grd"), tag("xxxx")}))
                     .add(tagListChunk(328, {"r1", "r2", "r3", "r4"}))
                     .add(circleChunk(360, 2, true))
                     .bytes());
    EXPECT_EQ(0, static_cast<SceneObject*>(s.registry.find("r0"))->children->count());
    EXPECT_EQ(4, r.instanceCount);
    auto* second = static_cast<Transform*>(s.registry.find("r2"));
    EXPECT_EQ(s.registry.find("grd"), second->children->first());
    EXPECT_NEAR(-90, second->angles[2], 1e-3);
    EXPECT_NEAR(2, second->position[1], 1e-5);
    std::unique_ptr<Replicator> copy(static_cast<Replicator*>(r.clone()));
    EXPECT_EQ(r.instances->first(), copy->instances->first());
    EXPECT_EQ(325, copy->typeId());
}

// A source whose lifetime ends leaves every instance and is destroyed once,
// by the registry; copies and registry go in any order.
TEST_F(Replicas, EveryDestructionOrder)
{
    int destroyed = 0;
    for (int orderCase = 0; orderCase < 3; ++orderCase) {
        SCOPED_TRACE(orderCase);
        destroyed = 0;
        auto* registry = new ObjectList(true);
        registry->deleter = &SceneObject::destroy;
        auto* source = new RecordingObject("src", nullptr, &destroyed);
        source->length = 2;
        registry->append("src", source);
        ReplicatorFields r;
        r.source = "src";
        r.instances = {"i0", "i1", "i2"};
        auto* replicator = new Replicator(registry);
        loadExact(*replicator, replicatorPayload(r));
        registry->append("rep", replicator);
        auto split = std::make_unique<SplitRegistry>();
        std::unique_ptr<PieceAssembly> assembly(split->assembly({}));
        SceneObject* splitterCopy = split->splitter->clone();
        SceneObject* assemblyCopy = assembly->clone();
        SceneObject* copy = replicator->clone();
        for (int i = 0; i < 3; ++i)
            copy->step(false);
        for (const char* t : {"i0", "i1", "i2"})
            EXPECT_EQ(0, static_cast<SceneObject*>(registry->find(t))->children->count());
        EXPECT_EQ(0, destroyed);
        if (orderCase == 0) {  // sources first
            delete registry;
            split.reset();
            assembly.reset();
        } else if (orderCase == 2) {  // the replicator alone, then its registry
            registry->remove(replicator);
        }
        delete copy;
        delete assemblyCopy;
        delete splitterCopy;
        if (orderCase != 0)
            delete registry;
        EXPECT_EQ(1, destroyed);
    }
}
