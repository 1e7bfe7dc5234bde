// The player's view of the operating system: window and GL context, message
// pump, message boxes, clocks, temporary directory, own executable path and
// module loading. The engine reaches the system only through this header.
// platform_core.cpp implements what every system shares (the test hooks,
// forced step failures) over the system layer's own calls (system.h); the
// SDL2 layer (Linux) is the only code that knows SDL, the Win32 one
// (Windows) the only code that includes windows.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// ---- Window messages (the values and meanings the window procedure expects)
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_KEYUP = 0x0101;
constexpr unsigned WM_SYSCOMMAND = 0x0112;
constexpr uintptr_t SC_CLOSE = 0xF060;
constexpr uintptr_t SC_SCREENSAVE = 0xF140;
constexpr uintptr_t SC_MONITORPOWER = 0xF170;

// Virtual-key codes; letters and digits use their upper-case ASCII values.
constexpr int VK_RETURN = 13;
constexpr int VK_ESCAPE = 27;
constexpr int VK_SPACE = 32;

struct Message {
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

using WindowProc = intptr_t (*)(void* user, unsigned message, uintptr_t wParam, intptr_t lParam);

// ---- Message boxes
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Modal box without owner. On Linux with no display it writes
// "CAPTION: text" on stderr and answers at once (Yes for a Yes/No box).
int messageBox(const char* text, const char* caption, unsigned type);

// ---- Window class, window and rendering context
struct Window;
struct DeviceContext;
struct GLContext;

constexpr uint32_t PFD_DOUBLEBUFFER = 0x1;
constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x4;
constexpr uint32_t PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0;

struct PixelFormatRequest {
    uint16_t size = 0;
    uint16_t version = 0;
    uint32_t flags = 0;
    uint8_t pixelType = 0;
    uint8_t colorBits = 0;
    uint8_t depthBits = 0;
};

// Starts the video system (falling back to the offscreen driver when there is
// no display, and saying so) and records the window procedure of the class.
bool registerWindowClass(const char* className, WindowProc proc, void* user);
bool unregisterWindowClass(const char* className);
// Temporary fullscreen mode of the given size; false when the display has none.
bool changeDisplayMode(int width, int height, int bitsPerPixel);
void showCursor(bool show);
// width and height are the client size; popup means a borderless fullscreen window.
Window* createWindow(const char* className, const char* title, int width, int height, bool popup);
bool destroyWindow(Window* window);
// Shows the window and gives it the foreground and the keyboard focus.
void showWindow(Window* window);

DeviceContext* getDC(Window* window);
// Returns a format index (1 and up), or 0 when nothing matches the request.
int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request);
bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request);
GLContext* createContext(DeviceContext* dc);
// makeCurrent(nullptr, nullptr) releases the current context.
bool makeCurrent(DeviceContext* dc, GLContext* context);
bool deleteContext(GLContext* context);
void swapBuffers(DeviceContext* dc);

// Name of the video driver in use ("x11", "wayland", "offscreen", ...), or "".
const char* videoDriver();

// ---- Message pump
// Takes the next waiting message (polling the system first); false if none.
bool peekMessage(Message* out);
void translateMessage(const Message& message);
intptr_t dispatchMessage(const Message& message);
intptr_t defWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
void postQuitMessage(int exitCode);
// Puts a message at the end of the queue, as the system does for input.
void postMessage(const Message& message);

// ---- Clocks
bool queryPerformanceFrequency(int64_t* frequency);
bool queryPerformanceCounter(int64_t* count);
uint32_t timeGetTime();

// ---- Command line
// What follows the program's name, as the system's entry point receives it:
// on Linux the arguments joined by single spaces, on Windows the raw text
// after the program name and the blanks behind it.
std::string commandLine(int argc, char** argv);

// ---- Files and modules
std::string executablePath();
// The temporary directory, ending with the separator ('/' on Linux, '\\' on
// Windows).
std::string tempPath();
bool deleteFile(const char* path);
// Creates a file that does not exist yet (never through a link) and opens it
// for binary reading and writing; null when something is there already or
// the file cannot be made.
std::FILE* createNewFile(const char* path);
// A new directory inside the temporary directory that only this user may
// enter, with a name no other process has; ends with '/'. "" when it cannot
// be made.
std::string createPrivateDirectory();
// Removes such a directory together with the files left in it.
bool removePrivateDirectory(const char* path);
// Decorated names such as "_FSOUND_Init@12" are looked up undecorated in a
// Linux shared object, and as given in a Windows DLL.
void* loadLibrary(const char* path);
void* getProcAddress(void* module, const char* name);
bool freeLibrary(void* module);
// Inline, so that only what looks names up undecorated carries it.
inline std::string undecorateName(const char* name)
{
    if (!name)
        return std::string();
    std::string s = name;
    // stdcall decoration: "_Name@<argument bytes>". Digits are compared as
    // characters, not through the C library's locale-dependent isdigit.
    const size_t at = s.rfind('@');
    if (at != std::string::npos && at + 1 < s.size()) {
        bool digits = true;
        for (size_t i = at + 1; i < s.size(); ++i)
            if (s[i] < '0' || s[i] > '9')
                digits = false;
        if (digits)
            s.erase(at);
    }
    if (!s.empty() && s[0] == '_')
        s.erase(0, 1);
    return s;
}

// ---- Test seam
// When installed, message boxes, clocks and the window steps go through these
// hooks instead of the system. Only tests install them (see test_double.h).
class Hooks {
public:
    virtual ~Hooks() = default;
    virtual int messageBox(const char* text, const char* caption, unsigned type) = 0;
    virtual bool queryPerformanceFrequency(int64_t* frequency) = 0;
    virtual bool queryPerformanceCounter(int64_t* count) = 0;
    virtual uint32_t timeGetTime() = 0;
    // Name of a window step ("registerWindowClass", "changeDisplayMode",
    // "createWindow", "getDC", "choosePixelFormat", "setPixelFormat",
    // "createContext", "makeCurrent", "destroyWindow",
    // "unregisterWindowClass", "deleteContext", "releaseContext"): true makes
    // that step fail.
    virtual bool failStep(const char* step) = 0;
    // Told of every message handed to the system's default handling.
    virtual void defaultHandled(unsigned message, uintptr_t wParam) { (void)message, (void)wParam; }
};
void installHooks(Hooks* hooks);
Hooks* installedHooks();

}  // namespace platform
