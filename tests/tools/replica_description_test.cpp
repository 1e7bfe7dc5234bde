// Replicators, splitters and assemblies in descriptions: what they load as,
// what inspect shows of them, and the sources a build refuses.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "demo/chunk_stream.h"
#include "demo/object_loader.h"
#include "objects/piece_assembly.h"
#include "platform/test_double.h"
#include "tests/support/description.h"
#include "tools/inspect/inspect.h"

using namespace tools::inspect;

namespace {

std::string description(const std::string& resources, const std::string& commands = "")
{
    return R"({"totalFrames": 1, "resources": [{"class": "grid", "tag": "grd", "cells": [2, 2]},
              {"class": "box", "tag": "box"})" +
           resources + R"(], "timeline": [{"frame": 1, "commands": [)" + commands + "]}]}";
}

}  // namespace

TEST(ReplicaDescription, LoadsAndInspectsFieldByField)
{
    platform::TestDouble quiet;
    const Bytes data = compiled(description(
        R"(, {"class": "splitter", "tag": "spl", "source": "grd", "tiles": 4, "centre": true},
           {"class": "assembly", "tag": "asm", "source": "spl", "depthSpread": 0.35, "seed": 7},
           {"class": "replicator", "tag": "rep", "source": "box", "instances": ["a", "b"],
            "circle": {"radius": 2, "faceCentre": true}},
           {"class": "replicator", "tag": "lat", "source": "asm", "instances": 3, "lattice": {"counts": [3, 1, 1]}})",
        R"({"place": "asm", "length": 20}, {"copy": "rep"},
           {"place": "spl2"}, {"dynamic": "scalar", "parent": "spl2", "parameter": "Posició X", "value": 1, "length": 1})"));
    ObjectList resources(true);
    resources.deleter = &SceneObject::destroy;
    ChunkStream stream(data.data(), int32_t(data.size()));
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == 2102)
            ObjectLoader(stream.data() + stream.position(), int32_t(length)).load(&resources, nullptr);
        stream.skip(length);
    });
    EXPECT_TRUE(quiet.boxes.empty());
    // grd, box, spl with spl0 to spl3, asm, rep with a and b, lat with lat0 to lat2.
    EXPECT_EQ(15, resources.count());
    EXPECT_EQ(4, static_cast<PieceAssembly*>(resources.find("asm"))->pieces->count());

    std::ostringstream text;
    EXPECT_TRUE(tools::inspect::inspect(data, text)) << text.str();
    for (const char* line : {"351 tiles 4: spl0 spl1 spl2 spl3\n", "13 centre tiles\n", "352 source spl\n",
                             "8 start height 1, depth spread 0.35, start offset 1, phase end 1, flight fraction 0.1\n",
                             "14 seed 7\n", "328 instances 2: a b\n", "326 circle: angle 360, radius 2, face centre yes\n",
                             "327 lattice: counts 3 x 1 x 1, spacing 1 1 1\n"})
        EXPECT_NE(std::string::npos, text.str().find(line)) << line << text.str();
}

TEST(ReplicaDescription, SourcesMustComeFirstAndFit)
{
    const std::string rep = R"(, {"class": "replicator", "tag": "rep", "instances": 2, )";
    const std::string spl = R"(, {"class": "splitter", "tag": "spl", "tiles": 1, )";
    const std::pair<std::string, std::string> cases[] = {
        {rep + R"("source": "spl"})" + spl + R"("source": "grd"})", "'source' 'spl' is not a resource listed before this replicator"},
        {spl + R"("source": "box"})", "'source' 'box' is a box; a splitter takes a grid"},
        {R"(, {"class": "assembly", "tag": "asm", "source": "grd"})", "'source' 'grd' is a grid; an assembly takes a splitter"},
        {rep + R"("source": "box", "circle": {}, "lattice": {"counts": [1, 1, 1]}})", "not both"},
        {rep + R"("source": "box"}, {"class": "box", "tag": "rep1"})", "'rep1' is already defined"},
        {R"(, {"class": "splitter", "tag": "spl", "source": "grd", "tiles": ["grd"]})", "'tiles' tag 'grd' is already the tag"},
        {spl + R"("source": "grd"}, {"class": "assembly", "tag": "asm", "source": "spl", "phaseEnd": 0.2})",
         "'phaseEnd' must be above 0.2"},
    };
    for (const auto& c : cases)
        EXPECT_NE(std::string::npos, errorOf(description(c.first)).find(c.second)) << errorOf(description(c.first));
}
