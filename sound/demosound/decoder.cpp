#include "sound/demosound/decoder.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>

#include "sound/demosound/audio_reading.h"

namespace demosound {

bool decodeWave(const uint8_t* data, size_t size, Pcm& out)
{
    const std::vector<uint8_t> cut = cutWave(data, size);
    if (!cut.empty()) {
        data = cut.data();
        size = cut.size();
    }
    if (size > size_t(INT32_MAX))
        return false;
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    if (!rw)
        return false;
    SDL_AudioSpec wavFormat;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV_RW(rw, 1, &wavFormat, &buffer, &length))
        return false;
    const int channels = wavFormat.channels >= 2 ? 2 : 1;
    bool ok = false;
    SDL_AudioCVT cvt;
    int built = SDL_BuildAudioCVT(&cvt, wavFormat.format, wavFormat.channels, wavFormat.freq, AUDIO_S16SYS, Uint8(channels), wavFormat.freq);
    if (built >= 0 && wavFormat.freq > 0) {
        cvt.len = int(length);
        size_t capacity = size_t(length) * size_t(cvt.len_mult);
        if (capacity <= size_t(INT32_MAX)) {
            std::vector<Uint8> work(capacity > length ? capacity : length);
            std::memcpy(work.data(), buffer, length);
            cvt.buf = work.data();
            if (built == 0 || SDL_ConvertAudio(&cvt) == 0) {
                size_t bytes = built == 0 ? length : size_t(cvt.len_cvt);
                std::vector<int16_t> samples(bytes / sizeof(int16_t));
                std::memcpy(samples.data(), work.data(), samples.size() * sizeof(int16_t));
                work = std::vector<Uint8>();
                keepStereo(samples, channels, wavFormat.freq, out);
                ok = out.frames() > 0;
            }
        }
    }
    SDL_FreeWAV(buffer);
    return ok;
}

bool decodeMpeg(const uint8_t* data, size_t size, Pcm& out)
{
    int error = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return false;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // 16-bit output in the stream's own rate and layout.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    bool ok = false;
    if (mpg123_open_feed(handle) == MPG123_OK && mpg123_feed(handle, data, size) == MPG123_OK) {
        std::vector<int16_t> chunk(16384);
        size_t limit = 0;  // samples, with a frame to spare to tell a cut
        for (;;) {
            size_t done = 0;
            int result = mpg123_read(handle, chunk.data(), chunk.size() * sizeof(int16_t), &done);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(handle, &rate, &channels, &encoding);
                // One layout per sample: a stream that changes it midway ends there.
                if (out.channels && (out.channels != channels || out.rate != int(rate)))
                    break;
                out.channels = channels;
                out.rate = int(rate);
                limit = (maxFrames(out.rate) + 1) * size_t(channels);
            }
            if (done > 0 && out.channels) {
                // Never more than the limit: the vector doubles, but not past it.
                const size_t had = out.samples.size();
                const size_t count = std::min(done / sizeof(int16_t), limit - had);
                if (had + count > out.samples.capacity())
                    out.samples.reserve(std::min(std::max(had + count, out.samples.capacity() * 2), limit));
                out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + long(count));
                if (out.samples.size() >= limit)
                    break;
            }
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
                break;  // the end of the data (or a damaged stream): keep what came out
        }
        if (out.channels == 1 || out.channels == 2) {
            std::vector<int16_t> samples = std::move(out.samples);
            keepStereo(samples, out.channels, out.rate, out);
        }
        ok = (out.channels == 1 || out.channels == 2) && out.rate > 0 && out.frames() > 0;
    }
    mpg123_delete(handle);
    return ok;
}

}  // namespace demosound
