// Arbitrary bytes as an audio file, through what the sound library reads of
// it itself: the RIFF/WAVE chunk walk and plain samples, the MPEG audio
// frame search, the Info frame and the trimming it asks for. The system's
// codecs (ACM on Windows, libmpg123 and SDL here) are not in it, nor the
// browser's; what a page hands the browser (the cut WAV file and the MPEG
// prefix) is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/demosound/audio_reading.h"

using namespace demosound;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WaveFile wave;
    if (readWave(data, size, wave)) {
        std::vector<int16_t> samples;
        if (readPlainSamples(wave, maxFrames(wave.rate) * size_t(wave.channels), samples) == PlainResult::decoded) {
            Pcm pcm;
            keepStereo(samples, wave.channels, wave.rate, pcm);
        }
    }
    MpegStart start;
    if (findMpegStart(data, size, start)) {
        // What a codec would give for the frames the rest could hold, at
        // most a few: the trimming reads only the count.
        const size_t frames = std::min<size_t>((size - start.at) / start.first.length + 1, 8);
        std::vector<int16_t> samples(frames * size_t(start.first.samples) * size_t(start.first.channels));
        trimGapless(samples, start);
        Pcm pcm;
        keepStereo(samples, start.first.channels, start.first.rate, pcm);
    }
    // What a page's decoder is given of the file.
    const std::vector<uint8_t> cut = cutWave(data, size);
    if (cut.size() > size || mpegPrefix(data, size) > size)
        __builtin_trap();
    return 0;
}
