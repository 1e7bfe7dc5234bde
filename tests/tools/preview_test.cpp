// `demotool play --watch`: which files a description depends on, and when
// their changes call for a rebuild.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tools/render/preview.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::render;
namespace fs = std::filesystem;

TEST(PreviewWatch, DescriptionAndTheFilesItNames)
{
    fs::path dir = fs::temp_directory_path() / ("preview_test_" + std::to_string(getpid()));
    fs::create_directories(dir / "img");
    std::string desc = (dir / "demo.json").string();
    ASSERT_TRUE(writeFile((dir / "img/a.png").string(), {1}));
    ASSERT_TRUE(writeFile((dir / "song.mp3").string(), {2}));
    std::string absolute = (dir / "song.mp3").string();
    std::string text = R"({"resources": [{"class": "texture", "tag": "img/a.png", "file": "img/a.png"},
        {"class": "music", "file": ")" + absolute + R"("}, {"file": "missing.png"}, {"title": "img"}]})";
    std::vector<std::string> files = filesNamedBy(desc, text);
    EXPECT_EQ(files, (std::vector<std::string>{desc, (dir / "img/a.png").string(), absolute}))
        << "each once; folders and missing files are not watched";
    EXPECT_EQ(filesNamedBy(desc, "{ broken"), std::vector<std::string>{desc});
    fs::remove_all(dir);
}

TEST(PreviewWatch, RebuildOnceAChangeHasSettled)
{
    auto stamps = [](int64_t modified, int64_t size, bool exists = true) {
        Stamps s;
        s["demo.json"] = FileStamp{exists, modified, size};
        return s;
    };
    ReloadDecision decision(stamps(1, 10));
    EXPECT_FALSE(decision.poll(stamps(1, 10))) << "nothing changed";
    EXPECT_FALSE(decision.poll(stamps(2, 5))) << "being written";
    EXPECT_FALSE(decision.poll(stamps(3, 12))) << "still being written";
    EXPECT_TRUE(decision.poll(stamps(3, 12))) << "settled";
    decision.rebuilt(stamps(3, 12));
    EXPECT_FALSE(decision.poll(stamps(3, 12))) << "a build is tried once per change, good or bad";
    EXPECT_FALSE(decision.poll(stamps(3, 12, false)));
    EXPECT_TRUE(decision.poll(stamps(3, 12, false))) << "a deleted file counts as a change";
    EXPECT_FALSE(decision.poll(stamps(3, 12))) << "back as built: nothing to do";
    // A change back to the built state before it settles cancels it.
    EXPECT_FALSE(decision.poll(stamps(4, 12)));
    EXPECT_FALSE(decision.poll(stamps(3, 12)));
    EXPECT_FALSE(decision.poll(stamps(3, 12)));
    // Saved again while the build read it: the build had the version seen
    // settling, and the newer one is a change of its own.
    EXPECT_FALSE(decision.poll(stamps(5, 20)));
    EXPECT_TRUE(decision.poll(stamps(5, 20)));
    decision.rebuilt(stamps(6, 21));
    EXPECT_FALSE(decision.poll(stamps(6, 21)));
    EXPECT_TRUE(decision.poll(stamps(6, 21))) << "the save during the build is rebuilt";
}
