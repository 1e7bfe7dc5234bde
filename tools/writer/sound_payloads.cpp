#include "tools/writer/sound_payloads.h"

#include "demo/format.h"

namespace tools::writer {

Bytes musicSettings(const MusicSettings& settings)
{
    return StreamWriter()
        .add(format::music::kFileName, text(settings.name))
        .add(format::music::kFrameRate, s16(settings.framesPerSecond))
        .add(format::music::kVolume, s16(settings.volume))
        .bytes();
}

Bytes musicResource(const std::string& tag, const MusicSettings& settings, const Bytes& audio)
{
    Envelope e;
    e.tag = tag;
    e.extraId = format::envelope::kMusicFile;
    e.extra = musicSettings(settings);
    e.body = audio;
    return resource(format::kMusicTrack, e);
}

Bytes soundLibraryResource(const Bytes& library)
{
    return chunk(format::kSoundLibrary, library);
}

}  // namespace tools::writer
