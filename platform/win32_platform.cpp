// Win32 system layer (Windows), behind the shared core (platform_core.cpp).
// Implements: the player's window class, window, pixel format, WGL context,
// message queue, display mode, timers, files and modules with the system's
// own calls, one for one. Handles are handed out as the opaque platform
// types, so a stale handle is refused by the system rather than by
// bookkeeping here.
// Lacks: undecorated lookup (a Windows library exports the decorated names);
// videoDriver is always "windows".
// Depends on: kernel32, user32, gdi32, opengl32, winmm and msvcrt, DLLs every
// Windows has.
#include "platform/system.h"

// The platform header's constants, taken before windows.h turns the same
// names into macros, so that their values can be checked against the system's.
namespace {
namespace wanted {
constexpr unsigned wmSize = platform::WM_SIZE, wmClose = platform::WM_CLOSE, wmQuit = platform::WM_QUIT,
                   wmKeyDown = platform::WM_KEYDOWN, wmKeyUp = platform::WM_KEYUP,
                   wmSysCommand = platform::WM_SYSCOMMAND;
constexpr uintptr_t scClose = platform::SC_CLOSE, scScreenSave = platform::SC_SCREENSAVE,
                    scMonitorPower = platform::SC_MONITORPOWER;
constexpr int vkReturn = platform::VK_RETURN, vkEscape = platform::VK_ESCAPE, vkSpace = platform::VK_SPACE;
constexpr unsigned mbOk = platform::MB_OK, mbYesNo = platform::MB_YESNO, mbIconStop = platform::MB_ICONSTOP,
                   mbIconExclamation = platform::MB_ICONEXCLAMATION, mbIconInformation = platform::MB_ICONINFORMATION;
constexpr int idOk = platform::IDOK, idYes = platform::IDYES, idNo = platform::IDNO;
constexpr uint32_t pfdDoubleBuffer = platform::PFD_DOUBLEBUFFER, pfdDrawToWindow = platform::PFD_DRAW_TO_WINDOW,
                   pfdSupportOpenGL = platform::PFD_SUPPORT_OPENGL;
constexpr uint8_t pfdTypeRgba = platform::PFD_TYPE_RGBA;
}  // namespace wanted
}  // namespace

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <mmsystem.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstring>

static_assert(wanted::wmSize == WM_SIZE && wanted::wmClose == WM_CLOSE && wanted::wmQuit == WM_QUIT &&
                  wanted::wmKeyDown == WM_KEYDOWN && wanted::wmKeyUp == WM_KEYUP &&
                  wanted::wmSysCommand == WM_SYSCOMMAND,
              "window messages are the system's");
static_assert(wanted::scClose == SC_CLOSE && wanted::scScreenSave == SC_SCREENSAVE &&
                  wanted::scMonitorPower == SC_MONITORPOWER,
              "system commands are the system's");
static_assert(wanted::vkReturn == VK_RETURN && wanted::vkEscape == VK_ESCAPE && wanted::vkSpace == VK_SPACE,
              "virtual keys are the system's");
static_assert(wanted::mbOk == MB_OK && wanted::mbYesNo == MB_YESNO && wanted::mbIconStop == MB_ICONSTOP &&
                  wanted::mbIconExclamation == MB_ICONEXCLAMATION && wanted::mbIconInformation == MB_ICONINFORMATION &&
                  wanted::idOk == IDOK && wanted::idYes == IDYES && wanted::idNo == IDNO,
              "message box types and answers are the system's");
static_assert(wanted::pfdDoubleBuffer == PFD_DOUBLEBUFFER && wanted::pfdDrawToWindow == PFD_DRAW_TO_WINDOW &&
                  wanted::pfdSupportOpenGL == PFD_SUPPORT_OPENGL && wanted::pfdTypeRgba == PFD_TYPE_RGBA,
              "pixel format flags are the system's");

namespace platform {

namespace {

struct WindowClass {
    char name[64];
    ATOM atom;
    WindowProc proc;
    void* user;
};

// A handful at most; registration order matters for messages without a window.
constexpr int kMaxClasses = 8;
WindowClass g_classes[kMaxClasses];
int g_classCount = 0;

// The window of the message being handled, for defWindowProc, which the
// player calls without one.
HWND g_currentWindow = nullptr;
// The last window created and still alive, for messages posted without one.
HWND g_lastWindow = nullptr;
// The message peekMessage returned last, with the fields a Message drops.
MSG g_lastPeeked{};

HINSTANCE instance()
{
    return GetModuleHandleA(nullptr);
}

WindowClass* findClass(const char* name)
{
    if (!name)
        return nullptr;
    for (int i = 0; i < g_classCount; ++i)
        if (std::strcmp(g_classes[i].name, name) == 0)
            return &g_classes[i];
    return nullptr;
}

WindowClass* classOf(HWND window)
{
    const ATOM atom = ATOM(GetClassLongPtrA(window, GCW_ATOM));
    for (int i = 0; i < g_classCount; ++i)
        if (g_classes[i].atom == atom)
            return &g_classes[i];
    return nullptr;
}

// The class procedure every window of ours shares; it hands each message to
// the procedure its class was registered with.
LRESULT CALLBACK systemWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowClass* c = classOf(window);
    if (!c || !c->proc)
        return DefWindowProcA(window, message, wParam, lParam);
    const HWND outer = g_currentWindow;
    g_currentWindow = window;
    const LRESULT result = LRESULT(c->proc(c->user, message, wParam, lParam));
    g_currentWindow = outer;
    return result;
}

// Crisp on a scaled display: the window's pixels are the screen's. Done
// at start-up, before any window or box exists.
struct DpiAwareness {
    DpiAwareness() { SetProcessDPIAware(); }
} const g_dpiAwareness;

HWND hwndOf(Window* window)
{
    return reinterpret_cast<HWND>(window);
}
HDC hdcOf(DeviceContext* dc)
{
    return reinterpret_cast<HDC>(dc);
}
HGLRC hglrcOf(GLContext* context)
{
    return reinterpret_cast<HGLRC>(context);
}

PIXELFORMATDESCRIPTOR descriptorOf(const PixelFormatRequest& request)
{
    PIXELFORMATDESCRIPTOR pfd;
    std::memset(&pfd, 0, sizeof pfd);
    pfd.nSize = request.size;
    pfd.nVersion = request.version;
    pfd.dwFlags = request.flags;
    pfd.iPixelType = request.pixelType;
    pfd.cColorBits = request.colorBits;
    pfd.cDepthBits = request.depthBits;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

}  // namespace

namespace sys {

// ---- Message boxes

int messageBox(const char* text, const char* caption, unsigned type)
{
    return MessageBoxA(nullptr, text, caption, type);
}

// ---- Window class, window and rendering context

bool registerWindowClass(const char* className, WindowProc proc, void* user)
{
    if (!className || findClass(className) || g_classCount == kMaxClasses ||
        std::strlen(className) >= sizeof g_classes[0].name)
        return false;
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = systemWindowProc;
    wc.hInstance = instance();
    wc.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    const ATOM atom = RegisterClassA(&wc);
    if (!atom)
        return false;
    WindowClass& c = g_classes[g_classCount++];
    std::strcpy(c.name, className);
    c.atom = atom;
    c.proc = proc;
    c.user = user;
    return true;
}

bool unregisterWindowClass(const char* className)
{
    WindowClass* c = findClass(className);
    if (!c || !UnregisterClassA(className, instance()))
        return false;
    // The later ones move up one place, keeping their order.
    --g_classCount;
    std::memmove(c, c + 1, size_t(g_classes + g_classCount - c) * sizeof *c);
    return true;
}

bool changeDisplayMode(int width, int height, int bitsPerPixel)
{
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    // The record as the classic headers declare it, without the panning fields.
    mode.dmSize = 148;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmBitsPerPel = DWORD(bitsPerPixel);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

Window* createWindow(const char* className, const char* title, int width, int height, bool popup)
{
    RECT rect = {0, 0, width, height};
    const DWORD exStyle = popup ? WS_EX_APPWINDOW : WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    const DWORD style = popup ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    HWND window = CreateWindowExA(exStyle, className, title ? title : "", style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                  0, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance(),
                                  nullptr);
    if (window)
        g_lastWindow = window;
    return reinterpret_cast<Window*>(window);
}

bool destroyWindow(Window* window)
{
    if (!window || !DestroyWindow(hwndOf(window)))
        return false;
    if (hwndOf(window) == g_lastWindow)
        g_lastWindow = nullptr;
    if (hwndOf(window) == g_lastPeeked.hwnd)
        g_lastPeeked = MSG{};
    return true;
}

DeviceContext* getDC(Window* window)
{
    if (!window)
        return nullptr;
    return reinterpret_cast<DeviceContext*>(GetDC(hwndOf(window)));
}

int choosePixelFormat(DeviceContext* dc, const PixelFormatRequest& request)
{
    if (!dc)
        return 0;
    const PIXELFORMATDESCRIPTOR pfd = descriptorOf(request);
    return ChoosePixelFormat(hdcOf(dc), &pfd);
}

bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatRequest& request)
{
    if (!dc)
        return false;
    const PIXELFORMATDESCRIPTOR pfd = descriptorOf(request);
    return SetPixelFormat(hdcOf(dc), format, &pfd) != FALSE;
}

GLContext* createContext(DeviceContext* dc)
{
    if (!dc)
        return nullptr;
    return reinterpret_cast<GLContext*>(wglCreateContext(hdcOf(dc)));
}

bool makeCurrent(DeviceContext* dc, GLContext* context)
{
    // Both null releases; one of them alone is refused.
    if (!dc != !context)
        return false;
    return wglMakeCurrent(hdcOf(dc), hglrcOf(context)) != FALSE;
}

bool deleteContext(GLContext* context)
{
    return context && wglDeleteContext(hglrcOf(context)) != FALSE;
}

// ---- Clocks

bool queryPerformanceFrequency(int64_t* frequency)
{
    LARGE_INTEGER f;
    const bool ok = QueryPerformanceFrequency(&f) != FALSE;
    *frequency = ok ? int64_t(f.QuadPart) : 0;
    return ok && *frequency > 0;
}

bool queryPerformanceCounter(int64_t* count)
{
    LARGE_INTEGER c;
    const bool ok = QueryPerformanceCounter(&c) != FALSE;
    *count = ok ? int64_t(c.QuadPart) : 0;
    return ok;
}

uint32_t timeGetTime()
{
    return uint32_t(::timeGetTime());
}

}  // namespace sys

// ---- Window and rendering context

void showCursor(bool show)
{
    ShowCursor(show ? TRUE : FALSE);
}

void showWindow(Window* window)
{
    HWND hwnd = hwndOf(window);
    if (!hwnd)
        return;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
}

void swapBuffers(DeviceContext* dc)
{
    if (dc)
        SwapBuffers(hdcOf(dc));
}

const char* videoDriver()
{
    return "windows";
}

// ---- Message pump

bool peekMessage(Message* out)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    g_lastPeeked = msg;
    out->message = msg.message;
    out->wParam = msg.wParam;
    out->lParam = msg.lParam;
    return true;
}

namespace {

// The full system message behind a Message: the one just peeked, or a new
// one for the last window when the caller made it up.
MSG systemMessage(const Message& message)
{
    if (g_lastPeeked.message == message.message && g_lastPeeked.wParam == message.wParam &&
        g_lastPeeked.lParam == message.lParam)
        return g_lastPeeked;
    MSG msg;
    std::memset(&msg, 0, sizeof msg);
    msg.hwnd = g_lastWindow;
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    return msg;
}

}  // namespace

void translateMessage(const Message& message)
{
    const MSG msg = systemMessage(message);
    TranslateMessage(&msg);
}

intptr_t dispatchMessage(const Message& message)
{
    const MSG msg = systemMessage(message);
    if (msg.hwnd)
        return intptr_t(DispatchMessageA(&msg));
    // A message for no window (posted before any window existed) goes to the
    // most recently registered class, as it would reach our only window.
    if (g_classCount == 0 || !g_classes[g_classCount - 1].proc)
        return 0;
    const WindowClass& c = g_classes[g_classCount - 1];
    return c.proc(c.user, message.message, message.wParam, message.lParam);
}

namespace sys {

intptr_t defWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    // Outside a dispatch the message is taken as one for the last window.
    HWND window = g_currentWindow ? g_currentWindow : g_lastWindow;
    return intptr_t(DefWindowProcA(window, message, wParam, lParam));
}

}  // namespace sys

void postQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}

void postMessage(const Message& message)
{
    if (g_lastWindow && IsWindow(g_lastWindow))
        PostMessageA(g_lastWindow, message.message, message.wParam, message.lParam);
    else
        PostThreadMessageA(GetCurrentThreadId(), message.message, message.wParam, message.lParam);
}

// ---- Command line

std::string commandLine(int, char**)
{
    // The program name, quoted or not, is skipped the way the C runtime
    // skips it for WinMain.
    const char* p = GetCommandLineA();
    if (!p)
        return std::string();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (static_cast<unsigned char>(*p) > ' ')
            ++p;
    }
    while (*p && static_cast<unsigned char>(*p) <= ' ')
        ++p;
    return std::string(p);
}

// ---- Files and modules

std::string executablePath()
{
    char buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameA(instance(), buffer, MAX_PATH);
    // A full buffer means a cut path, which would name some other file.
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(buffer, n);
}

std::string tempPath()
{
    char buffer[256];
    const DWORD n = GetTempPathA(255, buffer);
    if (n == 0 || n > 255)
        return std::string();
    std::string path(buffer, n);
    if (path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path;
}

bool deleteFile(const char* path)
{
    return path && DeleteFileA(path) != FALSE;
}

std::FILE* createNewFile(const char* path)
{
    if (!path)
        return nullptr;
    // The C library's "x" mode is younger than the system's msvcrt.dll; its
    // exclusive open is not.
    const int fd = _open(path, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    // Names such as "NUL", "CON" or "COM1" open a device in any directory:
    // only a file on disk will do.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "w+b");
    if (!file)
        _close(fd);
    return file;
}

std::string createPrivateDirectory()
{
    const std::string temp = tempPath();
    if (temp.empty())
        return std::string();
    // The user's temporary directory is closed to other users, and a new
    // directory inherits that. CreateDirectoryA fails on any existing name,
    // so the name is this process's alone.
    static unsigned counter = 0;
    char name[64];
    for (int attempt = 0; attempt < 100; ++attempt) {
        wsprintfA(name, "demoplayer-%lx-%lx-%x", GetCurrentProcessId(), GetTickCount(), ++counter);
        const std::string path = temp + name;
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path + '\\';
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
    return std::string();
}

bool removePrivateDirectory(const char* path)
{
    if (!path || !*path)
        return false;
    std::string dir = path;
    while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    if (dir.empty())
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            // Only plain files are ever written here; anything else stays
            // (and keeps the directory).
            if (!(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
                DeleteFileA((dir + '\\' + entry.cFileName).c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryA(dir.c_str()) != FALSE;
}

void* loadLibrary(const char* path)
{
    if (!path)
        return nullptr;
    // A library that cannot be bound is a silent failure: no system box about
    // a bad image or a missing entry point of its own imports.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(previous);
    return reinterpret_cast<void*>(module);
}

// Names are looked up exactly as given: a Windows library exports its
// functions under their decorated names.
void* getProcAddress(void* module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool freeLibrary(void* module)
{
    return module && FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

}  // namespace platform
