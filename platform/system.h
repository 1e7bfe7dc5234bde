// The seam between the shared core (platform_core.cpp) and a system layer.
// The core defines the entry points of platform.h that every system treats
// alike: the test hooks, the forced failure of window steps and the defaults
// of a message box (name undecoration, shared too, is inline in platform.h).
// For the system's own part it calls the functions below. A system layer
// defines these and every function of platform.h the core does not:
// showCursor, showWindow, swapBuffers, videoDriver, the message pump,
// commandLine and the files and modules.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {
namespace sys {

// Never given a null text or caption.
int messageBox(const char* text, const char* caption, unsigned type);

bool registerWindowClass(const char* className, WindowProc proc, void* user);
bool unregisterWindowClass(const char* className);
bool changeDisplayMode(int width, int height, int bitsPerPixel);
Window* createWindow(const char* className, const char* title, int width, int height, bool popup);
bool destroyWindow(Window* window);
DeviceContext* getDC(Window* window);
int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request);
bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request);
GLContext* createContext(DeviceContext* dc);
// makeCurrent(nullptr, nullptr) releases the current context.
bool makeCurrent(DeviceContext* dc, GLContext* context);
bool deleteContext(GLContext* context);

// The system's default handling of a window message.
intptr_t defWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);

bool queryPerformanceFrequency(int64_t* frequency);
bool queryPerformanceCounter(int64_t* count);
uint32_t timeGetTime();

}  // namespace sys
}  // namespace platform
