// Window, pixel format and GL context through the platform calls, on the real
// offscreen driver (EGL on Mesa llvmpipe).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/test_double.h"

namespace {

using namespace platform;

intptr_t ignoreMessages(void*, unsigned, uintptr_t, intptr_t) { return 0; }

PixelFormatRequest usualRequest() {
    PixelFormatRequest r;
    r.size = 40;
    r.version = 1;
    r.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    r.pixelType = PFD_TYPE_RGBA;
    r.colorBits = 16;
    r.depthBits = 16;
    return r;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ASSERT_TRUE(registerWindowClass("WindowTest", ignoreMessages, nullptr));
    }
    void TearDown() override { EXPECT_TRUE(unregisterWindowClass("WindowTest")); }
};

TEST_F(WindowTest, ContextRendersAndEveryHandleDiesWithItsOwner) {
    EXPECT_STREQ(videoDriver(), "offscreen");
    Window* window = createWindow("WindowTest", "test", 64, 48, false);
    ASSERT_NE(window, nullptr);
    DeviceContext* dc = getDC(window);
    ASSERT_NE(dc, nullptr);
    const PixelFormatRequest request = usualRequest();
    const int format = choosePixelFormat(dc, request);
    ASSERT_EQ(format, 1);
    ASSERT_TRUE(setPixelFormat(dc, format, request));
    GLContext* context = createContext(dc);
    ASSERT_NE(context, nullptr);

    // Like wglCreateContext, creating does not make it current.
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);
    ASSERT_TRUE(makeCurrent(dc, context));
    ASSERT_NE(glGetString(GL_VERSION), nullptr);

    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 48);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);

    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 255);
    swapBuffers(dc);

    EXPECT_TRUE(makeCurrent(nullptr, nullptr));
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);
    EXPECT_TRUE(deleteContext(context));
    EXPECT_FALSE(deleteContext(context));
    EXPECT_FALSE(makeCurrent(dc, context));

    EXPECT_TRUE(destroyWindow(window));
    EXPECT_FALSE(destroyWindow(window));
    EXPECT_FALSE(destroyWindow(nullptr));
    EXPECT_EQ(getDC(window), nullptr);
}

TEST_F(WindowTest, PixelFormatNeedsAnOpenGLWindowInRGBA) {
    Window* window = createWindow("WindowTest", "formats", 32, 32, false);
    ASSERT_NE(window, nullptr);
    DeviceContext* dc = getDC(window);

    PixelFormatRequest noGL = usualRequest();
    noGL.flags = PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
    EXPECT_EQ(choosePixelFormat(dc, noGL), 0);
    PixelFormatRequest noWindow = usualRequest();
    noWindow.flags = PFD_SUPPORT_OPENGL;
    EXPECT_EQ(choosePixelFormat(dc, noWindow), 0);
    PixelFormatRequest indexed = usualRequest();
    indexed.pixelType = 1;
    EXPECT_EQ(choosePixelFormat(dc, indexed), 0);
    PixelFormatRequest noColour = usualRequest();
    noColour.colorBits = 0;
    EXPECT_EQ(choosePixelFormat(dc, noColour), 0);
    PixelFormatRequest trueColour = usualRequest();
    trueColour.colorBits = 32;
    trueColour.depthBits = 24;
    EXPECT_EQ(choosePixelFormat(dc, trueColour), 1);

    EXPECT_FALSE(setPixelFormat(dc, 2, trueColour));
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_FALSE(setPixelFormat(dc, 1, trueColour));

    // The last request decides the next window's buffers.
    window = createWindow("WindowTest", "deep", 32, 32, false);
    ASSERT_NE(window, nullptr);
    dc = getDC(window);
    GLContext* context = createContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(makeCurrent(dc, context));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_TRUE(makeCurrent(nullptr, nullptr));
    EXPECT_TRUE(deleteContext(context));
    EXPECT_TRUE(destroyWindow(window));
    choosePixelFormat(nullptr, usualRequest());  // leave the usual request for later tests
}

TEST_F(WindowTest, RefusesUnknownClassesAndUnofferedModes) {
    EXPECT_EQ(createWindow("NoSuchClass", "x", 32, 32, false), nullptr);
    EXPECT_FALSE(registerWindowClass("WindowTest", ignoreMessages, nullptr));
    EXPECT_FALSE(unregisterWindowClass("NoSuchClass"));
    EXPECT_FALSE(changeDisplayMode(12345, 678, 32));
    // Without a mode change a popup is a plain borderless window.
    Window* popup = createWindow("WindowTest", "popup", 32, 32, true);
    ASSERT_NE(popup, nullptr);
    showWindow(popup);
    EXPECT_TRUE(destroyWindow(popup));
}

TEST(WindowSteps, EachNamedStepCanBeMadeToFail) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    TestDouble hooks;
    const PixelFormatRequest request = usualRequest();

    hooks.failSteps = {"registerWindowClass"};
    EXPECT_FALSE(registerWindowClass("Steps", ignoreMessages, nullptr));
    hooks.failSteps = {};
    ASSERT_TRUE(registerWindowClass("Steps", ignoreMessages, nullptr));

    hooks.failSteps = {"changeDisplayMode"};
    EXPECT_FALSE(changeDisplayMode(0, 0, 32));
    hooks.failSteps = {"createWindow"};
    EXPECT_EQ(createWindow("Steps", "x", 32, 32, false), nullptr);
    hooks.failSteps = {};
    Window* window = createWindow("Steps", "x", 32, 32, false);
    ASSERT_NE(window, nullptr);

    hooks.failSteps = {"getDC"};
    EXPECT_EQ(getDC(window), nullptr);
    hooks.failSteps = {};
    DeviceContext* dc = getDC(window);
    hooks.failSteps = {"choosePixelFormat"};
    EXPECT_EQ(choosePixelFormat(dc, request), 0);
    hooks.failSteps = {"setPixelFormat"};
    EXPECT_FALSE(setPixelFormat(dc, 1, request));
    hooks.failSteps = {"createContext"};
    EXPECT_EQ(createContext(dc), nullptr);
    hooks.failSteps = {};
    GLContext* context = createContext(dc);
    ASSERT_NE(context, nullptr);
    hooks.failSteps = {"makeCurrent"};
    EXPECT_FALSE(makeCurrent(dc, context));
    EXPECT_TRUE(makeCurrent(nullptr, nullptr));  // releasing is its own step
    hooks.failSteps = {"releaseContext"};
    EXPECT_FALSE(makeCurrent(nullptr, nullptr));
    hooks.failSteps = {"deleteContext"};
    EXPECT_FALSE(deleteContext(context));
    hooks.failSteps = {"destroyWindow"};
    EXPECT_FALSE(destroyWindow(window));
    hooks.failSteps = {"unregisterWindowClass"};
    EXPECT_FALSE(unregisterWindowClass("Steps"));

    // A failed step did nothing: everything can still be torn down.
    hooks.failSteps = {};
    EXPECT_TRUE(deleteContext(context));
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_TRUE(unregisterWindowClass("Steps"));
}

TEST(OffscreenFallback, SaysSoWhenThereIsNoDisplay) {
    // Video stays up once started, so only a process's first start can tell
    // (ctest runs every test in a process of its own).
    if (videoDriver()[0] != 0) GTEST_SKIP() << "video already started in this process";
    // Keep the environment as found for the tests that follow.
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    } saved[] = {{"SDL_VIDEODRIVER", "", false}, {"DISPLAY", "", false}, {"WAYLAND_DISPLAY", "", false}};
    for (auto& s : saved) {
        if (const char* v = getenv(s.name)) s.value = v, s.set = true;
        unsetenv(s.name);
    }
    testing::internal::CaptureStderr();
    const bool registered = registerWindowClass("Fallback", ignoreMessages, nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    for (auto& s : saved)
        if (s.set) setenv(s.name, s.value.c_str(), 1);

    ASSERT_TRUE(registered);
    EXPECT_STREQ(videoDriver(), "offscreen");
    EXPECT_EQ(err, "No display found: running offscreen.\n");
    EXPECT_TRUE(unregisterWindowClass("Fallback"));
    EXPECT_STREQ(videoDriver(), "offscreen");  // kept for the rest of the process
}

}  // namespace
