// Meshes, grids and models: payloads, shared arrays, damaged data, drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "demo/object_loader.h"
#include "geometry/grid.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/mesh_payloads.h"

using namespace authoring;

namespace {

// Two triangles making the square (-1,-1)..(1,1) at z, with texture
// coordinates of their own (one more than there are vertices).
MeshFields square(float z = 0)
{
    MeshFields m;
    m.vertices = {-1, -1, z, 1, -1, z, 1, 1, z, -1, 1, z};
    m.indices = {0, 1, 2, 0, 2, 3};
    m.texCoords = {0.5f, 0.5f, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    m.texIndices = {1, 2, 3, 1, 3, 4};
    return m;
}

std::vector<float> floatsOf(const float* p, int32_t n)
{
    return p ? std::vector<float>(p, p + n) : std::vector<float>{};
}

std::vector<int32_t> intsOf(const int32_t* p, int32_t n)
{
    return p ? std::vector<int32_t>(p, p + n) : std::vector<int32_t>{};
}

void expectArrays(const MeshFields& m, const Mesh& mesh)
{
    EXPECT_EQ(m.vertices, floatsOf(mesh.vertices, mesh.vertexFloatCount));
    EXPECT_EQ(m.indices, intsOf(mesh.vertexIndices, mesh.indexCount));
    EXPECT_EQ(m.texCoords, floatsOf(mesh.texCoords, mesh.texCoordFloatCount));
    EXPECT_EQ(m.texIndices, intsOf(mesh.texIndices, mesh.texIndexCount));
}

}  // namespace

TEST(GridBuild, TwoByTwoOfTwoByOneCells)
{
    GridFields f;
    f.width = 2;
    f.height = 2;
    f.cellsX = 2;
    f.cellsY = 1;
    f.transform.position = {0, 0, -3};
    Grid g;
    loadExact(g, gridPayload(f));
    EXPECT_EQ(170, g.typeId());
    EXPECT_EQ(-3, g.position[2]);
    EXPECT_EQ(2, g.gridWidth);
    EXPECT_EQ(1, g.cellsY);
    EXPECT_EQ((std::vector<float>{-1, -1, 0, 0, -1, 0, 1, -1, 0, -1, 1, 0, 0, 1, 0, 1, 1, 0}),
              floatsOf(g.vertices, g.vertexFloatCount));
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0.5f, 0, 0, 1, 0, 0, 0, 1, 0, 0.5f, 1, 0, 1, 1, 0}),
              floatsOf(g.texCoords, g.texCoordFloatCount));
    // Counter-clockwise seen from +Z; texture coordinate k belongs to vertex k.
    EXPECT_EQ((std::vector<int32_t>{0, 1, 4, 3, 1, 2, 5, 4}), intsOf(g.vertexIndices, g.indexCount));
    EXPECT_EQ(intsOf(g.vertexIndices, 8), intsOf(g.texIndices, g.texIndexCount));

    // No cells, negative cells or more than are built: nothing to draw.
    for (auto cells : {std::pair<int16_t, int16_t>{0, 3}, {3, -2}, {32767, 32767}}) {
        f.cellsX = cells.first;
        f.cellsY = cells.second;
        Grid empty;
        loadExact(empty, gridPayload(f));
        EXPECT_EQ(0, empty.indexCount);
    }
    // A second record regenerates the grid.
    g.buildGrid(4, 4, 1, 1);
    EXPECT_EQ(4, g.indexCount);
    EXPECT_EQ(12, g.vertexFloatCount);
    EXPECT_EQ(2, g.vertices[3]);
}

TEST(MeshArrays, ClonesShareUntilMadeUnique)
{
    TriangleMesh source;
    loadExact(source, meshPayload(square()));
    expectArrays(square(), source);
    EXPECT_EQ(172, source.typeId());
    source.position[0] = 2;

    std::unique_ptr<SceneObject> copy(source.clone());
    auto* clone = dynamic_cast<TriangleMesh*>(copy.get());
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(1, source.isCopy);
    EXPECT_EQ(1, clone->isCopy);
    EXPECT_EQ(source.vertices, clone->vertices);
    EXPECT_EQ(source.texIndices, clone->texIndices);
    EXPECT_EQ(2, clone->position[0]);

    // Texture coordinates are copied over their own length, not the vertices'.
    clone->makeUnique();
    EXPECT_EQ(0, clone->isCopy);
    EXPECT_NE(source.vertices, clone->vertices);
    EXPECT_NE(source.texCoords, clone->texCoords);
    expectArrays(square(), *clone);
    EXPECT_EQ(15, meshArrayLength(clone->texCoords));
    clone->vertices[0] = 7;
    EXPECT_EQ(-1, source.vertices[0]);

    // A grid clone carries its size too; a plain transform takes the transform.
    Grid grid;
    grid.buildGrid(2, 2, 2, 1);
    grid.cellsX = 2;
    std::unique_ptr<SceneObject> gridCopy(grid.clone());
    EXPECT_EQ(2, static_cast<Grid*>(gridCopy.get())->cellsX);
    EXPECT_EQ(grid.vertices, static_cast<Grid*>(gridCopy.get())->vertices);
    Transform plain;
    source.copyInto(&plain);
    EXPECT_EQ(2, plain.position[0]);
}

// Every case must load without reading or writing outside the data or the
// arrays (the sanitizer build checks) and leave indices that stay inside.
TEST(MeshDamage, CraftedPayloadsNeverLeaveTheArrays)
{
    platform::TestDouble platform;
    auto inside = [](const Mesh& m) {
        for (int32_t i = 0; i < m.indexCount; ++i) {
            ASSERT_GE(m.vertexIndices[i], 0);
            ASSERT_LT(m.vertexIndices[i], m.vertexFloatCount / 3);
            if (m.texIndices) {
                ASSERT_GE(m.texIndices[i], 0);
                ASSERT_LT(m.texIndices[i], m.texCoordFloatCount / 3);
            }
        }
        if (m.texIndices) {
            ASSERT_GE(meshArrayLength(m.texIndices), m.indexCount);
        }
    };
    const MeshFields good = square();
    const Bytes full = meshPayload(good);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        TriangleMesh m;
        loadExact(m, Bytes(full.begin(), full.begin() + long(cut)));
        inside(m);
    }
    for (size_t bit = 0; bit < full.size() * 8; bit += 3) {
        Bytes flipped = full;
        flipped[bit / 8] ^= uint8_t(1 << (bit % 8));
        TriangleMesh m;
        loadExact(m, flipped);
        inside(m);
    }
    platform.boxes.clear();

    auto ints = [](std::vector<int32_t> v) {
        Bytes b;
        for (int32_t x : v)
            append(b, s32(x));
        return b;
    };
    auto floats = [](std::vector<float> v) {
        Bytes b;
        for (float x : v)
            append(b, f32(x));
        return b;
    };
    const Bytes vertices = chunk(101, floats(good.vertices));
    const Bytes coords = chunk(105, floats(good.texCoords));
    {  // 108 before 104 has nothing to fit: ignored.
        TriangleMesh m;
        loadExact(m, cat({vertices, coords, chunk(108, ints({1, 2, 3})), chunk(104, ints({0, 1, 2}))}));
        EXPECT_EQ(3, m.indexCount);
        EXPECT_EQ(nullptr, m.texIndices);
    }
    {  // A longer 108 is cut to the index count, a shorter one padded with 0.
        TriangleMesh m;
        loadExact(m, cat({vertices, chunk(104, ints({0, 1, 2})), coords, chunk(108, ints({1, 2, 3, 4, 4, 4}))}));
        EXPECT_EQ((std::vector<int32_t>{1, 2, 3}), intsOf(m.texIndices, m.texIndexCount));
        EXPECT_EQ(3, meshArrayLength(m.texIndices));
        TriangleMesh shorter;
        loadExact(shorter, cat({vertices, chunk(104, ints({0, 1, 2})), coords, chunk(108, ints({4}))}));
        EXPECT_EQ(1, shorter.texIndexCount);
        EXPECT_EQ((std::vector<int32_t>{4, 0, 0}), intsOf(shorter.texIndices, 3));
    }
    {  // A vertex number past the end or negative: no triangles at all.
        for (int32_t bad : {4, -1, 0x7fffffff}) {
            TriangleMesh m;
            loadExact(m, cat({vertices, chunk(104, ints({0, 1, bad}))}));
            EXPECT_EQ(0, m.indexCount);
            EXPECT_EQ(nullptr, m.vertexIndices);
        }
    }
    {  // A texture coordinate number past the end: drawn untextured.
        TriangleMesh m;
        loadExact(m, cat({vertices, chunk(104, ints({0, 1, 2})), coords, chunk(108, ints({0, 5, 1}))}));
        EXPECT_EQ(3, m.indexCount);
        EXPECT_EQ(nullptr, m.texIndices);
        TriangleMesh noCoords;
        loadExact(noCoords, cat({vertices, chunk(104, ints({0, 1, 2})), chunk(108, ints({0, 0, 0}))}));
        EXPECT_EQ(nullptr, noCoords.texIndices);
    }
    EXPECT_TRUE(platform.boxes.empty());
    {  // Unknown sub-chunks are reported once each; the rest still loads.
        TriangleMesh m;
        loadExact(m, cat({chunk(102, Bytes(12, 1)), vertices, chunk(275, Bytes(3, 0)), chunk(104, ints({2, 1, 0}))}));
        ASSERT_EQ(2u, platform.boxes.size());
        EXPECT_EQ("ID DESCONEGUDA", platform.boxes[0].text);
        EXPECT_EQ("ERROR", platform.boxes[0].caption);
        EXPECT_EQ(3, m.indexCount);
    }
    {  // Loaded twice: the replaced arrays are let go of (the leak check
       // sees it), and indices that no longer fit the new vertices go.
        TriangleMesh m;
        loadExact(m, full);
        std::unique_ptr<SceneObject> copy(m.clone());
        loadExact(m, full);
        expectArrays(good, m);
        loadExact(m, chunk(101, floats({0, 0, 0})));
        EXPECT_EQ(0, m.indexCount);
        expectArrays(good, *static_cast<Mesh*>(copy.get()));
        // A shared copy loaded again takes arrays of its own first.
        loadExact(*copy, chunk(105, floats({1, 1, 1, 1, 1, 1})));
        EXPECT_EQ(0, copy->isCopy);
        EXPECT_EQ(6, static_cast<Mesh*>(copy.get())->texCoordFloatCount);
    }
}

TEST(ModelLoad, MeshesAreEnteredInBothListsAndClonesShareThem)
{
    platform::TestDouble platform;
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    MeshFields plain = square();
    plain.texCoords.clear();
    plain.texIndices.clear();
    TransformFields placement;
    placement.position = {0, 1, 2};
    Bytes body = cat({chunk(3, Bytes(5, 9)), modelPayload({{"mA", square()}, {"mB", plain}, {"mA", plain}})});
    Bytes data = cat({modelResource("mdl", body, placement), u8(0)});

    ObjectLoader loader(data.data(), int32_t(data.size()));
    loader.load(&resources, nullptr);
    ASSERT_EQ(4, resources.count());
    EXPECT_TRUE(platform.boxes.empty());
    auto* model = static_cast<Model*>(resources.find("mdl"));
    ASSERT_NE(nullptr, model);
    EXPECT_EQ(275, model->typeId());
    EXPECT_EQ(2, model->position[2]);
    ASSERT_EQ(3, model->meshes->count());
    // Both lists keep the meshes in load order; a lookup finds the first "mA".
    auto* first = static_cast<TriangleMesh*>(model->meshes->first());
    EXPECT_EQ(first, resources.first());
    EXPECT_EQ(first, resources.find("mA"));
    expectArrays(square(), *first);
    EXPECT_EQ(nullptr, static_cast<TriangleMesh*>(resources.find("mB"))->texIndices);

    std::unique_ptr<SceneObject> copy(model->clone());
    auto* clone = dynamic_cast<Model*>(copy.get());
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(&resources, clone->registry);
    EXPECT_EQ(1, clone->position[1]);
    ASSERT_EQ(3, clone->meshes->count());
    EXPECT_EQ(first, clone->meshes->first());
    EXPECT_STREQ("mA", clone->meshes->currentTag());

    // Cut short anywhere: the meshes that can be read, from what is there.
    Bytes two = modelPayload({{"mA", square()}, {"mB", square()}});
    for (size_t cut = 0; cut <= two.size(); cut += 7) {
        ObjectList list(true);
        list.deleter = &SceneObject::destroy;
        Model m(&list);
        loadExact(m, Bytes(two.begin(), two.begin() + long(cut)));
        EXPECT_EQ(m.meshes->count(), list.count());
    }
}

TEST(ModelLoad, FileWithItsPlacementBesideIt)
{
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    const std::string stem = ::testing::TempDir() + "mesh_test_model";
    TransformFields placement;
    placement.angles = {0, 45, 0};
    ASSERT_TRUE(writeFile(stem + ".mdl", modelPayload({{"one", square()}})));
    ASSERT_TRUE(writeFile(stem + ".dat", transformPayload(placement)));
    Model m(&resources);
    m.loadFile((stem + ".mdl").c_str());
    EXPECT_EQ(1, m.meshes->count());
    EXPECT_EQ(45, m.angles[1]);
    EXPECT_EQ(stem + ".dat", m.dataPath);
    std::remove((stem + ".dat").c_str());
    Model without(&resources);
    without.loadFile((stem + ".mdl").c_str());
    EXPECT_EQ(1, without.meshes->count());
    EXPECT_EQ(0, without.angles[1]);
    std::remove((stem + ".mdl").c_str());
}

class MeshDraw : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glLoadIdentity();
    }

    int litPixels()
    {
        std::vector<uint8_t> p(kWidth * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        int lit = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            lit += (p[i] | p[i + 1] | p[i + 2]) != 0;
        return lit;
    }
};

TEST_F(MeshDraw, ACloneDrawsAfterItsSourceIsGoneAndInStepOnlyPasses)
{
    auto source = std::make_unique<TriangleMesh>();
    loadExact(*source, meshPayload(square(-5)));
    std::unique_ptr<SceneObject> clone(source->clone());
    source.reset();

    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    clone->step(true);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
    const int lit = litPixels();
    EXPECT_GT(lit, 200);

    // The last texture coordinate sent stays current: (0, 1, 0) of vertex 3.
    float coord[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coord);
    EXPECT_EQ(0, coord[0]);
    EXPECT_EQ(1, coord[1]);

    // A grid draws in a step-only pass as well.
    glClear(GL_COLOR_BUFFER_BIT);
    Grid grid;
    grid.buildGrid(2, 2, 3, 3);
    grid.position[2] = -5;
    grid.step(true);
    EXPECT_NEAR(lit, litPixels(), lit / 10);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
