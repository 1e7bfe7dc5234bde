// The fuzz targets start from the seed demos: each must be valid demo data
// that places its class on frame 1, and every resource class needs one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "demo/object_loader.h"
#include "demo/timeline.h"
#include "fuzz/seed_demos.h"
#include "platform/test_double.h"
#include "player/demo_data.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "texture/bmp_reader.h"

using namespace tools::writer;

TEST(SeedDemos, EveryResourceClassHasALineInTheSeedTable)
{
    EXPECT_TRUE(fuzzing::classesWithoutSeed().empty())
        << "add a line for " << fuzzing::classesWithoutSeed().front() << " to kSeedLines in fuzz/seed_demos.cpp";
}

TEST(SeedDemos, EachPlaysItsClassWithoutAMessageAlsoOverTheSharedResources)
{
    std::string error;
    const std::vector<fuzzing::Seed> seeds = fuzzing::seedDemos(&error);
    ASSERT_FALSE(seeds.empty()) << error;
    const Bytes shared = fuzzing::allSeedResources();
    const std::string path =
        (std::filesystem::temp_directory_path() / ("seed_demo_" + std::to_string(getpid()) + ".dat")).string();
    for (const fuzzing::Seed& seed : seeds) {
        for (bool overShared : {false, true}) {
            platform::TestDouble double_;
            Player player;
            // Over the shared resources, as the timeline target plays it.
            const Bytes demo = overShared ? cat({chunk(2100, windowSettings({"seed", true, 64, 48, false})),
                                                 chunk(2103, RenderStateWriter::standard().bytes()),
                                                 chunk(2102, shared),
                                                 chunk(2104, fuzzing::topLevelPayload(seed.data, 2104))})
                                          : seed.data;
            ASSERT_TRUE(writeFile(path, demo));
            ASSERT_TRUE(readContainer(player, path.c_str(), 0)) << seed.name;
            player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
            timelineCheck(player, 1);
            runFrame(player, false);
            if (seed.name == "soundLibrary") {
                ASSERT_NE(nullptr, player.resourceLoader);
                EXPECT_NE(nullptr, player.resourceLoader->soundLibrary());
            } else {
                EXPECT_GT(player.active->count(), 0) << seed.name << (overShared ? " over the shared resources" : "");
            }
            for (const auto& box : double_.boxes)
                ADD_FAILURE() << seed.name << ": " << box.caption << ": " << box.text;
            player.shutdown();
        }
    }
    std::filesystem::remove(path);
}

TEST(SeedDemos, EveryBitmapDecodes)
{
    platform::TestDouble double_;
    for (const fuzzing::Seed& bitmap : fuzzing::seedBitmaps()) {
        auto image = decodeBmp(bitmap.data.data(), int32_t(bitmap.data.size()));
        ASSERT_TRUE(image) << bitmap.name;
        EXPECT_EQ(4, image->width) << bitmap.name;
        EXPECT_EQ(2, std::abs(image->height)) << bitmap.name;
    }
    EXPECT_TRUE(double_.boxes.empty());
}
