// Dynamics in demo descriptions: the commands they compile to, the checks
// that refuse what the player could not use, and a fade seen in rendered frames.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/description.h"
#include "tests/support/dynamics.h"
#include "tools/writer/animation_payloads.h"
#include "tools/description/description.h"
#include "tools/render/render.h"

using namespace tools::writer;
using namespace tools::description;
using namespace tools::render;

namespace {

bool contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// A camera, a colour under it and a transform under the colour, placed at
// frame 1; `commands` follow in an entry of `frame`.
std::string scene(const std::string& commands, int frame = 1)
{
    std::string placed = R"({"place": "cam"}, {"place": "red", "parent": "cam"},
                            {"place": "tr", "parent": "red", "length": 20})";
    std::string timeline = frame == 1 ? R"([{"frame": 1, "commands": [)" + placed + ", " + commands + "]}]"
                                      : R"([{"frame": 1, "commands": [)" + placed + R"(]}, {"frame": )" +
                                            std::to_string(frame) + R"(, "commands": [)" + commands + "]}]";
    return R"({"totalFrames": 40,
        "resources": [
            {"class": "camera", "tag": "cam", "position": [0, 0, 5]},
            {"class": "color", "tag": "red", "color": [1, 0, 0]},
            {"class": "transform", "tag": "tr"}
        ],
        "timeline": )" + timeline + "}";
}

}  // namespace

TEST(DynamicDescription, EachKindCompilesToItsCommandWithTheParameterIndex)
{
    Bytes data = compiled(scene(R"(
        {"dynamic": "scalar", "as": "fade", "parent": "red", "length": 50, "parameter": "COLOR A",
         "mode": "reset", "initial": 1, "value": -0.02},
        {"dynamic": "translation", "as": "move", "parent": "tr", "start": 3, "length": 10,
         "parameter": "Posició", "value": 0.3, "vector": [-0.084, 0.064, 0]},
        {"dynamic": "rotation", "parent": "tr", "after": "move", "length": 25, "parameter": "Posicio",
         "mode": "reset", "value": 6.8, "vector": [0, 1, 0]}
    )", 12));
    DynamicFields fade;
    fade.reset = true;
    fade.initial = 1;
    fade.perFrame = -0.02f;
    fade.index = 13;
    EXPECT_TRUE(contains(data, dynamicCommand(attachDynamic(1002, "fade", "red", "", 11, 50, fade))));
    DynamicFields move;
    move.perFrame = 0.3f;
    move.vector = {-0.084f, 0.064f, 0};
    move.index = 15;
    EXPECT_TRUE(contains(data, dynamicCommand(attachDynamic(1003, "move", "tr", "", 3, 10, move))));
    DynamicFields orbit;
    orbit.reset = true;
    orbit.perFrame = 6.8f;
    orbit.vector = {0, 1, 0};
    orbit.index = 15;
    EXPECT_TRUE(contains(data, dynamicCommand(attachDynamic(1004, "", "tr", "move", 11, 25, orbit))));
}

TEST(DynamicDescription, ParameterNamesInLatin1Utf8OrWithoutTheAccent)
{
    EXPECT_EQ(4, dynamicParameterIndex("Posici\xf3 X"));
    EXPECT_EQ(4, dynamicParameterIndex("Posici\xc3\xb3 X"));
    EXPECT_EQ(4, dynamicParameterIndex("Posicio X"));
    EXPECT_EQ(17, dynamicParameterIndex("Vector Rotacio 1"));
    EXPECT_EQ(14, dynamicParameterIndex("Dimensio"));
    EXPECT_EQ(14, dynamicParameterIndex("Dimensi\xc3\xb3"));
    EXPECT_EQ(37, dynamicParameterIndex("Vertex 1"));
    EXPECT_EQ(76, dynamicParameterIndex("ColorV4 A"));
    EXPECT_EQ(82, dynamicParameterIndex("Volum"));
    EXPECT_EQ(0, dynamicParameterIndex("posicio x"));  // names are case-sensitive in the player
    EXPECT_EQ(0, dynamicParameterIndex(""));
    EXPECT_EQ(0, dynamicParameterIndex(std::string("Volum\0", 6)));
    EXPECT_EQ("Posici\xf3", dynamicParameterName(15));
    EXPECT_EQ("", dynamicParameterName(0));
    EXPECT_EQ("", dynamicParameterName(83));

    DynamicFields f;
    f.parameter = "Rotaci\xc3\xb3 3";
    f.initial = 2;
    f.perFrame = 3;
    f.vector = {4, 5, 6};
    EXPECT_EQ(cat({u8(1), f32(2), f32(3), s16(9)}), scalarDynamicPayload(f));
    EXPECT_EQ(cat({u8(1), f32(2), f32(3), s16(9), f32(4), f32(5), f32(6)}), vectorDynamicPayload(f));
    f.reset = true;
    f.index = 300;  // damaged data on purpose
    EXPECT_EQ(cat({u8(2), f32(2), f32(3), s16(300)}), scalarDynamicPayload(f));
}

TEST(DynamicDescription, ErrorsNameTheProblem)
{
    const std::pair<std::string, std::string> cases[] = {
        {R"({"dynamic": "scaler", "parent": "tr", "length": 2, "parameter": "Rotació 1", "value": 1})",
         "unknown dynamic 'scaler' (did you mean 'scalar'?)"},
        {R"({"dynamic": "scalar", "parent": "cam", "length": 2, "parameter": "Proximitad", "value": 1})",
         "unknown parameter 'Proximitad' (did you mean 'Proximitat'?)"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 2, "parameter": "COLOR A", "value": 1})",
         "'COLOR A' is not a parameter of 'tr', a transform; its parameters: Posició X,"},
        {R"({"dynamic": "scalar", "parent": "cam", "length": 2, "parameter": "Radi 1", "value": 1})",
         "'Radi 1' is not a parameter of 'cam', a camera"},
        {R"({"dynamic": "translation", "parent": "cam", "length": 2, "parameter": "Proximitat", "value": 1,
             "vector": [1, 0, 0]})",
         "a translation changes three values: 'Proximitat' has fewer after it in a camera"},
        {R"({"dynamic": "rotation", "parent": "tr", "length": 2, "parameter": "Posició", "value": 1})",
         "a rotation needs 'vector', the axis to turn about"},
        {R"({"dynamic": "rotation", "parent": "tr", "length": 2, "parameter": "Posició", "value": 1,
             "vector": [0, 0, 0]})",
         "a rotation axis must not be (0, 0, 0)"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 2, "parameter": "Posició X", "value": 1,
             "vector": [0, 1, 0]})",
         "a scalar dynamic changes one value and takes no 'vector'"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 0, "parameter": "Posició X", "value": 1})",
         "'length' must be from 1 to 32767, not 0"},
        {R"({"dynamic": "scalar", "parent": "tx", "length": 2, "parameter": "Posició X", "value": 1})",
         "parent 'tx' is not placed before this command (did you mean 'tr'?)"},
        {R"({"dynamic": "scalar", "parent": "tr", "after": "cam", "length": 2, "parameter": "Posició X",
             "value": 1})",
         "after 'cam': no instance of that tag is placed under 'tr' before this command"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 2, "parameter": "Posició X", "value": 1,
             "mode": "absolute"})",
         "'mode' is 'relative' (add to the value there) or 'reset' (start from 'initial')"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 2, "parameter": "Posició X"})", "needs 'value'"},
        {R"({"dynamic": "scalar", "parent": "tr", "length": 2, "parameter": "Posició X", "value": 1,
             "valeu": 2})",
         "unknown field 'valeu' (did you mean 'value'?)"},
        {R"({"dynamic": "scalar", "as": "d1", "parent": "tr", "length": 2, "parameter": "Posició X", "value": 1},
            {"dynamic": "scalar", "parent": "d1", "length": 2, "parameter": "Posició X", "value": 1})",
         "'d1' is a dynamic; a dynamic drives a placed instance"},
    };
    for (const auto& [commands, expected] : cases) {
        const std::string error = errorOf(scene(commands));
        EXPECT_NE(std::string::npos, error.find(expected)) << error << "\n  expected: " << expected;
        EXPECT_NE(std::string::npos, error.find("timeline entry 1 (frame 1), command ")) << error;
    }
    // A dynamic is a sibling later commands can be placed after.
    compiled(scene(R"({"dynamic": "scalar", "as": "d1", "parent": "red", "length": 2, "parameter": "COLOR R",
                       "value": 1},
                      {"place": "tr", "as": "tr2", "parent": "red", "after": "d1"})"));
}

TEST(DynamicDescription, AMoveShowsInTheRenderedFrames)
{
    // Without a camera the view is from the origin down −Z: a unit box 5 away
    // spans about 5.8 pixels of this 32 × 24 picture; world x = 0 is pixel 16.
    Bytes data = compiled(R"({"totalFrames": 6,
        "renderState": [{"clearColor": [0, 0, 0]}],
        "resources": [{"class": "box", "tag": "box", "position": [0, 0, -5]}],
        "timeline": [
            {"frame": 1, "commands": [{"place": "box", "length": 20}]},
            {"frame": 3, "commands": [
                {"dynamic": "translation", "parent": "box", "length": 2, "parameter": "Posició", "value": 1,
                 "vector": [1, 0, 0]}
            ]}
        ]})");
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("dynamic-move-" + std::to_string(getpid()) + ".dat")).string();
    ASSERT_TRUE(writeFile(path, data));
    RenderOptions options;
    options.width = 32;
    options.height = 24;
    std::vector<RenderedFrame> frames;
    std::string error;
    const bool rendered = renderDemo(path, options, frames, &error);
    std::filesystem::remove(path);
    ASSERT_TRUE(rendered) << error;
    ASSERT_EQ(6u, frames.size());
    // Box centre x per frame: 0, 0, then 1 and 2 as the dynamic runs, then it stays.
    const int centreX[] = {0, 0, 1, 2, 2, 2};
    for (size_t i = 0; i < frames.size(); ++i) {
        const RenderedFrame& f = frames[i];
        auto lit = [&](float worldX) {
            const int x = int(16 + worldX * 5.8f);
            return f.rgb[size_t(((f.height / 2) * f.width + x) * 3)] > 128;
        };
        for (int x = 0; x <= 2; ++x)
            EXPECT_EQ(x == centreX[i], lit(float(x))) << "frame " << f.frame << ", x " << x;
    }
}
