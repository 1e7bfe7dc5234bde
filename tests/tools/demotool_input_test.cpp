// pack, render and play as a new user meets them: wrong input refused with
// a reason and a non-zero exit, descriptions taken everywhere, damage told.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tests/support/command.h"
#include "tests/tools/synthetic_executables.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::inspect;
namespace fs = std::filesystem;

namespace {

const char* kDescription = R"({"window": {"width": 32, "height": 24}, "playback": {"frameRate": 50},
    "renderState": [{"clearColor": [0, 0, 1, 1]}], "totalFrames": 5, "resources": [], "timeline": []})";

class DemotoolInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("demotool_input_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        tool_ = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + std::string(DEMOTOOL_BINARY);
        ASSERT_TRUE(writeFile(path("player"), testexe::elf(2000), true));
        ASSERT_TRUE(writeFile(path("other"), testexe::elf(2000, false), true));
        ASSERT_TRUE(writeFile(path("demo.json"), text(kDescription)));
        ASSERT_TRUE(writeFile(path("notes.txt"), text("remember the music\n")));
        ASSERT_TRUE(writeFile(path("empty.json"), {}));
        int code = -1;
        std::string out = outputOf(tool_ + " build " + path("demo.json") + " -o " + path("demo.dat"), &code);
        ASSERT_EQ(code, 0) << out;
        ASSERT_TRUE(readFile(path("demo.dat"), data_));
        // Cut inside the last chunk (the timeline).
        ASSERT_TRUE(writeFile(path("cut.dat"), Bytes(data_.begin(), data_.end() - 4)));
        // Whole, with an unknown top-level chunk: damaged but playable.
        ASSERT_TRUE(writeFile(path("odd.dat"), cat({data_, chunk(7777, {1, 2})})));
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    std::string tool_;
    Bytes data_;
};

}  // namespace

TEST_F(DemotoolInput, WrongInputIsRefusedWithAReason)
{
    struct Case {
        std::string arguments;
        int code;
        std::vector<std::string> said;  // each in the output
    } cases[] = {
        // pack: the player
        {"pack " + path("notes.txt") + " " + path("demo.dat") + " -o " + path("x"), 1,
         {path("notes.txt") + ": not an executable: looks like text"}},
        {"pack " + path("other") + " " + path("demo.dat") + " -o " + path("x"), 1,
         {"an ELF executable, but not the demo player"}},
        {"pack " + path("demo.dat") + " " + path("demo.dat") + " -o " + path("x"), 1, {"not an executable"}},
        // pack: the data
        {"pack " + path("player") + " " + path("notes.txt") + " -o " + path("x"), 1,
         {path("notes.txt") + ": looks like text, not demo data or a description"}},
        {"pack " + path("player") + " " + path("player") + " -o " + path("x"), 1,
         {"a player executable with no demo data after byte 151552"}},
        {"pack " + path("player") + " " + path("cut.dat") + " -o " + path("x"), 1,
         {"cut.dat: damaged demo data (", "  ! chunk 2104 at offset", "refused; --as-is packs it all the same"}},
        {"pack " + path("player") + " " + path("empty.json") + " -o " + path("x"), 1,
         {path("empty.json") + ":1:1: expected a value, found end of file"}},
        // render
        {"render " + path("cut.dat") + " --out " + path("frames") + " --frames 1", 1,
         {"cut.dat: damaged demo data (", "  ! chunk 2104", "the data ends inside chunk 2104 (timeline) at offset"}},
        {"render " + path("notes.txt") + " --out " + path("frames"), 1,
         {"demotool render: " + path("notes.txt") + ": looks like text, not demo data or a description"}},
        {"render " + path("demo.json") + " --out " + path("frames") + " --frames 9", 1,
         {"frame 9 is past the end of the demo (5 frames, no loop)"}},
        {"render " + path("demo.json") + " --out " + path("frames") + " --size 99999x99999", 2,
         {"--size: '99999x99999' passes the largest window side, 32767 pixels"}},
        {"render " + path("demo.json") + " --out " + path("frames") + " --size 0x10", 2, {"sides start at 1"}},
        // The largest side is still a size (this driver then cannot make such a window).
        {"render " + path("demo.json") + " --out " + path("frames") + " --size 32767x24 --frames 9", 1,
         {"demotool render: " + path("demo.json") + ": "}},
        // play
        {"play " + path("cut.dat"), 1, {"damaged demo data", "cannot give the frames asked for"}},
        {"play " + path("demo.dat") + " --from 500", 1,
         {"demotool play: " + path("demo.dat") + ": frame 500 is past the end of the demo (5 frames, no loop)"}},
        {"play " + path("demo.dat") + " --from 5", 0, {}},  // the last frame is no frame past the end
        {"play " + path("demo.json") + " --size 99999x99999", 2, {"passes the largest window side, 32767"}},
        {"play " + path("notes.txt"), 1, {"looks like text, not demo data or a description"}},
        // inspect
        {"inspect " + path("demo.json"), 1,
         {path("demo.json") + ": looks like a description, not demo data: `demotool build "}},
    };
    for (const Case& c : cases) {
        int code = -1;
        const std::string out = outputOf(tool_ + " " + c.arguments, &code);
        EXPECT_EQ(code, c.code) << c.arguments << "\n" << out;
        for (const std::string& line : c.said)
            EXPECT_NE(out.find(line), std::string::npos) << c.arguments << "\nmissing: " << line << "\n" << out;
        EXPECT_FALSE(fs::exists(path("x"))) << c.arguments;
        EXPECT_FALSE(fs::exists(path("frames/frame-00001.png"))) << c.arguments;
    }
}

TEST_F(DemotoolInput, DescriptionsAndDamagedDataGoWhereDataGoes)
{
    int code = -1;
    // pack builds a description first: the packed file holds what build makes.
    std::string out = outputOf(tool_ + " pack " + path("player") + " " + path("demo.json") + " -o " + path("packed"), &code);
    ASSERT_EQ(code, 0) << out;
    Bytes packed;
    ASSERT_TRUE(readFile(path("packed"), packed));
    EXPECT_EQ(demoDataOf(packed), data_);
    // A packed demo as the player: its data goes, the new data comes.
    out = outputOf(tool_ + " pack " + path("packed") + " " + path("odd.dat") + " -o " + path("again") + " --as-is", &code);
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("  ! "), std::string::npos) << "the damage is still told\n" << out;
    EXPECT_NE(out.find("packing it as it is (--as-is)"), std::string::npos) << out;
    Bytes again;
    ASSERT_TRUE(readFile(path("again"), again));
    EXPECT_EQ(Bytes(again.begin(), again.begin() + kDataOffset), Bytes(packed.begin(), packed.begin() + kDataOffset));
    EXPECT_EQ(demoDataOf(again), cat({data_, chunk(7777, {1, 2})}));
    out = outputOf(tool_ + " pack " + path("player") + " " + path("cut.dat") + " -o " + path("cut") + " --as-is", &code);
    EXPECT_EQ(code, 0) << out;

    // render takes a description, and damage that leaves the demo whole is told but played.
    out = outputOf(tool_ + " render " + path("demo.json") + " --out " + path("frames") + " --frames 5", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_TRUE(fs::exists(path("frames/frame-00005.png"))) << out;
    out = outputOf(tool_ + " render " + path("odd.dat") + " --out " + path("odd") + " --frames 2", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("odd.dat: damaged demo data (1 problem):\n  ! chunk 7777"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(path("odd/frame-00002.png")));

    // Demo data has nothing for --watch to rebuild: said, and played to its end.
    out = outputOf(tool_ + " play " + path("demo.dat") + " --watch", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("is demo data, not a description: --watch has nothing to rebuild"), std::string::npos) << out;
}

namespace {

// A demotool process whose error output is read line by line as it comes.
class Running {
public:
    explicit Running(const std::string& command)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 2);
            dup2(fds[1], 1);
            close(fds[0]);
            execl("/bin/sh", "sh", "-c", ("exec env " + command).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
    }
    ~Running()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    // Reads until `text` has been printed; false if the process ends or a
    // minute passes first (a hang is a failure, not a wait for ever).
    bool waitFor(const std::string& text)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (output_.find(text, seen_) == std::string::npos) {
            pollfd p{fd_, POLLIN, 0};
            if (std::chrono::steady_clock::now() > giveUp || poll(&p, 1, 200) < 0)
                return false;
            if (p.revents & (POLLIN | POLLHUP)) {
                char buffer[512];
                ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n <= 0)
                    return false;
                output_.append(buffer, size_t(n));
            }
        }
        seen_ = output_.find(text, seen_) + text.size();
        return true;
    }
    bool running()
    {
        if (exited_)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            return false;
        }
        return true;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    std::string output_;
    size_t seen_ = 0;
};

}  // namespace

TEST_F(DemotoolInput, WatchHoldsTheLastFrameAndReloadsThere)
{
    // With a warning in the description and no audio device for the sound
    // library, both said once in the run however often it rebuilds.
    std::string description = kDescription;
    description.replace(description.find(R"("resources": [], "timeline": [])"), 31,
                        R"("resources": [{"class": "soundLibrary"}, {"class": "color", "tag": "c", "color": [1, 1, 1]}],
        "timeline": [{"frame": 1, "commands": [{"place": "c"}, {"place": "c", "as": "d", "parent": "c", "start": 9}]}])");
    const std::string watched = path("w.json");
    ASSERT_TRUE(writeFile(watched, text(description)));
    Running play("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=no-such-driver " + std::string(DEMOTOOL_BINARY) + " play " +
                 watched + " --watch --windowed");
    ASSERT_TRUE(play.waitFor("holding the last frame (5)")) << play.output();
    EXPECT_TRUE(play.running()) << "the preview stays after the last frame\n" << play.output();

    // An edit while held: rebuilt and shown at the frame it was on.
    std::string edited = description;
    edited.replace(edited.find("[0, 0, 1, 1]"), 12, "[1, 0, 0, 1]");
    ASSERT_TRUE(writeFile(watched, text(edited)));
    ASSERT_TRUE(play.waitFor("reloaded at frame 5")) << play.output();
    EXPECT_TRUE(play.running()) << play.output();

    // An emptied description gets build's words, and the last good one stays.
    ASSERT_TRUE(writeFile(watched, {}));
    ASSERT_TRUE(play.waitFor(watched + ":1:1: expected a value, found end of file")) << play.output();
    EXPECT_TRUE(play.running()) << play.output();
    EXPECT_EQ(play.output().find("no demo data"), std::string::npos) << play.output();
    // A description garbled into plain text is still built, and gets build's words.
    ASSERT_TRUE(writeFile(watched, text("oops\n")));
    ASSERT_TRUE(play.waitFor(watched + ":1:1: unknown word 'oops' (strings need double quotes)")) << play.output();
    EXPECT_EQ(play.output().find("looks like text"), std::string::npos) << play.output();
    // A reload at the end holds on where it was instead of playing off the end again.
    const std::string output = play.output();
    const std::string hold = "holding the last frame";
    EXPECT_EQ(output.find(hold, output.find(hold) + 1), std::string::npos) << output;
    for (const std::string& once : {watched + ":3:114: warning: timeline entry 1 (frame 1), command 2: 'start' 9",
                                   std::string("demosound: no audio device ")}) {
        EXPECT_NE(output.find(once), std::string::npos) << once << "\n" << output;
        EXPECT_EQ(output.find(once, output.find(once) + 1), std::string::npos) << once << "\n" << output;
    }
}
