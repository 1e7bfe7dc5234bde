// The player's one window with its OpenGL rendering context.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct WindowState {
    bool classRegistered = false;  // stands for the instance handle
    platform::Window* window = nullptr;
    platform::DeviceContext* dc = nullptr;
    platform::GLContext* context = nullptr;
    uint8_t keys[256] = {};  // 1 while the key with that virtual-key code is down
};

extern const char* const kWindowClassName;

// Creates the window and makes its rendering context current; on failure
// shows the step's message, tears down what was made and returns false.
bool createGLWindow(WindowState& state, const char* title, int width, int height, int colorBits,
                    bool fullscreen);
// Viewport and a 45-degree perspective projection for the client size.
void resizeGLScene(int width, int height);
// Destroys the window and unregisters the class.
void killGLWindow(WindowState& state);
// Releases and deletes the rendering context, reporting failures.
void releaseGLContext(WindowState& state);
intptr_t windowProcedure(void* user, unsigned message, uintptr_t wParam, intptr_t lParam);
