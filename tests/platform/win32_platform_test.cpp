// The Win32 layer against the system itself (under Wine in CI): messages go
// through the real queue and window procedure, the clocks are the system's,
// and message boxes reach the test hook instead of blocking on a real box.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/test_double.h"
#include "demo/chunk_stream.h"
#include "player/window.h"
#include "sound/sound_library.h"

// Only to put messages in the system queue as input would arrive. Its macros
// (WM_KEYDOWN, VK_ESCAPE...) have the platform header's values and stand for
// them from here on.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

struct Seen {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

intptr_t record(void* user, unsigned message, uintptr_t wParam, intptr_t lParam) {
    auto* seen = static_cast<std::vector<Seen>*>(user);
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR ||
        message == WM_CLOSE || message == WM_SIZE)
        seen->push_back({message, wParam, lParam});
    // What the system does with the rest (painting, activation) must still happen.
    if (message == WM_CLOSE) return 0;
    return platform::defWindowProc(message, wParam, lParam);
}

// Pumps as the frame loop does until the queue is empty; returns WM_QUIT's code or -1.
int pump() {
    platform::Message m;
    int quit = -1;
    while (platform::peekMessage(&m)) {
        if (m.message == WM_QUIT) {
            quit = int(m.wParam);
            continue;
        }
        platform::translateMessage(m);
        platform::dispatchMessage(m);
    }
    return quit;
}

void expectClassAndTitle(HWND window, const char* className, const char* title) {
    char text[64] = {};
    ASSERT_TRUE(IsWindow(window));
    ASSERT_GT(GetClassNameA(window, text, sizeof text), 0);
    EXPECT_STREQ(text, className);
    ASSERT_GT(GetWindowTextA(window, text, sizeof text), 0);
    EXPECT_STREQ(text, title);
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::registerWindowClass("Win32Test", record, &seen));
        window = platform::createWindow("Win32Test", "win32 test", 96, 64, false);
        ASSERT_NE(window, nullptr);
        platform::showWindow(window);
        // The handle itself, not a search by name: the other test programs
        // running at the same time make windows of this class and title too.
        hwnd = reinterpret_cast<HWND>(window);
        expectClassAndTitle(hwnd, "Win32Test", "win32 test");
        pump();
        seen.clear();
    }
    void TearDown() override {
        EXPECT_TRUE(platform::destroyWindow(window));
        pump();
        EXPECT_TRUE(platform::unregisterWindowClass("Win32Test"));
    }

    std::vector<Seen> seen;
    platform::Window* window = nullptr;
    HWND hwnd = nullptr;
};

TEST_F(Win32Window, QueuedInputReachesTheClassProcedureThroughThePump) {
    // Key messages as the system posts them: virtual-key code, repeat count 1
    // and the scan code in lParam. TranslateMessage posts each key's
    // character behind what is already queued.
    const LPARAM aDown = 1 | (LPARAM(MapVirtualKeyA('A', 0)) << 16);
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } posted[] = {{WM_KEYDOWN, 'A', aDown},
                  {WM_KEYUP, 'A', aDown | (LPARAM(3) << 30)},
                  {WM_KEYDOWN, VK_ESCAPE, 1},
                  {WM_CLOSE, 0, 0}};
    for (const auto& p : posted) ASSERT_TRUE(PostMessageA(hwnd, p.message, p.wParam, p.lParam));
    EXPECT_EQ(pump(), -1);

    std::vector<unsigned> order;
    for (const Seen& s : seen) order.push_back(s.message);
    const std::vector<unsigned> expected = {WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_CLOSE, WM_CHAR, WM_CHAR};
    ASSERT_EQ(order, expected);
    EXPECT_EQ(seen[0].wParam, uintptr_t('A'));
    EXPECT_EQ(seen[0].lParam, intptr_t(aDown));
    EXPECT_EQ(seen[1].wParam, uintptr_t('A'));
    EXPECT_EQ(seen[2].wParam, uintptr_t(VK_ESCAPE));
    EXPECT_EQ(seen[4].wParam, uintptr_t('a'));
    EXPECT_EQ(seen[5].wParam, uintptr_t(27));  // Escape's character
}

TEST_F(Win32Window, SystemCommandsResizesAndQuitThroughTheSystem) {
    // The default procedure turns the system menu's close into WM_CLOSE, sent
    // to the window at once; screen saver requests are left to the caller.
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, WM_CLOSE);

    // A new outer size gives WM_SIZE with the client size the window keeps.
    seen.clear();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE));
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().message, WM_SIZE);
    EXPECT_EQ(seen.back().lParam, intptr_t(MAKELPARAM(client.right, client.bottom)));

    // A window created for a client size has that client size.
    platform::Window* other = platform::createWindow("Win32Test", "sized", 123, 45, false);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(GetClientRect(reinterpret_cast<HWND>(other), &client));
    EXPECT_EQ(client.right, 123);
    EXPECT_EQ(client.bottom, 45);
    EXPECT_TRUE(platform::destroyWindow(other));

    platform::postQuitMessage(7);
    EXPECT_EQ(pump(), 7);
}

TEST_F(Win32Window, ThePlayersProcedureKeepsKeysAndPostsQuitOnClose) {
    // The player's own procedure on a real window of its class.
    platform::TestDouble boxes;
    WindowState state;
    ASSERT_TRUE(createGLWindow(state, "player", 64, 48, 16, false));
    HWND player = reinterpret_cast<HWND>(state.window);
    expectClassAndTitle(player, kWindowClassName, "player");
    pump();
    ASSERT_TRUE(PostMessageA(player, WM_KEYDOWN, VK_ESCAPE, 1));
    ASSERT_TRUE(PostMessageA(player, WM_KEYDOWN, VK_SPACE, 1));
    ASSERT_TRUE(PostMessageA(player, WM_KEYUP, VK_SPACE, 1 | (LPARAM(3) << 30)));
    EXPECT_EQ(pump(), -1);
    EXPECT_EQ(state.keys[VK_ESCAPE], 1);
    EXPECT_EQ(state.keys[VK_SPACE], 0);
    ASSERT_TRUE(PostMessageA(player, WM_CLOSE, 0, 0));
    EXPECT_EQ(pump(), 0);  // WM_QUIT with PostQuitMessage (0)
    EXPECT_TRUE(IsWindow(player));  // closing is the frame loop's to do
    EXPECT_TRUE(boxes.boxes.empty());
    HDC dc = reinterpret_cast<HDC>(state.dc);
    HGLRC context = reinterpret_cast<HGLRC>(state.context);
    releaseGLContext(state);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglMakeCurrent(dc, context));  // deleted, not just let go
    killGLWindow(state);
    EXPECT_FALSE(IsWindow(player));
}

TEST(Win32Clocks, PerformanceCounterAndMillisecondTimerAgree) {
    int64_t frequency = 0, before[2] = {}, after[2] = {};
    ASSERT_TRUE(platform::queryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency, 0);
    // Each millisecond reading between two counter readings, so a busy
    // machine stopping the test between them cannot make the clocks disagree.
    ASSERT_TRUE(platform::queryPerformanceCounter(&before[0]));
    const uint32_t ms0 = platform::timeGetTime();
    ASSERT_TRUE(platform::queryPerformanceCounter(&before[1]));
    Sleep(100);
    ASSERT_TRUE(platform::queryPerformanceCounter(&after[0]));
    const uint32_t ms1 = platform::timeGetTime();
    ASSERT_TRUE(platform::queryPerformanceCounter(&after[1]));
    const auto ms = [&](int64_t ticks) { return double(ticks) * 1000.0 / double(frequency); };
    const double shortest = ms(after[0] - before[1]), longest = ms(after[1] - before[0]);
    const double timed = double(ms1 - ms0);
    // Two clocks of the same system: at least the sleep, and the millisecond
    // clock within its own resolution (up to a 64th of a second) of the counter.
    EXPECT_GE(shortest, 95.0);
    EXPECT_GE(timed, 95.0);
    EXPECT_GE(timed, shortest - 16.0);
    EXPECT_LE(timed, longest + 16.0);
}

TEST(Win32MessageBoxes, GoToTheHookWhenOneIsInstalled) {
    platform::TestDouble hooks;
    hooks.answers = {IDNO};
    EXPECT_EQ(platform::messageBox("question", "IEP!!", MB_YESNO | MB_ICONEXCLAMATION), IDNO);
    EXPECT_EQ(platform::messageBox("no caption", nullptr, MB_OK), IDOK);
    ASSERT_EQ(hooks.boxes.size(), 2u);
    EXPECT_EQ(hooks.boxes[0].caption, "IEP!!");
    EXPECT_EQ(hooks.boxes[0].type, unsigned(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_EQ(hooks.boxes[1].caption, "Error");  // what the system shows for none
}

TEST(Win32Files, OwnPathTemporaryDirectoryAndModules) {
    const std::string self = platform::executablePath();
    ASSERT_GE(self.size(), 4u);
    EXPECT_EQ(self.substr(self.size() - 4), ".exe");
    EXPECT_NE(GetFileAttributesA(self.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string temp = platform::tempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');

    // A private directory and what is written into it go together.
    const std::string dir = platform::createPrivateDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.compare(0, temp.size(), temp), 0);
    EXPECT_NE(platform::createPrivateDirectory(), dir);  // a fresh name each time
    const std::string file = dir + "fmod.dll";
    std::FILE* f = platform::createNewFile(file.c_str());
    ASSERT_NE(f, nullptr);
    std::fputs("x", f);
    std::fclose(f);
    EXPECT_EQ(platform::createNewFile(file.c_str()), nullptr);  // never over an existing file
    EXPECT_EQ(platform::createNewFile((dir + "NUL").c_str()), nullptr);  // nor a device
    EXPECT_TRUE(platform::removePrivateDirectory(dir.c_str()));
    EXPECT_EQ(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(platform::deleteFile(file.c_str()));

    // Modules: names as a DLL exports them; a missing DLL fails without a box.
    void* kernel = platform::loadLibrary("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(platform::getProcAddress(kernel, "GetTickCount"),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount")));
    EXPECT_EQ(platform::getProcAddress(kernel, "NoSuchFunction"), nullptr);
    EXPECT_TRUE(platform::freeLibrary(kernel));
    EXPECT_EQ(platform::loadLibrary((temp + "no-such-library.dll").c_str()), nullptr);
}

}  // namespace

namespace {

TEST(Win32PlayerWindow, ClassStylesAndPixelFormatAreThePlayers) {
    // The player's window as createGLWindow makes it, windowed and as the
    // popup that a granted fullscreen mode gets; each checked against what
    // the system reports back.
    struct Case {
        bool popup;
        DWORD style, exStyle;
    } const cases[] = {
        {false, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE},
        {true, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_APPWINDOW},
    };
    const DWORD styleBits = WS_OVERLAPPEDWINDOW | WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    const DWORD exBits = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_TOOLWINDOW;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.popup ? "popup" : "windowed");
        platform::TestDouble boxes;
        ASSERT_TRUE(platform::registerWindowClass(kWindowClassName, windowProcedure, nullptr));
        platform::Window* window = platform::createWindow(kWindowClassName, "styles", 160, 90, c.popup);
        ASSERT_NE(window, nullptr);
        HWND hwnd = reinterpret_cast<HWND>(window);
        EXPECT_EQ(GetClassLongPtrA(hwnd, GCL_STYLE), ULONG_PTR(CS_HREDRAW | CS_VREDRAW | CS_OWNDC));
        EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), ULONG_PTR(0));
        EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HICON), ULONG_PTR(LoadIconA(nullptr, IDI_WINLOGO)));
        EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HCURSOR), ULONG_PTR(LoadCursorA(nullptr, IDC_ARROW)));
        EXPECT_EQ(DWORD(GetWindowLongA(hwnd, GWL_STYLE)) & styleBits, c.style);
        EXPECT_EQ(DWORD(GetWindowLongA(hwnd, GWL_EXSTYLE)) & exBits, c.exStyle);
        RECT outer, client;
        ASSERT_TRUE(GetWindowRect(hwnd, &outer));
        ASSERT_TRUE(GetClientRect(hwnd, &client));
        EXPECT_EQ(client.right, 160);
        EXPECT_EQ(client.bottom, 90);
        EXPECT_EQ(outer.left, c.popup ? 0 : outer.left);  // a popup covers the screen from its corner
        EXPECT_EQ(outer.top, c.popup ? 0 : outer.top);

        // The pixel format set is one that the request asked for.
        platform::PixelFormatRequest request;
        request.size = 40;
        request.version = 1;
        request.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;  // the macros stand for the names
        request.pixelType = PFD_TYPE_RGBA;
        request.colorBits = 16;
        request.depthBits = 16;
        platform::DeviceContext* dc = platform::getDC(window);
        ASSERT_NE(dc, nullptr);
        const int format = platform::choosePixelFormat(dc, request);
        ASSERT_NE(format, 0);
        ASSERT_TRUE(platform::setPixelFormat(dc, format, request));
        EXPECT_EQ(GetPixelFormat(reinterpret_cast<HDC>(dc)), format);
        PIXELFORMATDESCRIPTOR got;
        ASSERT_NE(DescribePixelFormat(reinterpret_cast<HDC>(dc), format, sizeof got, &got), 0);
        const DWORD wanted = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        EXPECT_EQ(got.dwFlags & wanted, wanted);
        EXPECT_EQ(got.iPixelType, PFD_TYPE_RGBA);
        EXPECT_GE(got.cDepthBits, 16);
        EXPECT_EQ(got.iLayerType, PFD_MAIN_PLANE);
        EXPECT_TRUE(platform::destroyWindow(window));
        EXPECT_TRUE(platform::unregisterWindowClass(kWindowClassName));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(boxes.boxes.empty());
    }
    // A display mode no screen has is refused, not pretended.
    EXPECT_FALSE(platform::changeDisplayMode(1234, 567, 16));
}

TEST(Win32Display, ModeChangeAsksForSizeAndDepthAndTheCursorCountGoesDown) {
    DEVMODEA current;
    std::memset(&current, 0, sizeof current);
    current.dmSize = sizeof current;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current));
    const int width = int(current.dmPelsWidth), height = int(current.dmPelsHeight);
    // The screen's own mode is granted; the same size at a depth no screen
    // has is not, so the depth is part of the request.
    EXPECT_TRUE(platform::changeDisplayMode(width, height, int(current.dmBitsPerPel)));
    EXPECT_FALSE(platform::changeDisplayMode(width, height, 7));
    EXPECT_FALSE(platform::changeDisplayMode(width + 1234, height, int(current.dmBitsPerPel)));
    ChangeDisplaySettingsA(nullptr, 0);

    // Hiding the cursor takes one off the system's display count.
    const int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    platform::showCursor(false);
    EXPECT_EQ(ShowCursor(TRUE), count);
}

TEST(Win32SoundLibrary, AnImageThatIsNoLibraryIsWrittenRefusedAndRemoved) {
    // The payload lands in a private directory inside the temporary one; a
    // file that is no loadable library leaves no table, no box and nothing
    // on disk once the library object is gone.
    platform::TestDouble boxes;
    const std::vector<uint8_t> image = {'M', 'Z', 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    ChunkStream stream(image.data(), int32_t(image.size()));
    std::string path, directory;
    {
        SoundLibrary library(stream, uint32_t(image.size()));
        EXPECT_EQ(int32_t(image.size()), stream.position());
        path = library.dllPath;
        directory = library.directory;
        EXPECT_EQ(nullptr, library.api);
        const std::string temp = platform::tempPath();
        EXPECT_EQ(0, directory.compare(0, temp.size(), temp));
        EXPECT_EQ(directory + "fmod.dll", path);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(nullptr, f);
        std::vector<uint8_t> written(64);
        written.resize(std::fread(written.data(), 1, written.size(), f));
        std::fclose(f);
        EXPECT_EQ(image, written);
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(directory.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
