#include "player/settings.h"

#include <GL/gl.h>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "demo/messages.h"

namespace {

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
        case format::window::kTitle: {
            // The title has no terminator in the data; the last byte of the
            // field stays zero so that a long title is cut, not run on.
            readField(stream, len, settings.title, int32_t(sizeof settings.title - 1));
            break;
        }
        case format::window::kSize: {
            int16_t size[2];
            if (readField(stream, len, size, 4) == 4) {
                settings.width = size[0];
                settings.height = size[1];
            }
            break;
        }
        case format::window::kFullscreen:
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
        case format::playback::kFrameRate: {
            uint16_t rate;
            if (readField(stream, len, &rate, 2) == 2)
                settings.frameRate = int32_t((uint32_t(settings.frameRate) & 0xFFFF0000u) | rate);
            break;
        }
        case format::playback::kCatchUp:
            settings.catchUp = 1;
            break;
        case format::playback::kLoop:
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
        case format::render::kShadeModel: {
            int16_t mode = 0;
            readField(stream, len, &mode, 2);
            glShadeModel(glEnum(mode));
            break;
        }
        case format::render::kClearColor: {
            float c[4] = {};
            readField(stream, len, c, 16);
            glClearColor(c[0], c[1], c[2], c[3]);
            break;
        }
        case format::render::kClearDepth: {
            float depth = 0;
            readField(stream, len, &depth, 4);
            glClearDepth(double(depth));
            break;
        }
        case format::render::kDepthFunc: {
            int16_t function = 0;
            readField(stream, len, &function, 2);
            glDepthFunc(glEnum(function));
            break;
        }
        case format::render::kHint: {
            int16_t v[2] = {};
            readField(stream, len, v, 4);
            glHint(glEnum(v[0]), glEnum(v[1]));
            break;
        }
        case format::render::kEnable: {
            int16_t capability = 0;
            readField(stream, len, &capability, 2);
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
