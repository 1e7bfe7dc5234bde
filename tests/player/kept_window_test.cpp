// A player has one window: a second 2103 chunk (or a window handed in before
// loading, as the fuzz targets do) keeps the open window and only runs its
// render-state script there.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/test_double.h"
#include "player/demo_data.h"
#include "player/player.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

TEST(KeptWindow, SecondRenderStateChunkRunsInTheWindowAlreadyOpen)
{
    WindowSettings window;
    window.width = 40;
    window.height = 30;
    const Bytes data = cat({chunk(2100, windowSettings(window)),
                            chunk(2103, RenderStateWriter().clearColor(1, 0, 0, 1).bytes()),
                            chunk(2103, RenderStateWriter().clearColor(0, 0, 1, 1).bytes())});
    const std::string path =
        (std::filesystem::temp_directory_path() / ("kept_window_" + std::to_string(getpid()) + ".dat")).string();
    ASSERT_TRUE(writeFile(path, data));

    for (bool handedIn : {false, true}) {
        platform::TestDouble double_;
        WindowState own;
        Player player;
        if (handedIn) {
            ASSERT_TRUE(createGLWindow(own, "own", 24, 16, 16, false));
            player.window = own;
            double_.stepsSeen.clear();
        }
        ASSERT_TRUE(readContainer(player, path.c_str(), 0)) << handedIn;
        EXPECT_EQ(handedIn ? 0 : 1, std::count(double_.stepsSeen.begin(), double_.stepsSeen.end(), "createWindow"))
            << handedIn;
        EXPECT_TRUE(double_.boxes.empty()) << handedIn;
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(0.0f, clear[0]) << handedIn;
        EXPECT_EQ(1.0f, clear[2]) << handedIn;
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(handedIn ? 24 : 40, viewport[2]) << handedIn;
        player.shutdown();  // the one window goes; nothing else was opened
        EXPECT_EQ(nullptr, player.window.window);
        EXPECT_TRUE(double_.boxes.empty()) << handedIn;
    }
    std::filesystem::remove(path);
}
