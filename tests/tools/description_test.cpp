// Demo descriptions: the bytes they compile to, what the player makes of
// them, and errors that point at the faulty place.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "animation/dynamic.h"
#include "player/demo_data.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "geometry/transform.h"
#include "platform/test_double.h"
#include "player/demo_data.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "tests/sound/sound_fixture.h"
#include "tests/support/command.h"
#include "tests/support/description.h"
#include "tools/assets/sample_assets.h"
#include "tools/description/description.h"
#include "tools/writer/geometry_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/writer/texture_payloads.h"

namespace assets = tools::assets;

using namespace tools::writer;
using namespace tools::media;
using namespace tools::description;
namespace fs = std::filesystem;

TEST(DescriptionCompiler, EveryPartMatchesTheWriter)
{
    Bytes data = compiled(R"({
        "window": {"title": "Test demo", "width": 800, "height": 600, "fullscreen": true},
        "playback": {"frameRate": 25, "catchUp": false, "loop": true},
        "renderState": [
            {"shadeModel": "flat"}, {"clearColor": [0.1, 0.2, 0.3]}, {"clearDepth": 0.5},
            {"depthFunc": "GL_LEQUAL"}, {"hint": ["GL_FOG_HINT", "fastest"]}, {"enable": "blend"},
            {"enable": 2929}
        ],
        "totalFrames": 300,
        "resources": [
            {"class": "transform", "tag": "root", "position": [1, 2, 3], "angles": [10, 20, 30],
             "axis1": [0, 0, 1], "axis2": [1, 0, 0], "axis3": [0, 1, 0]},
            {"class": "quad", "tag": "quad", "position": [0, 0, -2], "color": [1, 0, 0, 0.5], "corners": [
                {"position": [-1, -1, 0]},
                {"position": [1, -1, 0], "uv": [0.5, 0.25], "color": [0, 1, 0]},
                {"position": [1, 1, 0]},
                {"position": [-1, 1, 0]}
            ]},
            {"class": "box", "tag": "box", "angles": [0, 45, 0], "size": [2, 3, 4]},
            {"class": "camera", "tag": "cam", "position": [0, 0, 9], "centre": [0, 1, 0], "up": [0, 0, 1],
             "fadeColor": [1, 1, 1], "fade": 0.25, "proximity": 2},
            {"class": "color", "tag": "red", "color": [1, 0, 0]},
            {"class": "scale", "tag": "big", "factor": 2},
            {"class": "scale", "tag": "flat", "factor": [1, 0.5, 1]}
        ],
        "timeline": [
            {"frame": 1, "commands": [
                {"place": "cam"},
                {"place": "root", "as": "r1", "parent": "cam", "length": 100},
                {"group": [
                    {"place": "quad", "as": "q1", "parent": "r1", "start": 5, "length": 10, "frame": 2},
                    {"copy": "quad", "as": "qc", "parent": "r1", "after": "q1"}
                ]}
            ]},
            {"frame": 40, "commands": [
                {"place": "box", "parent": "cam", "after": "r1"},
                {"skip": "box", "frames": 3},
                {"skipResource": "red", "frames": -2}
            ]},
            {"frame": 41}
        ]
    })");

    WindowSettings window;
    window.title = "Test demo";
    window.width = 800;
    window.height = 600;
    window.fullscreen = true;
    PlaybackSettings playback;
    playback.frameRate = 25;
    playback.catchUp = false;
    playback.loop = true;
    RenderStateWriter script;
    script.shadeModel(GL_FLAT).clearColor(0.1f, 0.2f, 0.3f, 1).clearDepth(0.5f).depthFunc(GL_LEQUAL);
    script.hint(GL_FOG_HINT, GL_FASTEST).enable(GL_BLEND).enable(GL_DEPTH_TEST);

    auto withTag = [](const std::string& tag, const Bytes& body) {
        Envelope e;
        e.tag = tag;
        e.body = body;
        return e;
    };
    StreamWriter resources;
    TransformFields root{{1, 2, 3}, {10, 20, 30}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    resources.add(resource(275, withTag("root", transformPayload(root))));
    QuadFields quad;
    quad.transform.position = {0, 0, -2};
    quad.corners[0] = {-1, -1, 0, 0, 0, 1, 0, 0, 0.5f};
    quad.corners[1] = {1, -1, 0, 0.5f, 0.25f, 0, 1, 0, 1};
    quad.corners[2] = {1, 1, 0, 1, 1, 1, 0, 0, 0.5f};
    quad.corners[3] = {-1, 1, 0, 0, 1, 1, 0, 0, 0.5f};
    resources.add(resource(160, withTag("quad", quadPayload(quad))));
    BoxFields box;
    box.transform.angles = {0, 45, 0};
    box.dimensions = {2, 3, 4};
    resources.add(resource(250, withTag("box", boxPayload(box))));
    CameraPayload camera;
    camera.position[2] = 9;
    camera.position[0] = camera.position[1] = 0;
    camera.centre[1] = 1;
    camera.up[1] = 0;
    camera.up[2] = 1;
    camera.fadeColor[0] = camera.fadeColor[1] = camera.fadeColor[2] = 1;
    camera.fadeValue = 0.25f;
    camera.proximity = 2;
    resources.add(resource(300, withTag("cam", cameraPayload(camera))));
    resources.add(resource(3, withTag("red", colorPayload({1, 0, 0, 1}))));
    resources.add(resource(150, withTag("big", scalePayload({2, 2, 2}))));
    resources.add(resource(150, withTag("flat", scalePayload({1, 0.5f, 1}))));

    Place cam{"cam", "cam", 0, 0, 1, "", "", false};
    Place r1{"root", "r1", 0, 100, 1, "cam", "", false};
    Place q1{"quad", "q1", 5, 10, 2, "r1", "", false};
    Place qc{"quad", "qc", 0, 0, 1, "r1", "q1", true};
    Place boxPlace{"box", "box", 39, 0, 40, "cam", "r1", false};
    StreamWriter timeline;
    timeline.add(totalFramesChunk(300));
    timeline.add(25, timelineEntry(1, cat({placeCommand(cam), placeCommand(r1),
                                           groupCommand(cat({placeCommand(q1), placeCommand(qc)}))})));
    timeline.add(25, timelineEntry(40, cat({placeCommand(boxPlace), fastForwardCommand(false, "box", 3),
                                            fastForwardCommand(true, "red", -2)})));
    timeline.add(25, timelineEntry(41, {}));

    DemoData expected;
    expected.window = windowSettings(window);
    expected.playback = playbackSettings(playback);
    expected.renderState = script.bytes();
    expected.resources = resources.bytes();
    expected.timeline = timeline.bytes();
    EXPECT_EQ(data, demoData(expected));
}

TEST(DescriptionCompiler, DefaultsOfAShortDescription)
{
    Bytes data = compiled(R"({"totalFrames": 10})");
    DemoData expected;
    expected.window = windowSettings(WindowSettings{});
    expected.playback = playbackSettings(PlaybackSettings{});
    expected.renderState = RenderStateWriter::standard().bytes();
    expected.resources = StreamWriter().bytes();
    StreamWriter timeline;
    timeline.add(totalFramesChunk(10));
    expected.timeline = timeline.bytes();
    EXPECT_EQ(data, demoData(expected));
}

namespace {

class DescriptionLoadsBack : public ::testing::Test {
protected:
    void SetUp() override { path_ = fs::temp_directory_path() / ("description_" + std::to_string(getpid()) + ".dat"); }
    void TearDown() override { fs::remove(path_); }

    void load(const std::string& description)
    {
        ASSERT_TRUE(writeFile(path_.string(), compiled(description)));
        ASSERT_TRUE(readContainer(player_, path_.string().c_str(), 0));
    }

    platform::TestDouble platform_;
    Player player_;
    fs::path path_;
};

std::vector<std::string> tagsOf(ObjectList& list)
{
    std::vector<std::string> tags;
    for (void* item = list.first(); item; item = list.next())
        tags.push_back(list.currentTag() ? list.currentTag() : "");
    return tags;
}

}  // namespace

TEST_F(DescriptionLoadsBack, SettingsResourcesAndTimelineAsThePlayerReadsThem)
{
    load(R"({
        "window": {"title": "Loaded", "width": 96, "height": 64},
        "playback": {"frameRate": 30, "catchUp": true, "loop": true},
        "renderState": [{"clearColor": [0, 0, 0, 1]}, {"enable": "GL_DEPTH_TEST"}],
        "totalFrames": 50,
        "resources": [
            {"class": "transform", "tag": "left", "position": [-1, 0, -5]},
            {"class": "transform", "tag": "spin", "angles": [0, 90, 0]}
        ],
        "timeline": [
            {"frame": 1, "commands": [
                {"place": "left", "as": "a", "length": 20},
                {"place": "spin", "as": "b", "after": "a"},
                {"group": [{"place": "left", "as": "c1", "parent": "a"},
                           {"copy": "spin", "as": "c2", "parent": "a", "after": "c1"}]}
            ]},
            {"frame": 7, "commands": [{"place": "spin", "as": "late", "parent": "b"}]}
        ]
    })");
    const PlayerSettings& s = player_.settings;
    EXPECT_STREQ(s.title, "Loaded");
    EXPECT_EQ(s.width, 96);
    EXPECT_EQ(s.height, 64);
    EXPECT_EQ(s.fullscreen, 0);
    EXPECT_EQ(s.frameRate, 30);
    EXPECT_EQ(s.catchUp, 1);
    EXPECT_EQ(s.loop, 1);
    EXPECT_EQ(s.totalFrames, 50);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    EXPECT_EQ(tagsOf(*player_.resources), (std::vector<std::string>{"left", "spin"}));
    auto* left = static_cast<Transform*>(player_.resources->find("left"));
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->typeId(), 275);
    EXPECT_FLOAT_EQ(left->position[0], -1);
    EXPECT_FLOAT_EQ(left->position[2], -5);
    EXPECT_FLOAT_EQ(static_cast<Transform*>(player_.resources->find("spin"))->angles[1], 90);

    ASSERT_EQ(player_.timeline->count(), 2);
    auto* first = static_cast<TimelineEntry*>(player_.timeline->first());
    EXPECT_EQ(first->startFrame, 1);
    EXPECT_EQ(static_cast<TimelineEntry*>(player_.timeline->next())->startFrame, 7);

    player_.cursor = first;
    timelineCheck(player_, 1);
    EXPECT_EQ(tagsOf(*player_.active), (std::vector<std::string>{"a", "b"})) << "'after' orders the roots";
    auto* a = static_cast<SceneObject*>(player_.active->find("a"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->length, 20);
    EXPECT_EQ(a->start, 0) << "start defaults to the frame before the entry";
    EXPECT_EQ(a->frame, 1) << "frame defaults to the entry's";
    EXPECT_EQ(tagsOf(*a->children), (std::vector<std::string>{"c1", "c2"}));
    auto* b = static_cast<SceneObject*>(player_.active->find("b"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->length, 0);

    for (int frame = 2; frame <= 7; ++frame)
        timelineCheck(player_, frame);
    ASSERT_EQ(b->children->count(), 1);
    auto* late = static_cast<SceneObject*>(b->children->first());
    EXPECT_EQ(late->start, 6);
    EXPECT_EQ(late->frame, 7);
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].caption << ": " << platform_.boxes[0].text;
}

TEST_F(DescriptionLoadsBack, EveryResourceClassIsKnownToTheLoader)
{
    soundtest::TempDir temp;  // where the player writes the library and the music
    fs::path folder = fs::path(temp.path()) / "files";
    fs::create_directories(folder);
    const std::string bmp = (folder / "t.bmp").string(), mp3 = (folder / "m.mp3").string();
    ASSERT_TRUE(writeFile(bmp, bmp24(4, 4, Bytes(48, 128))));
    ASSERT_TRUE(writeFile(mp3, assets::encodeMp3(std::vector<int16_t>(4410, 0), assets::kSampleRate)));
    const std::string obj = (folder / "one.obj").string();
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    ASSERT_TRUE(writeFile(obj, Bytes(triangle.begin(), triangle.end())));

    std::string description = R"({"totalFrames": 1, "resources": [)";
    std::vector<std::string> classes = resourceClassNames();
    ASSERT_GE(classes.size(), 10u);
    int tagged = 0;
    auto tagOf = [&](const std::string& c) {
        return "r" + std::to_string(std::find(classes.begin(), classes.end(), c) - classes.begin());
    };
    for (size_t i = 0; i < classes.size(); ++i) {
        const std::string& c = classes[i];
        std::string fields = c == "quad" ? R"(, "corners": [{"position": [0,0,0]}, {"position": [1,0,0]},
                                                       {"position": [1,1,0]}, {"position": [0,1,0]}])"
                             : c == "color"        ? R"(, "color": [1, 1, 1])"
                             : c == "texture"      ? R"(, "file": ")" + bmp + "\""
                             : c == "textureCopy"  ? R"(, "source": "tex")"
                             : c == "music"        ? R"(, "file": ")" + mp3 + "\""
                             : c == "model"        ? R"(, "file": ")" + obj + "\""
                             : c == "soundLibrary" ? R"(, "file": ")" + std::string(DEMOSOUND_RECORDER) + "\""
                             : c == "replicator"   ? R"(, "source": "tex", "instances": 1)"
                             : c == "splitter"     ? R"(, "source": ")" + tagOf("grid") + R"(", "tiles": 1)"
                             : c == "assembly"     ? R"(, "source": ")" + tagOf("splitter") + "\""
                                                   : "";
        // The copy's source comes first; the library carries no tag.
        std::string tag = c == "texture" ? "tex" : "r" + std::to_string(i);
        description += std::string(i ? "," : "") + R"({"class": ")" + c + "\"" +
                       (c == "soundLibrary" ? "" : R"(, "tag": ")" + tag + "\"") + fields + "}";
        // A model's one mesh is a resource of its own.
        // So are a replicator's instance and a splitter's tile.
        tagged += c == "soundLibrary" ? 0 : c == "model" || c == "replicator" || c == "splitter" ? 2 : 1;
    }
    description += "]}";
    ASSERT_LT(description.find("texture\""), description.find("textureCopy")) << "the table lists a copy's source first";
    load(description);
    EXPECT_EQ(player_.resources->count(), int32_t(tagged));
    for (const platform::TestDouble::Box& box : platform_.boxes)
        ADD_FAILURE() << box.caption << ": " << box.text;

    // A dynamic may name exactly what the loaded object enters, for every
    // class and for what a class enters besides itself (a model's mesh, a
    // replicator's instance): one description drives every such name, and
    // the first name an object lacks is refused.
    auto withCommands = [&](const std::string& commands) {
        return description.substr(0, description.size() - 1) + R"(, "timeline": [{"frame": 1, "commands": [)" +
               commands + "]}]}";
    };
    auto utf8 = [](const char* latin1) {
        std::string out;
        for (const char* c = latin1; *c; ++c)
            out += *c == '\xf3' ? std::string("\xc3\xb3") : std::string(1, *c);
        return out;
    };
    auto dynamic = [&](const std::string& tag, int16_t index) {
        return R"(, {"dynamic": "scalar", "parent": ")" + tag + R"(", "length": 1, "value": 1, "parameter": ")" +
               utf8(Dynamic::parameterNames[index]) + "\"}";
    };
    // Everything goes under the grid, which a ripple needs above it.
    const std::string grid = tagOf("grid");
    std::string everyName = R"({"place": ")" + grid + "\"}";
    for (void* item = player_.resources->first(); item; item = player_.resources->next()) {
        const char* tagText = player_.resources->currentTag();
        const std::string tag = tagText ? tagText : "";
        auto* object = static_cast<SceneObject*>(item);
        std::string commands, refused;
        if (tag != grid)
            commands = R"(, {"place": ")" + tag + R"(", "parent": ")" + grid + "\"}";
        for (int16_t i = 1; i < Dynamic::kNameCount; ++i) {
            if (object->parameters->find(Dynamic::parameterNames[i]))
                commands += dynamic(tag, i);
            else if (refused.empty())
                refused = dynamic(tag, i);
        }
        everyName += commands;
        if (!refused.empty()) {
            const std::string error = errorOf(withCommands(R"({"place": ")" + grid + "\"}" + commands + refused));
            EXPECT_NE(error.find("is not a parameter of '" + tag + "'"), std::string::npos) << error;
        }
    }
    compiled(withCommands(everyName));
    player_.shutdown();  // while the temporary directory is there
}

TEST(DescriptionCompiler, GLNamesInEitherSpellingOrAsNumbers)
{
    auto script = [](const std::string& calls) {
        Bytes data = compiled(R"({"totalFrames": 1, "renderState": [)" + calls + "]}");
        return data;
    };
    EXPECT_EQ(script(R"({"enable": "depthTest"}, {"depthFunc": "less"}, {"shadeModel": "smooth"})"),
              script(R"({"enable": "GL_DEPTH_TEST"}, {"depthFunc": "GL_LESS"}, {"shadeModel": 7425})"));
    EXPECT_EQ(script(R"({"hint": ["perspectiveCorrection", "nicest"]}, {"enable": "texture2D"})"),
              script(R"({"hint": ["GL_PERSPECTIVE_CORRECTION_HINT", "GL_NICEST"]}, {"enable": "GL_TEXTURE_2D"})"));
    EXPECT_NE(script(R"({"enable": "blend"})"), script(R"({"enable": "depthTest"})"));
}

TEST(DescriptionErrors, NameThePlaceAndTheProblem)
{
    struct Case {
        const char* description;
        const char* error;
    };
    const Case cases[] = {
        // Reader errors keep their line and column.
        {"{\"totalFrames\": 5,\n  \"window\": {\"width\": 10,}\n  \"x\": 1}", "3:3: expected ',' or '}'"},
        {R"({"totalFrames": 5, "widnow": {}})", "1:20: description: unknown field 'widnow' (did you mean 'window'?)"},
        {R"({"window": {}})", "1:1: description: needs 'totalFrames'"},
        {R"({"totalFrames": 0})", "1:17: description: 'totalFrames' must be from 1 to 32767, not 0"},
        {R"({"totalFrames": 2.5})", "1:17: description: 'totalFrames' must be a whole number"},
        {R"({"totalFrames": 5, "window": {"width": "wide"}})", "window: 'width' must be a number, not a string"},
        {R"({"totalFrames": 5, "window": {"fulscreen": true}})", "window: unknown field 'fulscreen' (did you mean 'fullscreen'?)"},
        {R"({"totalFrames": 5, "playback": {"loop": 1}})", "playback: 'loop' must be true or false, not a number"},
        {R"({"totalFrames": 5, "renderState": [{"enable": "depthtest"}]})",
         "renderState call 1: unknown capability 'depthtest' (did you mean 'depthTest'?)"},
        {R"({"totalFrames": 5, "renderState": [{"clearColour": [0,0,0]}]})",
         "renderState call 1: unknown call 'clearColour' (did you mean 'clearColor'?)"},
        {R"({"totalFrames": 5, "renderState": [{"hint": "nicest"}]})", "renderState call 1: 'hint' takes [target, mode]"},
        // Resources: by tag once it is known.
        {R"({"totalFrames": 5, "resources": [{"class": "box"}]})", "resource 1: needs 'tag'"},
        {R"({"totalFrames": 5, "resources": [{"class": "bxo", "tag": "b"}]})",
         "resource 'b': unknown class 'bxo' (did you mean 'box'?)"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b", "sise": [1,1,1]}]})",
         "1:63: resource 'b': unknown field 'sise' (did you mean 'size'?)"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b", "size": [1,1]}]})",
         "resource 'b': 'size' must be a list of 3 numbers"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "boxes"}]})",
         "resource 1: 'tag' 'boxes' is longer than 4 characters"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}, {"class": "box", "tag": "b"}]})",
         "resource 'b': a resource tagged 'b' is already defined"},
        {R"({"totalFrames": 5, "resources": [{"class": "quad", "tag": "q", "corners": []}]})",
         "resource 'q': 'corners' must be a list of 4 corners"},
        {R"({"totalFrames": 5, "resources": [{"class": "quad", "tag": "q", "corners": [
             {"position": [0,0,0]}, {"position": [0,0,0]}, {"pos": [0,0,0]}, {"position": [0,0,0]}]}]})",
         "resource 'q', corner 3: needs 'position'"},
        {R"({"totalFrames": 5, "resources": [{"class": "color", "tag": "c", "color": [1, 2]}]})",
         "resource 'c': 'color' must be a list of 3 or 4 numbers"},
        // Timeline: entry and command numbers, from 1; groups nest the numbers.
        {R"({"totalFrames": 5, "timeline": [{"frame": 6}]})", "timeline entry 1: 'frame' must be from 1 to 5, not 6"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 3}, {"frame": 3}]})",
         "timeline entry 2 (frame 3): entries must have rising frames; the entry before is at frame 3"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "comands": []}]})",
         "timeline entry 1 (frame 1): unknown field 'comands' (did you mean 'commands'?)"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "commands": [{"place": "nope"}]}]})",
         "timeline entry 1 (frame 1), command 1: no resource tagged 'nope'"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"place": "b"}]}, {"frame": 2, "commands": [
                 {"place": "b", "as": "b2"}, {"group": [{"place": "b", "parent": "b3"}]}]}]})",
         "timeline entry 2 (frame 2), command 2.1: parent 'b3' is not placed before this command"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"place": "b"}, {"place": "b", "as": "c", "parent": "b", "after": "b"}]}]})",
         "timeline entry 1 (frame 1), command 2: after 'b': no instance of that tag is placed under 'b' before this command"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"copy": "b"}]}]})",
         "timeline entry 1 (frame 1), command 1: 'copy' makes a plain transform of the resource, which a box cannot give"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"place": "b", "lenght": 4}]}]})",
         "timeline entry 1 (frame 1), command 1: unknown field 'lenght' (did you mean 'length'?)"},
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"place": "b", "length": 40000}]}]})",
         "command 1: 'length' must be from -32768 to 32767, not 40000"},
        // A negative length would never end; 0 is already "until the parent ends".
        {R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}],
             "timeline": [{"frame": 1, "commands": [{"place": "b"}, {"place": "b", "as": "c", "parent": "b", "length": -1}]}]})",
         "2:120: timeline entry 1 (frame 1), command 2: 'length' must be 0 (until its parent ends) or more, not -1"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "commands": [{"skip": "x", "frames": 2}]}]})",
         "command 1: no instance 'x' is placed before this command"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "commands": [{"skipResource": "x"}]}]})",
         "command 1: needs 'frames'"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "commands": [{"plac": "x"}]}]})",
         "command 1: a command needs one of 'place', 'copy', 'group', 'skip', 'skipResource', 'dynamic' (did you mean 'place'?)"},
        {R"({"totalFrames": 5, "timeline": [{"frame": 1, "commands": [{"place": "x", "group": []}]}]})",
         "command 1: one command holds both 'place' and 'group'"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf(c.description);
        EXPECT_NE(error.find(c.error), std::string::npos) << "expected: " << c.error << "\n     got: " << error;
        // Every message starts with line:column.
        EXPECT_TRUE(error.size() > 2 && std::isdigit(static_cast<unsigned char>(error[0])) &&
                    error.find(':') != std::string::npos)
            << error;
    }
}

TEST(DescriptionWarnings, PointAtThePlaceAndTheBuildGoesOn)
{
    const std::string head = R"({"totalFrames": 5, "resources": [{"class": "box", "tag": "b"}], "timeline": [)";
    struct Case {
        std::string timeline;
        std::vector<std::string> notes;
    } cases[] = {
        // A child waits for its parent's clock, which counts the demo's frames.
        {R"({"frame": 1, "commands": [{"place": "b"}, {"place": "b", "as": "c", "parent": "b", "start": 6}]}]})",
         {"1:170: warning: timeline entry 1 (frame 1), command 2: 'start' 6 is past the last frame (5), "
          "so the instance never shows"}},
        {R"({"frame": 2, "commands": [{"place": "b"}, {"group": [{"place": "b", "parent": "b", "start": 32767}]}]}]})",
         {"1:170: warning: timeline entry 1 (frame 2), command 2.1: 'start' 32767 is past the last frame (5), "
          "so the instance never shows"}},
        {R"({"frame": 1, "commands": [{"place": "b"}, {"place": "b", "as": "c", "parent": "b", "start": 5}]}]})", {}},
        // At the top level nothing waits for a start.
        {R"({"frame": 1, "commands": [{"place": "b", "start": 600}]}]})", {}},
    };
    for (const Case& c : cases) {
        DescriptionOptions options;
        std::vector<std::string> notes;
        options.note = [&](const std::string& line) { notes.push_back(line); };
        Bytes out;
        std::string error;
        EXPECT_TRUE(compileDescription(head + c.timeline, options, out, &error)) << error;
        EXPECT_EQ(c.notes, notes) << c.timeline;
    }
}

TEST(DescriptionErrors, LineAndColumnPointAtTheFaultyValue)
{
    std::string error = errorOf(
        "{\n"
        "  \"totalFrames\": 5,\n"
        "  \"resources\": [\n"
        "    {\"class\": \"box\", \"tag\": \"b\",\n"
        "     \"size\": [1, \"two\", 3]}\n"
        "  ]\n"
        "}\n");
    EXPECT_EQ(error, "5:18: resource 'b': 'size' must be a number, not a string");
}

TEST(DemotoolBuild, WritesTheCompiledDataOrFailsWithTheFileName)
{
    fs::path dir = fs::temp_directory_path() / ("demotool_build_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string tool = DEMOTOOL_BINARY;
    std::string text = "// a comment\n{\"totalFrames\": 12, \"window\": {\"title\": \"cli\"}}\n";
    std::string good = (dir / "good.json").string(), bad = (dir / "bad.json").string();
    std::string out = (dir / "out.dat").string(), messages = (dir / "messages.txt").string();
    ASSERT_TRUE(writeFile(good, Bytes(text.begin(), text.end())));
    std::string broken = "{\"totalFrames\": 12,\n \"windw\": {}}";
    ASSERT_TRUE(writeFile(bad, Bytes(broken.begin(), broken.end())));

    ASSERT_EQ(run(tool + " build " + good + " -o " + out), 0);
    Bytes written;
    ASSERT_TRUE(readFile(out, written));
    EXPECT_EQ(written, compiled(text));

    std::string failed = (dir / "failed.dat").string();
    EXPECT_EQ(std::system((tool + " build " + bad + " -o " + failed + " 2>" + messages).c_str()) != 0, true);
    EXPECT_FALSE(fs::exists(failed)) << "nothing is written for a faulty description";
    Bytes said;
    ASSERT_TRUE(readFile(messages, said));
    EXPECT_EQ(std::string(said.begin(), said.end()),
              bad + ":2:2: description: unknown field 'windw' (did you mean 'window'?)\n");

    // A warning names the file, line and column, as an error does, and the data is written.
    std::string late = (dir / "late.json").string();
    ASSERT_TRUE(writeFile(late, tools::writer::text("{\"totalFrames\": 2, \"resources\": [{\"class\": \"box\", \"tag\": \"b\"}],\n"
                                     " \"timeline\": [{\"frame\": 1, \"commands\": [{\"place\": \"b\"},\n"
                                     "   {\"place\": \"b\", \"as\": \"c\", \"parent\": \"b\", \"start\": 3}]}]}")));
    EXPECT_EQ(std::system((tool + " build " + late + " -o " + out + " 2>" + messages).c_str()), 0);
    ASSERT_TRUE(readFile(messages, said));
    EXPECT_EQ(std::string(said.begin(), said.end()),
              late + ":3:54: warning: timeline entry 1 (frame 1), command 2: 'start' 3 is past the last frame (2), "
                     "so the instance never shows\n");

    EXPECT_NE(run(tool + " build " + (dir / "missing.json").string() + " -o " + out), 0);
    EXPECT_NE(run(tool + " build " + good), 0) << "no -o";
    fs::remove_all(dir);
}
