// The sound library's function table: slot 0 the module, slots 1 to 217 the
// entry points, each bound to one fixed decorated name.
#pragma once

#include <cstdint>

constexpr int kSoundApiSlots = 218;

// Export names of slots 1 to 217, in slot order.
extern const char* const kSoundApiNames[kSoundApiSlots - 1];

// The slots the player calls.
enum SoundSlot {
    kSetOutput = 1,
    kSetDriver = 2,
    kInit = 9,
    kClose = 10,
    kSampleLoad = 32,
    kSampleFree = 34,
    kSampleGetLength = 45,
    kPlaySoundEx = 50,
    kStopSound = 51,
    kSetVolume = 53,
    kSetPaused = 60,
    kSetCurrentPosition = 62,
};

using SoundSample = void*;
using FnSetOutput = signed char (*)(int outputType);
using FnSetDriver = signed char (*)(int driver);
using FnInit = signed char (*)(int mixRate, int maxChannels, unsigned flags);
using FnClose = void (*)();
using FnSampleLoad = SoundSample (*)(int index, const char* path, unsigned mode, int offset, int length);
using FnSampleFree = void (*)(SoundSample sample);
using FnSampleGetLength = unsigned (*)(SoundSample sample);
using FnPlaySoundEx = int (*)(int channel, SoundSample sample, void* dsp, signed char startPaused);
using FnStopSound = signed char (*)(int channel);
using FnSetVolume = signed char (*)(int channel, int volume);
using FnSetPaused = signed char (*)(int channel, signed char paused);
using FnSetCurrentPosition = signed char (*)(int channel, unsigned position);

struct SoundApi {
    void* slots[kSoundApiSlots] = {};

    void* module() const { return slots[0]; }
    template <typename Fn>
    Fn fn(SoundSlot slot) const { return reinterpret_cast<Fn>(slots[slot]); }
};
