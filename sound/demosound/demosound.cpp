// The player's sound library: the FSOUND entry points it binds. Samples keep
// their own layout and rate and are mixed into a 16-bit stereo stream at the
// rate Init asks for. Without an audio device the mix still runs against the
// wall clock, silently, so positions move as if heard. This part is the same
// on every system; the output and the decoder are each system's own
// (output.h, decoder.h).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "sound/demosound/decoder.h"
#include "sound/demosound/idle_exports.h"
#include "sound/demosound/output.h"
#ifdef __EMSCRIPTEN__
#include "sound/demosound/exports.h"
#endif

// Windows exports the decorated names through the module definition file
// made from the player's name table; here the plain ones.
#ifdef _WIN32
#define DEMOSOUND_EXPORT extern "C"
#else
#define DEMOSOUND_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace demosound {

namespace {

struct Sample {
    Pcm pcm;
#ifdef __EMSCRIPTEN__
    std::string path;  // for what is said once its decoding ends (in a page)
#endif
};

struct Channel {
    Sample* sample = nullptr;  // none while the channel is free
    double position = 0;       // in frames of the sample
    bool paused = false;
    int volume = 255;
    int handle = 0;
};

constexpr int kMaxChannels = 255;  // the channel index fits the handle's low byte

struct Engine {
    bool initialised = false;
    bool audible = false;
    int mixRate = 44100;
    int outputType = 0;
    int driver = 0;
    std::vector<Channel> channels;
    std::vector<std::unique_ptr<Sample>> samples;
    unsigned serial = 0;
    int64_t silentlyMixed = 0;  // frames the silent clock has moved on
};

Engine engine;

class MixLock {
public:
    MixLock() { lockMixer(); }
    ~MixLock() { unlockMixer(); }
    MixLock(const MixLock&) = delete;
    MixLock& operator=(const MixLock&) = delete;
};

Channel* findChannel(int handle)
{
    int index = (handle & 0xFF) - 1;
    if (handle <= 0 || index < 0 || index >= int(engine.channels.size()))
        return nullptr;
    Channel& c = engine.channels[size_t(index)];
    return c.sample && c.handle == handle ? &c : nullptr;
}

Sample* findSample(const void* handle)
{
    for (auto& s : engine.samples)
        if (s.get() == handle)
            return s.get();
    return nullptr;
}

// Runs `use` on the live channel behind `handle` with the mixer held off;
// 0 without it (engine down, stale or unknown handle).
template <typename Use>
auto withChannel(int handle, Use&& use) -> decltype(use(std::declval<Channel&>()))
{
    if (!engine.initialised)
        return 0;
    MixLock hold;
    Channel* c = findChannel(handle);
    return c ? use(*c) : 0;
}

}  // namespace

void mix(int16_t* out, int frames)
{
    int32_t sum[kMixFrames * 2];
    while (frames > 0) {
        int n = std::min(frames, kMixFrames);
        std::fill(sum, sum + n * 2, 0);
        for (Channel& c : engine.channels) {
            if (!c.sample || c.paused)
                continue;
            const Pcm& pcm = c.sample->pcm;
            const uint32_t length = pcm.frames();
            const double step = double(pcm.rate) / double(engine.mixRate);
            const int16_t* data = pcm.samples.data();
            for (int i = 0; i < n; ++i) {
                if (c.position >= double(length)) {
                    c.sample = nullptr;  // played to the end: the channel is free again
                    break;
                }
                uint32_t at = uint32_t(c.position);
                double frac = c.position - double(at);
                uint32_t next = at + 1 < length ? at + 1 : at;
                int32_t frame[2];
                for (int k = 0; k < 2; ++k) {
                    int source = pcm.channels == 2 ? k : 0;
                    double a = data[size_t(at) * size_t(pcm.channels) + size_t(source)];
                    double b = data[size_t(next) * size_t(pcm.channels) + size_t(source)];
                    frame[k] = int32_t(std::lround((a + (b - a) * frac) * c.volume / 255.0));
                }
                sum[i * 2] += frame[0];
                sum[i * 2 + 1] += frame[1];
                c.position += step;
            }
        }
        if (out) {
            for (int i = 0; i < n * 2; ++i)
                out[i] = int16_t(std::clamp(sum[i], -32768, 32767));
            out += n * 2;
        }
        frames -= n;
    }
}

void catchUpSilently(int64_t microseconds)
{
    int64_t due = microseconds * engine.mixRate / 1000000;
    while (engine.silentlyMixed < due) {
        int n = int(std::min<int64_t>(due - engine.silentlyMixed, kMixFrames));
        mix(nullptr, n);
        engine.silentlyMixed += n;
    }
}

double firstPlayingPosition()
{
    for (const Channel& c : engine.channels)
        if (c.sample && !c.paused)
            return c.position;
    return -1;
}

void closeEngine()
{
    if (!engine.initialised)
        return;
    if (engine.audible)
        closeOutput();  // waits for the device's last mix
    else
        stopSilentClock();
    engine.audible = false;
    engine.channels.clear();
    engine.samples.clear();
#ifdef __EMSCRIPTEN__
    dropDecoding();  // what no sample waits for any more
#endif
    engine.initialised = false;
}

}  // namespace demosound

using namespace demosound;

#ifndef _WIN32
namespace {
// Unloading the library (or leaving without Close) must never leave the
// mixer running; defined after the engine, so it goes first. (On Windows the
// output's threads hold the library loaded until Close ends them, and a
// process that leaves has ended them before any of this runs.)
struct Unloader {
    ~Unloader() { closeEngine(); }
} unloader;
}  // namespace
#endif

DEMOSOUND_EXPORT signed char FSOUND_SetOutput(int outputType)
{
    if (engine.initialised)
        return 0;
    engine.outputType = outputType;
    return 1;
}

DEMOSOUND_EXPORT signed char FSOUND_SetDriver(int driver)
{
    if (engine.initialised)
        return 0;
    engine.driver = driver;
    return 1;
}

DEMOSOUND_EXPORT signed char FSOUND_Init(int mixRate, int maxChannels, unsigned)
{
    if (engine.initialised)
        return 0;
    if (mixRate < 4000 || mixRate > 192000 || maxChannels < 1)
        return 0;
    engine.mixRate = mixRate;
    engine.channels.assign(size_t(std::min(maxChannels, kMaxChannels)), Channel());
    engine.initialised = true;
    engine.silentlyMixed = 0;
    std::string why;
    engine.audible = openOutput(engine.mixRate, why);
    if (!engine.audible) {
        tell("demosound: no audio device (" + why + "); the music plays silently");
        startSilentClock();
    }
    return 1;
}

DEMOSOUND_EXPORT void FSOUND_Close()
{
    closeEngine();
}

namespace {

bool readFile(const char* path, int offset, int length, std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    if (std::fseek(file, offset, SEEK_SET) == 0) {
        uint8_t chunk[65536];
        size_t wanted = length > 0 ? size_t(length) : SIZE_MAX;
        while (bytes.size() < wanted) {
            size_t got = std::fread(chunk, 1, std::min(sizeof chunk, wanted - bytes.size()), file);
            if (got == 0)
                break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    }
    std::fclose(file);
    return true;
}

void tellIfCut(const char* path, const Pcm& pcm)
{
    if (!pcm.cut)
        return;
    const unsigned seconds = unsigned(pcm.frames() / unsigned(pcm.rate));
    char line[64];
    std::snprintf(line, sizeof line, "%u:%02u", seconds / 60, seconds % 60);
    tell(std::string("demosound: ") + path + " is longer than a sample may be; it plays its first " + line);
}

Sample* keepSample(const char* path, std::unique_ptr<Sample> sample)
{
#ifdef __EMSCRIPTEN__
    sample->path = path;
#endif
    tellIfCut(path, sample->pcm);
    Sample* result = sample.get();
    MixLock hold;
    engine.samples.push_back(std::move(sample));
    return result;
}

}  // namespace

DEMOSOUND_EXPORT void* FSOUND_Sample_Load(int, const char* path, unsigned, int offset, int length)
{
    if (!engine.initialised || !path || offset < 0 || length < 0)
        return nullptr;
    std::vector<uint8_t> bytes;
    if (!readFile(path, offset, length, bytes))
        return nullptr;
    auto sample = std::make_unique<Sample>();
    const bool decoded = demosound::decode(bytes.data(), bytes.size(), sample->pcm);
    bytes = std::vector<uint8_t>();
    return decoded ? keepSample(path, std::move(sample)) : nullptr;
}

DEMOSOUND_EXPORT void FSOUND_Sample_Free(void* handle)
{
    if (!engine.initialised)
        return;
    MixLock hold;
    Sample* sample = findSample(handle);
    if (!sample)
        return;
    // Channels still playing it stop first.
    for (Channel& c : engine.channels)
        if (c.sample == sample)
            c.sample = nullptr;
    engine.samples.erase(std::find_if(engine.samples.begin(), engine.samples.end(),
                                      [&](const std::unique_ptr<Sample>& s) { return s.get() == sample; }));
}

DEMOSOUND_EXPORT unsigned FSOUND_Sample_GetLength(void* handle)
{
    if (!engine.initialised)
        return 0;
    MixLock hold;
    Sample* sample = findSample(handle);
    return sample ? sample->pcm.frames() : 0;
}

// Channel -1 takes the first free channel; a channel index replaces what
// plays there. The handle is never 0.
DEMOSOUND_EXPORT int FSOUND_PlaySoundEx(int index, void* handle, void*, signed char paused)
{
    if (!engine.initialised)
        return 0;
    MixLock hold;
    Sample* sample = findSample(handle);
    if (!sample)
        return 0;
    if (index == -1) {
        auto freeOne = std::find_if(engine.channels.begin(), engine.channels.end(),
                                    [](const Channel& c) { return !c.sample; });
        if (freeOne == engine.channels.end())
            return 0;
        index = int(freeOne - engine.channels.begin());
    }
    if (index < 0 || index >= int(engine.channels.size()))
        return 0;
    engine.serial = (engine.serial + 1) & 0x7FFFFF;
    Channel& c = engine.channels[size_t(index)];
    c = Channel();
    c.sample = sample;
    c.paused = paused != 0;
    if (!c.paused)
        c.position = outputLead();
    c.handle = int(engine.serial << 8) | (index + 1);
    return c.handle;
}

DEMOSOUND_EXPORT int FSOUND_PlaySound(int index, void* handle)
{
    return FSOUND_PlaySoundEx(index, handle, nullptr, 0);
}

DEMOSOUND_EXPORT signed char FSOUND_StopSound(int handle)
{
    return withChannel(handle, [](Channel& c) -> signed char {
        c.sample = nullptr;
        return 1;
    });
}

DEMOSOUND_EXPORT signed char FSOUND_SetVolume(int handle, int volume)
{
    return withChannel(handle, [&](Channel& c) -> signed char {
        c.volume = std::clamp(volume, 0, 255);
        return 1;
    });
}

DEMOSOUND_EXPORT signed char FSOUND_SetPaused(int handle, signed char paused)
{
    return withChannel(handle, [&](Channel& c) -> signed char {
        if (c.paused && !paused)
            c.position += outputLead();
        c.paused = paused != 0;
        return 1;
    });
}

// A position at or past the end leaves the channel to finish at once.
DEMOSOUND_EXPORT signed char FSOUND_SetCurrentPosition(int handle, unsigned position)
{
    return withChannel(handle, [&](Channel& c) -> signed char {
        uint32_t length = c.sample->pcm.frames();
        c.position = double(std::min(position, length)) + (c.paused ? 0 : outputLead());
        return position < length;
    });
}

DEMOSOUND_EXPORT unsigned FSOUND_GetCurrentPosition(int handle)
{
    return withChannel(handle, [](Channel& c) { return uint32_t(c.position); });
}

DEMOSOUND_EXPORT int FSOUND_GetVolume(int handle)
{
    return withChannel(handle, [](Channel& c) { return c.volume; });
}

DEMOSOUND_EXPORT signed char FSOUND_GetPaused(int handle)
{
    return withChannel(handle, [](Channel& c) -> signed char { return c.paused; });
}

// Paused or not, until stopped or finished.
DEMOSOUND_EXPORT signed char FSOUND_IsPlaying(int handle)
{
    return withChannel(handle, [](Channel&) -> signed char { return 1; });
}

DEMOSOUND_EXPORT int FSOUND_GetOutputRate()
{
    return engine.initialised ? engine.mixRate : 0;
}

DEMOSOUND_EXPORT int FSOUND_GetChannelsPlaying()
{
    if (!engine.initialised)
        return 0;
    MixLock hold;
    return int(std::count_if(engine.channels.begin(), engine.channels.end(),
                             [](const Channel& c) { return c.sample != nullptr; }));
}

DEMOSOUND_EXPORT int FSOUND_GetMaxChannels()
{
    return int(engine.channels.size());
}

DEMOSOUND_EXPORT int FMUSIC_GetUserData()
{
    return 0;
}

// The rest of the table: present, doing nothing.
#define DEMOSOUND_IDLE(name) \
    DEMOSOUND_EXPORT int name() { return 0; }
DEMOSOUND_IDLE_EXPORTS(DEMOSOUND_IDLE)

#ifdef __EMSCRIPTEN__
#include <cstring>

void* demosound::findExport(const char* name)
{
    struct Export {
        const char* name;
        void* address;
    };
#define DEMOSOUND_WORKING(name) {#name, reinterpret_cast<void*>(&name)},
    static const Export kExports[] = {
        DEMOSOUND_WORKING(FSOUND_SetOutput)
        DEMOSOUND_WORKING(FSOUND_SetDriver)
        DEMOSOUND_WORKING(FSOUND_Init)
        DEMOSOUND_WORKING(FSOUND_Close)
        DEMOSOUND_WORKING(FSOUND_Sample_Load)
        DEMOSOUND_WORKING(FSOUND_Sample_Free)
        DEMOSOUND_WORKING(FSOUND_Sample_GetLength)
        DEMOSOUND_WORKING(FSOUND_PlaySoundEx)
        DEMOSOUND_WORKING(FSOUND_PlaySound)
        DEMOSOUND_WORKING(FSOUND_StopSound)
        DEMOSOUND_WORKING(FSOUND_SetVolume)
        DEMOSOUND_WORKING(FSOUND_SetPaused)
        DEMOSOUND_WORKING(FSOUND_SetCurrentPosition)
        DEMOSOUND_WORKING(FSOUND_GetCurrentPosition)
        DEMOSOUND_WORKING(FSOUND_GetVolume)
        DEMOSOUND_WORKING(FSOUND_GetPaused)
        DEMOSOUND_WORKING(FSOUND_IsPlaying)
        DEMOSOUND_WORKING(FSOUND_GetOutputRate)
        DEMOSOUND_WORKING(FSOUND_GetChannelsPlaying)
        DEMOSOUND_WORKING(FSOUND_GetMaxChannels)
        DEMOSOUND_WORKING(FMUSIC_GetUserData)
    };
    for (const Export& e : kExports)
        if (std::strcmp(e.name, name) == 0)
            return e.address;
    // Every idle export is the same stub.
    return reinterpret_cast<void*>(&FSOUND_SetMixer);
}

void demosound::unload()
{
    closeEngine();
}

void demosound::finishLoads()
{
    if (!engine.initialised)
        return;
    awaitDecoding();
    MixLock hold;
    for (auto& sample : engine.samples) {
        if (!sample->pcm.pending)
            continue;
        takeDecoded(sample->pcm);
        tellIfCut(sample->path.c_str(), sample->pcm);
    }
}
#endif
