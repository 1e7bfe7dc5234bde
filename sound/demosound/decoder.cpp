#include "sound/demosound/decoder.h"

#include <SDL.h>
#include <mpg123.h>

#include <cstring>

namespace demosound {

namespace {

constexpr size_t kMaxFrames = size_t(1) << 31;  // keeps positions within 32 bits

}  // namespace

bool decodeWave(const uint8_t* data, size_t size, Pcm& out)
{
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
                size_t count = bytes / sizeof(int16_t);
                count -= count % size_t(channels);
                out.samples.resize(count);
                std::memcpy(out.samples.data(), work.data(), count * sizeof(int16_t));
                out.channels = channels;
                out.rate = wavFormat.freq;
                ok = out.frames() > 0 && out.frames() < kMaxFrames;
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
            }
            if (done > 0 && out.channels) {
                size_t count = done / sizeof(int16_t);
                if ((out.samples.size() + count) / size_t(out.channels) >= kMaxFrames)
                    break;
                out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + long(count));
            }
            if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
                break;  // the end of the data (or a damaged stream): keep what came out
        }
        if (out.channels)
            out.samples.resize(out.samples.size() - out.samples.size() % size_t(out.channels));
        ok = (out.channels == 1 || out.channels == 2) && out.rate > 0 && out.frames() > 0;
    }
    mpg123_delete(handle);
    return ok;
}

}  // namespace demosound
