// Replicators, splitters and assemblies loaded and stepped by hand: the
// seeded order, the mended edge cases and every destruction order.
#include <gtest/gtest.h>

#include <algorithm>
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
#include "tools/writer/replica_payloads.h"

using namespace tools::writer;

namespace {

using Replicas = GLTest;

// A registry owning a 4 x 3 grid "grd" of unit cells and a splitter "spl"
// of its 12 tiles t0 to t11, as the loader leaves them.
struct SplitRegistry {
    ObjectList registry{true};
    QuadSplitter* splitter = new QuadSplitter(&registry);

    SplitRegistry()
    {
        registry.deleter = &SceneObject::destroy;
        Grid* grid = new Grid;
        grid->buildGrid(4, 3, 4, 3);
        registry.append("grd", grid);
        SplitterFields s{{}, "grd", {}, false};
        for (int i = 0; i < 12; ++i)
            s.tiles.push_back("t" + std::to_string(i));
        loadExact(*splitter, splitterPayload(s));
        registry.append("spl", splitter);
    }
    PieceAssembly* assembly(AssemblyFields a, int16_t length = 0)
    {
        auto* assembly = new PieceAssembly(&registry);
        loadExact(*assembly, assemblyPayload(a));
        assembly->length = length;
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

Quad& piece(PieceAssembly& a, int i = 0)
{
    void* p = a.pieces->first();
    while (i-- > 0)
        p = a.pieces->next();
    return *static_cast<Quad*>(p);
}

}  // namespace

TEST(PieceShuffle, TheSeedFixesOrderAndDips)
{
    RandomGenerator random;
    random.seed(1);
    EXPECT_EQ((std::vector<int32_t>{41, 18467, 6334}), (std::vector<int32_t>{random.next(), random.next(), random.next()}));

    SplitRegistry s;
    std::unique_ptr<PieceAssembly> a(s.assembly({"spl", 1, 0.35f})), b(s.assembly({"spl", 1, 0.35f}));
    // 41 % 12, then 18467 % 11 and 6334 % 10 of the tiles left.
    const std::vector<std::string> first = order(*a);
    ASSERT_EQ(12u, first.size());
    EXPECT_EQ((std::vector<std::string>{"t5", "t10", "t4"}), std::vector<std::string>(first.begin(), first.begin() + 3));
    EXPECT_EQ(first, order(*b));
    EXPECT_EQ(std::vector<float>(a->dips, a->dips + 12), std::vector<float>(b->dips, b->dips + 12));
    // The dips follow the shuffle's draws: m is the stored spread times 10
    // taken exactly, then truncated towards zero (0.7 stored is 0.69999999:
    // m = 6; -0.35 gives -3, not -4).
    const struct {
        float spread;
        int32_t m;
    } spreads[] = {{0.35f, 3}, {0.7f, 6}, {1.3f, 12}, {2.8f, 27}, {1.0f, 10}, {-0.35f, -3}};
    for (const auto& c : spreads) {
        std::unique_ptr<PieceAssembly> d(s.assembly({"spl", 1, c.spread, 1, 1, 0.1f, 7}));
        RandomGenerator expected;
        expected.seed(7);
        for (int i = 0; i < 12; ++i)
            expected.next();  // the shuffle's
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(-float(expected.next() % c.m) * 0.1f, d->dips[i]) << c.spread << " " << i;
    }
    // Pieces wait at the start offset and height, rotating before translating.
    EXPECT_EQ((std::vector<float>{1, 0, 1, 11}),
              (std::vector<float>{piece(*a).position[0], piece(*a).position[1], piece(*a).position[2], float(piece(*a).order)}));
}

TEST_F(Replicas, AssemblyLifetimeEdgeCasesAndFrozenClones)
{
    SplitRegistry s;
    // No dips below a spread of 0.1; with an unlimited lifetime there is no
    // span to release over: everything is drawn at once and nothing moves.
    std::unique_ptr<PieceAssembly> a(s.assembly({"spl", 1, 0.05f}));
    EXPECT_EQ(std::vector<float>(12, 0), std::vector<float>(a->dips, a->dips + 12));
    // Spreads beyond any integer (damaged data): NaN gives no dips, the rest
    // reach as deep as the generator's 15 bits do.
    for (float spread : {NAN, INFINITY, -INFINITY, 1e10f}) {
        std::unique_ptr<PieceAssembly> w(s.assembly({"spl", 1, spread}));
        for (int i = 0; i < 12; ++i) {
            EXPECT_TRUE(std::isnan(spread) ? w->dips[i] == 0 : w->dips[i] <= 0 && w->dips[i] >= -3276.7f)
                << spread << ": " << w->dips[i];
        }
    }
    a->step(false);
    EXPECT_EQ((std::vector<float>{12, 1}), (std::vector<float>{a->progress, piece(*a).position[0]}));

    // Starting on the surface there is no descent to spin over: a piece that
    // dips does not turn at all, and none slides home above the surface.
    a.reset(s.assembly({"spl", 0, 0.35f, 2, 0.95f}, 40));
    for (int i = 0; i < 10; ++i)
        a->step(false);
    for (int p = 0; p < 12; ++p)
        EXPECT_EQ((std::vector<float>{2, 0}), (std::vector<float>{piece(*a, p).position[0], piece(*a, p).angles[2]})) << p;

    // Every piece flies, dips and settles at home with whole turns by the end.
    a.reset(s.assembly({"spl", 1, 0.35f, 2, 0.95f}, 40));
    bool dipped = false;
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(i < 40 ? 1 : 0, a->step(true));  // step-only passes move pieces too
        for (int p = 0; p < 12; ++p)
            dipped = dipped || piece(*a, p).position[2] < -0.05f;
    }
    EXPECT_TRUE(dipped);
    for (int p = 0; p < 12; ++p) {
        const Quad& q = piece(*a, p);
        EXPECT_EQ((std::vector<float>{0, 0, 0}), (std::vector<float>{q.position[0], q.position[2], std::fmod(q.angles[2], 360.0f)}));
        EXPECT_GE(q.angles[2], 720.0f);
    }

    // Its own frame counter advances in every step, so a child due at frame 2
    // steps in the second drawn step.
    a.reset(s.assembly({"spl", 1, 0.35f, 2, 0.95f}, 40));
    auto* due = new Counter;
    due->start = 2;
    a->children->add(due);
    a->step(false);
    EXPECT_EQ(0, due->steps);
    a->step(false);
    EXPECT_EQ(1, due->steps);

    // A clone of an unstarted assembly animates; one of a started one is frozen.
    a.reset(s.assembly({"spl", 1, 0, 1, 1, 0.1f}, 20));
    std::unique_ptr<SceneObject> unstarted(a->clone());
    a->step(false);
    std::unique_ptr<PieceAssembly> frozen(static_cast<PieceAssembly*>(a->clone()));
    frozen->step(false);
    EXPECT_EQ((std::vector<int>{0, 1}), (std::vector<int>{unstarted->isCopy, frozen->isCopy}));
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f, 1.5f}), (std::vector<float>{piece(*frozen).position[0], piece(*frozen).position[2], frozen->progress}));

    // A source that is no splitter: nothing to assemble.
    a.reset(s.assembly({"grd"}, 10));
    EXPECT_EQ((std::vector<int>{0, 1}), (std::vector<int>{a->pieces->count(), a->step(false)}));
}

TEST_F(Replicas, SplitsAndLayoutsFollowTheirSources)
{
    SplitRegistry s;
    // A centred tile of the cell from (-2, -1.5) to (-1, -0.5); a quad is no
    // mesh, so a splitter of it fills nothing.
    QuadSplitter centred(&s.registry), empty(&s.registry);
    loadExact(centred, splitterPayload({{}, "grd", {"c0"}, true}));
    loadExact(empty, splitterPayload({{}, "c0", {"e0"}, true}));
    auto* tile = static_cast<Quad*>(s.registry.find("c0"));
    EXPECT_EQ((std::vector<float>{-1.5f, -1, -0.5f, -0.5f, 0.5f, 0.5f, 0.25f, 0}),
              (std::vector<float>{tile->position[0], tile->position[1], tile->corners[0][0], tile->corners[0][1],
                                  tile->corners[2][0], tile->corners[2][1], tile->cornerUV[2][0],
                                  static_cast<Quad*>(s.registry.find("e0"))->corners[2][0]}));

    // Instances before their source get no child; a tag chunk longer than a
    // tag gives its first four bytes; the circle turns each to face the centre.
    Replicator r(&s.registry);
    loadExact(r, StreamWriter()
                     .add(tagListChunk(328, {"r0"}))
                     .add(329, cat({tag("grd"), tag("xxxx")}))
                     .add(tagListChunk(328, {"r1", "r2", "r3", "r4"}))
                     .add(circleChunk(360, 2, true))
                     .bytes());
    auto* second = static_cast<Transform*>(s.registry.find("r2"));
    EXPECT_EQ(0, static_cast<SceneObject*>(s.registry.find("r0"))->children->count());
    EXPECT_EQ(s.registry.find("grd"), second->children->first());
    EXPECT_NEAR(-90, second->angles[2], 1e-3);
    EXPECT_NEAR(2, second->position[1], 1e-5);
    // Far out, the odd factors show: 0.017452866 leaves the last of four
    // short of 270 degrees (X = -0.115, not 0), 57.297176 turns it back to
    // 90. Without the flag nothing turns.
    for (bool face : {true, false}) {
        ReplicatorFields wide{{}, "grd", {"w0", "w1", "w2", "w3"}, ReplicatorFields::Layout::Circle, 360, 1000, face};
        Replicator c(&s.registry);
        loadExact(c, replicatorPayload(wide));
        auto* first = static_cast<Transform*>(c.instances->first());
        Transform* last = first;
        while (void* next = c.instances->next())
            last = static_cast<Transform*>(next);
        EXPECT_NEAR(-0.1154f, last->position[0], 0.003f);
        EXPECT_NEAR(face ? 89.99997f : 0, last->angles[2], 1e-3) << face;
        EXPECT_EQ(face ? -180 : 0, first->angles[2]);
    }
    // Only a flag of exactly 1 turns them: a damaged 2 moves them only.
    Replicator flagTwo(&s.registry);
    loadExact(flagTwo, StreamWriter().add(tagListChunk(328, {"f0", "f1"})).add(326, cat({f32(360), f32(2), u8(2)})).bytes());
    EXPECT_EQ((std::vector<float>{2, 0}), (std::vector<float>{static_cast<Transform*>(flagTwo.instances->first())->position[0],
                                                                static_cast<Transform*>(flagTwo.instances->first())->angles[2]}));
    // A lattice fills z innermost, then y, then x, each axis centred; with
    // fewer instances than points it stops at the last one (in the middle of
    // a row too), with a count of 0 it places none.
    const struct {
        int16_t counts[3];
        int instances;
    } lattices[] = {{{2, 3, 2}, 12}, {{3, 2, 1}, 4}, {{2, 2, 3}, 5}, {{2, 0, 2}, 3}, {{32767, 32767, 0}, 2}, {{0, 5, 5}, 2}};
    for (const auto& l : lattices) {
        ReplicatorFields grid{{}, "grd", {}, ReplicatorFields::Layout::Lattice};
        for (int i = 0; i < l.instances; ++i)
            grid.instances.push_back("p" + std::to_string(i));
        std::copy(l.counts, l.counts + 3, grid.counts);
        const float spacing[3] = {1, 2, 3};
        std::copy(spacing, spacing + 3, grid.spacing);
        Replicator lat(&s.registry);
        loadExact(lat, replicatorPayload(grid));
        int n = 0;
        auto* instance = static_cast<Transform*>(lat.instances->first());
        for (int x = 0; x < l.counts[0] && instance; ++x)
            for (int y = 0; y < l.counts[1] && instance; ++y)
                for (int z = 0; z < l.counts[2] && instance; ++z, ++n) {
                    const float at[3] = {x - (l.counts[0] - 1) * 0.5f, y * 2 - (l.counts[1] - 1) * 1.0f,
                                         z * 3 - (l.counts[2] - 1) * 1.5f};
                    EXPECT_EQ(std::vector<float>(at, at + 3), std::vector<float>(instance->position, instance->position + 3))
                        << l.counts[0] << l.counts[1] << l.counts[2] << " " << n;
                    instance = static_cast<Transform*>(lat.instances->next());
                }
        for (; instance; instance = static_cast<Transform*>(lat.instances->next()))
            EXPECT_EQ(std::vector<float>(3, 0), std::vector<float>(instance->position, instance->position + 3));
    }
    // Step-only passes step every instance and tile too: the source once per instance.
    r.step(true);
    s.splitter->step(true);
    EXPECT_EQ((std::vector<int>{4, 1}), (std::vector<int>{static_cast<SceneObject*>(s.registry.find("grd"))->stepCount,
                                                          static_cast<SceneObject*>(s.registry.find("t11"))->stepCount}));
    std::unique_ptr<Replicator> copy(static_cast<Replicator*>(r.clone()));
    EXPECT_EQ(r.instances->first(), copy->instances->first());

    // Payloads cut at every length, from exact-size copies: nothing is read
    // past the cut (the sanitizers watch).
    ReplicatorFields lattice{{}, "grd", {"l0", "l1"}, ReplicatorFields::Layout::Lattice};
    const Bytes payloads[] = {replicatorPayload(lattice), splitterPayload({{}, "grd", {"s0"}, true}),
                              assemblyPayload({"spl", 1, 0.35f, 2, 0.95f})};
    for (const Bytes& b : payloads) {
        for (size_t cut = 0; cut <= b.size(); ++cut) {
            const Bytes part(b.begin(), b.begin() + long(cut));
            Replicator rc(&s.registry);
            QuadSplitter sc(&s.registry);
            PieceAssembly ac(&s.registry);
            for (SceneObject* o : std::initializer_list<SceneObject*>{&rc, &sc, &ac})
                loadExact(*o, part);
        }
    }
}

// A source whose lifetime ends leaves every instance and is destroyed once,
// by the registry; sources, copies and registries go in any order.
TEST_F(Replicas, EveryDestructionOrder)
{
    for (int orderCase = 0; orderCase < 3; ++orderCase) {
        SCOPED_TRACE(orderCase);
        int destroyed = 0;
        auto* registry = new ObjectList(true);
        registry->deleter = &SceneObject::destroy;
        auto* source = new RecordingObject("src", nullptr, &destroyed);
        source->length = 2;
        registry->append("src", source);
        auto* replicator = new Replicator(registry);
        loadExact(*replicator, replicatorPayload({{}, "src", {"i0", "i1", "i2"}}));
        registry->append("rep", replicator);
        auto split = std::make_unique<SplitRegistry>();
        std::unique_ptr<PieceAssembly> assembly(split->assembly({"spl"}));
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
