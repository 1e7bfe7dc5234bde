// The sound library's output on Linux: an SDL2 audio device, or a thread
// that keeps the wall clock when there is none.
#include <SDL.h>
#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "sound/demosound/output.h"

namespace demosound {

namespace {

SDL_AudioDeviceID device = 0;
bool audioStarted = false;
// The silent stand-in for a device.
std::mutex silentLock;
std::thread silentClock;
std::atomic<bool> silentStop{false};

void SDLCALL deviceCallback(void*, Uint8* stream, int length)
{
    mix(reinterpret_cast<int16_t*>(stream), length / 4);
}

// Moves the channels on with the wall clock when nothing can be heard.
void runSilentClock()
{
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    while (!silentStop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
        std::lock_guard<std::mutex> hold(silentLock);
        catchUpSilently(elapsed);
    }
}

// ALSA reports each device it fails to open through this handler, on stderr
// by default: a page of "Unknown PCM" lines on a machine without a sound card
// before SDL gives up. The library says it in one line of its own instead.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool openOutput(int mixRate, std::string& why)
{
    snd_lib_error_set_handler(ignoreAlsaError);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = mixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = deviceCallback;
    // No allowed changes: SDL converts to whatever the device really takes.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!device) {
        why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audioStarted = true;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void closeOutput()
{
    if (device) {
        SDL_CloseAudioDevice(device);  // waits for the callback
        device = 0;
    }
    if (audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted = false;
    }
    snd_lib_error_set_handler(nullptr);  // ALSA's own again
}

void startSilentClock()
{
    silentStop = false;
    silentClock = std::thread(runSilentClock);
}

void stopSilentClock()
{
    snd_lib_error_set_handler(nullptr);
    if (silentClock.joinable()) {
        silentStop = true;
        silentClock.join();
    }
}

void lockMixer()
{
    if (device)
        SDL_LockAudioDevice(device);
    else
        silentLock.lock();
}

void unlockMixer()
{
    if (device)
        SDL_UnlockAudioDevice(device);
    else
        silentLock.unlock();
}

// The device's buffer is not counted: positions are the mixer's.
double outputLead()
{
    return 0;
}

void tell(const std::string& line)
{
    // A preview loads the library afresh for every jump and reload, which
    // forgets what it said. SDL, loaded by the program, stays: the last line
    // said is kept there as a hint.
    const char* const kTold = "DEMOSOUND_TOLD";
    const char* told = SDL_GetHint(kTold);
    if (told && line == told)
        return;
    SDL_SetHintWithPriority(kTold, line.c_str(), SDL_HINT_OVERRIDE);
    std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace demosound
