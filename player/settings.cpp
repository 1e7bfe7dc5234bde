#include "player/settings.h"

#include <GL/gl.h>

#include <cstring>

#include "demo/chunk_stream.h"
#include "player/messages.h"

void clearSettings(PlayerSettings& settings)
{
    int32_t total = settings.totalFrames;
    settings = PlayerSettings();
    settings.totalFrames = total;
}

void applySettingsImage(PlayerSettings& settings, const void* data, uint32_t length)
{
    uint32_t n = length < sizeof(PlayerSettings) ? length : uint32_t(sizeof(PlayerSettings));
    std::memcpy(&settings, data, n);
    // The title must stay terminated whatever the image held.
    settings.title[sizeof settings.title - 1] = 0;
}

namespace {

// Reads `size` bytes of a fixed-size payload and skips whatever the chunk
// holds beyond them, so that a longer chunk does not desynchronise the stream.
bool readField(ChunkStream& stream, void* destination, int32_t size, uint32_t length)
{
    bool ok = stream.read(destination, size);
    if (length > uint32_t(size))
        stream.skip(int64_t(length) - size);
    return ok;
}

GLenum glEnum(int16_t value)
{
    return GLenum(int32_t(value));  // sign-extended, as the data means it
}

}  // namespace

void readWindowSettings(PlayerSettings& settings, const void* data, int32_t length)
{
    ChunkStream stream(data, length);
    forEachChunk(stream, [&](int16_t id, uint32_t len) {
        switch (id) {
        case 4: {
            // The title has no terminator in the data; the last byte of the
            // field stays zero so that a long title is cut, not run on.
            uint32_t n = len < sizeof settings.title - 1 ? len : uint32_t(sizeof settings.title - 1);
            stream.read(settings.title, int32_t(n));
            stream.skip(int64_t(len) - n);
            break;
        }
        case 2003: {
            int16_t size[2];
            if (readField(stream, size, 4, len)) {
                settings.width = size[0];
                settings.height = size[1];
            }
            break;
        }
        case 2004:
            settings.fullscreen = 1;
            break;
        default:
            showErrorId(id);
            stream.skip(len);
            break;
        }
    });
}

void readPlaybackSettings(PlayerSettings& settings, const void* data, int32_t length)
{
    ChunkStream stream(data, length);
    forEachChunk(stream, [&](int16_t id, uint32_t len) {
        switch (id) {
        case 2000: {
            uint16_t rate;
            if (readField(stream, &rate, 2, len))
                settings.frameRate = int32_t((uint32_t(settings.frameRate) & 0xFFFF0000u) | rate);
            break;
        }
        case 2001:
            settings.catchUp = 1;
            break;
        case 2002:
            settings.loop = 1;
            break;
        default:
            showError("ID DESCONEGUDA");
            stream.skip(len);
            break;
        }
    });
}

int runRenderStateScript(const void* data, int32_t length)
{
    glDisable(GL_DEPTH_TEST);
    ChunkStream stream(data, length);
    forEachChunk(stream, [&](int16_t id, uint32_t len) {
        switch (id) {
        case 100: {
            int16_t mode = 0;
            readField(stream, &mode, 2, len);
            glShadeModel(glEnum(mode));
            break;
        }
        case 101: {
            float c[4] = {};
            readField(stream, c, 16, len);
            glClearColor(c[0], c[1], c[2], c[3]);
            break;
        }
        case 102: {
            float depth = 0;
            readField(stream, &depth, 4, len);
            glClearDepth(double(depth));
            break;
        }
        case 103: {
            int16_t function = 0;
            readField(stream, &function, 2, len);
            glDepthFunc(glEnum(function));
            break;
        }
        case 104: {
            int16_t v[2] = {};
            readField(stream, v, 4, len);
            glHint(glEnum(v[0]), glEnum(v[1]));
            break;
        }
        case 500: {
            int16_t capability = 0;
            readField(stream, &capability, 2, len);
            glEnable(glEnum(capability));
            break;
        }
        default:
            showError("ID DESCONEGUDA");
            stream.skip(len);
            break;
        }
        if (glGetError() != GL_NO_ERROR)
            showError("INIT GL ERROR");
    });
    return 1;
}
