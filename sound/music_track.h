// A piece of music (resource 461) that plays through the sound library while
// its timeline instance lives. The resource object writes the audio file and
// loads the sample; instances are copies that share the sample and play it
// on a channel of their own.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"
#include "sound/sound_api.h"

class SoundLibrary;

class MusicTrack : public SceneObject {
public:
    explicit MusicTrack(SoundLibrary* library);
    // What clone builds on: shares the library and the sample, never the file.
    MusicTrack(const MusicTrack& source);
    ~MusicTrack() override;
    MusicTrack& operator=(const MusicTrack&) = delete;

    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    void loadExtra(const void* data, int32_t size) override;
    SceneObject* clone() override;
    void skipFrames(int count) override;

    float volume = 255;            // "Volum"
    int16_t appliedVolume = 255;   // last volume given to the channel
    SoundSample sample = nullptr;  // shared by copies
    SoundLibrary* library;         // borrowed
    char tempDir[256] = {};        // the library's private directory
    char* filePath = nullptr;      // owned; resource object only
    int channel = 0;               // 0 while nothing plays
    int16_t framesPerSecond = 20;

private:
    // The table to call through, or none when the library is not bound.
    const SoundApi* api() const;
    void setFileName(const char* name, uint32_t length);
    // Starts the sample paused on a free channel at the applied volume.
    void startChannel();

    bool fileWritten_ = false;  // only a file this object wrote is deleted
};
