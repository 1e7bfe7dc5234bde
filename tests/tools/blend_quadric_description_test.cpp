// Descriptions and inspection of blend modes, trails, polygon modes and
// quadrics.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <sstream>

#include "demo/object_loader.h"
#include "geometry/polygon_mode.h"
#include "geometry/quadric.h"
#include "objects/blend_mode.h"
#include "platform/test_double.h"
#include "tests/support/description.h"
#include "tools/inspect/inspect.h"

using namespace tools::inspect;

namespace {

const char* const kResources = R"({"totalFrames": 1, "resources": [
    {"class": "blend", "tag": "add"},
    {"class": "trail", "tag": "trl", "source": "one", "destination": "GL_ONE_MINUS_SRC_ALPHA", "length": 12},
    {"class": "polygonMode", "tag": "pts", "face": "back", "mode": 6912},
    {"class": "quadric", "tag": "cone", "shape": "cone", "radius": 2, "topRadius": 0.5, "slices": 24,
     "drawStyle": "line", "normals": "GLU_SMOOTH", "textured": true, "position": [0, 1, 0]},
    {"class": "quadric", "tag": "part", "shape": "partialDisk", "outerRadius": 2, "sweepAngle": 90}
]})";

}  // namespace

TEST(BlendQuadricDescription, ClassesLoadBackWithTheirFieldsAndInspectNamesThem)
{
    platform::TestDouble quiet;
    const Bytes data = compiled(kResources);
    ObjectList list(true);
    list.deleter = &SceneObject::destroy;
    ChunkStream stream(data.data(), int32_t(data.size()));
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        if (id == 2102)
            ObjectLoader(data.data() + stream.position(), int32_t(length)).load(&list, nullptr);
        stream.skip(length);
    });
    auto get = [&](const char* tag) { return static_cast<SceneObject*>(list.find(tag)); };
    auto* add = dynamic_cast<BlendMode*>(get("add"));
    auto* trail = dynamic_cast<MotionTrail*>(get("trl"));
    auto* pts = dynamic_cast<PolygonMode*>(get("pts"));
    auto* cone = dynamic_cast<Quadric*>(get("cone"));
    auto* part = dynamic_cast<Quadric*>(get("part"));
    ASSERT_TRUE(add && trail && pts && cone && part);
    EXPECT_EQ((std::vector<int>{340, 340, 0, 400}),
              (std::vector<int>{add->typeId(), trail->typeId(), pts->typeId(), cone->typeId()}));
    EXPECT_EQ((std::vector<int32_t>{GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, 12, GL_BACK, GL_POINT}),
              (std::vector<int32_t>{add->sourceFactor, add->destinationFactor, trail->sourceFactor,
                                    trail->destinationFactor, trail->trailLength, pts->face, pts->mode}));
    EXPECT_EQ((std::vector<float>{2, 0.5f, 1, 1, 0, 2, 90}),
              (std::vector<float>{cone->radius1, cone->radius2, cone->height, cone->position[1], part->radius1,
                                  part->radius2, part->sweepAngle}));
    EXPECT_EQ((std::vector<int32_t>{402, 24, GLU_LINE, GLU_SMOOTH, GLU_OUTSIDE, 1, 405}),
              (std::vector<int32_t>{cone->kind, cone->slices, cone->drawStyle, cone->normals, cone->orientation,
                                    cone->textured, part->kind}));
    EXPECT_TRUE(quiet.boxes.empty());

    std::ostringstream out;
    EXPECT_TRUE(tools::inspect::inspect(data, out)) << out.str();
    for (const char* line : {"source GL_ONE, destination GL_ONE_MINUS_SRC_ALPHA, trail length 12",
                             "face GL_BACK, mode GL_POINT", "402 cone", "405 partialDisk",
                             "8 sizes: radius 1 0, radius 2 2, height 1, start angle 0, sweep angle 90",
                             "15 style: draw style GLU_LINE, normals GLU_SMOOTH, orientation GLU_OUTSIDE, textured yes"})
        EXPECT_NE(std::string::npos, out.str().find(line)) << line << "\n" << out.str();
}

TEST(BlendQuadricDescription, ErrorsNameTheFieldAndDynamicsReachTheRadii)
{
    EXPECT_NE(std::string::npos, errorOf(R"({"totalFrames": 1, "resources": [{"class": "quadric", "tag": "q",
        "shape": "disk", "topRadius": 2}]})").find("'topRadius' is not for this shape; it takes 'outerRadius'"));
    const std::string radius = R"(], "timeline": [{"frame": 1, "commands": [{"place": "q"},
        {"dynamic": "scalar", "parent": "q", "parameter": "Radi 1", "value": 1, "length": 5}]}]})";
    compiled(R"({"totalFrames": 9, "resources": [{"class": "quadric", "tag": "q"})" + radius);
    EXPECT_NE(std::string::npos,
              errorOf(R"({"totalFrames": 9, "resources": [{"class": "blend", "tag": "q"})" + radius).find("which has none"));
}
