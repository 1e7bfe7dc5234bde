#include "fuzz/fuzz_player.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "demo/timeline.h"
#include "platform/platform.h"
#include "player/frame_loop.h"
#include "player/window.h"

namespace fuzzing {

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Boxes answered at once and not kept: an input allocates nothing here, so
// libFuzzer's leak check (which runs whenever an input leaves more blocks
// allocated than it found) stays quiet. A clock that moves on every read.
class QuietPlatform : public platform::Hooks {
public:
    int messageBox(const char*, const char*, unsigned type) override
    {
        return (type & 0xF) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    }
    bool queryPerformanceFrequency(int64_t* frequency) override
    {
        *frequency = 1000000;
        return true;
    }
    bool queryPerformanceCounter(int64_t* count) override
    {
        *count = counter_;
        counter_ += 1000;
        return true;
    }
    uint32_t timeGetTime() override { return uint32_t(counter_ / 1000); }
    bool failStep(const char*) override { return false; }

private:
    int64_t counter_ = 0;
};

// The state every input starts from: the one the window was created with.
void saveGLState()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}

void restoreGLState()
{
    // Pops whatever the input left pushed, then the saved state itself.
    GLint depth = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    while (depth-- > 0)
        glPopAttrib();
    glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depth);
    while (depth-- > 0)
        glPopClientAttrib();
    const GLenum stacks[][2] = {{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH},
                                {GL_PROJECTION, GL_PROJECTION_STACK_DEPTH},
                                {GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH}};
    for (const auto& stack : stacks) {
        glMatrixMode(stack[0]);
        glGetIntegerv(stack[1], &depth);
        while (depth-- > 1)
            glPopMatrix();
        glLoadIdentity();
    }
    resizeGLScene(kWidth, kHeight);
    while (glGetError() != GL_NO_ERROR) {
    }
    saveGLState();
}

WindowState& runWindow()
{
    static WindowState* window = [] {
        auto* w = new WindowState;
        if (!createGLWindow(*w, "fuzz", kWidth, kHeight, 16, false)) {
            std::fprintf(stderr, "fuzz: no window (run with SDL_VIDEODRIVER=offscreen)\n");
            std::abort();
        }
        saveGLState();
        return w;
    }();
    return *window;
}

}  // namespace

void beQuiet()
{
    static QuietPlatform* hooks = [] {
        auto* h = new QuietPlatform;  // installed until the process ends
        platform::installHooks(h);
        return h;
    }();
    (void)hooks;
}

void openWindow()
{
    beQuiet();
    WindowState& window = runWindow();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    platform::swapBuffers(window.dc);
    glFinish();
}

FuzzPlayer::FuzzPlayer()
{
    beQuiet();
    player.window = runWindow();
}

FuzzPlayer::~FuzzPlayer()
{
    player.window = WindowState();  // the window outlives the player
    player.shutdown();
    restoreGLState();
}

void FuzzPlayer::play(int frames)
{
    for (int frame = 1; frame <= frames; ++frame) {
        if (!player.cursor)
            player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
        timelineCheck(player, frame);
        runFrame(player, frame % 3 == 2);
    }
}

const char* inputFile(const uint8_t* data, size_t size)
{
    static int fd = memfd_create("fuzz-input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) {
        std::perror("fuzz: input file");
        std::abort();
    }
    return path.c_str();
}

}  // namespace fuzzing
