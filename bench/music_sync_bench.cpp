// How well the music and the picture stay together over a whole demo. Demo
// data with the real libdemosound.so as its sound library and a WAV music
// track placed at frame 1 is played by the real player pieces (container
// reader, frame clock, frame loop with pacing and catch-up). A probe object
// at the end of the active list samples, every frame, the music channel's
// play position and the frame clock.
//
// Drift = play position - (frame - 1) / frame rate: frame 1 starts the music
// at position 0, so frame N belongs at (N - 1) / rate seconds of music.
// Positive drift: the music is ahead of the picture. It splits into
//   lateness   = frame clock at the probe - (N - 1) / rate (the frame loop)
//   music-clk  = play position - frame clock (the library's own clock)
//
//   SDL_VIDEODRIVER=offscreen music_sync_bench [--trace] [seconds] [run...]
// run: <output>-<load>, output dummy | disk | silent, load paced | slowed |
// late (music placed at frame 41 with a fast-forward of 40 frames, so it
// should start 2 s into the track) | late48 (the same with a 48 kHz track).
// Default: 10 s each of dummy-paced dummy-slowed dummy-late disk-paced
// disk-slowed silent-paced (about a minute). --trace also prints every sample.
//
// Cross-built for Windows (tests/windows.cmake) it plays demosound.dll under
// Wine; its one output is `system`, whatever the system gives: waveOut, or
// the silent clock when there is no device (WINEDLLOVERRIDES=winealsa.drv=d):
//   wine64 music_sync_bench.exe [--trace] [seconds] [system-<load>...]
#ifdef _WIN32
#define _USE_MATH_DEFINES  // M_PI from msvcrt's math.h
#include <stdlib.h>
#else
#include <SDL.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "player/demo_data.h"
#include "demo/scene_object.h"
#include "player/frame_clock.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "sound/music_track.h"
#include "sound/sound_api.h"
#include "sound/sound_library.h"
#include "tools/writer/writer.h"

#ifndef DEMOSOUND_LIBRARY
#error "DEMOSOUND_LIBRARY must name libdemosound.so"
#endif

using namespace tools::writer;

namespace {

#ifdef _WIN32
int setenv(const char* name, const char* value, int overwrite)
{
    return !overwrite && std::getenv(name) ? 0 : _putenv_s(name, value);
}
int unsetenv(const char* name)
{
    return _putenv_s(name, "");
}
constexpr const char* kTempVariable = "TMP";  // what GetTempPathA reads first
#else
constexpr const char* kTempVariable = "TMPDIR";
#endif

constexpr int kFrameRate = 20;
constexpr int kSampleRate = 44100;    // of the WAV written here; positions count its frames
constexpr int kOtherRate = 48000;     // the late48 run: fast-forwards assume 44100
constexpr double kSlowFrameMs = 80;   // a drawn frame of the slowed scene
constexpr int kLateFrame = 41;        // where the late run places the music

struct Sample {
    int frame;
    bool drawn;
    double clockMs;
    bool playing;
    uint32_t position;
};

using GetPosition = unsigned (*)(int channel);

int slotOf(const char* name)
{
    for (int i = 0; i < kSoundApiSlots - 1; ++i)
        if (std::strcmp(kSoundApiNames[i], name) == 0)
            return i + 1;
    return -1;
}

// Stepped once per frame, drawn or not, from frame 1 on; sits after the
// music, which the timeline inserts at the head of the active list.
class Probe : public SceneObject {
public:
    Probe(std::vector<Sample>* samples, FrameClock* clock, InstanceList* instances, double drawCostMs)
        : samples_(samples), clock_(clock), instances_(instances), drawCostMs_(drawCostMs)
    {
    }

    int step(bool stepOnly) override
    {
        ++frame_;
        Sample s{frame_, !stepOnly, 0, false, 0};
        auto* music = dynamic_cast<MusicTrack*>(static_cast<SceneObject*>(instances_->find("MUS1")));
        if (music && music->channel != 0 && music->library && music->library->api) {
            static const int slot = slotOf("_FSOUND_GetCurrentPosition@4");
            auto get = reinterpret_cast<GetPosition>(music->library->api->slots[slot]);
            s.position = get(music->channel);
            s.playing = true;
        }
        s.clockMs = double(clock_->elapsed());
        samples_->push_back(s);
        if (frame_ == 1) {
#ifdef _WIN32
            outputSeen = "system";
#else
            const char* driver = SDL_GetCurrentAudioDriver();
            outputSeen = driver ? driver : "silent fallback";
#endif
        }
        // A heavy scene: only drawing costs, stepped-only frames stay cheap.
        if (!stepOnly && drawCostMs_ > 0) {
            const double until = s.clockMs + drawCostMs_;
            while (double(clock_->elapsed()) < until) {
            }
        }
        return SceneObject::step(stepOnly);
    }

    static std::string outputSeen;

private:
    std::vector<Sample>* samples_;
    FrameClock* clock_;
    InstanceList* instances_;
    double drawCostMs_;
    int frame_ = 0;
};

std::string Probe::outputSeen;

Bytes wav(double seconds, int rate)
{
    const uint32_t frames = uint32_t(seconds * rate);
    Bytes pcm;
    pcm.reserve(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t v = int16_t(std::lround(3000 * std::sin(2 * M_PI * 220.0 * i / rate)));
        pcm.push_back(uint8_t(v));
        pcm.push_back(uint8_t(uint16_t(v) >> 8));
    }
    auto u32 = [](uint32_t x) { return Bytes{uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)}; };
    auto u16 = [](uint16_t x) { return Bytes{uint8_t(x), uint8_t(x >> 8)}; };
    const uint32_t dataSize = uint32_t(pcm.size());
    return cat({text("RIFF"), u32(36 + dataSize), text("WAVE"), text("fmt "), u32(16), u16(1), u16(1),
                u32(uint32_t(rate)), u32(uint32_t(rate) * 2), u16(2), u16(16), text("data"), u32(dataSize), pcm});
}

Bytes demo(const Bytes& library, int seconds, bool late, int rate)
{
    WindowSettings window;
    window.title = "music sync";
    window.width = 64;
    window.height = 48;
    PlaybackSettings playback;
    playback.frameRate = kFrameRate;
    playback.catchUp = true;

    Envelope music;
    music.tag = "MUSI";
    music.body = wav(seconds + 3.0, rate);
    music.extraId = 462;
    music.extra = StreamWriter().add(4, text("sync.wav")).add(17, s16(kFrameRate)).add(8, s16(255)).bytes();
    const Bytes resources = StreamWriter().add(463, library).add(resource(461, music)).bytes();

    Place place;
    place.resourceTag = "MUSI";
    place.instanceTag = "MUS1";
    place.start = 0;
    place.length = 0;  // lives to the end
    Bytes commands = placeCommand(place);
    if (late)
        append(commands, fastForwardCommand(false, "MUS1", int16_t(kLateFrame - 1)));
    const Bytes timeline = StreamWriter()
                               .add(25, timelineEntry(int16_t(late ? kLateFrame : 1), commands))
                               .add(totalFramesChunk(int16_t(seconds * kFrameRate)))
                               .bytes();

    DemoData data;
    data.window = windowSettings(window);
    data.playback = playbackSettings(playback);
    data.renderState = RenderStateWriter::standard().bytes();
    data.resources = resources;
    data.timeline = timeline;
    return demoData(data);
}

struct Run {
    std::string name, output, load;
    bool late() const { return load.rfind("late", 0) == 0; }
    int rate() const { return load == "late48" ? kOtherRate : kSampleRate; }
};

struct Result {
    bool ok = false;
    std::string why, outputSeen;
    std::vector<Sample> samples;
};

void setOutput(const std::string& output)
{
    unsetenv("SDL_DISKAUDIOFILE");
    if (output == "disk") {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    } else if (output == "silent") {
        // No such driver: the library opens no device and plays silently.
        setenv("SDL_AUDIODRIVER", "no-such-output", 1);
    } else {
        setenv("SDL_AUDIODRIVER", output.c_str(), 1);
    }
}

Result play(const Run& run, const Bytes& library, int seconds)
{
    Result result;
#ifdef _WIN32
    std::string dir = platform::createPrivateDirectory();
    if (dir.empty()) {
        result.why = "no temporary directory";
        return result;
    }
    dir.pop_back();
#else
    char pattern[] = "/tmp/music_sync.XXXXXX";
    if (!mkdtemp(pattern)) {
        result.why = "no temporary directory";
        return result;
    }
    const std::string dir = pattern;
#endif
    setenv(kTempVariable, dir.c_str(), 1);  // where the player writes the library and the music
    setOutput(run.output);
    const std::string path = dir + "/demo.bin";
    writeFile(path, demo(library, seconds, run.late(), run.rate()));
    {
        Player player;
        if (!readContainer(player, path.c_str(), 0)) {
            result.why = "no window";
        } else {
            auto* music = dynamic_cast<MusicTrack*>(static_cast<SceneObject*>(player.resources->find("MUSI")));
            if (!music || !music->library || !music->library->api)
                result.why = "sound library not bound";
            else if (!music->sample)
                result.why = "music not loaded";
        }
        if (result.why.empty()) {
            FrameClock clock;
            result.samples.reserve(size_t(seconds * kFrameRate + 8));
            Probe::outputSeen.clear();
            player.active->append("PROB", new Probe(&result.samples, &clock, player.instances,
                                                    run.load == "slowed" ? kSlowFrameMs : 0));
            runFrameLoop(player, clock);
            result.outputSeen = Probe::outputSeen;
            result.ok = true;
        }
        player.shutdown();
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    unsetenv(kTempVariable);
    return result;
}

struct Figures {
    int drawn = 0, stepped = 0, firstPlaying = 0;
    double firstPositionMs = 0;
    double start = 0, middle = 0, end = 0, maxAbs = 0, meanAbs = 0;
    double lateness = 0, musicClockStart = 0, musicClockEnd = 0, musicRate = 0;
};

int sampleRate = kSampleRate;  // of the run being analysed

double positionMs(const Sample& s)
{
    return s.position * 1000.0 / sampleRate;
}
double nominalMs(const Sample& s)
{
    return (s.frame - 1) * 1000.0 / kFrameRate;
}
double drift(const Sample& s)
{
    return positionMs(s) - nominalMs(s);
}

Figures analyse(const std::vector<Sample>& samples)
{
    Figures f;
    std::vector<const Sample*> drawn;
    for (const Sample& s : samples) {
        (s.drawn ? f.drawn : f.stepped)++;
        if (s.playing && !f.firstPlaying) {
            f.firstPlaying = s.frame;
            f.firstPositionMs = positionMs(s);
        }
        if (s.playing && s.drawn)
            drawn.push_back(&s);
    }
    if (drawn.empty())
        return f;
    // Means over one second of frames: the position moves in mixer buffers
    // (about 23 ms), a single frame's figure is mostly that sawtooth.
    const double first = drawn.front()->clockMs, last = drawn.back()->clockMs;
    auto windowMean = [&](double from, double to, auto value) {
        double sum = 0;
        int n = 0;
        for (const Sample* s : drawn)
            if (s->clockMs >= from && s->clockMs < to) {
                sum += value(*s);
                ++n;
            }
        return n ? sum / n : NAN;
    };
    auto driftOf = [](const Sample& s) { return drift(s); };
    auto musicClock = [](const Sample& s) { return positionMs(s) - s.clockMs; };
    const double mid = (first + last) / 2;
    f.start = windowMean(first, first + 1000, driftOf);
    f.middle = windowMean(mid - 500, mid + 500, driftOf);
    f.end = windowMean(last - 1000, last + 1, driftOf);
    f.musicClockStart = windowMean(first, first + 1000, musicClock);
    f.musicClockEnd = windowMean(last - 1000, last + 1, musicClock);
    const double spanMs = (last - first) - 1000;
    f.musicRate = spanMs > 0 ? (f.musicClockEnd - f.musicClockStart) / spanMs * 60000 : 0;
    double sumAbs = 0, sumLate = 0;
    for (const Sample* s : drawn) {
        f.maxAbs = std::max(f.maxAbs, std::fabs(drift(*s)));
        sumAbs += std::fabs(drift(*s));
        sumLate += s->clockMs - nominalMs(*s);
    }
    f.meanAbs = sumAbs / double(drawn.size());
    f.lateness = sumLate / double(drawn.size());
    return f;
}

bool driverCompiledIn(const std::string& output)
{
#ifdef _WIN32
    return output == "system";
#else
    if (output == "silent")
        return true;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i)
        if (output == SDL_GetAudioDriver(i))
            return true;
    return false;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    int seconds = 10;
    bool trace = false;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--trace") == 0)
            trace = true;
        else if (std::isdigit(static_cast<unsigned char>(argv[i][0])))
            seconds = std::clamp(std::atoi(argv[i]), 4, 1600);
        else
            names.push_back(argv[i]);
    }
    if (names.empty())
#ifdef _WIN32
        names = {"system-paced", "system-slowed", "system-late"};
#else
        names = {"dummy-paced", "dummy-slowed", "dummy-late", "disk-paced", "disk-slowed", "silent-paced"};
#endif

    Bytes library;
    if (!readFile(DEMOSOUND_LIBRARY, library)) {
        std::fprintf(stderr, "cannot read %s\n", DEMOSOUND_LIBRARY);
        return 1;
    }
    std::printf("%d s demo, %d frames at %d fps, catch-up on; music WAV %d Hz mono placed at frame 1\n"
                "(late: at frame %d with a fast-forward of %d frames); slowed: drawn frames take %.0f ms\n"
                "drift = play position - (frame - 1) / fps, over drawn frames, ms; + = music ahead of picture\n"
                "start/middle/end: mean over one second; lateness: mean clock - (frame - 1) / fps\n"
                "music-clk: play position - frame clock (start -> end), rate in ms per minute\n\n",
                seconds, seconds * kFrameRate, kFrameRate, kSampleRate, kLateFrame, kLateFrame - 1, kSlowFrameMs);
    std::printf("%-14s %-8s %11s %7s %7s %7s %7s %7s %7s %8s %17s %7s\n", "run", "output", "drawn/step",
                "first", "start", "middle", "end", "max|d|", "mean|d|", "lateness", "music-clk", "rate");

    int failures = 0;
    for (const std::string& name : names) {
        Run run{name, name.substr(0, name.find('-')), name.find('-') == std::string::npos ? "paced"
                                                                                          : name.substr(name.find('-') + 1)};
        static const char* const kLoads[] = {"paced", "slowed", "late", "late48"};
        if (std::find(std::begin(kLoads), std::end(kLoads), run.load) == std::end(kLoads) ||
            (run.output != "dummy" && run.output != "disk" && run.output != "silent" && run.output != "system")) {
            std::printf("%-14s unknown run\n", name.c_str());
            ++failures;
            continue;
        }
        if (!driverCompiledIn(run.output)) {
            std::printf("%-14s skipped: SDL has no '%s' audio driver\n", name.c_str(), run.output.c_str());
            continue;
        }
        Result result = play(run, library, seconds);
        if (!result.ok) {
            std::printf("%-14s failed: %s\n", name.c_str(), result.why.c_str());
            ++failures;
            continue;
        }
        sampleRate = run.rate();
        Figures f = analyse(result.samples);
        if (trace) {
            for (const Sample& s : result.samples)
                std::printf("  %s frame %4d %s clock %9.2f nominal %8.1f position %9.2f drift %+7.1f\n",
                            name.c_str(), s.frame, s.drawn ? "drawn" : "step ", s.clockMs, nominalMs(s),
                            positionMs(s), s.playing ? drift(s) : 0.0);
        }
        char drawnStep[32], first[32], musicClk[32];
        std::snprintf(drawnStep, sizeof drawnStep, "%d/%d", f.drawn, f.stepped);
        std::snprintf(first, sizeof first, "%d@%.0f", f.firstPlaying, f.firstPositionMs);
        std::snprintf(musicClk, sizeof musicClk, "%+.1f -> %+.1f", f.musicClockStart, f.musicClockEnd);
        std::printf("%-14s %-8s %11s %7s %+7.1f %+7.1f %+7.1f %7.1f %7.1f %+8.1f %17s %+7.1f\n", name.c_str(),
                    result.outputSeen.c_str(), drawnStep, first, f.start, f.middle, f.end, f.maxAbs, f.meanAbs,
                    f.lateness, musicClk, f.musicRate);
        std::fflush(stdout);
    }
    std::printf("\nfirst: frame at which the probe first saw the channel playing @ its position in ms\n");
    return failures ? 1 : 0;
}
