// Music as authors have it (OGG Vorbis, FLAC, Opus, 48 kHz MP3, ...) in the
// form the sound library plays: MP3 or 16-bit WAV at 44.1 kHz. The player
// positions fast-forwarded music in whole seconds of 44,100 samples, so a
// track at another rate would drift from the picture after a fast-forward.
// Conversion runs the `ffmpeg` program (MP3 through its libmp3lame encoder).
#pragma once

#include <string>

#include "tools/writer/writer.h"

namespace tools::media {

using namespace tools::writer;

constexpr int kMusicRate = 44100;

struct AudioForm {
    enum Kind { Unknown, Mp3, Wav } kind = Unknown;
    int rate = 0;  // Hz; 0 when the header does not say
};

// What the file's own header says, without decoding.
AudioForm audioFormOf(const Bytes& file);

struct CarriedAudio {
    Bytes bytes;
    bool converted = false;
    std::string extension;  // ".mp3" or ".wav": what the bytes are
    std::string note;       // one line on what was done, "" when nothing
};

// The bytes to carry for an audio file: kept as they are when they are
// MP3 or WAV at 44.1 kHz, else converted with ffmpeg (WAV stays WAV,
// anything else becomes MP3). False with the reason in *error when ffmpeg
// cannot read the file or cannot be run.
bool carriedAudio(const Bytes& file, const std::string& name, CarriedAudio& out, std::string* error);

}  // namespace tools::media
