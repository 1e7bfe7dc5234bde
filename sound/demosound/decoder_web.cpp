// The sound library's decoder in a web page: the browser's own
// (decodeAudioData, given WAV and MPEG audio only), at 44,100 frames a
// second, the rate the player counts positions in. The browser decodes
// asynchronously: a load only begins the decoding and the sample stays
// empty (`pending`) until the page ends every decoding at once, before the
// first frame (finishLoads, exports.h). It is given no more of a file than a
// sample keeps, so that no file makes it decode hours of sound only for
// them to be dropped.
#include <emscripten.h>

#include <algorithm>

#include "sound/demosound/audio_reading.h"
#include "sound/demosound/decoder.h"
#include "sound/demosound/exports.h"

namespace demosound {

namespace {

constexpr int kRate = 44100;

// Begins decoding a copy of the bytes; the number it is known by.
EM_JS(int, web_begin_decode, (const uint8_t* data, size_t size, int rate), {
    var Offline = window.OfflineAudioContext || window.webkitOfflineAudioContext;
    var decodes = Module.decodes = Module.decodes || { next : 1, pending : {} };
    var number = decodes.next++;
    decodes.pending[number] = new Promise(function(resolve) {
        if (!Offline)
            return resolve(null);
        // A copy: the browser takes the buffer over.
        new Offline(1, 1, rate).decodeAudioData(HEAPU8.slice(data, data + size).buffer, resolve,
                                                function() { resolve(null); });
    }).catch(function() { return null; });
    return number;
});

EM_ASYNC_JS(void, web_await_decodes, (), {
    var decodes = Module.decodes;
    if (!decodes)
        return;
    for (var number in decodes.pending)
        decodes.pending[number] = await decodes.pending[number];
});

// Channels (up to two) and frames of a finished decoding; 0 when it failed.
EM_JS(int, web_decoded_channels, (int number), {
    var buffer = Module.decodes && Module.decodes.pending[number];
    if (buffer && buffer.length)
        return Math.min(buffer.numberOfChannels, 2);
    if (Module.decodes)
        delete Module.decodes.pending[number];
    return 0;
});
EM_JS(uint32_t, web_decoded_frames, (int number), { return Module.decodes.pending[number].length; });

// Takes the first `frames` frames as 16-bit samples and lets the decoding go.
EM_JS(void, web_take_decoded, (int number, int16_t* out, int channels, uint32_t frames), {
    var buffer = Module.decodes.pending[number];
    delete Module.decodes.pending[number];
    var base = out >> 1;
    for (var c = 0; c < channels; ++c) {
        var data = buffer.getChannelData(c);
        for (var i = 0; i < frames; ++i) {
            var v = Math.round(data[i] * 32767);
            HEAP16[base + i * channels + c] = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
        }
    }
});

EM_JS(void, web_drop_decodes, (), { Module.decodes = null; });

bool beginDecoding(const uint8_t* data, size_t size, Pcm& out)
{
    out = Pcm();
    if (!data || size == 0)
        return false;
    out.pending = web_begin_decode(data, size, kRate);
    out.rate = kRate;
    return true;
}

}  // namespace

bool decodeWave(const uint8_t* data, size_t size, Pcm& out)
{
    const std::vector<uint8_t> cut = cutWave(data, size);
    return cut.empty() ? beginDecoding(data, size, out) : beginDecoding(cut.data(), cut.size(), out);
}

// Anything else than RIFF/WAVE comes here; only MPEG audio is decoded, as
// on the other systems (a few bytes of FLAC may hold hours of sound).
bool decodeMpeg(const uint8_t* data, size_t size, Pcm& out)
{
    return beginDecoding(data, mpegPrefix(data, size), out);
}

void awaitDecoding()
{
    web_await_decodes();
}

void takeDecoded(Pcm& out)
{
    const int number = out.pending;
    out = Pcm();
    out.rate = kRate;
    const int channels = number ? web_decoded_channels(number) : 0;
    if (!channels)
        return;
    const uint32_t frames = web_decoded_frames(number);
    const size_t kept = std::min<size_t>(frames, maxFrames(kRate));
    out.channels = channels;
    out.cut = kept < frames;
    out.samples.resize(kept * size_t(channels));
    web_take_decoded(number, out.samples.data(), channels, uint32_t(kept));
}

void dropDecoding()
{
    web_drop_decodes();
}

}  // namespace demosound
