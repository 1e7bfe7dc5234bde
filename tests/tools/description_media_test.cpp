// Descriptions with textures, texture copies, the sound library and music:
// the bytes they compile to, what the player loads and shows from them, and
// errors that name the resource and the problem.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>

#include <filesystem>

#include "player/demo_data.h"
#include "demo/object_loader.h"
#include "platform/test_double.h"
#include "player/player.h"
#include "sound/music_track.h"
#include "tests/sound/sound_fixture.h"
#include "texture/texture.h"
#include "tools/assets/sample_assets.h"
#include "tools/description/description.h"
#include "tools/writer/object_payloads.h"
#include "tools/render/render.h"
#include "tools/writer/sound_payloads.h"
#include "tools/writer/texture_payloads.h"
#include "tools/media/wav.h"

namespace assets = tools::assets;

using namespace tools::writer;
using namespace tools::media;
using namespace tools::description;
using namespace tools::render;
namespace fs = std::filesystem;

namespace {

// A folder for a description's files, removed afterwards.
class Folder {
public:
    Folder()
    {
        static int count = 0;
        path_ = fs::temp_directory_path() / ("description_media_" + std::to_string(getpid()) + "_" +
                                             std::to_string(++count));
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    std::string path() const { return path_.string(); }
    std::string put(const std::string& name, const Bytes& bytes) const
    {
        fs::create_directories((path_ / name).parent_path());
        EXPECT_TRUE(writeFile((path_ / name).string(), bytes));
        return (path_ / name).string();
    }

private:
    fs::path path_;
};

// width × height pixels, left half red, right half blue, bottom row first.
Bytes halvesBmp(int width, int height)
{
    Bytes rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool left = x < width / 2;
            rgb.insert(rgb.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255)});
        }
    }
    return bmp24(width, height, rgb);
}

Bytes shortMp3()
{
    return assets::encodeMp3(std::vector<int16_t>(4410, 1000), assets::kSampleRate);
}

bool compileIn(const Folder& folder, const std::string& text, Bytes& out, std::string* error,
               const std::string& soundLibrary = "")
{
    DescriptionOptions options;
    options.baseDirectory = folder.path();
    options.soundLibrary = soundLibrary;
    return compileDescription(text, options, out, error);
}

std::string errorIn(const Folder& folder, const std::string& text)
{
    Bytes out;
    std::string error;
    EXPECT_FALSE(compileIn(folder, text, out, &error)) << "accepted:\n" << text;
    return error;
}

// The resource stream (payload of 2102) of compiled demo data.
Bytes resourcesOf(const Bytes& data)
{
    size_t at = 0;
    while (at + 6 <= data.size()) {
        int16_t id = int16_t(data[at] | data[at + 1] << 8);
        uint32_t length = uint32_t(data[at + 2]) | uint32_t(data[at + 3]) << 8 | uint32_t(data[at + 4]) << 16 |
                          uint32_t(data[at + 5]) << 24;
        if (id == 2102)
            return Bytes(data.begin() + long(at + 6), data.begin() + long(at + 6 + length));
        at += 6 + length;
    }
    ADD_FAILURE() << "no resource stream";
    return {};
}

const char* kResources = R"({"totalFrames": 4, "resources": [)";

}  // namespace

TEST(DescriptionTextures, CompileToTheTextureWritersBytes)
{
    Folder folder;
    const Bytes image = halvesBmp(8, 4);
    folder.put("img/halves.bmp", image);
    Bytes data;
    std::string error;
    ASSERT_TRUE(compileIn(folder, std::string(kResources) + R"(
        {"class": "texture", "tag": "pln", "file": "img/halves.bmp"},
        {"class": "texture", "tag": "crsp", "file": "img/halves.bmp", "filter": "nearest",
         "wrap": ["clamp", "mirroredRepeat"], "border": [1, 0.5, 0]},
        {"class": "textureCopy", "tag": "copy", "source": "crsp", "filter": "mipmap", "wrap": "GL_CLAMP_TO_EDGE"},
        {"class": "textureCopy", "tag": "cop2", "source": "copy"}
    ]})", data, &error)) << error;

    TextureParameters crisp;
    crisp.minFilter = crisp.magFilter = kGlNearest;
    crisp.wrapS = kGlClamp;
    crisp.wrapT = kGlMirroredRepeat;
    crisp.borderColor = std::array<float, 4>{1, 0.5f, 0, 1};
    TextureParameters mipmapped;
    mipmapped.minFilter = kGlLinearMipmapLinear;
    mipmapped.wrapS = mipmapped.wrapT = kGlClampToEdge;
    mipmapped.upload = TextureUpload::Mipmaps;
    Bytes expected = StreamWriter()
                         .add(textureResource("pln", image))  // without fields: the usual stream
                         .add(textureResource("crsp", image, textureParameters(crisp)))
                         .add(textureCopyResource("copy", "crsp", textureParameters(mipmapped)))
                         .add(textureCopyResource("cop2", "copy"))
                         .bytes();
    EXPECT_EQ(resourcesOf(data), expected);
}

TEST(DescriptionTextures, FilesAreFoundFromTheDescriptionsFolderOrAbsolute)
{
    Folder folder;
    std::string absolute = folder.put("a.bmp", halvesBmp(4, 4));
    Bytes relative, direct;
    std::string error;
    ASSERT_TRUE(compileIn(folder, std::string(kResources) + R"({"class": "texture", "tag": "t", "file": "a.bmp"}]})",
                          relative, &error)) << error;
    Folder elsewhere;
    ASSERT_TRUE(compileIn(elsewhere,
                          std::string(kResources) + R"({"class": "texture", "tag": "t", "file": ")" + absolute +
                              R"("}]})",
                          direct, &error)) << error;
    EXPECT_EQ(relative, direct);
    EXPECT_NE(errorIn(elsewhere, std::string(kResources) + R"({"class": "texture", "tag": "t", "file": "a.bmp"}]})")
                  .find("looked for " + elsewhere.path() + "/a.bmp"),
              std::string::npos);
}

TEST(DescriptionTextures, ErrorsNameTheResourceAndWhatIsWrongWithTheFile)
{
    Folder folder;
    folder.put("odd.bmp", halvesBmp(6, 4));
    folder.put("short.bmp", [] {
        Bytes b = halvesBmp(8, 8);
        b.resize(b.size() - 10);
        return b;
    }());
    folder.put("eight.bmp", bmpFile(4, 4, 8, Bytes(16, 0), {{0, 0, 0}}));
    folder.put("core.bmp", [] {
        BmpLayout core;
        core.headerSize = 12;
        return bmpFile(4, 4, 24, Bytes(48, 0), {}, core);
    }());
    folder.put("topdown.bmp", [] {
        BmpLayout layout;
        layout.topDown = true;
        return bmpFile(4, 4, 24, Bytes(48, 0), {}, layout);
    }());
    folder.put("notes.txt", Bytes{'h', 'i'});
    folder.put("good.bmp", halvesBmp(4, 4));

    auto texture = [&](const std::string& fields) {
        return errorIn(folder, std::string(kResources) + R"({"class": "texture", "tag": "tex", )" + fields + "}]}");
    };
    EXPECT_NE(texture(R"("file": "missing.bmp")").find("resource 'tex': cannot read 'missing.bmp'"), std::string::npos);
    EXPECT_NE(texture(R"("file": "missing.bmp")").find("No such file"), std::string::npos);
    EXPECT_NE(texture(R"("file": "notes.txt")").find("resource 'tex': 'notes.txt' cannot be read as an image"),
              std::string::npos);
    // Other BMP layouts are converted to the one the player reads.
    for (const char* converted : {"eight.bmp", "core.bmp", "topdown.bmp", "odd.bmp"}) {
        Bytes out;
        std::string error;
        EXPECT_TRUE(compileIn(folder,
                              std::string(kResources) + R"({"class": "texture", "tag": "tex", "file": ")" +
                                  converted + "\"}]}",
                              out, &error))
            << converted << ": " << error;
    }
    EXPECT_NE(texture(R"("file": "short.bmp")").find("'short.bmp' is cut short"), std::string::npos);
    EXPECT_NE(texture("").find("resource 'tex': needs 'file'"), std::string::npos);
    EXPECT_NE(texture(R"("file": "good.bmp", "filter": "linaer")").find("unknown filter 'linaer' (did you mean 'linear'?)"),
              std::string::npos);
    EXPECT_NE(texture(R"("file": "good.bmp", "wrap": "wrap")").find("unknown wrap mode 'wrap'"), std::string::npos);
    EXPECT_NE(texture(R"("file": "good.bmp", "wrap": ["repeat"])").find("'wrap' is one mode or [s, t]"),
              std::string::npos);
    EXPECT_NE(texture(R"("file": "good.bmp", "border": [1, 1])").find("'border' must be a list of 3 or 4 numbers"),
              std::string::npos);
    EXPECT_NE(texture(R"("file": "good.bmp", "source": "x")").find("unknown field 'source'"), std::string::npos);

    auto copy = [&](const std::string& before, const std::string& fields) {
        return errorIn(folder, std::string(kResources) + before +
                                   R"({"class": "textureCopy", "tag": "cp", )" + fields + "}]}");
    };
    const std::string tex = R"({"class": "texture", "tag": "tex", "file": "good.bmp"},)";
    EXPECT_NE(copy(tex, R"("source": "txe")").find("resource 'cp': no texture tagged 'txe' is listed before this resource "
                                                  "(did you mean 'tex'?)"),
              std::string::npos);
    EXPECT_NE(copy(R"({"class": "color", "tag": "red", "color": [1, 0, 0]},)", R"("source": "red")")
                  .find("'source' 'red' is a color, not a texture"),
              std::string::npos);
    EXPECT_NE(copy("", R"("source": "tex"}, {"class": "texture", "tag": "tex", "file": "good.bmp")")
                  .find("no texture tagged 'tex' is listed before this resource"),
              std::string::npos)
        << "the loader looks the source up when it reaches the copy";
    EXPECT_NE(copy(tex, "").find("resource 'cp': needs 'source'"), std::string::npos);
    EXPECT_NE(copy(tex, R"("source": "tex", "file": "good.bmp")").find("unknown field 'file'"), std::string::npos);

    // A texture has no parameter a dynamic could change.
    std::string dynamic = errorIn(folder, R"({"totalFrames": 4, "resources": [)" + tex.substr(0, tex.size() - 1) +
                                              R"(], "timeline": [{"frame": 1, "commands": [{"place": "tex"},
        {"dynamic": "scalar", "parent": "tex", "parameter": "Rotació 1", "value": 1, "length": 2}]}]})");
    EXPECT_NE(dynamic.find("'Rotació 1' is not a parameter of 'tex', a texture, which has none"), std::string::npos)
        << dynamic;
}

namespace {

class DescriptionMediaLoads : public ::testing::Test {
protected:
    void load(const std::string& description, const std::string& soundLibrary = "")
    {
        Bytes data;
        std::string error;
        ASSERT_TRUE(compileIn(folder_, description, data, &error, soundLibrary)) << error;
        std::string path = folder_.put("demo.dat", data);
        ASSERT_TRUE(readContainer(player_, path.c_str(), 0));
    }

    Folder folder_;
    soundtest::TempDir temp_;  // the player's temporary directory
    platform::TestDouble platform_;
    Player player_;
};

GLint texParameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

}  // namespace

TEST_F(DescriptionMediaLoads, TexturesAndCopiesCarryTheImageAndTheirOwnParameters)
{
    Bytes image = halvesBmp(8, 4);
    folder_.put("halves.bmp", image);
    load(R"({"totalFrames": 4, "resources": [
        {"class": "texture", "tag": "tex", "file": "halves.bmp"},
        {"class": "textureCopy", "tag": "copy", "source": "tex", "filter": "nearest", "wrap": "clampToEdge",
         "border": [0, 1, 0, 1]}
    ]})");
    ASSERT_EQ(player_.resources->count(), 2);
    auto* tex = static_cast<Texture*>(player_.resources->find("tex"));
    auto* copy = static_cast<Texture*>(player_.resources->find("copy"));
    ASSERT_NE(tex, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(tex->textureName, copy->textureName);

    for (Texture* texture : {tex, copy}) {
        glBindTexture(GL_TEXTURE_2D, texture->textureName);
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, 8);
        EXPECT_EQ(height, 4);
        std::vector<uint8_t> texels(size_t(8 * 4 * 3));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ((std::vector<uint8_t>(texels.begin(), texels.begin() + 3)), (std::vector<uint8_t>{255, 0, 0}));
        EXPECT_EQ((std::vector<uint8_t>(texels.end() - 3, texels.end())), (std::vector<uint8_t>{0, 0, 255}));
    }
    glBindTexture(GL_TEXTURE_2D, tex->textureName);
    EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, copy->textureName);
    EXPECT_EQ(texParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(texParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(texParameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    GLfloat border[4] = {};
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    EXPECT_FLOAT_EQ(border[1], 1);
    EXPECT_FLOAT_EQ(border[0], 0);
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].caption << ": " << platform_.boxes[0].text;
}

TEST_F(DescriptionMediaLoads, MusicIsMadeAfterTheLibraryWhateverTheOrderListed)
{
    soundtest::CallLog log(temp_.path() + "calls.log");
    folder_.put("lib/recorder.so", soundtest::readFile(DEMOSOUND_RECORDER));
    folder_.put("song.mp3", shortMp3());
    load(R"({"totalFrames": 40, "playback": {"frameRate": 25}, "resources": [
        {"class": "music", "tag": "song", "file": "song.mp3", "volume": 200},
        {"class": "music", "tag": "tune", "file": "song.mp3", "name": "other.mp3", "framesPerSecond": 10},
        {"class": "soundLibrary", "file": "lib/recorder.so"}
    ]})");
    ASSERT_NE(player_.resourceLoader, nullptr);
    EXPECT_NE(player_.resourceLoader->soundLibrary(), nullptr);
    ASSERT_EQ(player_.resources->count(), 2) << "both tracks exist: the library came first";
    auto* song = static_cast<MusicTrack*>(player_.resources->find("song"));
    auto* tune = static_cast<MusicTrack*>(player_.resources->find("tune"));
    ASSERT_NE(song, nullptr);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(song->framesPerSecond, 25) << "the playback's frame rate by default";
    EXPECT_EQ(song->appliedVolume, 200);
    EXPECT_EQ(tune->framesPerSecond, 10);
    EXPECT_EQ(tune->appliedVolume, 255);
    // In the player's own directory inside the temporary one.
    const std::string own = player_.resourceLoader->soundLibrary()->directory;
    EXPECT_EQ(soundtest::readFile(own + "song.mp3"), shortMp3()) << "named after the source by default";
    EXPECT_TRUE(soundtest::fileExists(own + "other.mp3"));
    std::vector<std::string> lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "FSOUND_Sample_Load -1 " + own + "song.mp3 304 0 0"),
              lines.end());
    EXPECT_TRUE(platform_.boxes.empty()) << platform_.boxes[0].caption << ": " << platform_.boxes[0].text;
}

TEST(DescriptionSound, LibraryIsWrittenFirstAndMusicMatchesTheWriter)
{
    Folder folder;
    const Bytes library = {0x7F, 'E', 'L', 'F', 1, 2, 3};
    const Bytes song = shortMp3();
    const Bytes wave = encodeWav(std::vector<int16_t>(100, 0), assets::kSampleRate, 1);
    std::string defaultLibrary = folder.put("default/libdemosound.so", library);
    folder.put("music/song.mp3", song);
    folder.put("music/wave.wav", wave);
    Bytes data;
    std::string error;
    ASSERT_TRUE(compileIn(folder, R"({"totalFrames": 4, "playback": {"frameRate": 30}, "resources": [
        {"class": "color", "tag": "red", "color": [1, 0, 0]},
        {"class": "music", "tag": "mus", "file": "music/song.mp3"},
        {"class": "music", "tag": "wav", "file": "music/wave.wav", "name": "w.wav", "volume": 0, "framesPerSecond": 7},
        {"class": "soundLibrary"}
    ]})", data, &error, defaultLibrary)) << error;
    MusicSettings mus;
    mus.name = "song.mp3";
    mus.framesPerSecond = 30;
    MusicSettings wav;
    wav.name = "w.wav";
    wav.volume = 0;
    wav.framesPerSecond = 7;
    Envelope red;
    red.tag = "red";
    red.body = colorPayload({1, 0, 0, 1});
    Bytes expected = StreamWriter()
                         .add(soundLibraryResource(library))
                         .add(resource(3, red))
                         .add(musicResource("mus", mus, song))
                         .add(musicResource("wav", wav, wave))
                         .bytes();
    EXPECT_EQ(resourcesOf(data), expected);
}

TEST(DescriptionSound, ErrorsNameThePlaceAndTheProblem)
{
    Folder folder;
    folder.put("song.mp3", shortMp3());
    folder.put("notes.txt", Bytes{'n', 'o', 't', 'e', 's'});
    folder.put("lib.so", Bytes{0x7F, 'E', 'L', 'F'});
    folder.put("empty.so", {});
    const std::string lib = R"({"class": "soundLibrary", "file": "lib.so"})";
    auto music = [&](const std::string& fields, const char* before = nullptr) {
        const std::string more = before ? before : lib;
        return errorIn(folder, std::string(R"({"totalFrames": 4, "resources": [)") + more + (more.empty() ? "" : ",") +
                                   R"({"class": "music", "tag": "mus", )" + fields + "}]}");
    };
    EXPECT_NE(music(R"("file": "song.mp3")", "").find("resource 'mus': music plays through the sound library: add "
                                                      "{\"class\": \"soundLibrary\"}"),
              std::string::npos);
    EXPECT_NE(music(R"("file": "notes.txt")").find("resource 'mus': 'notes.txt' is no audio file ffmpeg can read"),
              std::string::npos);
    EXPECT_NE(music(R"("file": "gone.mp3")").find("resource 'mus': cannot read 'gone.mp3'"), std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "name": "../x.mp3")").find("must be a plain file name"), std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "name": "")").find("must be a plain file name"), std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "name": ")" + std::string(256, 'n') + "\"").find("must be a plain file name"),
              std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "volume": 256)").find("'volume'"), std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "framesPerSecond": 0)").find("'framesPerSecond'"), std::string::npos);
    EXPECT_NE(music(R"("file": "song.mp3", "volum": 3)").find("unknown field 'volum' (did you mean 'volume'?)"),
              std::string::npos);
    EXPECT_NE(errorIn(folder, R"({"totalFrames": 4, "playback": {"frameRate": 0}, "resources": [)" + lib +
                                  R"(, {"class": "music", "tag": "mus", "file": "song.mp3"}]})")
                  .find("needs 'framesPerSecond': the playback is unpaced"),
              std::string::npos);

    auto library = [&](const std::string& items) {
        return errorIn(folder, std::string(R"({"totalFrames": 4, "resources": [)") + items + "]}");
    };
    EXPECT_EQ(library(R"({"class": "color", "tag": "c", "color": [1, 1, 1]}, {"class": "soundLibrary", "tag": "snd"})"),
              "1:119: resource 2 (soundLibrary): a sound library has no tag: the player keeps it for the music, unnamed");
    EXPECT_NE(library(lib + "," + lib).find("resource 2 (soundLibrary): a demo carries one sound library"),
              std::string::npos);
    EXPECT_NE(library(R"({"class": "soundLibrary"})").find("needs 'file': no default sound library is known here"),
              std::string::npos);
    EXPECT_NE(library(R"({"class": "soundLibrary", "file": "empty.so"})").find("the sound library file is empty"),
              std::string::npos);
    EXPECT_NE(library(R"({"class": "soundLibrary", "file": "nowhere.so"})").find("cannot read 'nowhere.so'"),
              std::string::npos);
    Bytes out;
    std::string error;
    EXPECT_FALSE(compileIn(folder, R"({"totalFrames": 4, "resources": [{"class": "soundLibrary"}]})", out, &error,
                           folder.path() + "/not-built.so"));
    EXPECT_NE(error.find("the default library: cannot read '" + folder.path() + "/not-built.so'"), std::string::npos)
        << error;

    // Volum belongs to music, not to a box.
    std::string timeline = R"({"totalFrames": 9, "resources": [)" + lib + R"(,
        {"class": "music", "tag": "mus", "file": "song.mp3"}, {"class": "box", "tag": "box"}],
        "timeline": [{"frame": 1, "commands": [{"place": "mus", "length": 8}, {"place": "box"},
        {"dynamic": "scalar", "parent": "mus", "parameter": "Volum", "mode": "reset", "initial": 255,
         "value": -6.5384617, "length": 8}, DYNAMIC]}]})";
    Bytes fine;
    std::string withMusicFade = timeline;
    withMusicFade.replace(withMusicFade.find("DYNAMIC"), 7, R"({"skip": "mus", "frames": 1})");
    EXPECT_TRUE(compileIn(folder, withMusicFade, fine, &error)) << error;
    timeline.replace(timeline.find("DYNAMIC"), 7,
                     R"({"dynamic": "scalar", "parent": "box", "parameter": "Volum", "value": 1, "length": 2})");
    EXPECT_NE(errorIn(folder, timeline).find("command 4: 'Volum' is not a parameter of 'box', a box"),
              std::string::npos);
}

TEST(DescriptionTextures, ATexturedQuadShowsItsImage)
{
    Folder folder;
    folder.put("halves.bmp", halvesBmp(8, 8));
    Bytes data;
    std::string error;
    // The camera looks down -Z at a quad that fills the view; the copy,
    // placed for frame 2 only, shows the same image.
    ASSERT_TRUE(compileIn(folder, R"({"window": {"width": 64, "height": 64}, "totalFrames": 2,
        "renderState": [{"clearColor": [0, 1, 0]}, {"enable": "depthTest"}],
        "resources": [
            {"class": "camera", "tag": "cam", "position": [0, 0, 1], "centre": [0, 0, 0]},
            {"class": "texture", "tag": "tex", "file": "halves.bmp", "filter": "nearest"},
            {"class": "textureCopy", "tag": "copy", "source": "tex", "filter": "nearest"},
            {"class": "quad", "tag": "quad", "corners": [
                {"position": [-2, -2, 0]}, {"position": [2, -2, 0]}, {"position": [2, 2, 0]}, {"position": [-2, 2, 0]}
            ]}
        ],
        "timeline": [
            {"frame": 1, "commands": [{"place": "cam"}, {"place": "tex", "parent": "cam", "length": 1},
                                      {"place": "quad", "parent": "tex"}]},
            {"frame": 2, "commands": [{"place": "copy", "parent": "cam"}, {"place": "quad", "as": "q2", "parent": "copy"}]}
        ]})",
                          data, &error)) << error;
    std::string path = folder.put("demo.dat", data);
    std::vector<RenderedFrame> frames;
    RenderOptions options;
    ASSERT_TRUE(options.frames.parse("1-2", &error)) << error;
    ASSERT_TRUE(renderDemo(path, options, frames, &error)) << error;
    ASSERT_EQ(frames.size(), 2u);
    for (const RenderedFrame& f : frames) {
        auto pixel = [&](int x, int y) {
            const uint8_t* p = &f.rgb[size_t((y * f.width + x) * 3)];
            return std::vector<int>{p[0], p[1], p[2]};
        };
        EXPECT_EQ(pixel(8, 32), (std::vector<int>{255, 0, 0})) << "frame " << f.frame << ": left half red";
        EXPECT_EQ(pixel(56, 32), (std::vector<int>{0, 0, 255})) << "frame " << f.frame << ": right half blue";
    }
}
