// The player's sound library: the FSOUND entry points it binds, on SDL2
// audio. Samples keep their own layout and rate and are mixed into a 16-bit
// stereo stream at the rate Init asks for. Without an audio device the mix
// still runs against the wall clock, silently, so positions move as if heard.
#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "sound/demosound/decoder.h"
#include "sound/demosound/idle_exports.h"

#define DEMOSOUND_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using demosound::Pcm;

struct Sample {
    Pcm pcm;
};

struct Channel {
    Sample* sample = nullptr;  // none while the channel is free
    double position = 0;       // in frames of the sample
    bool paused = false;
    int volume = 255;
    int handle = 0;
};

constexpr int kMaxChannels = 255;  // the channel index fits the handle's low byte
constexpr int kMixFrames = 512;

struct Engine {
    bool initialised = false;
    int mixRate = 44100;
    int outputType = 0;
    int driver = 0;
    std::vector<Channel> channels;
    std::vector<std::unique_ptr<Sample>> samples;
    unsigned serial = 0;

    SDL_AudioDeviceID device = 0;
    bool audioStarted = false;
    // The silent stand-in for a device.
    std::mutex silentLock;
    std::thread silentClock;
    std::atomic<bool> silentStop{false};
};

Engine engine;
bool toldSilent = false;

// Holds off the mixer: the device's own lock, or the silent clock's.
class MixLock {
public:
    MixLock() : device_(engine.device)
    {
        if (device_)
            SDL_LockAudioDevice(device_);
        else
            engine.silentLock.lock();
    }
    ~MixLock()
    {
        if (device_)
            SDL_UnlockAudioDevice(device_);
        else
            engine.silentLock.unlock();
    }
    MixLock(const MixLock&) = delete;
    MixLock& operator=(const MixLock&) = delete;

private:
    SDL_AudioDeviceID device_;
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

// Adds every playing channel into out (stereo frames); runs with the mixer
// held off from the API.
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

void SDLCALL deviceCallback(void*, Uint8* stream, int length)
{
    mix(reinterpret_cast<int16_t*>(stream), length / 4);
}

// Moves the channels on with the wall clock when nothing can be heard.
void runSilentClock()
{
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    int64_t mixed = 0;
    while (!engine.silentStop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
        int64_t due = elapsed * engine.mixRate / 1000000;
        std::lock_guard<std::mutex> hold(engine.silentLock);
        while (mixed < due) {
            int n = int(std::min<int64_t>(due - mixed, kMixFrames));
            mix(nullptr, n);
            mixed += n;
        }
    }
}

// ALSA reports each device it fails to open through this handler, on stderr
// by default: a page of "Unknown PCM" lines on a machine without a sound card
// before SDL gives up. The library says it in one line of its own instead.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

bool openDevice()
{
    snd_lib_error_set_handler(ignoreAlsaError);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = engine.mixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = deviceCallback;
    // No allowed changes: SDL converts to whatever the device really takes.
    engine.device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!engine.device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    engine.audioStarted = true;
    SDL_PauseAudioDevice(engine.device, 0);
    return true;
}

void closeEngine()
{
    if (!engine.initialised)
        return;
    if (engine.device) {
        SDL_CloseAudioDevice(engine.device);  // waits for the callback
        engine.device = 0;
    }
    if (engine.audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        engine.audioStarted = false;
    }
    snd_lib_error_set_handler(nullptr);  // ALSA's own again
    if (engine.silentClock.joinable()) {
        engine.silentStop = true;
        engine.silentClock.join();
    }
    engine.channels.clear();
    engine.samples.clear();
    engine.initialised = false;
}

// Unloading the library (or leaving without Close) must never leave the
// mixer running; defined after the engine, so it goes first.
struct Unloader {
    ~Unloader() { closeEngine(); }
} unloader;

}  // namespace

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
    if (!openDevice()) {
        if (!toldSilent) {
            std::fprintf(stderr, "demosound: no audio device (%s); the music plays silently\n", SDL_GetError());
            toldSilent = true;
        }
        engine.silentStop = false;
        engine.silentClock = std::thread(runSilentClock);
    }
    return 1;
}

DEMOSOUND_EXPORT void FSOUND_Close()
{
    closeEngine();
}

DEMOSOUND_EXPORT void* FSOUND_Sample_Load(int, const char* path, unsigned, int offset, int length)
{
    if (!engine.initialised || !path || offset < 0 || length < 0)
        return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    std::vector<uint8_t> bytes;
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
    auto sample = std::make_unique<Sample>();
    if (!demosound::decode(bytes.data(), bytes.size(), sample->pcm))
        return nullptr;
    Sample* result = sample.get();
    MixLock hold;
    engine.samples.push_back(std::move(sample));
    return result;
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
        c.paused = paused != 0;
        return 1;
    });
}

// A position at or past the end leaves the channel to finish at once.
DEMOSOUND_EXPORT signed char FSOUND_SetCurrentPosition(int handle, unsigned position)
{
    return withChannel(handle, [&](Channel& c) -> signed char {
        uint32_t length = c.sample->pcm.frames();
        c.position = double(std::min(position, length));
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
