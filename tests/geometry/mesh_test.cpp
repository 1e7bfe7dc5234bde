// Meshes, grids and models: payloads, shared arrays, damaged data, drawing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "demo/object_loader.h"
#include "geometry/grid.h"
#include "geometry/model.h"
#include "platform/test_double.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/scene_loading.h"
#include "tools/writer/mesh_payloads.h"

using namespace tools::writer;

namespace {

// Two triangles making the square (-1,-1)..(1,1) at z, with texture
// coordinates of their own (one more than there are vertices).
MeshFields square(float z = 0)
{
    return {{-1, -1, z, 1, -1, z, 1, 1, z, -1, 1, z},
            {0, 1, 2, 0, 2, 3},
            {0.5f, 0.5f, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0},
            {1, 2, 3, 1, 3, 4}};
}

template <typename T>
std::vector<T> arrayOf(const T* p, int32_t n)
{
    return p ? std::vector<T>(p, p + n) : std::vector<T>{};
}

void expectArrays(const MeshFields& m, const Mesh& mesh)
{
    EXPECT_EQ(m.vertices, arrayOf(mesh.vertices, mesh.vertexFloatCount));
    EXPECT_EQ(m.indices, arrayOf(mesh.vertexIndices, mesh.indexCount));
    EXPECT_EQ(m.texCoords, arrayOf(mesh.texCoords, mesh.texCoordFloatCount));
    EXPECT_EQ(m.texIndices, arrayOf(mesh.texIndices, mesh.texIndexCount));
}

Bytes ints(std::vector<int32_t> values)
{
    Bytes b;
    for (int32_t v : values)
        append(b, s32(v));
    return b;
}

Bytes floats(std::vector<float> values)
{
    Bytes b;
    for (float v : values)
        append(b, f32(v));
    return b;
}

}  // namespace

TEST(GridBuild, TwoByTwoOfTwoByOneCells)
{
    GridFields f{{{0, 0, -3}}, 2, 2, 2, 1};
    Grid g;
    loadExact(g, gridPayload(f));
    EXPECT_EQ(-3, g.position[2]);
    EXPECT_EQ(1, g.cellsY);
    EXPECT_EQ((std::vector<float>{-1, -1, 0, 0, -1, 0, 1, -1, 0, -1, 1, 0, 0, 1, 0, 1, 1, 0}),
              arrayOf(g.vertices, g.vertexFloatCount));
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0.5f, 0, 0, 1, 0, 0, 0, 1, 0, 0.5f, 1, 0, 1, 1, 0}),
              arrayOf(g.texCoords, g.texCoordFloatCount));
    // Counter-clockwise seen from +Z; texture coordinate k belongs to vertex k.
    EXPECT_EQ((std::vector<int32_t>{0, 1, 4, 3, 1, 2, 5, 4}), arrayOf(g.vertexIndices, g.indexCount));
    EXPECT_EQ(arrayOf(g.vertexIndices, 8), arrayOf(g.texIndices, g.texIndexCount));

    // No cells, negative cells or more than are built: nothing to draw.
    for (auto cells : {std::pair<int16_t, int16_t>{0, 3}, {3, -2}, {32767, 32767}}) {
        f.cellsX = cells.first;
        f.cellsY = cells.second;
        Grid empty;
        loadExact(empty, gridPayload(f));
        EXPECT_EQ(0, empty.indexCount);
    }
}

TEST(MeshArrays, ClonesShareUntilMadeUnique)
{
    TriangleMesh source;
    loadExact(source, meshPayload(square()));
    expectArrays(square(), source);
    source.position[0] = 2;
    std::unique_ptr<SceneObject> copy(source.clone());
    auto* clone = dynamic_cast<TriangleMesh*>(copy.get());
    ASSERT_NE(nullptr, clone);
    EXPECT_TRUE(source.isCopy && clone->isCopy);
    EXPECT_EQ(source.vertices, clone->vertices);
    EXPECT_EQ(2, clone->position[0]);

    // Texture coordinates are copied over their own length, not the vertices'.
    clone->makeUnique();
    EXPECT_EQ(0, clone->isCopy);
    EXPECT_NE(source.texCoords, clone->texCoords);
    expectArrays(square(), *clone);
    clone->vertices[0] = 7;
    EXPECT_EQ(-1, source.vertices[0]);

    // A grid clone carries its size too; a plain transform takes the transform.
    Grid grid;
    grid.cellsX = 2;
    std::unique_ptr<SceneObject> gridCopy(grid.clone());
    EXPECT_EQ(2, static_cast<Grid*>(gridCopy.get())->cellsX);
    Transform plain;
    source.copyInto(&plain);
    EXPECT_EQ(2, plain.position[0]);
}

// Every case must stay inside the data and the arrays (the sanitizer build
// checks) and leave indices that the draw can follow.
TEST(MeshDamage, CraftedPayloadsNeverLeaveTheArrays)
{
    platform::TestDouble platform;
    auto inside = [](const Mesh& m) {
        for (int32_t i = 0; i < m.indexCount; ++i) {
            ASSERT_LT(uint32_t(m.vertexIndices[i]), uint32_t(m.vertexFloatCount / 3));
            ASSERT_TRUE(!m.texIndices || uint32_t(m.texIndices[i]) < uint32_t(m.texCoordFloatCount / 3));
        }
        ASSERT_TRUE(!m.texIndices || meshArrayLength(m.texIndices) >= m.indexCount);
    };
    const Bytes full = meshPayload(square());
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

    const Bytes vertices = chunk(101, floats(square().vertices)), coords = chunk(105, floats(square().texCoords));
    const Bytes triangle = chunk(104, ints({0, 1, 2}));
    struct Case {
        const char* name;
        Bytes payload;
        int32_t indexCount;
        std::vector<int32_t> texIndices;  // all the array holds
    } cases[] = {
        {"108 before 104: ignored", cat({vertices, coords, chunk(108, ints({1, 2, 3})), triangle}), 3, {}},
        {"longer 108: cut", cat({vertices, triangle, coords, chunk(108, ints({1, 2, 3, 4, 4}))}), 3, {1, 2, 3}},
        {"shorter 108: zeros", cat({vertices, triangle, coords, chunk(108, ints({4}))}), 3, {4, 0, 0}},
        {"vertex past the end: no triangles", cat({vertices, chunk(104, ints({0, 1, 4}))}), 0, {}},
        {"negative vertex", cat({vertices, chunk(104, ints({0, -1, 2}))}), 0, {}},
        {"coordinate past the end: untextured", cat({vertices, triangle, coords, chunk(108, ints({0, 5, 1}))}), 3, {}},
        {"texture indices, no coordinates", cat({vertices, triangle, chunk(108, ints({0, 0, 0}))}), 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TriangleMesh m;
        loadExact(m, c.payload);
        EXPECT_EQ(c.indexCount, m.indexCount);
        EXPECT_EQ(c.texIndices, arrayOf(m.texIndices, meshArrayLength(m.texIndices)));
    }
    EXPECT_TRUE(platform.boxes.empty());

    // Unknown sub-chunks are reported once each; the rest still loads.
    TriangleMesh m;
    loadExact(m, cat({chunk(102, Bytes(12, 1)), vertices, chunk(275, Bytes(3, 0)), triangle}));
    ASSERT_EQ(2u, platform.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", platform.boxes[0].text);
    EXPECT_EQ("ERROR", platform.boxes[0].caption);
    EXPECT_EQ(3, m.indexCount);

    // Loaded twice: what is replaced is let go of (the leak check sees it);
    // indices that no longer fit the new vertices go; a shared copy loaded
    // again takes arrays of its own first.
    loadExact(m, full);
    std::unique_ptr<SceneObject> copy(m.clone());
    loadExact(m, chunk(101, floats({0, 0, 0})));
    EXPECT_EQ(0, m.indexCount);
    expectArrays(square(), *static_cast<Mesh*>(copy.get()));
    loadExact(*copy, chunk(105, floats({1, 1, 1})));
    EXPECT_EQ(0, copy->isCopy);
}

TEST(ModelLoad, MeshesAreEnteredInBothListsAndClonesShareThem)
{
    platform::TestDouble platform;
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    MeshFields plain = square();
    plain.texCoords.clear();
    plain.texIndices.clear();
    const Bytes body = cat({chunk(3, Bytes(5, 9)), modelPayload({{"mA", square()}, {"mB", plain}, {"mA", plain}})});
    const Bytes data = cat({modelResource("mdl", body, {{0, 1, 2}}), u8(0)});
    ObjectLoader loader(data.data(), int32_t(data.size()));
    loader.load(&resources, nullptr);
    ASSERT_EQ(4, resources.count());
    EXPECT_TRUE(platform.boxes.empty());
    auto* model = static_cast<Model*>(resources.find("mdl"));
    ASSERT_NE(nullptr, model);
    EXPECT_EQ(2, model->position[2]);
    ASSERT_EQ(3, model->meshes->count());
    // Both lists keep load order; a lookup finds the first "mA".
    auto* first = static_cast<TriangleMesh*>(model->meshes->first());
    EXPECT_EQ(first, resources.find("mA"));
    expectArrays(square(), *first);
    EXPECT_EQ(nullptr, static_cast<TriangleMesh*>(resources.find("mB"))->texIndices);

    std::unique_ptr<SceneObject> copy(model->clone());
    auto* clone = dynamic_cast<Model*>(copy.get());
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(1, clone->position[1]);
    ASSERT_EQ(3, clone->meshes->count());
    EXPECT_EQ(first, clone->meshes->first());
    EXPECT_STREQ("mA", clone->meshes->currentTag());

    // Cut short anywhere: the meshes that can be read, from what is there.
    const Bytes two = modelPayload({{"mA", square()}, {"mB", square()}});
    for (size_t cut = 0; cut <= two.size(); cut += 7) {
        ObjectList list(true);
        list.deleter = &SceneObject::destroy;
        Model m(&list);
        loadExact(m, Bytes(two.begin(), two.begin() + long(cut)));
        EXPECT_EQ(m.meshes->count(), list.count());
    }

    // From a file, with its placement from the ".dat" file beside it.
    const std::string stem = ::testing::TempDir() + "mesh_test_model" + std::to_string(getpid());
    ASSERT_TRUE(writeFile(stem + ".mdl", modelPayload({{"one", square()}})));
    ASSERT_TRUE(writeFile(stem + ".dat", transformPayload({{0, 0, 0}, {0, 45, 0}})));
    Model fromFile(&resources);
    fromFile.loadFile((stem + ".mdl").c_str());
    EXPECT_EQ(1, fromFile.meshes->count());
    EXPECT_EQ(45, fromFile.angles[1]);
    std::remove((stem + ".mdl").c_str());
    std::remove((stem + ".dat").c_str());
}

TEST_F(GLTest, MeshCloneDrawsAfterItsSourceIsGoneInStepOnlyPassesToo)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glLoadIdentity();
    auto source = std::make_unique<TriangleMesh>();
    loadExact(*source, meshPayload(square(-5)));
    std::unique_ptr<SceneObject> clone(source->clone());
    source.reset();
    float before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    clone->step(true);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
    std::vector<uint8_t> p(kWidth * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    int lit = 0;
    for (size_t i = 0; i < p.size(); i += 4)
        lit += p[i] != 0;
    EXPECT_GT(lit, 200);
    // The last texture coordinate sent stays current: (0, 1) of vertex 3.
    float coord[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coord);
    EXPECT_EQ(0, coord[0]);
    EXPECT_EQ(1, coord[1]);
}

// Grids and models draw in step-only passes too, each inside its own
// transform (the model's square lies on the eye without it), and every draw
// clears the deformed mark.
TEST_F(GLTest, GridsAndModelsDrawInStepOnlyPassesInsideTheirTransforms)
{
    glDisable(GL_DEPTH_TEST);
    Grid grid;
    loadExact(grid, gridPayload({{{0, 0, -5}}, 2, 2, 1, 1}));
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    Model model(&resources);
    loadExact(model, modelPayload({{"sq", square()}}));
    model.position[2] = -5;
    auto* mesh = static_cast<Mesh*>(model.meshes->first());
    grid.deformed = mesh->deformed = 1;
    // The model's children step before its meshes draw (a deformer among
    // them bends the mesh of this very frame): a child still sees the flag
    // that the draw clears.
    struct Peek : SceneObject {
        Mesh* mesh = nullptr;
        int seen = -1;
        int step(bool stepOnly) override
        {
            seen = mesh->deformed;
            return SceneObject::step(stepOnly);
        }
    };
    auto* peek = new Peek;
    peek->mesh = mesh;
    model.children->add(peek);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (SceneObject* object : {static_cast<SceneObject*>(&grid), static_cast<SceneObject*>(&model)}) {
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        object->step(true);
        std::vector<uint8_t> p(kWidth * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        int lit = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            lit += p[i] != 0;
        EXPECT_GT(lit, 200) << object->typeId();
        float matrix[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
        EXPECT_EQ(0, std::memcmp(identity, matrix, sizeof matrix));
    }
    EXPECT_EQ(0, grid.deformed + mesh->deformed);
    EXPECT_EQ(1, peek->seen);
    EXPECT_EQ((std::vector<int>{170, 172, 173, 275, 275}),
              (std::vector<int>{grid.typeId(), mesh->typeId(), QuadMesh().typeId(), Mesh().typeId(), model.typeId()}));
}
