// The Windows test build cannot run the ffmpeg program: music is carried as
// it is when it is MP3 or WAV, and anything else is refused with the reason.
#include <cstring>

#include "tools/media/audio_convert.h"

namespace tools::media {

using namespace tools::writer;

bool carriedAudio(const Bytes& file, const std::string& name, CarriedAudio& out, std::string* error)
{
    out = CarriedAudio();
    const bool wav = file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0;
    const bool mp3 = (file.size() >= 3 && std::memcmp(file.data(), "ID3", 3) == 0) ||
                     (file.size() >= 2 && file[0] == 0xFF && (file[1] & 0xE0) == 0xE0);
    if (!wav && !mp3) {
        *error = "'" + name + "': music conversion runs in the Linux tools only";
        return false;
    }
    out.bytes = file;
    out.extension = wav ? ".wav" : ".mp3";
    return true;
}

}  // namespace tools::media
