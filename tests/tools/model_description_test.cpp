// Grids and imported models in descriptions, and what inspect shows of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "demo/chunk_stream.h"
#include "demo/object_loader.h"
#include "geometry/grid.h"
#include "geometry/model.h"
#include "platform/test_double.h"
#include "tests/support/description.h"
#include "tools/inspect/inspect.h"

using namespace tools::inspect;

namespace {

// Three groups: two unit quads with texture coordinates and a triangle
// far off, without.
const char* kThreeGroups =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 4 0 0\nv 5 0 0\nv 5 2 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g a\nf 1/1 2/2 3/3 4/4\ng b\nf 1/1 3/3 4/4\ng c\nf 5 6 7\n";

std::string writeTemp(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

std::string description(const std::string& resources, const std::string& commands = "")
{
    return R"({"totalFrames": 1, "resources": [)" + resources + R"(], "timeline": [{"frame": 1, "commands": [)" +
           commands + "]}]}";
}

// The resources of compiled demo data, loaded as the player loads them.
void loadResources(const Bytes& data, ObjectList& into)
{
    ChunkStream stream(data.data(), int32_t(data.size()));
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == 2102) {
            ObjectLoader loader(stream.data() + stream.position(), int32_t(length));
            loader.load(&into, nullptr);
        }
        stream.skip(length);
    });
}

}  // namespace

TEST(ModelDescription, ImportsEachMeshUnderItsTagFittedAndPlaced)
{
    platform::TestDouble quiet;
    const std::string obj = writeTemp("three_groups.obj", kThreeGroups);
    const Bytes data = compiled(description(
        R"({"class": "model", "tag": "mdl", "file": ")" + obj + R"(", "fit": 2, "position": [0, 0, -4]},
           {"class": "model", "tag": "two", "file": ")" + obj + R"(", "meshTags": ["x", "y", "z", "w"]},
           {"class": "grid", "tag": "grd", "size": [3, 2], "cells": [3, 4]})",
        R"({"copy": "mdl"}, {"place": "mdl1", "parent": "mdl"}, {"place": "z"}, {"place": "grd"},
           {"dynamic": "scalar", "parent": "mdl1", "parameter": "Posició X", "value": 1, "length": 1})"));
    std::remove(obj.c_str());
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    loadResources(data, resources);
    EXPECT_TRUE(quiet.boxes.empty());

    auto* model = static_cast<Model*>(resources.find("mdl"));
    ASSERT_NE(nullptr, model);
    EXPECT_EQ(-4, model->position[2]);
    ASSERT_EQ(3, model->meshes->count());
    // Tagged from the model's tag; the group of five units along X fitted
    // into 2, centred; texture coordinates where the file has them.
    float low = 1e9f, high = -1e9f;
    std::string tags, textured;
    for (void* item = model->meshes->first(); item; item = model->meshes->next()) {
        auto* mesh = static_cast<TriangleMesh*>(item);
        EXPECT_EQ(mesh, resources.find(model->meshes->currentTag()));
        tags += model->meshes->currentTag() + std::string(" ");
        textured += mesh->texIndices ? "t" : "-";
        for (int32_t k = 0; k < mesh->vertexFloatCount; k += 3) {
            low = std::min(low, mesh->vertices[k]);
            high = std::max(high, mesh->vertices[k]);
        }
    }
    EXPECT_EQ("mdl0 mdl1 mdl2 ", tags);
    EXPECT_EQ("tt-", textured);
    EXPECT_FLOAT_EQ(-1, low);
    EXPECT_FLOAT_EQ(1, high);
    ASSERT_NE(nullptr, resources.find("z"));
    EXPECT_EQ(nullptr, resources.find("w"));
    EXPECT_EQ(4, static_cast<TriangleMesh*>(resources.find("z"))->vertices[0]);  // not fitted
    EXPECT_EQ(4 * 12, static_cast<Grid*>(resources.find("grd"))->indexCount);

    std::ostringstream text;
    EXPECT_TRUE(tools::inspect::inspect(data, text)) << text.str();
    for (const char* line : {"mesh mdl0: 4 vertices, 6 indices, 4 texture coordinates, 6 texture indices\n",
                             "mesh z: 3 vertices, 3 indices, 0 texture coordinates\n", "grid 3 x 2, 3 x 4 cells\n"})
        EXPECT_NE(std::string::npos, text.str().find(line)) << line << text.str();
}

TEST(ModelDescription, FilesThatGiveNoModelAreErrorsNamingThem)
{
    const std::string obj = writeTemp("errors.obj", kThreeGroups);
    const std::string junk = writeTemp("junk.obj", "not a model at all\n");
    const std::string model = R"({"class": "model", "tag": "mdl", "file": ")";
    struct Case {
        std::string resources, expected;
    } cases[] = {
        {model + ::testing::TempDir() + "absent.ply\"}", "cannot import '" + ::testing::TempDir() + "absent.ply'"},
        {model + junk + "\"}", "cannot import '" + junk + "': it holds no mesh"},
        {model + obj + R"(", "meshTags": ["a", "b"]})", "has 3 meshes and 'meshTags' names 2"},
        {model + obj + R"(", "fit": 0})", "'fit' is the edge of the cube"},
        {model + obj + R"("}, {"class": "color", "tag": "mdl2", "color": [1, 1, 1]})", "'mdl2' is already defined"},
        {model + obj + R"(", "meshTags": ["a", "mdl", "c"]})", "mesh tag 'mdl' is already the tag of a resource"},
        {R"({"class": "grid", "tag": "g", "cells": [2000, 1]})", "'cells' must be from 0 to 1024"},
    };
    for (const Case& c : cases) {
        const std::string error = errorOf(description(c.resources));
        EXPECT_NE(std::string::npos, error.find(c.expected)) << error;
        EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    }
    std::remove(obj.c_str());
    std::remove(junk.c_str());
}
