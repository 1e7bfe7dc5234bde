// Paths, files and module loading.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

using namespace platform;

TEST(UndecorateName, StripsStdcallDecorationOnly) {
    EXPECT_EQ(undecorateName("_FSOUND_Init@12"), "FSOUND_Init");
    EXPECT_EQ(undecorateName("_FSOUND_Close@0"), "FSOUND_Close");
    EXPECT_EQ(undecorateName("FSOUND_Init"), "FSOUND_Init");
    EXPECT_EQ(undecorateName("__two@4"), "_two");     // one underscore only
    EXPECT_EQ(undecorateName("_mail@home"), "mail@home");  // '@' not followed by a size
    EXPECT_EQ(undecorateName("_trailing@"), "trailing@");
    EXPECT_EQ(undecorateName(""), "");
}

TEST(Modules, LooksUpDecoratedNamesInASharedLibrary) {
    void* libm = loadLibrary("libm.so.6");
    ASSERT_NE(libm, nullptr);
    auto cosine = reinterpret_cast<double (*)(double)>(getProcAddress(libm, "_cos@8"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(getProcAddress(libm, "_no_such_function@4"), nullptr);
    EXPECT_TRUE(freeLibrary(libm));
    EXPECT_EQ(loadLibrary("/nonexistent/libnothing.so"), nullptr);
}

TEST(Files, TempPathExecutableAndDelete) {
    const char* old = getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(tempPath(), "/var/tmp/");
    setenv("TMPDIR", "/var/tmp/", 1);
    EXPECT_EQ(tempPath(), "/var/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(tempPath(), "/tmp/");
    if (old) setenv("TMPDIR", saved.c_str(), 1);

    const std::string exe = executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe[0], '/');
    EXPECT_EQ(access(exe.c_str(), X_OK), 0);

    const std::string path = tempPath() + "platform_delete_" + std::to_string(getpid());
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(deleteFile(path.c_str()));
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_FALSE(deleteFile(path.c_str()));
}

}  // namespace
