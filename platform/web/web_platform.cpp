// Web implementation of platform.h, for the player compiled to WebAssembly
// and run in a page (build/web/demoplayer.html).
//
// Implements: the window as the page's canvas at the demo's size (the page
// scales it down to fit, aspect kept; a fullscreen window becomes a
// fullscreen button, since a page may only go fullscreen on a click); the
// rendering context as WebGL 2 under Emscripten's legacy GL emulation; the
// message pump from the page's key events (key codes are the virtual-key
// codes) and its close request; message boxes that never block: a panel in
// the page and one console line "CAPTION: text", answered at once (Yes for a
// Yes/No box); the counter as performance.now() in microseconds; the
// temporary directory and the player's own executable in the in-memory file
// system ("/demo" holds the bytes the page was given). Pacing: the frame
// loop runs as it is under Asyncify; its wait sleeps until just before its
// period is over (the page gets its turn and shows the frame meanwhile), and
// an unpaced loop waits for the browser's next paint at every presented
// frame (a timer turn while the page is hidden), so the page stays
// responsive and no core spins. A key tapped within one frame is held down
// until the next pump, so that the loop's key check sees it. Every play
// starts as in a fresh page: a new canvas gets a new context, and the GL
// supplement's and the emulation's kept state start over with it.
//
// Libraries: the page cannot load the one a demo carries; a whole library
// (for Linux or Windows) loads the one built into the page (provideLibrary:
// the sound library on Web Audio), anything else loads nothing, and the
// demo plays silently as on the other systems.
//
// Lacks: display modes (the page's fullscreen is the only one); window
// resizing (the canvas keeps the demo's size; CSS scales it).
//
// The test hooks, the forced failure of window steps and the message box
// defaults are the shared core's (platform_core.cpp); this file holds the
// system calls only (system.h); the temporary files are posix_files.cpp's.
//
// Depends on: Emscripten (Asyncify, the in-memory file system, Browser and
// GL of its JavaScript library) and the page, which provides Module.page:
// message(caption, text), createCanvas(width, height, fullscreen),
// takeEvent(), showCursor(show) and hidden().
#include "platform/web/web_platform.h"
#include "platform/system.h"
#include "platform/web/library_image.h"

#include <emscripten.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

// ---- The page and the browser (JavaScript side)

EM_JS(void, web_message, (const char* caption, const char* text), {
    // Messages are Latin-1 bytes.
    function latin1(p)
    {
        var s = "";
        for (; HEAPU8[p]; ++p)
            s += String.fromCharCode(HEAPU8[p]);
        return s;
    }
    Module.page.message(latin1(caption), latin1(text));
});

EM_JS(void, web_create_canvas, (int width, int height, int fullscreen),
      { Module.page.createCanvas(width, height, !!fullscreen); });

EM_JS(int, web_create_context, (), {
    // The emulation sets its fixed-function state up once per page, not per
    // context: back to a desktop GL's defaults, so that a play starts as
    // in a fresh page.
    var E = GLEmulation;
    GLImmediate.currentRenderer = null;
    GLImmediate.lastRenderer = null;
    E.fogStart = 0;
    E.fogEnd = 1;
    E.fogDensity = 1;
    E.fogMode = 0x800;
    E.fogEnabled = false;
    if (E.fogColor)
        E.fogColor.fill(0);
    E.clipPlaneEnabled.fill(false);
    E.clipPlaneEquation.forEach(function(p) { p.fill(0); });
    E.lightingEnabled = false;
    E.lightModelLocalViewer = false;
    E.lightModelTwoSide = false;
    E.lightEnabled.fill(false);
    E.alphaTestEnabled = false;
    E.alphaTestFunc = 0x207;
    E.alphaTestRef = 0;
    E.pointSize = 1;
    E.vaos = [];
    E.currentVao = null;
    E.enabledVertexAttribArrays = {};
    if (E.lightModelAmbient) {
        E.lightModelAmbient.set([ 0.2, 0.2, 0.2, 1 ]);
        E.materialAmbient.set([ 0.2, 0.2, 0.2, 1 ]);
        E.materialDiffuse.set([ 0.8, 0.8, 0.8, 1 ]);
        E.materialSpecular.set([ 0, 0, 0, 1 ]);
        E.materialShininess.set([0]);
        E.materialEmission.set([ 0, 0, 0, 1 ]);
        for (var i = 0; i < E.MAX_LIGHTS; ++i) {
            E.lightAmbient[i].set([ 0, 0, 0, 1 ]);
            E.lightDiffuse[i].set(i ? [ 0, 0, 0, 1 ] : [ 1, 1, 1, 1 ]);
            E.lightSpecular[i].set(i ? [ 0, 0, 0, 1 ] : [ 1, 1, 1, 1 ]);
            E.lightPosition[i].set([ 0, 0, 1, 0 ]);
        }
    }
    // Browser.createContext would hand back the last play's context (bound
    // to the canvas that play left) while Module.ctx is set: that context is
    // let go, and the new canvas gets its own.
    if (GL.currentContext)
        GL.deleteContext(GL.currentContext.handle);
    Module.ctx = null;
    // Browser.createContext also starts the GL emulation on the context.
    var ctx = Browser.createContext(Module.canvas, true, true, {
        antialias : false,
        alpha : false,
        depth : true,
        stencil : false,
        preserveDrawingBuffer : true,
        majorVersion : 2,
        minorVersion : 0
    });
    return ctx ? 1 : 0;
});

// Frames drawn only to reach a later one go to a 1 x 1 framebuffer of the
// play's context (colour and depth, as the canvas has them): every GL call
// and state is the same, and the rasteriser has one pixel to fill, while the
// canvas keeps what it shows.
EM_JS(void, web_draw_unseen, (int unseen), {
    var gl = GLctx;
    if (!gl)
        return;
    if (!unseen) {
        gl.bindFramebuffer(gl.FRAMEBUFFER, null);
        return;
    }
    if (!gl.unseenFramebuffer) {
        var framebuffer = gl.createFramebuffer();
        gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
        [[gl.RGBA8, gl.COLOR_ATTACHMENT0], [gl.DEPTH_COMPONENT24, gl.DEPTH_ATTACHMENT]].forEach(function(kind) {
            var buffer = gl.createRenderbuffer();
            gl.bindRenderbuffer(gl.RENDERBUFFER, buffer);
            gl.renderbufferStorage(gl.RENDERBUFFER, kind[0], 1, 1);
            gl.framebufferRenderbuffer(gl.FRAMEBUFFER, kind[1], gl.RENDERBUFFER, buffer);
        });
        gl.bindRenderbuffer(gl.RENDERBUFFER, null);
        gl.unseenFramebuffer = framebuffer;
    }
    gl.bindFramebuffer(gl.FRAMEBUFFER, gl.unseenFramebuffer);
});

EM_JS(int, web_take_event, (), { return Module.page.takeEvent(); });

EM_JS(void, web_show_cursor, (int show), { Module.page.showCursor(!!show); });

// The page's clock: performance.now() without the time it was held (frames
// stepped unseen) or paused (the page's pause key), so that the frame loop
// and the music both take up where they stopped. Made anew for every play.
EM_JS(void, web_install_clock, (), {
    Module.clock = {
        held : 0,
        paused : false,
        since : 0,
        lost : 0,
        frozen : function() { return this.held > 0 || this.paused; },
        now : function() { return (this.frozen() ? this.since : performance.now()) - this.lost; },
        stop : function() {
            if (!this.frozen())
                this.since = performance.now();
        },
        go : function() {
            if (!this.frozen())
                this.lost += performance.now() - this.since;
        },
        hold : function() {
            this.stop();
            ++this.held;
        },
        release : function() {
            if (this.held > 0) {
                --this.held;
                this.go();
            }
        },
        pause : function(on) {
            if (!on === !this.paused)
                return;
            if (on)
                this.stop();
            this.paused = !!on;
            if (!on)
                this.go();
        }
    };
});

EM_JS(double, web_now, (), { return Module.clock.now(); });
// The time that passes whatever the page's clock does: the page's turns
// are due by it, held clock or not.
EM_JS(double, web_real_now, (), { return performance.now(); });

EM_JS(int, web_paused, (), { return Module.clock.paused ? 1 : 0; });

EM_JS(void, web_hold_clock, (int hold), {
    if (hold)
        Module.clock.hold();
    else
        Module.clock.release();
});

// Resolves at the next paint, or after one timer turn while the page is
// hidden (hidden pages get no paints).
EM_ASYNC_JS(void, web_wait_for_paint, (), {
    await new Promise(function(resolve) {
        if (Module.page.hidden())
            setTimeout(resolve, 0);
        else
            requestAnimationFrame(function() { resolve(); });
    });
});

namespace platform {

struct DeviceContext {
    Window* window;
};

struct Window {
    std::string className;
    DeviceContext dc{this};
};

struct GLContext {
    Window* window = nullptr;
};

namespace {

// Page events, as takeEvent packs them: kind << 16 | virtual-key code.
constexpr int kEventKeyDown = 1;
constexpr int kEventKeyUp = 2;
constexpr int kEventClose = 3;

// How long before the end of a period the loop's wait stops sleeping and
// polls: timers wake late, more so on a busy machine, so the margin follows
// the lateness seen lately (a late wake would make every later frame late).
constexpr double kLeastMargin = 1.0;
constexpr double kMostMargin = 12.0;
// Shorter sleeps are not worth a timer.
constexpr double kShortestSleep = 2.0;
// Without presenting, the page still gets a turn this often (milliseconds).
constexpr double kTurnInterval = 30.0;

struct WindowClass {
    std::string name;
    WindowProc proc = nullptr;
    void* user = nullptr;
};

std::vector<WindowClass> g_classes;
std::vector<Window*> g_windows;
std::vector<GLContext*> g_contexts;
bool g_haveMode = false;
bool g_contextMade = false;  // WebGL gives one context per canvas
std::deque<Message> g_queue;
// A key released in the same pump as it went down stays down until the next
// pump, so that the frame loop's key check sees a quick tap (a page gets
// both events of a tap together). A pump ends at the next counter read or
// presented frame.
unsigned g_pumpNumber = 0, g_peekedPump = ~0u;
std::vector<int> g_downThisPump;
std::deque<int> g_heldEvents;

// Pacing: the first counter read after the pump is the frame's start; reads
// after the frame is presented are the loop's wait.
double g_period = 0;
bool g_presenting = true;
bool g_pumped = false;
bool g_presented = false;
double g_frameStart = 0;
double g_lastTurn = 0;
double g_lateness = 0;  // how late sleeps woke lately, decaying
const web::BuiltInLibrary* g_library = nullptr;
bool g_libraryLoaded = false;

double wakeMargin()
{
    return std::min(kMostMargin, kLeastMargin + g_lateness);
}

// Sleeps until `until` (a performance.now() time), learning how late it woke.
void sleepUntil(double until, double now)
{
    emscripten_sleep(unsigned(until - now));
    const double late = web_now() - until;
    g_lateness = std::max(late > 0 ? late : 0.0, g_lateness * 0.9);
}

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

bool translateEvent(int event, Message* out)
{
    const int kind = event >> 16, vk = event & 0xFF;
    switch (kind) {
    case kEventKeyDown:
        *out = {WM_KEYDOWN, uintptr_t(vk), 1};
        return vk != 0;
    case kEventKeyUp:
        *out = {WM_KEYUP, uintptr_t(vk), 1 | (intptr_t(3) << 30)};
        return vk != 0;
    case kEventClose:
        *out = {WM_CLOSE, 0, 0};
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---- Front end's settings

namespace web {

void setFramePeriod(double milliseconds)
{
    g_period = milliseconds > 0 ? milliseconds : 0;
}
void setPresenting(bool presenting)
{
    g_presenting = presenting;
}
double frameStart()
{
    return g_frameStart;
}

void startPlay()
{
    web_install_clock();
    // What a play broken off inside (an abort) left behind is dropped, not
    // freed: its objects may be half made.
    g_classes.clear();
    // Except the built-in library, which a broken-off play leaves loaded
    // with its music going: it is unloaded, and loads afresh.
    if (g_libraryLoaded) {
        g_libraryLoaded = false;
        g_library->unload();
    }
    g_windows.clear();
    g_contexts.clear();
    g_queue.clear();
    g_heldEvents.clear();
    g_downThisPump.clear();
    g_haveMode = false;
    g_contextMade = false;
    g_period = 0;
    g_presenting = true;
    g_pumped = g_presented = false;
}

void drawUnseen(bool unseen)
{
    web_draw_unseen(unseen ? 1 : 0);
}

void holdClock(bool hold)
{
    web_hold_clock(hold ? 1 : 0);
}

void takeTurn()
{
    if (web_real_now() - g_lastTurn > kTurnInterval) {
        emscripten_sleep(0);
        g_lastTurn = web_real_now();
    }
}

void settle()
{
    // The first frames a new canvas shows cost the browser most; they are
    // paid before the clock starts.
    for (int i = 0; i < 2; ++i)
        web_wait_for_paint();
    g_lastTurn = web_real_now();
}

}  // namespace web

// ---- Message boxes

int sys::messageBox(const char* text, const char* caption, unsigned type)
{
    web_message(caption, text);
    return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

// ---- Window class, window and rendering context

bool sys::registerWindowClass(const char* className, WindowProc proc, void* user)
{
    if (!className || findClass(className))
        return false;
    g_classes.push_back({className, proc, user});
    return true;
}

bool sys::unregisterWindowClass(const char* className)
{
    WindowClass* c = findClass(className);
    if (!c)
        return false;
    g_classes.erase(g_classes.begin() + (c - g_classes.data()));
    return true;
}

bool sys::changeDisplayMode(int width, int height, int)
{
    // The page offers fullscreen at any size; the canvas keeps the demo's.
    g_haveMode = width > 0 && height > 0;
    return g_haveMode;
}

void showCursor(bool show)
{
    web_show_cursor(show);
}

Window* sys::createWindow(const char* className, const char* title, int width, int height, bool popup)
{
    if (!findClass(className))
        return nullptr;
    (void)title;  // the page keeps its own title
    // A fresh canvas for every window: its WebGL context starts clean.
    web_create_canvas(std::max(width, 1), std::max(height, 1), popup && g_haveMode);
    g_contextMade = false;
    auto* window = new Window;
    window->className = className;
    g_windows.push_back(window);
    return window;
}

bool sys::destroyWindow(Window* window)
{
    if (!isLive(window))
        return false;
    // The canvas stays in the page with the last frame on it.
    g_windows.erase(std::find(g_windows.begin(), g_windows.end(), window));
    delete window;
    g_haveMode = false;
    return true;
}

void showWindow(Window*) {}

DeviceContext* sys::getDC(Window* window)
{
    return isLive(window) ? &window->dc : nullptr;
}

int sys::choosePixelFormat(DeviceContext*, const PixelFormatRequest& request)
{
    const uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if ((request.flags & needed) != needed || request.pixelType != PFD_TYPE_RGBA || request.colorBits == 0)
        return 0;
    return 1;
}

bool sys::setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest&)
{
    return format == 1 && windowOf(dc) != nullptr;
}

GLContext* sys::createContext(DeviceContext* dc)
{
    Window* window = windowOf(dc);
    if (!window || g_contextMade)
        return nullptr;
    web::resetGLState();
    if (!web_create_context())
        return nullptr;
    g_contextMade = true;
    auto* context = new GLContext;
    context->window = window;
    g_contexts.push_back(context);
    return context;
}

bool sys::makeCurrent(DeviceContext* dc, GLContext* context)
{
    if (!dc && !context)
        return true;  // one context per canvas: nothing to release
    // One canvas, one context: it is current from its creation on.
    return windowOf(dc) && isLive(context) && context->window == windowOf(dc);
}

bool sys::deleteContext(GLContext* context)
{
    if (!isLive(context))
        return false;
    g_contexts.erase(std::find(g_contexts.begin(), g_contexts.end(), context));
    delete context;
    return true;
}

void swapBuffers(DeviceContext* dc)
{
    if (!windowOf(dc))
        return;
    g_presented = true;
    ++g_pumpNumber;
    // The browser shows the canvas once the page gets its turn. A paced loop
    // gives it one in its wait; without pacing, or with too little of the
    // period left to sleep in, the page gets it here.
    const double now = web_now();
    if (!g_presenting) {
        web::takeTurn();
    } else if (g_period <= 0) {
        web_wait_for_paint();
    } else if (g_frameStart + g_period - now < wakeMargin() + kShortestSleep) {
        emscripten_sleep(0);
    }
}

const char* videoDriver()
{
    return "webgl";
}

// ---- Message pump

bool peekMessage(Message* out)
{
    g_pumped = true;
    g_presented = false;
    if (g_peekedPump != g_pumpNumber) {
        g_peekedPump = g_pumpNumber;
        g_downThisPump.clear();
    }
    if (!g_queue.empty()) {
        *out = g_queue.front();
        g_queue.pop_front();
        return true;
    }
    for (;;) {
        int event;
        if (!g_heldEvents.empty()) {
            event = g_heldEvents.front();
            g_heldEvents.pop_front();
        } else if (!(event = web_take_event())) {
            return false;
        }
        const int kind = event >> 16, vk = event & 0xFF;
        if (kind == kEventKeyUp &&
            std::find(g_downThisPump.begin(), g_downThisPump.end(), vk) != g_downThisPump.end()) {
            // Held, with whatever came after it, for the next pump.
            g_heldEvents.push_front(event);
            return false;
        }
        if (kind == kEventKeyDown)
            g_downThisPump.push_back(vk);
        if (translateEvent(event, out))
            return true;
    }
}

void translateMessage(const Message&) {}

intptr_t dispatchMessage(const Message& message)
{
    if (g_classes.empty() || !g_classes.back().proc)
        return 0;
    const WindowClass& c = g_classes.back();
    return c.proc(c.user, message.message, message.wParam, message.lParam);
}

intptr_t sys::defWindowProc(unsigned message, uintptr_t wParam, intptr_t)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        postMessage({WM_CLOSE, 0, 0});
    return 0;
}

void postQuitMessage(int exitCode)
{
    postMessage({WM_QUIT, uintptr_t(intptr_t(exitCode)), 0});
}

void postMessage(const Message& message)
{
    g_queue.push_back(message);
}

// ---- Clocks

bool sys::queryPerformanceFrequency(int64_t* frequency)
{
    *frequency = 1000000;  // microseconds
    return true;
}

bool sys::queryPerformanceCounter(int64_t* count)
{
    // Paused: the frame loop waits here, its time standing still.
    while (web_paused())
        emscripten_sleep(20);
    double now = web_now();
    ++g_pumpNumber;
    if (g_pumped) {
        g_frameStart = now;
        g_pumped = false;
    } else if (g_presented && g_period > 0) {
        // The loop waits for the period to pass: sleep through most of it.
        const double wake = g_frameStart + g_period - wakeMargin();
        if (wake - now >= kShortestSleep) {
            sleepUntil(wake, now);
            now = web_now();
        }
    }
    *count = int64_t(now * 1000.0);
    return true;
}

uint32_t sys::timeGetTime()
{
    return uint32_t(int64_t(web_now()));
}

// ---- Command line

std::string commandLine(int, char**)
{
    return std::string();
}

// ---- Files and modules

std::string executablePath()
{
    return "/demo";
}

std::string tempPath()
{
    return "/tmp/";
}

// A page cannot run a library's code. What the demo carries is read only to
// know that it is a whole library (for Linux or Windows, as either system's
// loader would take it); the library built into the page stands in for it.
namespace {
// Far more than any sound library; a larger file is no library to load.
constexpr long kLargestLibrary = 64L << 20;
}  // namespace

void web::provideLibrary(const BuiltInLibrary* library)
{
    g_library = library;
}

void* loadLibrary(const char* path)
{
    if (!g_library || g_libraryLoaded || !path)
        return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    std::vector<uint8_t> bytes;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0 && (size = std::ftell(file)) > 0 && size <= kLargestLibrary &&
        std::fseek(file, 0, SEEK_SET) == 0) {
        bytes.resize(size_t(size));
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
            bytes.clear();
    }
    std::fclose(file);
    if (!web::isWholeLibrary(bytes.data(), bytes.size()))
        return nullptr;
    g_libraryLoaded = true;
    return const_cast<web::BuiltInLibrary*>(g_library);
}

void* getProcAddress(void* module, const char* name)
{
    if (!module || module != g_library || !g_libraryLoaded || !name)
        return nullptr;
    return g_library->entry(name);
}

bool freeLibrary(void* module)
{
    if (!module || module != g_library || !g_libraryLoaded)
        return false;
    g_libraryLoaded = false;
    g_library->unload();
    return true;
}

}  // namespace platform
