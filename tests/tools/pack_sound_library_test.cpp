// The sound library a demo carries: which one `pack` puts behind a Linux or a
// Windows player, and how `inspect` names it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/support/command.h"
#include "tests/tools/synthetic_executables.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::inspect;
namespace fs = std::filesystem;

TEST(InspectSoundLibrary, NamesTheLibraryAndSurvivesWhatIsNoLibrary)
{
    const auto head = [](Bytes b, size_t n) { return Bytes(b.begin(), b.begin() + long(n)); };
    Bytes lostPe = testexe::dll(16);
    testexe::put(lostPe, 0x3C, 0xFFFFFFF0u, 4);
    struct Case {
        const char* what;
        Bytes image;
        std::string named;
    } cases[] = {
        {"ELF library", testexe::elfLibrary(40), "ELF x86-64 shared library, 232 bytes"},
        {"ELF executable", testexe::elf(40), "ELF x86-64 executable, 232 bytes"},
        {"PE32+ DLL", testexe::dll(40), "PE32+ x86-64 DLL, 552 bytes"},
        {"PE32 DLL", testexe::dll(40, false), "PE32 i386 DLL, 552 bytes"},
        {"PE executable", testexe::pe(40), "PE32+ x86-64 executable, 552 bytes"},
        {"text", text("not a library"), "not a library (looks like text), 13 bytes"},
        {"bytes", Bytes{1, 2, 0xfe}, "not a library (starts with the bytes 01 02 fe), 3 bytes"},
        {"nothing", {}, "not a library (looks like an empty file), 0 bytes"},
        {"ELF cut", head(testexe::elfLibrary(40), 19),
         "not a library (an ELF header cut short at 19 bytes), 19 bytes"},
        {"MZ cut", Bytes{'M', 'Z', 0x90}, "not a library (an MZ header cut short at 3 bytes), 3 bytes"},
        {"PE header cut", head(testexe::dll(40), 80),
         "not a library (a PE header cut short at 80 bytes), 80 bytes"},
        {"PE signature far away", lostPe, "not a library (an MZ header without a PE signature), 528 bytes"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        EXPECT_TRUE(tools::inspect::inspect(chunk(2102, StreamWriter().add(463, c.image).bytes()), out)) << c.what;
        EXPECT_NE(out.str().find("    library image: " + c.named + "\n"), std::string::npos) << c.what << "\n"
                                                                                              << out.str();
    }
    // Data cut inside the library: what is there is named, the cut reported.
    Bytes data = chunk(2102, StreamWriter().add(463, testexe::dll(400)).bytes());
    data.resize(300);
    std::ostringstream out;
    EXPECT_FALSE(tools::inspect::inspect(data, out));
    EXPECT_NE(out.str().find("library image: PE32+ x86-64 DLL, 288 bytes\n"), std::string::npos) << out.str();
}

namespace {

class PackSoundLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("pack_library_" + std::to_string(getpid()));
        fs::create_directories(dir_ / "win");
        fs::create_directories(dir_ / "lone");
        fs::create_directories(dir_ / "desc");
        tool_ = DEMOTOOL_BINARY;
        ASSERT_TRUE(readFile(fs::path(tool_).parent_path() / "libdemosound.so", ours_));
        ASSERT_TRUE(writeFile(path("linux"), testexe::elf(2000), true));
        ASSERT_TRUE(writeFile(path("win/demoplayer.exe"), testexe::pe(2000)));
        ASSERT_TRUE(writeFile(path("lone/demoplayer.exe"), testexe::pe(2000)));
        for (const auto& [name, bytes] : files_)
            ASSERT_TRUE(writeFile(path(name), bytes));
        const std::string description = R"({"window": {"width": 32, "height": 24}, "totalFrames": 5,
            "renderState": [], "timeline": [], "resources": [{"class": "soundLibrary")";
        ASSERT_TRUE(writeFile(path("old.json"), text(description + R"(, "file": "old.so"}]})")));
        ASSERT_TRUE(writeFile(path("desc/own.json"), text(description + "}]}")));
        int code = -1;
        std::string out = outputOf(tool_ + " build " + path("old.json") + " -o " + path("old.dat"), &code);
        ASSERT_EQ(code, 0) << out;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
    std::string tool_;
    Bytes ours_;  // libdemosound.so next to demotool
    const std::vector<std::pair<std::string, Bytes>> files_ = {
        {"old.so", testexe::elfLibrary(90)},     {"other.so", testexe::elfLibrary(70)},
        {"win/demosound.dll", testexe::dll(60)}, {"other.dll", testexe::dll(80)},
        {"i386.dll", testexe::dll(80, false)},   {"notes.txt", text("a library, honest")},
    };
    Bytes file(const std::string& name) const
    {
        Bytes b;
        EXPECT_TRUE(readFile(path(name), b)) << name;
        return b;
    }
};

}  // namespace

TEST_F(PackSoundLibrary, TakesTheLibraryThePlayerLoadsAndRefusesOneItCannot)
{
    struct Case {
        std::string player, data, options;
        int code;
        std::string carried;             // the file whose bytes the packed demo carries
        std::vector<std::string> said;   // each in the output
    } cases[] = {
        {"win/demoplayer.exe", "old.dat", "", 0, "win/demosound.dll", {}},
        {"win/demoplayer.exe", "desc/own.json", "", 0, "win/demosound.dll", {}},
        {"linux", "old.dat", "", 0, "", {}},  // "": libdemosound.so next to demotool
        {"linux", "desc/own.json", "", 0, "", {}},
        {"win/demoplayer.exe", "old.dat", "--sound-library other.dll", 0, "other.dll", {}},
        {"linux", "old.dat", "--sound-library other.so", 0, "other.so", {}},
        // A library kept is held to what a library put in is held to.
        {"win/demoplayer.exe", "old.dat", "--keep-sound-library", 1, "",
         {"the sound library the demo carries is an ELF x86-64 shared library (a Linux library), "
          "which a Windows player cannot load, so the music would not play; a Windows player takes demosound.dll",
          "refused; --as-is packs it all the same"}},
        {"win/demoplayer.exe", "old.dat", "--keep-sound-library --as-is", 0, "old.so",
         {"the sound library the demo carries is an ELF x86-64 shared library", "packing it all the same (--as-is)"}},
        {"linux", "old.dat", "--keep-sound-library", 0, "old.so", {}},
        {"lone/demoplayer.exe", "old.dat", "", 1, "",
         {"warning: cannot read the sound library " + path("lone") + "/demosound.dll, which a Windows player "
          "takes from beside it; the demo keeps the one it carries",
          "the demo carries is an ELF x86-64 shared library", "refused; --as-is packs it all the same"}},
        {"lone/demoplayer.exe", "old.dat", "--as-is", 0, "old.so", {"packing it all the same (--as-is)"}},
        // A description's default library is the player's, wherever the description is.
        {"lone/demoplayer.exe", "desc/own.json", "", 1, "",
         {"the default library: cannot read '" + path("lone/demosound.dll") + "'"}},
        {"win/demoplayer.exe", "old.dat", "--sound-library other.so", 1, "",
         {"the sound library other.so is an ELF x86-64 shared library (a Linux library), which "
          "a Windows player cannot load, so the music would not play; a Windows player takes demosound.dll",
          "refused; --as-is packs it all the same"}},
        {"linux", "desc/own.json", "--sound-library win/demosound.dll", 1, "",
         {"is a PE32+ x86-64 DLL (a Windows library), which a Linux player cannot load"}},
        {"win/demoplayer.exe", "old.dat", "--sound-library i386.dll", 1, "",
         {"is a PE32 i386 DLL, which a PE32+ x86-64 player cannot load"}},
        {"linux", "old.dat", "--sound-library notes.txt", 1, "",
         {"is not a library (looks like text), which no player can load"}},
        {"win/demoplayer.exe", "old.dat", "--as-is --sound-library other.so", 0, "other.so",
         {"packing it all the same (--as-is)"}},
    };
    for (const Case& c : cases) {
        const std::string arguments = c.player + " " + c.data + " " + c.options;
        int code = -1;
        const std::string out =
            outputOf("cd " + dir_.string() + " && " + tool_ + " pack " + arguments + " -o out", &code);
        EXPECT_EQ(code, c.code) << arguments << "\n" << out;
        for (const std::string& line : c.said)
            EXPECT_NE(out.find(line), std::string::npos) << arguments << "\nmissing: " << line << "\n" << out;
        if (c.code != 0) {
            EXPECT_FALSE(fs::exists(path("out"))) << arguments;
            continue;
        }
        if (c.said.empty()) {
            EXPECT_EQ(out, "") << arguments;
        }
        Bytes packed, carried;
        ASSERT_TRUE(readFile(path("out"), packed)) << arguments;
        ASSERT_TRUE(carriedSoundLibrary(demoDataOf(packed), &carried)) << arguments;
        EXPECT_TRUE(carried == (c.carried.empty() ? ours_ : file(c.carried))) << arguments;
        fs::remove(path("out"));
    }
}
