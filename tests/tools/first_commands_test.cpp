// scripts/setup, which scripts/play and scripts/test run first, as root
// without sudo (a container) and as a user with or without it: run with
// stand-ins for id, dpkg-query, sudo and apt-get that log what they are asked.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

void script(const fs::path& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/bash\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::string contents(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(FirstCommands, SetupInstallsAsRootOrThroughSudo)
{
    const fs::path source = fs::path(__FILE__).parent_path().parent_path().parent_path();
    const fs::path dir = fs::temp_directory_path() / ("first_commands_" + std::to_string(getpid()));
    struct Case {
        const char* who;
        int uid;
        bool sudo, installed;
        int code;
        std::string log;     // what the stand-ins were asked, in order
        const char* said;    // in the error output
    } cases[] = {
        {"root without sudo", 0, false, false, 0, "apt-get update -qq\napt-get install -y -qq --no-install-recommends", ""},
        {"root with sudo", 0, true, false, 0, "apt-get update -qq\napt-get install", ""},
        {"user with sudo", 1000, true, false, 0, "sudo\napt-get update -qq\nsudo\napt-get install", ""},
        {"user without sudo", 1000, false, false, 1, "", "run as root to install them (sudo is not installed)"},
        {"everything there", 1000, false, true, 0, "", ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir);
        const fs::path bin = dir / "bin", log = dir / "log";
        fs::create_directories(bin);
        for (const char* tool : {"grep", "env", "cat"})
            fs::create_symlink(fs::path("/usr/bin") / tool, bin / tool);
        script(bin / "id", "echo " + std::to_string(c.uid));
        script(bin / "dpkg-query", c.installed ? "printf 'install ok installed'" : "exit 1");
        script(bin / "apt-get", "echo \"apt-get $*\" >>'" + log.string() + "'");
        if (c.sudo)
            script(bin / "sudo", "echo sudo >>'" + log.string() + "'; exec \"$@\"");
        const std::string command = "env -i PATH='" + bin.string() + "' /bin/bash '" + (source / "scripts/setup").string() +
                                    "' 2>'" + (dir / "err").string() + "'";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << c.who << ": " << contents(dir / "err");
        const std::string asked = contents(log);
        EXPECT_EQ(asked.substr(0, c.log.size()), c.log) << c.who << ":\n" << asked;
        if (c.log.empty()) {
            EXPECT_EQ(asked, "") << c.who;
        }
        EXPECT_NE(contents(dir / "err").find(c.said), std::string::npos) << c.who << ": " << contents(dir / "err");
    }
    fs::remove_all(dir);
}
