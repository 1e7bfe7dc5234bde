// What the build does with music and textures as authors have them: any
// audio ffmpeg reads carried at 44.1 kHz (so that fast-forwarded music meets
// the picture), textures scaled by a 'size' field and too large ones told.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "demo/chunk_stream.h"
#include "demo/envelope.h"
#include "tests/support/description.h"
#include "tools/inspect/inspect.h"
#include "tools/media/audio_convert.h"
#include "tools/description/description.h"
#include "tools/writer/texture_payloads.h"
#include "tools/render/video.h"
#include "tools/media/wav.h"

using namespace tools::writer;
using namespace tools::media;
using namespace tools::description;
using namespace tools::inspect;
using namespace tools::render;
namespace fs = std::filesystem;

namespace {

class Workspace {
public:
    Workspace() : path_(fs::temp_directory_path() / ("author_media_" + std::to_string(getpid())))
    {
        fs::create_directories(path_);
        const Bytes library = {0x7f, 'E', 'L', 'F', 2, 1, 1};
        writeFile(file("lib.so"), library);
    }
    ~Workspace() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Compiles with the notes collected; "" or the error.
    std::string compile(const std::string& text, Bytes& out, std::vector<std::string>& notes) const
    {
        DescriptionOptions options;
        options.baseDirectory = path_.string();
        options.note = [&](const std::string& line) { notes.push_back(line); };
        std::string error;
        return compileDescription(text, options, out, &error) ? "" : error;
    }

private:
    fs::path path_;
};

// The bodies of the resources with chunk id `id`, in order.
std::vector<Bytes> bodiesOf(const Bytes& data, int16_t id, int16_t extraId)
{
    std::vector<Bytes> bodies;
    ChunkStream top(data.data(), int32_t(data.size()));
    forEachChunk(top, [&](int16_t topId, uint32_t length) {
        if (topId == 2102) {
            ChunkStream resources(data.data() + top.position(), int32_t(length));
            forEachChunk(resources, [&](int16_t resourceId, uint32_t resourceLength) {
                if (resourceId != id) {
                    resources.skip(resourceLength);
                    return;
                }
                EnvelopeContents envelope;
                readEnvelope(resources, resourceLength, extraId, envelope);
                bodies.emplace_back(envelope.body, envelope.body + envelope.bodySize);
            });
        }
        top.skip(length);
    });
    return bodies;
}

// Mono 16-bit samples of an audio file at its own rate, decoded by ffmpeg.
std::vector<int16_t> decoded(const std::string& path)
{
    std::vector<int16_t> samples;
    FILE* pipe = popen(("ffmpeg -loglevel error -nostdin -i '" + path + "' -f s16le -ac 1 -").c_str(), "r");
    int16_t buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 2, 4096, pipe)) > 0)
        samples.insert(samples.end(), buffer, buffer + n);
    if (pipe)
        pclose(pipe);
    return samples;
}

int64_t onset(const std::vector<int16_t>& samples)
{
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int(samples[i])) > 4000)
            return int64_t(i);
    }
    return -1;
}

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(MusicConversion, FortyEightKilohertzMusicMeetsThePictureAfterAFastForward)
{
    Workspace w;
    // Two seconds of silence, then a tone: where the tone starts is where
    // the music is at 2 s.
    const int sourceRate = 48000;
    std::vector<int16_t> source(size_t(sourceRate) * 3, 0);
    for (size_t i = size_t(sourceRate) * 2; i < source.size(); ++i)
        source[i] = int16_t(16000 * std::sin(2 * M_PI * 1000.0 * double(i) / sourceRate));
    ASSERT_TRUE(writeFile(w.file("song.wav"), encodeWav(source, sourceRate, 1)));
    struct Source {
        const char* file;
        const char* encoder;  // ffmpeg's arguments making it from the WAV; null: the WAV itself
        AudioForm::Kind carried;
    } sources[] = {
        {"song.wav", nullptr, AudioForm::Wav},
        {"song.mp3", "-c:a libmp3lame -q:a 2", AudioForm::Mp3},
        {"song.ogg", "-c:a libvorbis", AudioForm::Mp3},
        {"song.flac", "-c:a flac", AudioForm::Mp3},
        {"song.opus", "-c:a libopus", AudioForm::Mp3},
    };
    // A fast-forward of 40 frames at 20 fps: the player moves the music to
    // (40 / 20) × 44100 samples, the 2-second mark only at 44.1 kHz.
    const int fps = 20, skipped = 40;
    const int64_t position = int64_t(skipped / fps) * 44100;

    // Carried as it is, the 48 kHz track would be this far behind the picture.
    const double uncorrected = double(onset(source) - position) / sourceRate * 1000;
    EXPECT_GT(uncorrected, 150) << "the drift the conversion removes";

    for (const Source& s : sources) {
        if (s.encoder) {
            ASSERT_TRUE(run("ffmpeg -loglevel error -nostdin -y -i " + w.file("song.wav") + " " + s.encoder + " " +
                            w.file(s.file)))
                << s.file;
        }
        Bytes data;
        std::vector<std::string> notes;
        const std::string error = w.compile(
            std::string(R"({"totalFrames": 60, "playback": {"frameRate": 20}, "resources": [
                {"class": "soundLibrary", "file": "lib.so"},
                {"class": "music", "tag": "song", "file": ")") + s.file + R"("}],
              "timeline": [{"frame": 1, "commands": [{"place": "song", "length": 60}, {"skip": "song", "frames": 40}]}]})",
            data, notes);
        ASSERT_EQ(error, "") << s.file;
        ASSERT_EQ(notes.size(), 1u) << s.file;
        EXPECT_NE(notes[0].find("music '" + std::string(s.file) + "' ("), std::string::npos) << notes[0];
        EXPECT_NE(notes[0].find(", 48000 Hz) converted to "), std::string::npos) << notes[0];
        const Bytes music = musicOf(data);
        const AudioForm form = audioFormOf(music);
        EXPECT_EQ(form.kind, s.carried) << s.file;
        EXPECT_EQ(form.rate, 44100) << s.file;
        const std::string carried = w.file(std::string("carried-") + s.file + (s.carried == AudioForm::Wav ? ".wav" : ".mp3"));
        ASSERT_TRUE(writeFile(carried, music));
        const std::vector<int16_t> samples = decoded(carried);
        ASSERT_GT(samples.size(), size_t(44100 * 2)) << s.file;
        const double drift = double(onset(samples) - position) / 44100 * 1000;
        EXPECT_LT(std::abs(drift), 5.0) << s.file << ": the tone starts " << drift << " ms from where the music is put";
    }
}

TEST(MusicConversion, MusicAt44100IsCarriedAsItIsAndNonAudioIsRefused)
{
    const std::vector<int16_t> silence(4410, 0);
    const Bytes wav = encodeWav(silence, 44100, 2);
    CarriedAudio out;
    std::string error;
    ASSERT_TRUE(carriedAudio(wav, "a.wav", out, &error)) << error;
    EXPECT_FALSE(out.converted);
    EXPECT_EQ(out.bytes, wav);
    EXPECT_EQ(out.note, "");
    // Not only 48 kHz: any rate but 44.1 kHz is converted, WAV staying WAV.
    ASSERT_TRUE(carriedAudio(encodeWav(silence, 22050, 1), "low.wav", out, &error)) << error;
    EXPECT_TRUE(out.converted);
    EXPECT_EQ(audioFormOf(out.bytes).kind, AudioForm::Wav);
    EXPECT_EQ(audioFormOf(out.bytes).rate, 44100);
    EXPECT_EQ(out.note.rfind("music 'low.wav' (pcm_s16le, 22050 Hz) converted to WAV at 44100 Hz", 0), 0u) << out.note;
    // Rates told from the headers alone.
    EXPECT_EQ(audioFormOf(encodeWav(silence, 22050, 1)).rate, 22050);
    EXPECT_EQ(audioFormOf(Bytes{0xFF, 0xFB, 0x94, 0x00}).rate, 48000);  // MPEG-1 layer III, 48 kHz
    EXPECT_EQ(audioFormOf(Bytes{0xFF, 0xFB, 0x90, 0x00}).rate, 44100);
    EXPECT_EQ(audioFormOf(text("hello")).kind, AudioForm::Unknown);
    EXPECT_FALSE(carriedAudio(text("just notes, no sound"), "notes.txt", out, &error));
    EXPECT_EQ(error.rfind("is no audio file ffmpeg can read", 0), 0u) << error;
}

TEST(TextureSize, LargeTexturesAreToldAndSizeScalesThem)
{
    Workspace w;
    // Pictures red on the left and blue on the right. 1600 × 1200: 5.8 MB as
    // a texture; 2400 × 2400: 17.3 MB, still 4.3 MB at half the size.
    auto picture = [](int width, int height) {
        Bytes rgb(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
                p[0] = x < width / 2 ? 255 : 0;
                p[2] = x < width / 2 ? 0 : 255;
            }
        }
        return bmp24(width, height, rgb);
    };
    ASSERT_TRUE(writeFile(w.file("photo.bmp"), picture(1600, 1200)));
    ASSERT_TRUE(writeFile(w.file("poster.bmp"), picture(2400, 2400)));
    auto texture = [](const std::string& tag, const std::string& more) {
        return R"({"class": "texture", "tag": ")" + tag + R"(", "file": "photo.bmp")" + more + "}";
    };
    struct Case {
        std::string resources;
        std::vector<std::string> notes;  // each in its own line, in order
        int32_t width = 0, height = 0;   // of the first texture carried
    } cases[] = {
        {texture("foto", ""),
         {"warning: resource 'foto': 'photo.bmp' is 1600 x 1200 pixels, 5.8 MB in the demo data", "'size' such as [800, 600]"},
         1600, 1200},
        // The size suggested fits under the 4 MB warned about.
        {R"({"class": "texture", "tag": "post", "file": "poster.bmp"})",
         {"warning: resource 'post': 'poster.bmp' is 2400 x 2400 pixels, 17.3 MB in the demo data",
          "'size' such as [600, 600]"},
         2400, 2400},
        {R"({"class": "texture", "tag": "post", "file": "poster.bmp", "size": [600, 600]})", {}, 600, 600},
        {texture("foto", R"(, "size": [64, 48])"), {}, 64, 48},
        {texture("foto", R"(, "size": [30, 20])"), {}, 32, 20},  // widened to a multiple of 4 after scaling
        {texture("a", "") + "," + texture("b", "") + "," + texture("c", "") + "," + texture("d", "") + "," +
             texture("e", "") + "," + texture("f", ""),
         {"resource 'a'", "resource 'f'", "warning: the demo data is 34.6 MB, more than the 32.0 MB"}, 1600, 1200},
    };
    for (const Case& c : cases) {
        Bytes data;
        std::vector<std::string> notes;
        ASSERT_EQ(w.compile(R"({"totalFrames": 1, "resources": [)" + c.resources + "]}", data, notes), "");
        std::string all;
        for (const std::string& note : notes)
            all += note + "\n";
        size_t from = 0;
        for (const std::string& expected : c.notes) {
            from = all.find(expected, from);
            EXPECT_NE(from, std::string::npos) << "missing: " << expected << "\n" << all;
        }
        if (c.notes.empty()) {
            EXPECT_EQ(all, "");
        }
        const std::vector<Bytes> bodies = bodiesOf(data, 200, 201);
        ASSERT_FALSE(bodies.empty());
        const Bytes& bmp = bodies[0];
        ASSERT_GE(bmp.size(), 54u);
        auto le32 = [&](size_t at) { return int32_t(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24); };
        EXPECT_EQ(le32(18), c.width);
        EXPECT_EQ(le32(22), c.height);
        // The picture survives scaling: red at the left edge, blue at the right (BGR).
        const size_t row = size_t(le32(18)) * 3;
        EXPECT_EQ(bmp[54 + 2], 255);
        EXPECT_EQ(bmp[54 + row - 3], 255);
        EXPECT_EQ(bmp[54 + row - 1], 0);
    }
    EXPECT_NE(errorOf(R"({"totalFrames": 1, "resources": [{"class": "texture", "tag": "t", "file": "x.bmp", "size": 64}]})")
                  .find("'size' is [width, height] in pixels"),
              std::string::npos);
    EXPECT_NE(errorOf(R"({"totalFrames": 1, "resources": [{"class": "texture", "tag": "t", "file": "x.bmp", "size": [0, 4]}]})")
                  .find("'size' width"),
              std::string::npos);
}

namespace {

const char* kPlaced = R"({"totalFrames": 20, "resources": [
    {"class": "quad", "tag": "q", "corners": [{"position": [0, 0, 0]}, {"position": [1, 0, 0]},
                                               {"position": [1, 1, 0]}, {"position": [0, 1, 0]}]}],
  "timeline": [{"frame": 1, "commands": [{"place": "q", "as": "q1", "length": 20}, DYNAMIC]}]})";

std::string withDynamic(const std::string& dynamic)
{
    std::string text = kPlaced;
    text.replace(text.find("DYNAMIC"), 7, dynamic);
    return text;
}

}  // namespace

TEST(DynamicsAsWritten, InspectDecodesThemAndNearNamesAreSuggested)
{
    struct Case {
        const char* dynamic;
        const char* printed;
    } cases[] = {
        {R"({"dynamic": "scalar", "parent": "q1", "parameter": "Posició Z", "value": -0.25, "length": 10})",
         "; scalar 'Posició Z', value -0.25 per frame, initial 0, mode relative"},
        {R"({"dynamic": "translation", "parent": "q1", "parameter": "Posicio X", "value": 0.5, "vector": [1, 2, 3], "length": 4, "mode": "reset", "initial": 2})",
         "; translation 'Posició X', value 0.5 per frame, initial 2, mode reset, vector (1, 2, 3)"},
        {R"({"dynamic": "rotation", "parent": "q1", "parameter": "Rotació 2", "value": 90, "vector": [0, 1, 0], "length": 10})",
         "; rotation 'Rotació 2', value 90 per frame, initial 0, mode relative, vector (0, 1, 0)"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        EXPECT_TRUE(tools::inspect::inspect(compiled(withDynamic(c.dynamic)), out));
        EXPECT_NE(out.str().find(c.printed), std::string::npos) << "missing: " << c.printed << "\n" << out.str();
    }
    struct Near {
        const char* written;
        const char* suggested;
    } near[] = {
        {"Rotation 2", "(did you mean 'Rotació 2'?)"},
        {"Posicion X", "(did you mean 'Posició X'?)"},
        {"rotacio 3", "(did you mean 'Rotació 3'?)"},
        {"COLOR RR", "(did you mean 'COLOR R'?)"},
    };
    for (const Near& n : near) {
        const std::string error = errorOf(withDynamic(std::string(R"({"dynamic": "scalar", "parent": "q1", "parameter": ")") +
                                                      n.written + R"(", "value": 1, "length": 2})"));
        EXPECT_NE(error.find(std::string("unknown parameter '") + n.written + "' " + n.suggested), std::string::npos)
            << error;
    }
}
