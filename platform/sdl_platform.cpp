// SDL2 system layer (Linux), behind the shared core (platform_core.cpp).
// Implements: the player's Win32-style model (window class and procedure,
// pixel formats, message queue) translated onto SDL without leaking SDL
// types; message boxes, falling back to one "CAPTION: text" line on stderr
// without a display; the offscreen driver when there is no display.
// Lacks: more than one pixel format (the one SDL gives for the request);
// messages other than WM_CLOSE, WM_SIZE, WM_KEYDOWN and WM_KEYUP, which reach
// the most recently registered class; translateMessage does nothing, and
// defWindowProc only turns SC_CLOSE into WM_CLOSE.
// Depends on: SDL2 (video, GL, timers), libdl, and POSIX files
// (/proc/self/exe, mkdtemp, TMPDIR); the temporary files are posix_files.cpp's.
#include "platform/system.h"

#include <SDL.h>

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

struct DeviceContext {
    Window* window;
};

struct Window {
    SDL_Window* sdl = nullptr;
    std::string className;
    DeviceContext dc{this};
};

struct GLContext {
    SDL_GLContext sdl = nullptr;
};

namespace {

struct WindowClass {
    std::string name;
    WindowProc proc = nullptr;
    void* user = nullptr;
};

// Registration order matters: dispatchMessage carries no window, so messages go
// to the most recently registered class still alive.
std::vector<WindowClass> g_classes;
std::vector<Window*> g_windows;
std::vector<GLContext*> g_contexts;

bool g_haveMode = false;
SDL_DisplayMode g_mode{};

bool g_haveRequest = false;
PixelFormatRequest g_request;

std::mutex g_queueMutex;
std::deque<Message> g_queue;

WindowClass* findClass(const char* name)
{
    if (!name)
        return nullptr;
    for (auto& c : g_classes)
        if (c.name == name)
            return &c;
    return nullptr;
}

bool isLive(const Window* window)
{
    return window && std::find(g_windows.begin(), g_windows.end(), window) != g_windows.end();
}

// Compared, never dereferenced: callers may hold a DC of a destroyed window.
Window* windowOf(DeviceContext* dc)
{
    for (Window* w : g_windows)
        if (dc && &w->dc == dc)
            return w;
    return nullptr;
}

bool isLive(const GLContext* context)
{
    return context && std::find(g_contexts.begin(), g_contexts.end(), context) != g_contexts.end();
}

bool videoUp()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

bool isHeadlessDriver(const char* name)
{
    return name && (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

bool envSet(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v;
}

// SDL tears every window down with the video subsystem; forget ours so stale
// handles are refused instead of used.
void forgetVideoObjects()
{
    for (Window* w : g_windows)
        delete w;
    g_windows.clear();
    for (GLContext* c : g_contexts)
        delete c;
    g_contexts.clear();
    g_haveMode = false;
}

void setGLAttributes(const PixelFormatRequest& request, bool exactColour)
{
    SDL_GL_ResetAttributes();
    int r = 0, g = 0, b = 0;
    if (exactColour) {
        if (request.colorBits >= 24) {
            r = g = b = 8;
        } else if (request.colorBits >= 15) {
            r = 5;
            g = request.colorBits == 15 ? 5 : 6;
            b = 5;
        }
    }
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, r);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, g);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, b);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (request.flags & PFD_DOUBLEBUFFER) ? 1 : 0);
}

PixelFormatRequest defaultRequest()
{
    PixelFormatRequest r;
    r.size = 40;
    r.version = 1;
    r.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    r.pixelType = PFD_TYPE_RGBA;
    r.colorBits = 16;
    r.depthBits = 16;
    return r;
}

// Windows virtual-key code for an SDL key, 0 for keys the player never sees.
int virtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 0x70 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return 0x61 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 17;
    case SDLK_LALT:
    case SDLK_RALT:
        return 18;
    case SDLK_PAUSE:
        return 19;
    case SDLK_PAGEUP:
        return 33;
    case SDLK_PAGEDOWN:
        return 34;
    case SDLK_END:
        return 35;
    case SDLK_HOME:
        return 36;
    case SDLK_LEFT:
        return 37;
    case SDLK_UP:
        return 38;
    case SDLK_RIGHT:
        return 39;
    case SDLK_DOWN:
        return 40;
    case SDLK_INSERT:
        return 45;
    case SDLK_DELETE:
        return 46;
    case SDLK_KP_0:
        return 0x60;
    case SDLK_KP_MULTIPLY:
        return 0x6A;
    case SDLK_KP_PLUS:
        return 0x6B;
    case SDLK_KP_MINUS:
        return 0x6D;
    case SDLK_KP_PERIOD:
        return 0x6E;
    case SDLK_KP_DIVIDE:
        return 0x6F;
    default:
        return 0;
    }
}

// Converts one SDL event; false for events the window procedure has no message for.
bool translateEvent(const SDL_Event& e, Message* out)
{
    switch (e.type) {
    case SDL_QUIT:
        // Like a close request: the window procedure decides whether to quit.
        *out = {WM_CLOSE, 0, 0};
        return true;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            *out = {WM_CLOSE, 0, 0};
            return true;
        }
        // SIZE_CHANGED accompanies every RESIZED, so converting only it gives
        // one WM_SIZE per change.
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            const intptr_t w = e.window.data1 & 0xFFFF, h = e.window.data2 & 0xFFFF;
            *out = {WM_SIZE, 0, (h << 16) | w};
            return true;
        }
        return false;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int vk = virtualKey(e.key.keysym.sym);
        if (!vk)
            return false;
        // lParam as Windows fills it: repeat count 1, bit 30 = key was down,
        // bit 31 = key is being released.
        intptr_t lParam = 1;
        if (e.type == SDL_KEYUP)
            lParam |= intptr_t(3) << 30;
        else if (e.key.repeat)
            lParam |= intptr_t(1) << 30;
        *out = {e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, uintptr_t(vk), lParam};
        return true;
    }
    default:
        return false;
    }
}

// Whether a message box could be seen by someone.
bool haveDisplay()
{
    if (videoUp()) {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver && !isHeadlessDriver(driver);
    }
    if (isHeadlessDriver(SDL_GetHint(SDL_HINT_VIDEODRIVER)))
        return false;
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY");
}

}  // namespace

namespace sys {

// ---- Message boxes

int messageBox(const char* text, const char* caption, unsigned type)
{
    const bool yesNo = (type & 0xF) == MB_YESNO;
    if (haveDisplay()) {
        Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
        switch (type & 0xF0) {
        case MB_ICONSTOP:
            flags |= SDL_MESSAGEBOX_ERROR;
            break;
        case MB_ICONEXCLAMATION:
            flags |= SDL_MESSAGEBOX_WARNING;
            break;
        case MB_ICONINFORMATION:
            flags |= SDL_MESSAGEBOX_INFORMATION;
            break;
        default:
            break;
        }
        const SDL_MessageBoxButtonData yesNoButtons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
        };
        const SDL_MessageBoxButtonData okButton[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
        };
        SDL_MessageBoxData data{};
        data.flags = flags;
        data.title = caption;
        data.message = text;
        data.numbuttons = yesNo ? 2 : 1;
        data.buttons = yesNo ? yesNoButtons : okButton;
        int button = -1;
        if (SDL_ShowMessageBox(&data, &button) == 0) {
            // Closed without a button: the cautious answer.
            if (button < 0)
                return yesNo ? IDNO : IDOK;
            return button;
        }
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return yesNo ? IDYES : IDOK;
}

// ---- Window class, window and rendering context

bool registerWindowClass(const char* className, WindowProc proc, void* user)
{
    if (!className || findClass(className))
        return false;

    const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const std::string requested = hint ? hint : "";
    // One close click must give one WM_CLOSE, not a second one from SDL_QUIT.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The driver hint is only read while video starts; it is forced just for
    // that call, so each later start decides afresh.
    auto startOffscreen = [] {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
        const int result = SDL_InitSubSystem(SDL_INIT_VIDEO);
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        return result == 0;
    };
    const bool alreadyUp = videoUp();
    bool started;
    if (alreadyUp) {
        started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;  // one reference per class
    } else if (requested.empty() && !envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY")) {
        // Nothing to show on: skip SDL probing x11/wayland (noisy) or taking
        // over the console through KMS/DRM.
        started = startOffscreen();
    } else {
        started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        if (!started && requested != "offscreen")
            started = startOffscreen();
    }
    if (!started) {
        std::fprintf(stderr, "Cannot start video: %s\n", SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!alreadyUp && driver && std::strcmp(driver, "offscreen") == 0 && requested != "offscreen") {
        std::fprintf(stderr, "No display found: running offscreen.\n");
        std::fflush(stderr);
    }
    // Video and the GL driver stay loaded until the process ends: reloading
    // the driver for every window is slow, and leak checkers need its code
    // still mapped at exit to tell its own allocations from ours.
    static bool kept = false;
    if (!kept) {
        kept = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        SDL_GL_LoadLibrary(nullptr);
    }
    g_classes.push_back({className, proc, user});
    return true;
}

bool unregisterWindowClass(const char* className)
{
    WindowClass* c = findClass(className);
    if (!c)
        return false;
    g_classes.erase(g_classes.begin() + (c - g_classes.data()));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (!videoUp())
        forgetVideoObjects();
    return true;
}

bool changeDisplayMode(int width, int height, int bitsPerPixel)
{
    g_haveMode = false;
    if (!videoUp())
        return false;
    const int count = SDL_GetNumDisplayModes(0);
    bool found = false;
    SDL_DisplayMode best{};
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w != width || m.h != height)
            continue;
        // The list is sorted best first; prefer the requested depth if offered.
        if (!found ||
            (int(SDL_BITSPERPIXEL(m.format)) == bitsPerPixel && int(SDL_BITSPERPIXEL(best.format)) != bitsPerPixel)) {
            best = m;
            found = true;
        }
    }
    if (!found)
        return false;
    g_mode = best;
    g_haveMode = true;
    return true;
}

Window* createWindow(const char* className, const char* title, int width, int height, bool popup)
{
    if (!findClass(className) || !videoUp())
        return nullptr;
    // A client area of 0 (no size in the settings) is still a window; SDL
    // needs at least 1 x 1.
    width = std::max(width, 1);
    height = std::max(height, 1);

    // The pixel format is chosen after the window exists in the Win32 order,
    // but SDL needs it before; the usual request is the default.
    const PixelFormatRequest request = g_haveRequest ? g_request : defaultRequest();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
    if (popup) {
        flags |= g_haveMode ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_BORDERLESS;
        x = y = 0;
    }
    setGLAttributes(request, true);
    SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!sdl) {
        // No visual with those channel sizes: take whatever colour SDL offers.
        setGLAttributes(request, false);
        sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    }
    if (!sdl)
        return nullptr;
    if (popup && g_haveMode && SDL_SetWindowDisplayMode(sdl, &g_mode) != 0) {
        SDL_DestroyWindow(sdl);
        return nullptr;
    }
    auto* window = new Window;
    window->sdl = sdl;
    window->className = className;
    g_windows.push_back(window);
    return window;
}

bool destroyWindow(Window* window)
{
    if (!isLive(window))
        return false;
    SDL_DestroyWindow(window->sdl);
    g_windows.erase(std::find(g_windows.begin(), g_windows.end(), window));
    delete window;
    return true;
}

DeviceContext* getDC(Window* window)
{
    return isLive(window) ? &window->dc : nullptr;
}

int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request)
{
    (void)dc;
    g_request = request;
    g_haveRequest = true;
    const uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if ((request.flags & needed) != needed || request.pixelType != PFD_TYPE_RGBA || request.colorBits == 0)
        return 0;
    return 1;
}

bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request)
{
    (void)request;
    return format == 1 && windowOf(dc) != nullptr;
}

GLContext* createContext(DeviceContext* dc)
{
    Window* window = windowOf(dc);
    if (!window)
        return nullptr;
    // SDL makes the new context current; Windows does not, so put back
    // whatever was current before.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext sdl = SDL_GL_CreateContext(window->sdl);
    if (!sdl)
        return nullptr;
    SDL_GL_MakeCurrent(previous ? previousWindow : nullptr, previous);
    auto* context = new GLContext;
    context->sdl = sdl;
    g_contexts.push_back(context);
    return context;
}

bool makeCurrent(DeviceContext* dc, GLContext* context)
{
    if (!dc && !context) {
        if (!videoUp())
            return true;
        return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    }
    Window* window = windowOf(dc);
    if (!window || !isLive(context))
        return false;
    return SDL_GL_MakeCurrent(window->sdl, context->sdl) == 0;
}

bool deleteContext(GLContext* context)
{
    if (!isLive(context))
        return false;
    SDL_GL_DeleteContext(context->sdl);
    g_contexts.erase(std::find(g_contexts.begin(), g_contexts.end(), context));
    delete context;
    return true;
}

// ---- Clocks

bool queryPerformanceFrequency(int64_t* frequency)
{
    *frequency = int64_t(SDL_GetPerformanceFrequency());
    return *frequency > 0;
}

bool queryPerformanceCounter(int64_t* count)
{
    *count = int64_t(SDL_GetPerformanceCounter());
    return true;
}

uint32_t timeGetTime()
{
    return SDL_GetTicks();
}

}  // namespace sys

// ---- Window and rendering context

void showCursor(bool show)
{
    if (videoUp())
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void showWindow(Window* window)
{
    if (!isLive(window))
        return;
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
}

void swapBuffers(DeviceContext* dc)
{
    if (Window* window = windowOf(dc))
        SDL_GL_SwapWindow(window->sdl);
}

const char* videoDriver()
{
    const char* driver = videoUp() ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver ? driver : "";
}

// ---- Message pump

bool peekMessage(Message* out)
{
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        if (!g_queue.empty()) {
            *out = g_queue.front();
            g_queue.pop_front();
            return true;
        }
    }
    if (!videoUp())
        return false;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        if (translateEvent(e, out))
            return true;
    return false;
}

void translateMessage(const Message&) {}

intptr_t dispatchMessage(const Message& message)
{
    if (g_classes.empty() || !g_classes.back().proc)
        return 0;
    const WindowClass& c = g_classes.back();
    return c.proc(c.user, message.message, message.wParam, message.lParam);
}

namespace sys {

intptr_t defWindowProc(unsigned message, uintptr_t wParam, intptr_t)
{
    // The low four bits of a system command are used by the system itself.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        postMessage({WM_CLOSE, 0, 0});
    return 0;
}

}  // namespace sys

void postQuitMessage(int exitCode)
{
    postMessage({WM_QUIT, uintptr_t(intptr_t(exitCode)), 0});
}

void postMessage(const Message& message)
{
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back(message);
}

// ---- Command line

std::string commandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

// ---- Files and modules

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer, size_t(n));
}

std::string tempPath()
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

void* loadLibrary(const char* path)
{
    if (!path)
        return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* getProcAddress(void* module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return dlsym(module, undecorateName(name).c_str());
}

bool freeLibrary(void* module)
{
    return module && dlclose(module) == 0;
}

}  // namespace platform
