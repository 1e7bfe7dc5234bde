// `demotool timeline`: the chart of a demo built here with known entries,
// read back from the SVG's elements; the file rendered by librsvg and
// loaded by Chromium; damaged data refused as `demotool inspect` reports it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "tests/sound/sound_fixture.h"
#include "tests/support/command.h"
#include "tests/support/xml_reader.h"
#include "tools/assets/sample_assets.h"
#include "tools/writer/animation_payloads.h"
#include "tools/writer/deformer_payloads.h"
#include "tools/writer/geometry_payloads.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/writer/sound_payloads.h"
#include "tools/writer/writer.h"
#include "tools/inspect/inspect.h"
#include "tools/render/timeline_chart.h"

namespace assets = tools::assets;

using namespace tools::writer;
using namespace tools::media;
using namespace tools::inspect;
using namespace tools::render;
namespace fs = std::filesystem;

namespace {

struct Scratch {
    Scratch() : dir(fs::temp_directory_path() / ("timeline_chart_test_" + std::to_string(getpid())))
    {
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    fs::path dir;
};

constexpr int16_t kFrames = 60;
constexpr int16_t kRate = 10;

// A demo whose lifetimes follow from the rules of the player's stepping:
//   root   transform, top level, made at 1, length 40          -> 1..40, its own end
//   kid    box under root, unlimited                           -> 1..40, ends with root
//   late   box under root, start 10, length 5                  -> 10..14 (root's clock reaches 10)
//   nudge  scalar dynamic on root's "Posició X", length 8      -> 1..8
//   tint   colour, top level, unlimited                        -> 1..60, to the demo's end
//   song   music, top level, length 30                         -> 1..30, the waveform's stretch
//   lost   box placed after a sibling that does not exist      -> placed nowhere
//   b2     box under tint, start 19, length 100, made at 20    -> 20..60 (tint's step count passes 19)
//   turn   rotation dynamic on kid's "Rotació", start 19, 4    -> 20..23
//   cp     transform copy (1005), top level, length 10, at 20  -> 20..26: fast-forwarded 3 at 25
Bytes knownDemo()
{
    WindowSettings window;
    window.width = 64;
    window.height = 48;
    PlaybackSettings playback;
    playback.frameRate = kRate;

    // Quiet for 1.5 s, then loud for 1.5 s.
    std::vector<int16_t> samples(size_t(3 * assets::kSampleRate));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t((i < samples.size() / 2 ? 1500 : 24000) * std::sin(double(i) * 0.05));

    StreamWriter resources;
    resources.add(soundLibraryResource(soundtest::readFile(DEMOSOUND_LIBRARY)));
    Envelope e;
    e.tag = "tr";
    e.body = transformPayload({});
    resources.add(resource(275, e));
    e.tag = "box";
    e.body = boxPayload({});
    resources.add(resource(250, e));
    e.tag = "col";
    e.body = colorPayload({});
    resources.add(resource(3, e));
    MusicSettings music;
    music.framesPerSecond = kRate;
    resources.add(musicResource("mus", music, assets::encodeMp3(samples, assets::kSampleRate)));

    auto place = [](const std::string& res, const std::string& as, int16_t start, int16_t length, int16_t frame,
                    const std::string& parent = "", const std::string& after = "", bool copy = false) {
        Place p;
        p.resourceTag = res;
        p.instanceTag = as;
        p.start = start;
        p.length = length;
        p.frame = frame;
        p.parentTag = parent;
        p.afterTag = after;
        p.transformCopy = copy;
        return placeCommand(p);
    };
    DynamicFields nudge;
    nudge.parameter = "Posici\xf3 X";
    nudge.perFrame = 0.1f;
    AttachDynamic scalar;
    scalar.kind = 1002;
    scalar.dynamicTag = "nudg";
    scalar.length = 8;
    scalar.parentTag = "root";
    scalar.payload = scalarDynamicPayload(nudge);
    DynamicFields turn;
    turn.parameter = "Rotaci\xf3";
    turn.perFrame = 5;
    turn.vector = {0, 0, 1};
    AttachDynamic rotation;
    rotation.kind = 1004;
    rotation.dynamicTag = "turn";
    rotation.start = 19;
    rotation.length = 4;
    rotation.parentTag = "kid";
    rotation.payload = vectorDynamicPayload(turn);

    StreamWriter timeline;
    timeline.add(totalFramesChunk(kFrames));
    timeline.add(25, timelineEntry(1, groupCommand(cat({
                                          place("tr", "root", 0, 40, 1),
                                          place("box", "kid", 0, 0, 1, "root"),
                                          place("box", "late", 10, 5, 1, "root", "kid"),
                                          dynamicCommand(scalar),
                                          place("col", "tint", 0, 0, 1),
                                          place("mus", "song", 0, 30, 1),
                                          place("box", "lost", 0, 0, 1, "", "zzzz"),
                                      }))));
    timeline.add(25, timelineEntry(20, cat({
                                           place("box", "b2", 19, 100, 20, "tint"),
                                           dynamicCommand(rotation),
                                           place("tr", "cp", 19, 10, 20, "", "", true),
                                       })));
    timeline.add(25, timelineEntry(25, fastForwardCommand(false, "cp", 3)));

    DemoData demo;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings(playback);
    demo.renderState = RenderStateWriter::standard(0.2f, 0.3f, 0.4f, 1).bytes();
    demo.resources = resources.bytes();
    demo.timeline = timeline.bytes();
    return demoData(demo);
}

struct Chart {
    Element root;
    double plotLeft = 0, plotWidth = 0;
    int frames = 0;

    std::vector<const Element*> all(const std::string& cls) const
    {
        std::vector<const Element*> out;
        root.collect([&](const Element& e) { return (" " + e["class"] + " ").find(" " + cls + " ") != std::string::npos; },
                     out);
        return out;
    }
    const Element* bar(const std::string& tag) const
    {
        for (const Element* e : all("bar")) {
            if ((*e)["data-tag"] == tag)
                return e;
        }
        return nullptr;
    }
    double x(double boundary) const { return plotLeft + boundary * plotWidth / frames; }
};

Chart parse(const std::string& svg)
{
    Chart chart;
    std::string error;
    EXPECT_TRUE(XmlReader(svg).read(chart.root, &error)) << error;
    chart.plotLeft = std::atof(chart.root["data-plot-left"].c_str());
    chart.plotWidth = std::atof(chart.root["data-plot-width"].c_str());
    chart.frames = std::atoi(chart.root["data-frames"].c_str());
    return chart;
}

std::string titleOf(const Element& e)
{
    for (const Element& child : e.children) {
        if (child.name == "title")
            return child.text;
    }
    return "";
}

class TimelineChart : public ::testing::Test {
protected:
    void SetUp() override
    {
        data_ = scratch_.path("known.dat");
        ASSERT_TRUE(writeFile(data_, knownDemo()));
    }
    soundtest::TempDir temp_;  // where the sound library writes its files
    Scratch scratch_;
    std::string data_;
};

}  // namespace

TEST(TimelineChartText, Base64AndXmlTextAndThumbnailFrames)
{
    // RFC 4648's test vectors.
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : vectors)
        EXPECT_EQ(base64(Bytes(plain.begin(), plain.end())), coded) << plain;
    EXPECT_EQ(base64(Bytes{0xff, 0xfe, 0x00}), "//4A");

    EXPECT_EQ(xmlText("Rotaci\xf3"), "Rotaci\xc3\xb3") << "Latin-1 names come out in UTF-8";
    EXPECT_EQ(xmlText("Posici\xf3 X"), "Posici\xc3\xb3 X");
    EXPECT_EQ(xmlText("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(xmlText(std::string("t\x01g\0x", 5)), "t\xef\xbf\xbdg\xef\xbf\xbdx") << "no control character reaches XML";
    EXPECT_EQ(xmlText("\xff\xa0"), "\xc3\xbf\xc2\xa0");
    EXPECT_EQ(xmlText("\x1f\t\x7f"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd") << "the last control and tab too";

    EXPECT_EQ(thumbnailFrames(800, 8), (std::vector<int32_t>{51, 151, 251, 351, 451, 551, 651, 751}));
    EXPECT_EQ(thumbnailFrames(60, 3), (std::vector<int32_t>{11, 31, 51}));
    EXPECT_EQ(thumbnailFrames(3, 8), (std::vector<int32_t>{1, 2, 3})) << "never the same frame twice";
    EXPECT_TRUE(thumbnailFrames(100, 0).empty());
}

TEST_F(TimelineChart, BarsFollowTheLifetimesThePlayerGivesAndNestUnderTheirParents)
{
    ChartOptions options;
    options.thumbnails = 3;
    options.title = "known.dat";
    std::string svg, error;
    ASSERT_TRUE(chartTimeline(data_, options, svg, &error)) << error;
    Chart chart = parse(svg);
    ASSERT_EQ(chart.frames, kFrames);
    ASSERT_GT(chart.plotWidth, 100);

    struct Expected {
        const char* tag;
        const char* parent;  // "" at the top level
        const char* className;
        const char* kind;
        int command, first, last;
        const char* end;  // own, parent, demo
    };
    const Expected expected[] = {
        {"root", "", "Transform", "instance", 1001, 1, 40, "own"},
        {"kid", "root", "Box", "instance", 1001, 1, 40, "parent"},
        {"late", "root", "Box", "instance", 1001, 10, 14, "own"},
        {"nudg", "root", "ScalarDynamic", "dynamic", 1002, 1, 8, "own"},
        {"tint", "", "Color", "instance", 1001, 1, 60, "demo"},
        {"song", "", "MusicTrack", "instance", 1001, 1, 30, "own"},
        {"b2", "tint", "Box", "instance", 1001, 20, 60, "demo"},
        {"turn", "kid", "RotationDynamic", "dynamic", 1004, 20, 23, "own"},
        {"cp", "", "Transform", "instance", 1005, 20, 26, "own"},
    };
    std::map<std::string, std::string> idOf;
    for (const Element* bar : chart.all("bar"))
        idOf[(*bar)["data-tag"]] = (*bar)["data-id"];
    for (const Expected& want : expected) {
        SCOPED_TRACE(want.tag);
        const Element* bar = chart.bar(want.tag);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ((*bar)["data-class"], want.className);
        EXPECT_EQ((*bar)["data-kind"], want.kind);
        EXPECT_EQ((*bar)["data-command"], std::to_string(want.command));
        EXPECT_EQ((*bar)["data-first"], std::to_string(want.first));
        EXPECT_EQ((*bar)["data-last"], std::to_string(want.last));
        EXPECT_EQ((*bar)["data-end"], want.end);
        EXPECT_EQ((*bar)["data-parent"], *want.parent ? idOf[want.parent] : "-1");
        // Drawn where those frames are on the axis.
        const double x = std::atof((*bar)["x"].c_str()), width = std::atof((*bar)["width"].c_str());
        EXPECT_NEAR(x, chart.x(want.first - 1), 0.11);
        EXPECT_NEAR(x + width, chart.x(want.last), 0.21);
        // The hover names the instance, its class and the fields it was placed with.
        const std::string title = titleOf(*bar);
        EXPECT_NE(title.find(std::string(want.tag) + " (" + want.className + ")"), std::string::npos) << title;
        EXPECT_NE(title.find("start "), std::string::npos) << title;
        EXPECT_NE(title.find("length "), std::string::npos) << title;
        EXPECT_NE(title.find(", frame "), std::string::npos) << title;
    }
    EXPECT_NE(titleOf(*chart.bar("late")).find("start 10, length 5, frame 1;"), std::string::npos);
    EXPECT_NE(titleOf(*chart.bar("turn")).find("start 19, length 4, frame 0;"), std::string::npos);

    // Rows are indented under their parents: each row sits one level below its parent's.
    std::map<std::string, int> depth;
    for (const Element* bar : chart.all("bar"))
        depth[(*bar)["data-tag"]] = std::atoi((*bar)["data-depth"].c_str());
    EXPECT_EQ(depth["root"], 0);
    EXPECT_EQ(depth["kid"], 1);
    EXPECT_EQ(depth["turn"], 2);
    EXPECT_EQ(depth["b2"], 1);
    std::map<std::string, double> labelX;
    for (const Element* row : chart.all("row")) {
        for (const Element& child : row->children) {
            if (child.name == "text")
                labelX[(*row)["data-id"]] = std::atof(child["x"].c_str());
        }
    }
    EXPECT_GT(labelX[idOf["kid"]], labelX[idOf["root"]]);
    EXPECT_GT(labelX[idOf["b2"]], labelX[idOf["tint"]]);
    EXPECT_EQ(labelX[idOf["late"]], labelX[idOf["kid"]]);

    // kid is cut short by root's end: a red end at frame 40 and its own
    // (unlimited) length dashed on to the end of the demo.
    bool cut = false, planned = false;
    for (const Element* e : chart.all("cut")) {
        if ((*e)["data-id"] == idOf["kid"]) {
            cut = true;
            EXPECT_NEAR(std::atof((*e)["x1"].c_str()), chart.x(40), 0.11);
        }
        EXPECT_NE((*e)["data-id"], idOf["late"]) << "late ended by its own length";
    }
    for (const Element* e : chart.all("planned")) {
        if ((*e)["data-id"] == idOf["kid"]) {
            planned = true;
            const double x = std::atof((*e)["x"].c_str()), width = std::atof((*e)["width"].c_str());
            EXPECT_NEAR(x + width, chart.x(kFrames), 0.21);
        }
    }
    EXPECT_TRUE(cut);
    EXPECT_TRUE(planned);
    EXPECT_NE(titleOf(*chart.bar("kid")).find("ended at frame 40 with root (Transform)"), std::string::npos)
        << titleOf(*chart.bar("kid"));

    // The instance placed nowhere has no lifetime.
    ASSERT_NE(chart.bar("lost"), nullptr);
    EXPECT_EQ((*chart.bar("lost"))["data-first"], "0");
    EXPECT_NE(titleOf(*chart.bar("lost")).find("placed nowhere"), std::string::npos);

    // Dynamics are labelled with their parameter, shown in UTF-8.
    EXPECT_EQ((*chart.bar("turn"))["data-parameter"], "Rotaci\xc3\xb3");
    EXPECT_EQ((*chart.bar("nudg"))["data-parameter"], "Posici\xc3\xb3 X");
    EXPECT_NE(svg.find(">Rotaci\xc3\xb3</text>"), std::string::npos);

    // Marks: the copy, the fast-forward of cp at 25, the entries at 1, 20 and 25.
    std::vector<std::string> copies, skips, entries;
    for (const Element* e : chart.all("copy-mark"))
        copies.push_back((*e)["data-id"]);
    for (const Element* e : chart.all("skip-mark"))
        skips.push_back((*e)["data-id"] + "@" + (*e)["data-frame"]);
    for (const Element* e : chart.all("entry"))
        entries.push_back((*e)["data-frame"]);
    EXPECT_EQ(copies, (std::vector<std::string>{idOf["cp"]}));
    EXPECT_EQ(skips, (std::vector<std::string>{idOf["cp"] + "@25"}));
    EXPECT_EQ(entries, (std::vector<std::string>{"1", "20", "25"}));

    // The music is drawn over the frames its instance plays it (1 to 30),
    // louder in its second half.
    std::vector<const Element*> waves = chart.all("waveform");
    ASSERT_EQ(waves.size(), 1u);
    std::istringstream path((*waves[0])["d"]);
    double minX = 1e9, maxX = -1e9;
    std::vector<std::pair<double, double>> points;
    char op;
    double px, py;
    while (path >> op && op != 'Z' && path >> px >> py) {
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
        points.emplace_back(px, py);
    }
    EXPECT_NEAR(minX, chart.x(0), 1.0);
    EXPECT_NEAR(maxX, chart.x(30), 1.0);
    auto spread = [&](double from, double to) {
        double top = 1e9, bottom = -1e9;
        for (auto [x, y] : points) {
            if (x >= from && x <= to) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        return bottom - top;
    };
    EXPECT_GT(spread(chart.x(17), chart.x(29)), 4 * spread(chart.x(1), chart.x(13)));

    // Three frames rendered by the renderer, embedded as PNG files.
    std::vector<const Element*> images = chart.all("thumbnail");
    ASSERT_EQ(images.size(), 3u);
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ((*images[i])["data-frame"], std::to_string(thumbnailFrames(kFrames, 3)[i]));
        const std::string href = (*images[i])["xlink:href"];
        EXPECT_EQ(href.rfind("data:image/png;base64,iVBORw0KGgo", 0), 0u) << href.substr(0, 40);
    }
}

TEST_F(TimelineChart, TheFileRendersInLibrsvgAndLoadsInChromium)
{
    const std::string svgPath = scratch_.path("known.svg");
    std::string err;
    ASSERT_EQ(run(std::string(DEMOTOOL_BINARY) + " timeline " + data_ + " -o " + svgPath + " --thumbnails 2", &err),
              0)
        << err;
    Bytes svg;
    ASSERT_TRUE(readFile(svgPath, svg));
    Chart chart = parse(std::string(svg.begin(), svg.end()));
    EXPECT_EQ(chart.root.name, "svg");
    EXPECT_EQ(chart.all("thumbnail").size(), 2u);

    if (run("command -v rsvg-convert >/dev/null") != 0)
        GTEST_SKIP() << "rsvg-convert is not installed (Debian's librsvg2-bin)";
    const std::string png = scratch_.path("rsvg.png");
    ASSERT_EQ(run("rsvg-convert -o " + png + " " + svgPath, &err), 0) << err;
    EXPECT_EQ(err, "") << "librsvg warns of nothing";
    Bytes picture;
    ASSERT_TRUE(readFile(png, picture));
    ASSERT_GT(picture.size(), 24u);
    EXPECT_EQ(std::string(picture.begin() + 1, picture.begin() + 4), "PNG");

    const char* chromium = nullptr;
    for (const char* name : {"chromium", "chromium-browser"}) {
        if (run(std::string("command -v ") + name + " >/dev/null") == 0) {
            chromium = name;
            break;
        }
    }
    if (!chromium)
        GTEST_SKIP() << "Chromium is not installed";
    const std::string profile = scratch_.path("chromium-profile");
    const std::string flags = std::string(chromium) +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                              " --disable-background-networking --disable-component-update --disable-sync"
                              " --user-data-dir=" + profile;
    // An XML error turns the page into Chromium's error report: a
    // <parsererror> in the document it loaded.
    const std::string dom = scratch_.path("dom.html");
    ASSERT_EQ(run(flags + " --dump-dom file://" + svgPath + " >" + dom, &err), 0) << err;
    Bytes loaded;
    ASSERT_TRUE(readFile(dom, loaded));
    const std::string text(loaded.begin(), loaded.end());
    EXPECT_NE(text.find("<svg"), std::string::npos) << text.substr(0, 400);
    EXPECT_EQ(text.find("parsererror"), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find("data-tag=\"kid\""), std::string::npos);
}

TEST_F(TimelineChart, DamagedDataIsReportedAsInspectReportsItAndWritesNothing)
{
    const Bytes good = knownDemo();
    struct Damage {
        const char* name;
        Bytes data;
    };
    Bytes longLength = good;
    // The first top-level chunk's length made to run past the end.
    longLength[2] = 0xff;
    longLength[3] = 0xff;
    longLength[4] = 0xff;
    std::vector<Damage> damages = {
        {"truncated in the timeline", Bytes(good.begin(), good.end() - 40)},
        {"cut inside a chunk header", Bytes(good.begin(), good.begin() + 3)},
        {"a length past the end", longLength},
        {"empty", {}},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        std::ostringstream report;
        ASSERT_FALSE(tools::inspect::inspect(damage.data, report)) << "the damage is real";
        std::vector<std::string> inspectLines;
        std::istringstream lines(report.str());
        for (std::string line; std::getline(lines, line);) {
            const size_t text = line.find_first_not_of(' ');
            if (text != std::string::npos && line[text] == '!')
                inspectLines.push_back(line.substr(text));
        }
        ASSERT_FALSE(inspectLines.empty());

        const std::string input = scratch_.path("damaged.dat"), output = scratch_.path("damaged.svg");
        ASSERT_TRUE(writeFile(input, damage.data));
        std::string err;
        EXPECT_EQ(run(std::string(DEMOTOOL_BINARY) + " timeline " + input + " -o " + output, &err), 1);
        std::vector<std::string> toldLines;
        std::istringstream told(err);
        for (std::string line; std::getline(told, line);) {
            if (!line.empty() && line[0] == '!')
                toldLines.push_back(line);
        }
        EXPECT_EQ(toldLines, inspectLines) << err;
        EXPECT_NE(err.find("no chart written"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(output));
    }

    // A chart already at the output path is left as it was when the data is damaged.
    const std::string input = scratch_.path("damaged.dat"), output = scratch_.path("earlier.svg");
    ASSERT_TRUE(writeFile(input, damages[0].data));
    const Bytes earlier = {'<', 's', 'v', 'g', '/', '>'};
    ASSERT_TRUE(writeFile(output, earlier));
    EXPECT_EQ(run(std::string(DEMOTOOL_BINARY) + " timeline " + input + " -o " + output), 1);
    Bytes kept;
    EXPECT_TRUE(readFile(output, kept));
    EXPECT_EQ(kept, earlier);
}

TEST_F(TimelineChart, DescriptionsAreChartedAsBuiltAndBuildErrorsWriteNothing)
{
    // Defaults of a description: start = entry frame - 1, frame = the entry frame.
    const std::string description = R"({
        "window": {"width": 64, "height": 48}, "playback": {"frameRate": 10},
        "renderState": [{"enable": "depthTest"}], "totalFrames": 30,
        "resources": [{"class": "transform", "tag": "tr"}, {"class": "box", "tag": "box"}],
        "timeline": [
            {"frame": 1, "commands": [{"place": "tr", "length": 20}, {"place": "box", "parent": "tr"}]},
            {"frame": 5, "commands": [{"place": "box", "as": "late", "parent": "tr", "length": 30}]}
        ]})";
    struct Case {
        const char* name;
        std::string text;
        bool charted;
    };
    const Case cases[] = {
        {"good", description, true},
        {"a parent never placed", [&] {
             std::string bad = description;
             bad.replace(bad.find("\"parent\": \"tr\", \"length\": 30"), 14, "\"parent\": \"xx\"");
             return bad;
         }(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = scratch_.path("demo.json"), output = scratch_.path("demo.svg");
        fs::remove(output);
        ASSERT_TRUE(writeFile(input, Bytes(c.text.begin(), c.text.end())));
        std::string err;
        const int status =
            run(std::string(DEMOTOOL_BINARY) + " timeline " + input + " -o " + output + " --thumbnails 0", &err);
        if (!c.charted) {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(err.rfind(input + ":", 0), 0u) << "told as demotool build tells it: " << err;
            EXPECT_FALSE(fs::exists(output));
            continue;
        }
        ASSERT_EQ(status, 0) << err;
        Bytes svg;
        ASSERT_TRUE(readFile(output, svg));
        Chart chart = parse(std::string(svg.begin(), svg.end()));
        ASSERT_NE(chart.bar("tr"), nullptr);
        ASSERT_NE(chart.bar("box"), nullptr);
        ASSERT_NE(chart.bar("late"), nullptr);
        EXPECT_EQ((*chart.bar("tr"))["data-last"], "20");
        EXPECT_EQ((*chart.bar("late"))["data-first"], "5");
        EXPECT_EQ((*chart.bar("late"))["data-last"], "20") << "its 30 frames are cut short by tr";
        EXPECT_EQ((*chart.bar("late"))["data-end"], "parent");
        EXPECT_TRUE(chart.all("thumbnail").empty());
    }
}

namespace {

// UTF-8 throughout and no character XML 1.0 forbids.
bool validXmlUtf8(const std::string& s, std::string* why)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            *why = "control byte at " + std::to_string(i);
            return false;
        }
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || i + extra >= s.size() + (extra == 0)) {
            *why = "bad UTF-8 lead byte at " + std::to_string(i);
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                *why = "bad UTF-8 continuation at " + std::to_string(i + k);
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

// Tags as hostile as 4 bytes allow, a parent that names nothing, a
// fast-forwarded resource, a fast-forward of nothing and a looping demo.
TEST_F(TimelineChart, HostileTagsMissingParentsResourceFastForwardsAndLoops)
{
    WindowSettings window;
    window.width = 64;
    window.height = 48;
    PlaybackSettings playback;
    playback.frameRate = kRate;
    playback.loop = true;
    StreamWriter resources;
    Envelope e;
    e.tag = "tr";
    e.body = transformPayload({});
    resources.add(resource(275, e));
    e.tag = "box";
    e.body = boxPayload({});
    resources.add(resource(250, e));
    GridFields grid;
    grid.cellsX = grid.cellsY = 2;
    e.tag = "grd";
    e.body = gridPayload(grid);
    resources.add(resource(170, e));
    RippleFields ripple;
    ripple.speed = 0.5f;
    ripple.width = 1.0f;
    e.tag = "rip";
    e.body = ripplePayload(ripple);
    resources.add(resource(450, e));
    auto place = [](const std::string& res, const std::string& as, int16_t length, const std::string& parent = "") {
        Place p;
        p.resourceTag = res;
        p.instanceTag = as;
        p.length = length;
        p.frame = 1;
        p.parentTag = parent;
        return placeCommand(p);
    };
    const std::string angle = "<&\"\x01", latin = "\xe9\xff>'";
    // The first name of the parameter table, under a parent whose children
    // have no "zzzz": registered, placed nowhere.
    DynamicFields grow;
    grow.parameter = "Dimensio X";
    AttachDynamic size;
    size.dynamicTag = "grow";
    size.length = 3;
    size.parentTag = latin;
    size.afterTag = "zzzz";
    size.payload = scalarDynamicPayload(grow);
    StreamWriter timeline;
    timeline.add(totalFramesChunk(30));
    timeline.add(25, timelineEntry(1, cat({
                                          place("box", angle, 0),
                                          place("tr", latin, 20, "nope"),
                                          place("box", "sub", 0, latin),
                                          fastForwardCommand(true, "box", 2),
                                          place("box", "ffd", 5),
                                          fastForwardCommand(false, "gone", 4),
                                          place("grd", "gd", 0),
                                          place("rip", "rp", 0, "gd"),
                                          place("tr", "fin", 25, latin),
                                          dynamicCommand(size),
                                      })));
    DemoData demo;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings(playback);
    demo.renderState = RenderStateWriter::standard(0.2f, 0.3f, 0.4f, 1).bytes();
    demo.resources = resources.bytes();
    demo.timeline = timeline.bytes();
    const std::string input = scratch_.path("hostile.dat");
    ASSERT_TRUE(writeFile(input, demoData(demo)));

    ChartOptions options;
    options.thumbnails = 1;
    options.title = "t\x02<&>\xe9.dat";
    std::string svg, error;
    ASSERT_TRUE(chartTimeline(input, options, svg, &error)) << error;
    std::string why;
    EXPECT_TRUE(validXmlUtf8(svg, &why)) << why;
    Chart chart = parse(svg);
    ASSERT_EQ(chart.frames, 30);

    const Element* hostile = chart.bar("<&\"\xef\xbf\xbd");
    const Element* orphan = chart.bar("\xc3\xa9\xc3\xbf>'");
    const Element* sub = chart.bar("sub");
    const Element* skipped = chart.bar("ffd");
    ASSERT_TRUE(hostile && orphan && sub && skipped);
    // A parent tag that names nothing puts the instance at the top level,
    // and its child still ends with it.
    EXPECT_EQ((*orphan)["data-parent"], "-1");
    EXPECT_EQ((*orphan)["data-depth"], "0");
    EXPECT_EQ((*orphan)["data-last"], "20");
    EXPECT_EQ((*orphan)["data-end"], "own");
    EXPECT_EQ((*sub)["data-parent"], (*orphan)["data-id"]);
    EXPECT_EQ((*sub)["data-depth"], "1");
    EXPECT_EQ((*sub)["data-last"], "20");
    EXPECT_EQ((*sub)["data-end"], "parent");
    // The resource fast-forwarded by 2 before it was cloned: the clone has
    // 2 of its 5 steps behind it.
    EXPECT_EQ((*skipped)["data-first"], "1");
    EXPECT_EQ((*skipped)["data-last"], "3");
    EXPECT_EQ((*skipped)["data-end"], "own");
    // A ripple ends itself once its ring has passed the grid's corners (the
    // third step, radius 1 > 0.71, ring width 1): unlimited length, yet its own end, not
    // its parent's, which lives on.
    const Element* ring = chart.bar("rp");
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ((*ring)["data-parent"], (*chart.bar("gd"))["data-id"]);
    EXPECT_EQ((*ring)["data-last"], "2");
    EXPECT_EQ((*ring)["data-end"], "own");
    EXPECT_EQ(titleOf(*ring).find("with gd"), std::string::npos) << titleOf(*ring);
    for (const Element* cut : chart.all("cut"))
        EXPECT_NE((*cut)["data-id"], (*ring)["data-id"]) << "not drawn cut short";
    EXPECT_EQ((*chart.bar("gd"))["data-end"], "demo");
    // Cut short at 20 by its parent, its own 25 frames dashed on to frame 25.
    const Element* fin = chart.bar("fin");
    ASSERT_NE(fin, nullptr);
    EXPECT_EQ((*fin)["data-end"], "parent");
    bool dashed = false;
    for (const Element* e : chart.all("planned")) {
        if ((*e)["data-id"] == (*fin)["data-id"]) {
            dashed = true;
            EXPECT_NEAR(std::atof((*e)["x"].c_str()), chart.x(20), 0.11);
            EXPECT_NEAR(std::atof((*e)["x"].c_str()) + std::atof((*e)["width"].c_str()), chart.x(25), 0.21);
        }
    }
    EXPECT_TRUE(dashed);
    const Element* grew = chart.bar("grow");
    ASSERT_NE(grew, nullptr);
    EXPECT_EQ((*grew)["data-parameter"], "Dimensio X");
    EXPECT_EQ((*grew)["data-parent"], "-1") << "placed nowhere, under no one";
    EXPECT_EQ((*grew)["data-first"], "0");
    // Unlimited at the top level of a looping demo: lives on.
    EXPECT_EQ((*hostile)["data-end"], "demo");
    EXPECT_EQ((*hostile)["data-last"], "30");
    EXPECT_NE(titleOf(*hostile).find("lives on when the demo loops"), std::string::npos) << titleOf(*hostile);
    EXPECT_NE(svg.find(", loops;"), std::string::npos);
    // Both fast-forwards that reached no instance are marked at frame 1.
    std::vector<std::string> skipTitles;
    for (const Element* mark : chart.all("skip-mark"))
        skipTitles.push_back(titleOf(*mark));
    ASSERT_EQ(skipTitles.size(), 2u);
    EXPECT_NE(skipTitles[0].find("resource box fast-forwarded 2 frames at frame 1"), std::string::npos)
        << skipTitles[0];
    EXPECT_NE(skipTitles[1].find("instance gone fast-forwarded 4 frames at frame 1 (the tag names nothing)"),
              std::string::npos)
        << skipTitles[1];
}
