// Collision worlds as authors write them and as inspect shows them.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/description.h"
#include "tools/inspect/inspect.h"

TEST(WorldDescription, InspectShowsForcesSpawnersAndRollingAndTagsAreResources)
{
    const std::string resources = R"({"totalFrames": 9, "resources": [{"class": "world", "tag": "wld",
        "forces": [{"tag": "grav", "strength": 0.5, "direction": [0, 0, -2]}], "spawners": ["hit"], "rolling": true},
        {"class": "grid", "tag": "flor"}, {"class": "ripple", "tag": "drop"},
        {"class": "quadric", "tag": "ball", "shape": "sphere"})";
    const std::string placing = R"(], "timeline": [{"frame": 1, "commands": [{"place": "wld"},
        {"place": "flor", "parent": "wld"}, {"place": "grav", "parent": "wld"}, {"place": "ball", "parent": "grav"},
        {"place": "hit", "parent": "flor"}, )";
    std::ostringstream out;
    EXPECT_TRUE(tools::inspect::inspect(compiled(resources + placing + R"({"place": "drop", "parent": "hit"}]}]})"), out));
    for (const char* line : {"resource 420 CollisionWorld", "force grav strength 0.5, direction 0 0 -2", "spawner hit",
                             "rolling"})
        EXPECT_NE(std::string::npos, out.str().find(line)) << line << "\n" << out.str();
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {resources + R"(, {"class": "world", "tag": "w2", "spawners": ["grav"]}]})", "'grav' is already the tag"},
             {resources + R"(, {"class": "world", "tag": "w3", "forces": [{"strength": 1}]}]})", "needs 'tag'"},
             {resources + placing + R"({"place": "drop", "parent": "ball"}]}]})", "parent 'ball' is a quadric"}})
        EXPECT_NE(std::string::npos, errorOf(text).find(message)) << errorOf(text);
}
