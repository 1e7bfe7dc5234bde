// The sample demo's textures and music, made from code so that nothing has
// to be downloaded or kept in the repository. The same options give the same
// bytes on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::assets {

using namespace tools::writer;

using writer::Bytes;

struct Asset {
    std::string name;  // file name, no folder
    Bytes bytes;
};

struct AssetOptions {
    double musicSeconds = 40;  // the sample demo's length
    bool wav = false;          // music.wav (PCM) instead of music.mp3
};

constexpr int kSampleRate = 44100;  // the rate the player turns frames into play positions with

// The textures (24-bit BMP files in the layout the player's texture loader
// takes), a model (knot.obj, a torus knot) and the music.
std::vector<Asset> sampleAssets(const AssetOptions& options = {});

// Mono 16-bit music at kSampleRate: an arpeggiated A minor, F, C, G
// progression at 120 beats a minute with pad, bass and drums, faded at the end.
std::vector<int16_t> sampleMusic(double seconds);

// Mono 16-bit samples as a 128 kbit/s MP3 file (LAME, with an Info frame
// that gives decoders the exact length). media::encodeWav writes them as
// a PCM WAV file.
Bytes encodeMp3(const std::vector<int16_t>& samples, int rate);

// Writes every asset into `directory` (created when missing). False with the
// reason in *error when a file cannot be written.
bool writeSampleAssets(const std::string& directory, const AssetOptions& options, std::string* error);

}  // namespace tools::assets
