#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/test_double.h"
#include "player/frame_loop.h"
#include "player/settings.h"
#include "player/window.h"
#include "tests/support/gl_fixture.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using platform::TestDouble;

TEST(WindowCreation, EachFailingStepShowsItsMessageAndTearsDown)
{
    const std::vector<std::pair<std::string, std::string>> steps = {
        {"createWindow", "Window Creation Error."},
        {"getDC", "Can't Create A GL Device Context."},
        {"choosePixelFormat", "Can't Find A Suitable PixelFormat."},
        {"setPixelFormat", "Can't Set The PixelFormat."},
        {"createContext", "Can't Create A GL Rendering Context."},
        {"makeCurrent", "Can't Activate The GL Rendering Context."},
    };
    for (const auto& [step, message] : steps) {
        TestDouble double_;
        double_.failSteps.insert(step);
        WindowState state;
        EXPECT_FALSE(createGLWindow(state, "t", 32, 32, 16, false)) << step;
        ASSERT_EQ(1u, double_.boxes.size()) << step;
        EXPECT_EQ(message, double_.boxes[0].text);
        EXPECT_EQ("ERROR", double_.boxes[0].caption);
        EXPECT_EQ(platform::MB_OK | platform::MB_ICONEXCLAMATION, double_.boxes[0].type);
        EXPECT_EQ(nullptr, state.window);
        EXPECT_FALSE(state.classRegistered);
        releaseGLContext(state);
        killGLWindow(state);  // shutdown after a failed creation says nothing more
        EXPECT_EQ(1u, double_.boxes.size()) << step;
    }
}

TEST(WindowCreation, ClassRegistrationFailure)
{
    TestDouble double_;
    double_.failSteps.insert("registerWindowClass");
    WindowState state;
    EXPECT_FALSE(createGLWindow(state, "t", 32, 32, 16, false));
    ASSERT_EQ(1u, double_.boxes.size());
    EXPECT_EQ("Failed To Register The Window Class.", double_.boxes[0].text);
}

TEST(WindowCreation, FullscreenRefusedYesPlaysWindowedNoCloses)
{
    {
        TestDouble double_;
        double_.failSteps.insert("changeDisplayMode");
        double_.answers.push_back(platform::IDYES);
        WindowState state;
        EXPECT_TRUE(createGLWindow(state, "t", 40, 30, 16, true));
        ASSERT_EQ(1u, double_.boxes.size());
        EXPECT_EQ("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                  double_.boxes[0].text);
        EXPECT_EQ("IEP!!", double_.boxes[0].caption);
        EXPECT_EQ(platform::MB_YESNO | platform::MB_ICONEXCLAMATION, double_.boxes[0].type);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(40, viewport[2]);
        EXPECT_EQ(30, viewport[3]);
        releaseGLContext(state);
        killGLWindow(state);
    }
    {
        TestDouble double_;
        double_.failSteps.insert("changeDisplayMode");
        double_.answers.push_back(platform::IDNO);
        WindowState state;
        EXPECT_FALSE(createGLWindow(state, "t", 40, 30, 16, true));
        ASSERT_EQ(2u, double_.boxes.size());
        EXPECT_EQ("Program Will Now Close.", double_.boxes[1].text);
        EXPECT_EQ("ERROR", double_.boxes[1].caption);
        EXPECT_EQ(platform::MB_OK | platform::MB_ICONSTOP, double_.boxes[1].type);
        releaseGLContext(state);
        killGLWindow(state);
    }
}

TEST(WindowShutdown, FailuresAreReportedAndIgnored)
{
    TestDouble double_;
    WindowState state;
    ASSERT_TRUE(createGLWindow(state, "t", 16, 16, 16, false));
    double_.failSteps = {"releaseContext", "deleteContext", "destroyWindow", "unregisterWindowClass"};
    platform::Window* window = state.window;
    platform::GLContext* context = state.context;
    releaseGLContext(state);
    killGLWindow(state);
    std::vector<std::string> texts;
    for (const auto& box : double_.boxes) {
        texts.push_back(box.text);
        EXPECT_EQ("SHUTDOWN ERROR", box.caption);
        EXPECT_EQ(platform::MB_OK | platform::MB_ICONINFORMATION, box.type);
    }
    EXPECT_EQ((std::vector<std::string>{"Release Of DC And RC Failed.", "Release Rendering Context Failed.",
                                        "Could Not Release hWnd.", "Could Not Unregister Class."}),
              texts);
    EXPECT_EQ(nullptr, state.context);
    EXPECT_EQ(nullptr, state.window);
    // Release for real what the failed steps left, for the tests after this one.
    double_.failSteps.clear();
    platform::makeCurrent(nullptr, nullptr);
    platform::deleteContext(context);
    platform::destroyWindow(window);
    platform::unregisterWindowClass(kWindowClassName);
}

class WindowProcedureTest : public GLTest {};

TEST_F(WindowProcedureTest, KeysSizeCloseAndSystemCommands)
{
    using namespace platform;
    const int keyA = 0x41;  // virtual-key code of A
    EXPECT_EQ(0, windowProcedure(&window_, WM_KEYDOWN, keyA, 0));
    EXPECT_EQ(1, window_.keys[keyA]);
    windowProcedure(&window_, WM_KEYUP, keyA, 0);
    EXPECT_EQ(0, window_.keys[keyA]);
    windowProcedure(&window_, WM_KEYDOWN, 4000, 0);  // out of range: ignored safely

    windowProcedure(&window_, WM_SIZE, 0, (20 << 16) | 30);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(30, viewport[2]);
    EXPECT_EQ(20, viewport[3]);

    // The screen saver and monitor power-down never reach the system's
    // handling, which would blank the screen; other commands do.
    platform_.defaulted.clear();
    EXPECT_EQ(0, windowProcedure(&window_, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_EQ(0, windowProcedure(&window_, WM_SYSCOMMAND, SC_MONITORPOWER, 0));
    // The frame loop's own pump empties the queue through the window
    // procedure; it must come back although the window was never painted
    // (WM_PAINT stays queued on Windows until something validates it).
    int quitCode = -1;
    EXPECT_TRUE(pumpMessages(&quitCode));
    EXPECT_EQ(-1, quitCode);
    // SC_CLOSE reaches the default handling, which closes the window: a quit.
    windowProcedure(&window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::vector<uintptr_t> commands;
    for (const auto& [message, command] : platform_.defaulted)
        if (message == WM_SYSCOMMAND)
            commands.push_back(command);
    EXPECT_EQ(std::vector<uintptr_t>{SC_CLOSE}, commands);
    EXPECT_FALSE(pumpMessages(&quitCode));
    EXPECT_EQ(0, quitCode);
    EXPECT_TRUE(pumpMessages(&quitCode));
    quitCode = -1;
    windowProcedure(&window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(pumpMessages(&quitCode));
    EXPECT_EQ(0, quitCode);
}

TEST_F(WindowProcedureTest, ResizeSetsThePerspectiveProjection)
{
    resizeGLScene(200, 0);  // height 0 is taken as 1
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    double f = 1.0 / std::tan(45.0 * 3.14159265358979 / 360.0);
    EXPECT_NEAR(f / 200.0, m[0], 1e-6);
    EXPECT_NEAR(f, m[5], 1e-5);
    double zn = double(0.1f), zf = 100.0;
    EXPECT_NEAR((zf + zn) / (zn - zf), m[10], 1e-5);
    EXPECT_NEAR(2 * zf * zn / (zn - zf), m[14], 1e-5);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(GL_MODELVIEW, mode);
}

class RenderStateTest : public GLTest {};

TEST_F(RenderStateTest, ScriptSetsTheStateAndReportsGLErrors)
{
    glEnable(GL_DEPTH_TEST);
    Bytes script = RenderStateWriter()
                       .shadeModel(GL_FLAT)
                       .clearColor(0.25f, 0.5f, 0.75f, 1.0f)
                       .clearDepth(0.5f)
                       .enable(0x7FFF)  // not a capability: reported, and the script goes on
                       .depthFunc(GL_GREATER)
                       .hint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST)
                       .raw(chunk(77, s16(1)))
                       .bytes();
    EXPECT_EQ(1, runRenderStateScript(script.data(), int32_t(script.size())));
    std::vector<std::string> texts;
    for (const auto& box : platform_.boxes)
        texts.push_back(box.text);
    EXPECT_EQ((std::vector<std::string>{"INIT GL ERROR", "ID DESCONEGUDA"}), texts);

    GLint v;
    glGetIntegerv(GL_SHADE_MODEL, &v);
    EXPECT_EQ(GL_FLAT, v);
    glGetIntegerv(GL_DEPTH_FUNC, &v);
    EXPECT_EQ(GL_GREATER, v);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));  // disabled first, not enabled by the script
    GLfloat c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_FLOAT_EQ(0.5f, c[1]);
    GLfloat d;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &d);
    EXPECT_FLOAT_EQ(0.5f, d);

    glClear(GL_COLOR_BUFFER_BIT);
    uint8_t pixel[4];
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_NEAR(191, pixel[2], 1);
}

TEST(SettingsStreams, WindowSettings)
{
    TestDouble double_;
    PlayerSettings s;
    std::string title(35, 'x');
    WindowSettings w;
    w.title = title;
    w.width = 640;
    w.height = 480;
    w.fullscreen = true;
    Bytes data = cat({windowSettings(w), chunk(33, s16(0))});
    // The trailing byte of the writer's stream sits before chunk 33 here, so
    // build the stream by hand to keep the unknown chunk inside it.
    data = StreamWriter()
               .add(4, text(title))
               .add(2003, cat({s16(640), s16(480)}))
               .add(33, s16(0))
               .add(2004)
               .bytes();
    readWindowSettings(s, data.data(), int32_t(data.size()));
    EXPECT_EQ(title, s.title);
    EXPECT_EQ(640, s.width);
    EXPECT_EQ(480, s.height);
    EXPECT_EQ(1, s.fullscreen);
    ASSERT_EQ(1u, double_.boxes.size());
    EXPECT_EQ("33", double_.boxes[0].text);
    EXPECT_EQ("ERROR", double_.boxes[0].caption);

    // Without 2003 the size stays 0; a title longer than the field is cut.
    PlayerSettings t;
    Bytes longTitle = StreamWriter().add(4, Bytes(600, 'y')).add(2004).bytes();
    readWindowSettings(t, longTitle.data(), int32_t(longTitle.size()));
    EXPECT_EQ(255u, std::string(t.title).size());
    EXPECT_EQ(0, t.width);
    EXPECT_EQ(1, t.fullscreen);  // the stream stayed in step after the long title
}

TEST(SettingsStreams, PlaybackSettings)
{
    TestDouble double_;
    PlayerSettings s;
    PlaybackSettings p;
    p.frameRate = 25;
    p.catchUp = true;
    p.loop = true;
    Bytes data = playbackSettings(p);
    readPlaybackSettings(s, data.data(), int32_t(data.size()));
    EXPECT_EQ(25, s.frameRate);
    EXPECT_EQ(1, s.catchUp);
    EXPECT_EQ(1, s.loop);
    EXPECT_TRUE(double_.boxes.empty());

    PlayerSettings none;
    Bytes other = StreamWriter().add(2001).add(9).bytes();
    readPlaybackSettings(none, other.data(), int32_t(other.size()));
    EXPECT_EQ(0, none.frameRate);  // unpaced without 2000
    EXPECT_EQ(0, none.loop);
    ASSERT_EQ(1u, double_.boxes.size());
    EXPECT_EQ("ID DESCONEGUDA", double_.boxes[0].text);
}
