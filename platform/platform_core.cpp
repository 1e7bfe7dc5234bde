// What every system layer shares: the test hooks take over message boxes and
// clocks and can fail any window step before the system is asked; the rest
// goes to the layer's sys:: functions (system.h).
#include "platform/system.h"

namespace platform {

namespace {

Hooks* g_hooks = nullptr;

bool stepFails(const char* step)
{
    return g_hooks && g_hooks->failStep(step);
}

}  // namespace

// ---- Message boxes

int messageBox(const char* text, const char* caption, unsigned type)
{
    if (!text)
        text = "";
    if (!caption)
        caption = "Error";  // what Windows shows for a null caption
    if (g_hooks)
        return g_hooks->messageBox(text, caption, type);
    return sys::messageBox(text, caption, type);
}

// ---- Window class, window and rendering context

bool registerWindowClass(const char* className, WindowProc proc, void* user)
{
    if (stepFails("registerWindowClass"))
        return false;
    return sys::registerWindowClass(className, proc, user);
}

bool unregisterWindowClass(const char* className)
{
    if (stepFails("unregisterWindowClass"))
        return false;
    return sys::unregisterWindowClass(className);
}

bool changeDisplayMode(int width, int height, int bitsPerPixel)
{
    if (stepFails("changeDisplayMode"))
        return false;
    return sys::changeDisplayMode(width, height, bitsPerPixel);
}

Window* createWindow(const char* className, const char* title, int width, int height, bool popup)
{
    if (stepFails("createWindow"))
        return nullptr;
    return sys::createWindow(className, title, width, height, popup);
}

bool destroyWindow(Window* window)
{
    if (stepFails("destroyWindow"))
        return false;
    return sys::destroyWindow(window);
}

DeviceContext* getDC(Window* window)
{
    if (stepFails("getDC"))
        return nullptr;
    return sys::getDC(window);
}

int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request)
{
    if (stepFails("choosePixelFormat"))
        return 0;
    return sys::choosePixelFormat(dc, request);
}

bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request)
{
    if (stepFails("setPixelFormat"))
        return false;
    return sys::setPixelFormat(dc, format, request);
}

GLContext* createContext(DeviceContext* dc)
{
    if (stepFails("createContext"))
        return nullptr;
    return sys::createContext(dc);
}

bool makeCurrent(DeviceContext* dc, GLContext* context)
{
    // Releasing is a step of its own: the player releases before it deletes.
    if (stepFails(!dc && !context ? "releaseContext" : "makeCurrent"))
        return false;
    return sys::makeCurrent(dc, context);
}

bool deleteContext(GLContext* context)
{
    if (stepFails("deleteContext"))
        return false;
    return sys::deleteContext(context);
}

// ---- Message pump

intptr_t defWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    // Tests see what reaches the system's default handling.
    if (g_hooks)
        g_hooks->defaultHandled(message, wParam);
    return sys::defWindowProc(message, wParam, lParam);
}

// ---- Clocks

bool queryPerformanceFrequency(int64_t* frequency)
{
    if (g_hooks)
        return g_hooks->queryPerformanceFrequency(frequency);
    return sys::queryPerformanceFrequency(frequency);
}

bool queryPerformanceCounter(int64_t* count)
{
    if (g_hooks)
        return g_hooks->queryPerformanceCounter(count);
    return sys::queryPerformanceCounter(count);
}

uint32_t timeGetTime()
{
    if (g_hooks)
        return g_hooks->timeGetTime();
    return sys::timeGetTime();
}

// ---- Test seam

void installHooks(Hooks* hooks)
{
    g_hooks = hooks;
}
Hooks* installedHooks()
{
    return g_hooks;
}

}  // namespace platform
