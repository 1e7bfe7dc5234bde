// The tools' common part: scratch files where TMPDIR says, and the Latin-1
// texts of the data beside the UTF-8 of descriptions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/common/latin1.h"
#include "tools/common/temporary_file.h"

namespace fs = std::filesystem;

TEST(TemporaryFiles, LiveInTmpdirUntilTheirOwnerGoes)
{
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    const fs::path dir = fs::temp_directory_path() / ("tools_common_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* tmpdir;  // nullptr: unset
        std::string folder;
    };
    const std::string withSlash = dir.string() + "//";
    const Case cases[] = {
        {nullptr, "/tmp"}, {"", "/tmp"}, {dir.c_str(), dir.string()}, {withSlash.c_str(), dir.string()}};
    for (const Case& c : cases) {
        if (c.tmpdir)
            setenv("TMPDIR", c.tmpdir, 1);
        else
            unsetenv("TMPDIR");
        const std::string what = c.tmpdir ? std::string("TMPDIR=") + c.tmpdir : "TMPDIR unset";
        EXPECT_EQ(tools::common::temporaryDirectory(), c.folder) << what;
        std::string file, folder, error;
        {
            tools::common::TemporaryFile scratch("tools-common-");
            ASSERT_TRUE(scratch.write({1, 2, 3}, &error)) << what << ": " << error;
            file = scratch.path();
            EXPECT_EQ(fs::path(file).parent_path(), fs::path(c.folder)) << what;
            EXPECT_EQ(fs::file_size(file), 3u) << what;
            tools::common::TemporaryFolder place("tools-common-");
            folder = place.path();
            ASSERT_FALSE(folder.empty()) << what;
            EXPECT_EQ(fs::path(folder).parent_path(), fs::path(c.folder)) << what;
            std::ofstream(folder + "/inside") << "x";
        }
        EXPECT_FALSE(fs::exists(file)) << what;
        EXPECT_FALSE(fs::exists(folder)) << what;
    }
    setenv("TMPDIR", dir.c_str(), 1);
    fs::remove_all(dir);
    std::string error;
    tools::common::TemporaryFile nowhere("tools-common-");
    EXPECT_FALSE(nowhere.create(&error));
    EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
    if (old)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(Latin1Text, TwoByteSequencesUpToFFBecomeOneByteAndBack)
{
    struct Case {
        std::string utf8, latin1;
    } cases[] = {
        {"Posici\xc3\xb3 X", "Posici\xf3 X"},
        {"\xc2\xa0\xc3\xbf", "\xa0\xff"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tools::common::latin1FromUtf8(c.utf8), c.latin1) << c.utf8;
        EXPECT_EQ(tools::common::utf8FromLatin1(c.latin1), c.utf8) << c.utf8;
    }
    // What no Latin-1 byte stands for is kept as it is: the euro sign, a
    // lead byte at the end, a lead byte before no continuation byte.
    for (const std::string& kept : {std::string("\xe2\x82\xac"), std::string("a\xc3"), std::string("\xc3" "A")})
        EXPECT_EQ(tools::common::latin1FromUtf8(kept), kept);
}
