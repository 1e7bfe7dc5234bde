// PCM WAV files: 16-bit integer samples, channels interleaved.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::media {

using namespace tools::writer;

// The whole file: RIFF header, 16-byte fmt chunk, then the data chunk.
Bytes encodeWav(const std::vector<int16_t>& interleaved, int rate, int channels);

}  // namespace tools::media
