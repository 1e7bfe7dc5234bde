// The generated sample assets (textures and music) and the sample demo
// built from them: deterministic, readable by the player, and what the
// description says.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/command.h"
#include "texture/bmp_reader.h"
#include "tools/assets/sample_assets.h"
#include "tools/description/description.h"
#include "tools/description/json.h"

namespace assets = tools::assets;
namespace json = tools::description::json;

using namespace tools::description;
namespace fs = std::filesystem;

namespace {

std::string textOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path sourceRoot()
{
    return fs::path(__FILE__).parent_path().parent_path().parent_path();
}

class ScratchDir {
public:
    explicit ScratchDir(const std::string& name)
        : path_(fs::temp_directory_path() / (name + "_" + std::to_string(getpid())))
    {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const assets::Asset* find(const std::vector<assets::Asset>& all, const std::string& name)
{
    for (const assets::Asset& a : all) {
        if (a.name == name)
            return &a;
    }
    return nullptr;
}

struct Mp3Frames {
    int count = 0;
    bool allMpeg1Layer3Mono44100 = true;
    std::set<int> bitrates;      // kbit/s
    bool firstIsInfo = false;    // LAME's Info/Xing frame, which holds no audio
    size_t bytesWalked = 0;
};

// Walks MPEG audio frames by their sync headers from the start of the file.
Mp3Frames walkMp3(const Bytes& b)
{
    static const int kBitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    Mp3Frames f;
    size_t at = 0;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0)
            break;
        const int version = (b[at + 1] >> 3) & 3, layer = (b[at + 1] >> 1) & 3;
        const int bitrate = kBitrates[b[at + 2] >> 4], rateIndex = (b[at + 2] >> 2) & 3;
        const int padding = (b[at + 2] >> 1) & 1, mode = b[at + 3] >> 6;
        if (version != 3 || layer != 1 || rateIndex != 0 || mode != 3 || bitrate == 0)
            f.allMpeg1Layer3Mono44100 = false;
        if (bitrate == 0)
            break;
        const size_t length = size_t(144 * bitrate * 1000 / 44100 + padding);
        if (f.count == 0) {
            std::string body(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + length)));
            f.firstIsInfo = body.find("Info") != std::string::npos || body.find("Xing") != std::string::npos;
        } else {
            f.bitrates.insert(bitrate);
        }
        ++f.count;
        at += length;
    }
    f.bytesWalked = at;
    return f;
}

}  // namespace

TEST(SampleAssets, TheSameBytesEveryTime)
{
    std::vector<assets::Asset> first = assets::sampleAssets();
    std::vector<assets::Asset> second = assets::sampleAssets();
    ASSERT_EQ(first.size(), second.size());
    std::vector<std::string> names;
    for (size_t i = 0; i < first.size(); ++i) {
        names.push_back(first[i].name);
        EXPECT_EQ(first[i].name, second[i].name);
        EXPECT_TRUE(first[i].bytes == second[i].bytes) << first[i].name << " differs between runs";
    }
    EXPECT_EQ(names, (std::vector<std::string>{"checker.bmp", "gradient.bmp", "rings.bmp", "plasma.bmp", "grid.bmp",
                                               "knot.obj", "music.mp3"}));
}

TEST(SampleAssets, TexturesDecodeThroughThePlayersReaderAndCompile)
{
    assets::AssetOptions options;
    options.musicSeconds = 0.1;
    std::vector<assets::Asset> all = assets::sampleAssets(options);
    ScratchDir dir("sample_textures");
    std::set<std::vector<uint8_t>> images;
    for (const assets::Asset& a : all) {
        if (a.name.size() < 4 || a.name.substr(a.name.size() - 4) != ".bmp")
            continue;
        std::unique_ptr<ImageRecord> image = decodeBmp(a.bytes.data(), int32_t(a.bytes.size()));
        ASSERT_NE(image, nullptr) << a.name;
        EXPECT_EQ(image->width, 256) << a.name;
        EXPECT_EQ(image->height, 256) << a.name;
        // A picture, not a flat fill.
        std::set<uint32_t> colours;
        for (size_t i = 0; i + 2 < size_t(256 * 256 * 3); i += 3)
            colours.insert(uint32_t(image->pixels[i]) << 16 | uint32_t(image->pixels[i + 1]) << 8 | image->pixels[i + 2]);
        EXPECT_GE(colours.size(), 2u) << a.name;
        images.insert(std::vector<uint8_t>(image->pixels.get(), image->pixels.get() + 256 * 256 * 3));

        ASSERT_TRUE(writeFile((dir.path() / a.name).string(), a.bytes));
        DescriptionOptions where;
        where.baseDirectory = dir.path().string();
        Bytes data;
        std::string error;
        EXPECT_TRUE(compileDescription(R"({"totalFrames": 1, "resources": [{"class": "texture", "tag": "t", "file": ")" +
                                           a.name + "\"}]}",
                                       where, data, &error))
            << error;
    }
    EXPECT_EQ(images.size(), 5u) << "five different pictures";
}

TEST(SampleAssets, MusicIsAnMp3OfTheAskedLength)
{
    for (double seconds : {3.0, 40.0}) {
        assets::AssetOptions options;
        options.musicSeconds = seconds;
        std::vector<assets::Asset> all = assets::sampleAssets(options);
        const assets::Asset* music = find(all, "music.mp3");
        ASSERT_NE(music, nullptr);
        Mp3Frames frames = walkMp3(music->bytes);
        EXPECT_EQ(frames.bytesWalked, music->bytes.size()) << "frames follow each other to the end of the file";
        EXPECT_TRUE(frames.allMpeg1Layer3Mono44100);
        EXPECT_TRUE(frames.firstIsInfo);
        EXPECT_EQ(frames.bitrates, (std::set<int>{128}));
        // LAME adds its encoder delay and pads the last frame: under 0.1 s.
        double played = (frames.count - 1) * 1152.0 / 44100;
        EXPECT_GE(played, seconds);
        EXPECT_LT(played, seconds + 0.1);
    }
}

TEST(SampleAssets, WavMusicHasItsHeaderAndSoundsAndFades)
{
    assets::AssetOptions options;
    const double seconds = options.musicSeconds;  // the sample demo's: intro, middle and end
    options.wav = true;
    std::vector<assets::Asset> all = assets::sampleAssets(options);
    const assets::Asset* wav = find(all, "music.wav");
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(find(all, "music.mp3"), nullptr);
    const Bytes& b = wav->bytes;
    ASSERT_GE(b.size(), 44u);
    auto u32 = [&](size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24; };
    auto u16 = [&](size_t at) { return unsigned(b[at]) | unsigned(b[at + 1]) << 8; };
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(4), b.size() - 8);
    EXPECT_EQ(u16(20), 1u) << "PCM";
    EXPECT_EQ(u16(22), 1u) << "mono";
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(u32(40), uint32_t(seconds * 44100 * 2));
    ASSERT_EQ(b.size(), 44 + size_t(seconds * 44100 * 2));

    auto level = [&](double from, double to) {  // RMS over a stretch, 0 to 1
        double sum = 0;
        size_t first = size_t(from * 44100), last = size_t(to * 44100);
        for (size_t i = first; i < last; ++i) {
            double s = int16_t(u16(44 + 2 * i)) / 32768.0;
            sum += s * s;
        }
        return std::sqrt(sum / double(last - first));
    };
    int peak = 0;
    for (size_t i = 0; i < size_t(seconds * 44100); ++i)
        peak = std::max(peak, std::abs(int(int16_t(u16(44 + 2 * i)))));
    EXPECT_LT(peak, 32767) << "no clipping";
    EXPECT_GT(peak, 8000);
    EXPECT_GT(level(12, 16), 0.05) << "drums and bass in the middle";
    EXPECT_GT(level(12, 16), 1.5 * level(0, 4)) << "a quieter intro";
    EXPECT_LT(level(seconds - 0.05, seconds), 0.005) << "faded out at the end";
    EXPECT_LT(level(0, 0.02), 0.005) << "faded in at the start";
}

TEST(SampleDemo, BuildsFromGeneratedAssetsAndInspectShowsTheDescription)
{
    ScratchDir dir("sample_demo");
    const std::string tool = DEMOTOOL_BINARY;
    const fs::path assetsDir = dir.path() / "assets", description = dir.path() / "sample.json";
    const std::string data = (dir.path() / "sample.dat").string(), listing = (dir.path() / "inspect.txt").string();

    EXPECT_EQ(run(tool + " assets 2>/dev/null"), 2) << "no folder";
    EXPECT_EQ(run(tool + " assets " + assetsDir.string() + " --bogus 2>/dev/null"), 2);
    ASSERT_EQ(run(tool + " assets " + assetsDir.string()), 0);
    for (const assets::Asset& a : assets::sampleAssets()) {
        Bytes written;
        ASSERT_TRUE(readFile((assetsDir / a.name).string(), written)) << a.name;
        EXPECT_TRUE(written == a.bytes) << a.name;
    }

    // The sample finds its assets next to itself.
    fs::copy_file(sourceRoot() / "demos" / "sample.json", description);
    ASSERT_EQ(run(tool + " build " + description.string() + " -o " + data), 0);
    ASSERT_EQ(run(tool + " inspect " + data + " >" + listing), 0);
    const std::string text = textOf(listing);

    json::Value root;
    std::string error;
    ASSERT_TRUE(json::parse(textOf(description.string()), root, &error)) << error;

    // Resources: the sound library first, then the others in description order.
    static const std::map<std::string, std::string> kInspectNames = {
        {"camera", "Camera"}, {"color", "Color"},   {"quad", "Quad"},         {"box", "Box"},
        {"scale", "Scale"},   {"texture", "Texture"}, {"textureCopy", "Texture copy"},
        {"music", "MusicTrack"}, {"transform", "Transform"}, {"model", "Model"}, {"grid", "Grid"},
        {"blend", "BlendMode"}, {"trail", "MotionTrail"}, {"polygonMode", "PolygonMode"}, {"quadric", "Quadric"},
        {"replicator", "Replicator"}, {"splitter", "QuadSplitter"}, {"assembly", "PieceAssembly"},
        {"ripple", "Ripple"}, {"world", "CollisionWorld"}};
    std::vector<std::string> expected = {"SoundLibrary"};
    const json::Value* resources = root.find("resources");
    ASSERT_NE(resources, nullptr);
    for (const json::Value& r : resources->items) {
        const std::string& c = r.find("class")->text;
        if (c == "soundLibrary")
            continue;
        ASSERT_TRUE(kInspectNames.count(c)) << c;
        expected.push_back(kInspectNames.at(c) + " " + r.find("tag")->text);
    }
    std::vector<std::string> listed;
    std::istringstream lines(text);
    std::string line;
    std::regex resourceLine(R"(^  resource \d+ (.+) at offset.*)"), tagLine(R"(^    tag (\S+)$)");
    std::regex entryLine(R"(^  chunk 25 timeline entry .*: start frame (\d+)$)"), commandLine(R"(^    +10\d\d .*)");
    std::vector<int> entryFrames, entryCommands;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, resourceLine))
            listed.push_back(m[1]);
        else if (std::regex_match(line, m, tagLine) && !listed.empty())
            listed.back() += " " + m[1].str();
        else if (std::regex_match(line, m, entryLine))
            entryFrames.push_back(std::stoi(m[1])), entryCommands.push_back(0);
        else if (std::regex_match(line, commandLine) && !entryCommands.empty())
            ++entryCommands.back();
    }
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(std::regex_search(text, std::regex("library image: ELF [^ ]+ shared library, [0-9]+ bytes\n")));

    // Timeline: one entry per description entry, with its frame and commands
    // (a group counts itself and what it holds).
    std::function<int(const json::Value&)> count = [&](const json::Value& list) {
        int n = 0;
        for (const json::Value& c : list.items)
            n += 1 + (c.find("group") ? count(*c.find("group")) : 0);
        return n;
    };
    std::vector<int> frames, commands;
    for (const json::Value& entry : root.find("timeline")->items) {
        frames.push_back(int(entry.find("frame")->number));
        commands.push_back(entry.find("commands") ? count(*entry.find("commands")) : 0);
    }
    EXPECT_EQ(entryFrames, frames);
    EXPECT_EQ(entryCommands, commands);
    EXPECT_NE(text.find("total frames " + std::to_string(int(root.find("totalFrames")->number))), std::string::npos);
}
