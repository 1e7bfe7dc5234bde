#include "sound/music_track.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "platform/platform.h"
#include "demo/messages.h"
#include "sound/fresh_file.h"
#include "sound/sound_library.h"

namespace {

constexpr int kMixRate = 44100;  // the rate the library is initialised with
constexpr unsigned kNormalSampleMode = 304;

// Truncation toward zero, narrowed to 16 bits. Values far out of range (or
// not numbers at all) saturate first instead of being undefined.
int16_t volumeAsInteger(float volume)
{
    if (std::isnan(volume))
        return 0;
    double whole = std::trunc(double(volume));
    if (whole < double(INT32_MIN))
        whole = double(INT32_MIN);
    if (whole > double(INT32_MAX))
        whole = double(INT32_MAX);
    return static_cast<int16_t>(static_cast<int32_t>(whole));
}

// A file name that stays inside the temporary directory.
bool isPlainFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

}  // namespace

MusicTrack::MusicTrack(SoundLibrary* library)
    : library(library)
{
    // The file goes into the library's private directory. Without one tempDir
    // stays empty and no name is accepted: the file must never land somewhere
    // else.
    if (library)
        std::memcpy(tempDir, library->directory, sizeof tempDir);
    parameters->append("Volum", &volume);
    describeFloats(&volume, 1);
}

MusicTrack::MusicTrack(const MusicTrack& source)
    : SceneObject(),
      volume(float(source.appliedVolume)),
      appliedVolume(source.appliedVolume),
      sample(source.sample),
      library(source.library),
      framesPerSecond(source.framesPerSecond)
{
    std::memcpy(tempDir, source.tempDir, sizeof tempDir);
    parameters->append("Volum", &volume);
    describeFloats(&volume, 1);
}

MusicTrack::~MusicTrack()
{
    const SoundApi* table = api();
    if (filePath) {
        if (table && sample)
            table->fn<FnSampleFree>(kSampleFree)(sample);
        if (fileWritten_)
            platform::deleteFile(filePath);
        delete[] filePath;
    }
    if (channel != 0 && table)
        table->fn<FnStopSound>(kStopSound)(channel);
}

const SoundApi* MusicTrack::api() const
{
    return library ? library->api : nullptr;
}

void MusicTrack::setFileName(const char* name, uint32_t length)
{
    // Longer names would not fit a path of the system's usual size.
    if (length > 255 || !tempDir[0])
        return;
    std::string text(name, length);
    if (!isPlainFileName(text))
        return;
    size_t size = std::strlen(tempDir) + length + 5;
    char* path = new char[size];
    std::snprintf(path, size, "%s%s%c", tempDir, text.c_str(), 0);
    delete[] filePath;  // a repeated name replaces the earlier one
    filePath = path;
}

void MusicTrack::loadExtra(const void* data, int32_t size)
{
    ChunkStream stream(data, size);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        const int32_t start = stream.position();
        int16_t value = 0;
        switch (id) {
        case format::music::kFileName:
            if (int64_t(length) <= stream.remaining())
                setFileName(reinterpret_cast<const char*>(stream.data() + start), length);
            break;
        case format::music::kVolume:
            if (length >= 2 && stream.readS16(value)) {
                appliedVolume = value;
                volume = float(value);
            }
            break;
        case format::music::kFrameRate:
            // The rate divides frame counts: a rate of 0 or less is ignored.
            if (length >= 2 && stream.readS16(value) && value > 0)
                framesPerSecond = value;
            break;
        default:
            showUnknownId(id);
            break;
        }
        stream.skip(int64_t(length) - (int64_t(stream.position()) - start));
    });
}

void MusicTrack::load(const void* data, int32_t size)
{
    if (!filePath)
        return;
    FILE* file = createFreshFile(filePath);
    // Never load, nor later delete, a file that this object did not write.
    fileWritten_ = file != nullptr;
    if (!file)
        return;
    bool whole = size <= 0 || !data || std::fwrite(data, size_t(size), 1, file) == 1;
    whole = std::fclose(file) == 0 && whole;
    const SoundApi* table = api();
    if (!whole || !table)
        return;
    if (sample)  // a second body replaces the first sample
        table->fn<FnSampleFree>(kSampleFree)(sample);
    sample = table->fn<FnSampleLoad>(kSampleLoad)(-1, filePath, kNormalSampleMode, 0, 0);
    table->fn<FnSampleGetLength>(kSampleGetLength)(sample);
}

void MusicTrack::startChannel()
{
    const SoundApi* table = api();
    channel = table->fn<FnPlaySoundEx>(kPlaySoundEx)(-1, sample, nullptr, 1);
    if (channel != 0)
        table->fn<FnSetVolume>(kSetVolume)(channel, appliedVolume);
}

int MusicTrack::step(bool stepOnly)
{
    const SoundApi* table = api();
    if (table && channel == 0) {
        startChannel();
        if (channel != 0)
            table->fn<FnSetPaused>(kSetPaused)(channel, 0);
    }
    int16_t v = volumeAsInteger(volume);
    if (v != appliedVolume) {
        appliedVolume = v;
        if (table && channel != 0)
            table->fn<FnSetVolume>(kSetVolume)(channel, v);
    }
    return SceneObject::step(stepOnly);
}

// Moves the play position in whole seconds; the object's own counters and
// children do not advance.
void MusicTrack::skipFrames(int count)
{
    int64_t position = framesPerSecond > 0 ? int64_t(count / framesPerSecond) * kMixRate : 0;
    if (position < 0)
        position = 0;
    if (position > int64_t(UINT32_MAX))
        position = int64_t(UINT32_MAX);
    const SoundApi* table = api();
    if (!table)
        return;
    // Handle 0 is no channel of this track's: it is never addressed.
    if (channel != 0) {
        table->fn<FnSetCurrentPosition>(kSetCurrentPosition)(channel, unsigned(position));
        return;
    }
    startChannel();
    if (channel == 0)
        return;
    table->fn<FnSetCurrentPosition>(kSetCurrentPosition)(channel, unsigned(position));
    table->fn<FnSetPaused>(kSetPaused)(channel, 0);
}

SceneObject* MusicTrack::clone()
{
    MusicTrack* copy = new MusicTrack(*this);
    copyInto(copy);
    return copy;
}
