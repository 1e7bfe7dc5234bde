// Shutdown of the player's state: what goes first, and what it still has.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "demo/scene_object.h"
#include "platform/test_double.h"
#include "player/player.h"
#include "player/window.h"

namespace {

// Notes its destruction among the window steps, with whether a GL context
// was current then (a texture or quadric releases GL names at that point).
class ContextWitness : public SceneObject {
public:
    ContextWitness(platform::TestDouble& platform, std::string name) : platform_(platform), name_(std::move(name)) {}
    ~ContextWitness() override
    {
        const bool current = glGetString(GL_VERSION) != nullptr;
        platform_.stepsSeen.push_back(name_ + (current ? " with context" : " without context"));
    }

private:
    platform::TestDouble& platform_;
    std::string name_;
};

}  // namespace

TEST(PlayerShutdown, ObjectsGoWhileTheContextIsStillCurrentThenContextAndWindow)
{
    platform::TestDouble platform;
    Player player;
    ASSERT_TRUE(createGLWindow(player.window, "shutdown", 16, 16, 16, false));
    player.resources->append("RES_", new ContextWitness(platform, "resource"));
    player.active->append("ACT_", new ContextWitness(platform, "instance"));
    auto* unplaced = new ContextWitness(platform, "unplaced");
    player.instances->registerInstance("UNPL", unplaced);
    player.instances->keepUnplaced(unplaced);
    platform.stepsSeen.clear();

    player.shutdown();
    std::vector<std::string> seen = platform.stepsSeen;
    seen.erase(std::remove(seen.begin(), seen.end(), "makeCurrent"), seen.end());
    EXPECT_EQ((std::vector<std::string>{"unplaced with context", "instance with context", "resource with context",
                                        "releaseContext", "deleteContext", "destroyWindow", "unregisterWindowClass"}),
              seen);
    EXPECT_EQ(nullptr, player.window.context);
    EXPECT_TRUE(platform.boxes.empty());
}
