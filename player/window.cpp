#include "player/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

using namespace platform;

const char* const kWindowClassName = "QDX_WINDOW";

namespace {

// Filled once, on the first window creation.
PixelFormatRequest pixelFormat;
bool pixelFormatFilled = false;

void failBox(const char* text)
{
    messageBox(text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}

void shutdownBox(const char* text)
{
    messageBox(text, "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

bool createGLWindow(WindowState& state, const char* title, int width, int height, int colorBits,
                    bool fullscreen)
{
    if (!pixelFormatFilled) {
        pixelFormat.size = 40;
        pixelFormat.version = 1;
        pixelFormat.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pixelFormat.pixelType = PFD_TYPE_RGBA;
        pixelFormat.colorBits = uint8_t(colorBits);
        pixelFormat.depthBits = 16;
        pixelFormatFilled = true;
    }

    if (!registerWindowClass(kWindowClassName, &windowProcedure, &state)) {
        failBox("Failed To Register The Window Class.");
        return false;
    }
    state.classRegistered = true;

    bool popup = false;
    if (fullscreen) {
        if (changeDisplayMode(width, height, colorBits)) {
            showCursor(false);
            popup = true;
        } else if (messageBox("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                              "IEP!!", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
            messageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
            return false;
        }
    }

    state.window = createWindow(kWindowClassName, title, width, height, popup);
    if (!state.window) {
        killGLWindow(state);
        failBox("Window Creation Error.");
        return false;
    }
    state.dc = getDC(state.window);
    if (!state.dc) {
        killGLWindow(state);
        failBox("Can't Create A GL Device Context.");
        return false;
    }
    int format = choosePixelFormat(state.dc, pixelFormat);
    if (!format) {
        killGLWindow(state);
        failBox("Can't Find A Suitable PixelFormat.");
        return false;
    }
    if (!setPixelFormat(state.dc, format, pixelFormat)) {
        killGLWindow(state);
        failBox("Can't Set The PixelFormat.");
        return false;
    }
    state.context = createContext(state.dc);
    if (!state.context) {
        killGLWindow(state);
        failBox("Can't Create A GL Rendering Context.");
        return false;
    }
    if (!makeCurrent(state.dc, state.context)) {
        // A context that never became current goes with its window.
        deleteContext(state.context);
        state.context = nullptr;
        killGLWindow(state);
        failBox("Can't Activate The GL Rendering Context.");
        return false;
    }
    showWindow(state.window);
    resizeGLScene(width, height);
    return true;
}

void resizeGLScene(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void killGLWindow(WindowState& state)
{
    if (state.window && !destroyWindow(state.window))
        shutdownBox("Could Not Release hWnd.");
    state.window = nullptr;
    state.dc = nullptr;
    // A failed creation has already unregistered the class; shutdown must not
    // report that a second time.
    if (state.classRegistered && !unregisterWindowClass(kWindowClassName))
        shutdownBox("Could Not Unregister Class.");
    state.classRegistered = false;
}

void releaseGLContext(WindowState& state)
{
    if (!state.context)
        return;
    if (!makeCurrent(nullptr, nullptr))
        shutdownBox("Release Of DC And RC Failed.");
    if (!deleteContext(state.context))
        shutdownBox("Release Rendering Context Failed.");
    state.context = nullptr;
}

intptr_t windowProcedure(void* user, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    WindowState& state = *static_cast<WindowState*>(user);
    switch (message) {
    case WM_SIZE:
        resizeGLScene(int(lParam & 0xFFFF), int((lParam >> 16) & 0xFFFF));
        return 0;
    case WM_CLOSE:
        postQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam < 256)
            state.keys[wParam] = 1;
        return 0;
    case WM_KEYUP:
        if (wParam < 256)
            state.keys[wParam] = 0;
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)
            return 0;
        break;
    }
    return defWindowProc(message, wParam, lParam);
}
