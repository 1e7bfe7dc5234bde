#include "tools/writer/sound_payloads.h"

namespace tools::writer {

Bytes musicSettings(const MusicSettings& settings)
{
    return StreamWriter()
        .add(4, text(settings.name))
        .add(17, s16(settings.framesPerSecond))
        .add(8, s16(settings.volume))
        .bytes();
}

Bytes musicResource(const std::string& tag, const MusicSettings& settings, const Bytes& audio)
{
    Envelope e;
    e.tag = tag;
    e.extraId = 462;
    e.extra = musicSettings(settings);
    e.body = audio;
    return resource(461, e);
}

Bytes soundLibraryResource(const Bytes& library)
{
    return chunk(463, library);
}

}  // namespace tools::writer
