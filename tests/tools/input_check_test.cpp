// What pack, render, play and inspect take: players told by their headers,
// inputs told by their bytes, damage reported as inspect finds it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/tools/synthetic_executables.h"
#include "tools/inspect/inspect.h"
#include "tools/writer/file_kind.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using namespace tools::inspect;

namespace {

Bytes tinyDemo()
{
    DemoData demo;
    WindowSettings window;
    window.width = 32;
    window.height = 24;
    demo.window = windowSettings(window);
    demo.playback = playbackSettings({});
    demo.renderState = RenderStateWriter::standard(0, 0, 1, 1).bytes();
    StreamWriter timeline;
    timeline.add(totalFramesChunk(5));
    demo.timeline = timeline.bytes();
    return demoData(demo);
}

}  // namespace

TEST(PlayerRecognition, TakesOnlyOurExecutablesThatEndBeforeTheData)
{
    const Bytes text = tools::writer::text("notes for the demo\nsecond line\n");
    Bytes packedElf = pack(testexe::elf(1000), tinyDemo(), nullptr);
    struct Case {
        const char* what;
        Bytes file;
        ExecutableFormat format;
        uint64_t end;     // where the headers say it ends (0: no layout)
        const char* problem;  // "" when taken as a player
    } cases[] = {
        {"ELF", testexe::elf(1000), ExecutableFormat::Elf, 64 + 1000 + 128, ""},
        {"PE", testexe::pe(4096), ExecutableFormat::Pe, 512 + 4096, ""},
        {"packed ELF", packedElf, ExecutableFormat::Elf, 64 + 1000 + 128, ""},
        {"ELF ending at the offset", testexe::elf(kDataOffset - 192), ExecutableFormat::Elf, kDataOffset, ""},
        {"ELF past the offset", testexe::elf(kDataOffset), ExecutableFormat::Elf, 64 + kDataOffset + 128,
         "an ELF executable that ends at byte 151744, past 151552 where the demo data begins"},
        {"PE past the offset", testexe::pe(kDataOffset - 100), ExecutableFormat::Pe, kDataOffset + 412,
         "a PE executable that ends at byte 151964, past 151552"},
        {"another program", testexe::elf(1000, false), ExecutableFormat::Elf, 64 + 1000 + 128,
         "an ELF executable, but not the demo player"},
        {"ELF header cut", Bytes{0x7f, 'E', 'L', 'F', 2, 1, 1, 0}, ExecutableFormat::Elf, 0,
         "not a usable executable: an ELF file cut short in its header (8 bytes)"},
        {"MZ without PE", testexe::pe(64, true, "XX\0\0"), ExecutableFormat::None, 0,
         "not an executable: an MZ header without a PE signature"},
        {"text", text, ExecutableFormat::None, 0, "not an executable: looks like text"},
        {"demo data", tinyDemo(), ExecutableFormat::None, 0, "not an executable: starts with the bytes 34 08"},
        {"PNG", Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, ExecutableFormat::None, 0,
         "not an executable: looks like a PNG image"},
    };
    for (const Case& c : cases) {
        const ExecutableLayout layout = executableLayout(c.file);
        EXPECT_EQ(layout.format, c.format) << c.what;
        EXPECT_EQ(layout.end, c.end) << c.what;
        Bytes player;
        const std::string problem = playerProblem(c.file, &player);
        if (*c.problem == 0) {
            EXPECT_EQ(problem, "") << c.what;
            // A packed demo gives up its data and keeps its player.
            EXPECT_EQ(player, c.file.size() > kDataOffset ? Bytes(c.file.begin(), c.file.begin() + kDataOffset)
                                                          : c.file)
                << c.what;
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
        }
    }
}

TEST(PlayerRecognition, HostileHeadersAreRefusedWithinTheirBytes)
{
    using testexe::put;
    auto edited = [](Bytes b, size_t at, uint64_t value, int bytes) {
        put(b, at, value, bytes);
        return b;
    };
    const Bytes elf = testexe::elf(1000), pe = testexe::pe(1000);
    const size_t sectionHeader = 64 + 1000 + 64;  // the section holding the body
    const size_t peSection = 64 + 24 + 240;
    struct Case {
        const char* what;
        Bytes file;
        const char* problem;
    } cases[] = {
        {"PE offset past the end", edited(pe, 0x3C, 0xFFFFFFF0u, 4), "an MZ header without a PE signature"},
        {"PE signature across the end", edited(Bytes(pe.begin(), pe.begin() + 0x40), 0x3C, 0x3E, 4),
         "an MZ header without a PE signature"},
        {"65535 PE sections", edited(pe, 64 + 6, 0xFFFF, 2), "a PE file whose headers run past its end"},
        {"PE section far out", edited(edited(pe, peSection + 20, 0xFFFFFFFFu, 4), peSection + 16, 0xFFFFFFFFu, 4),
         "a PE file cut short: its headers reach byte 8589934590, the file has 1512 bytes"},
        {"PE symbols far out", edited(edited(pe, 64 + 12, 0xFFFFFFF0u, 4), 64 + 16, 0xFFFFFFFFu, 4),
         "a PE file cut short"},
        {"ELF program headers far out", edited(edited(elf, 0x20, ~uint64_t(7), 8), 0x38, 1, 2),
         "an ELF file whose header tables run past its end"},
        {"65535 ELF sections", edited(elf, 0x3C, 0xFFFF, 2), "an ELF file whose header tables run past its end"},
        {"ELF section table wrapping", edited(elf, 0x28, ~uint64_t(0) - 100, 8),
         "an ELF file whose header tables run past its end"},
        // Offset + size wraps around to a small number.
        {"ELF section size wrapping", edited(elf, sectionHeader + 0x20, ~uint64_t(0) - 0x20, 8),
         "an ELF file cut short: its headers reach past any file"},
        {"ELF section past the end", edited(elf, sectionHeader + 0x20, 100000, 8),
         "an ELF file cut short: its headers reach byte 100064, the file has 1192 bytes"},
        {"ELF cut in its section table", Bytes(elf.begin(), elf.end() - 10),
         "an ELF file cut short: its headers reach byte 1192, the file has 1182 bytes"},
        // The last field read ends where the file does: read whole, the table itself is cut.
        {"ELF cut after the last field read", Bytes(elf.begin(), elf.end() - 24),
         "an ELF file cut short: its headers reach byte 1192, the file has 1168 bytes"},
        {"ELF cut in a section header's fields", Bytes(elf.begin(), elf.end() - 40),
         "an ELF file whose header tables run past its end"},
    };
    for (const Case& c : cases) {
        const ExecutableLayout layout = executableLayout(c.file);
        EXPECT_EQ(layout.end, 0u) << c.what;
        const std::string problem = playerProblem(c.file, nullptr);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
    }
    // A section of type NOBITS (.bss) takes no room in the file, whatever its size.
    const Bytes bss = edited(edited(elf, sectionHeader + 4, 8, 4), sectionHeader + 0x20, 100000, 8);
    EXPECT_EQ(executableLayout(bss).end, 64u + 1000 + 128);
    EXPECT_EQ(playerProblem(bss, nullptr), "");
}

TEST(PlayerRecognition, RealPlayersAreTakenWhole)
{
    Bytes player;
    ASSERT_TRUE(readFile(DEMOPLAYER_BINARY, player));
    ExecutableLayout layout = executableLayout(player);
    EXPECT_EQ(layout.format, ExecutableFormat::Elf);
    EXPECT_EQ(layout.end, player.size()) << "a linked player has nothing after its section table";
    // A Release player fits before the data; a sanitizer build does not.
    if (player.size() <= kDataOffset) {
        EXPECT_EQ(playerProblem(player, nullptr), "");
    } else {
        EXPECT_NE(playerProblem(player, nullptr).find("ends at byte " + std::to_string(player.size()) + ", past 151552"),
                  std::string::npos);
    }

    // A Windows executable from the cross compiler, when it is there.
    if (std::system("command -v x86_64-w64-mingw32-gcc >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no x86_64-w64-mingw32-gcc";
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("demotool_pe_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The player's message text in its data, as every player build has it.
    ASSERT_TRUE(writeFile((dir / "tiny.c").string(),
                          text("#include <stdio.h>\nint main(void) { puts(\"ID DESCONEGUDA: %i\"); return 0; }\n")));
    // Stripped, and with its symbol table, which lies after the sections.
    Bytes exe;
    for (const char* strip : {"", "-s"}) {
        ASSERT_EQ(std::system(("x86_64-w64-mingw32-gcc -O2 " + std::string(strip) + " -o " + (dir / "tiny.exe").string() +
                               " " + (dir / "tiny.c").string())
                                  .c_str()),
                  0);
        ASSERT_TRUE(readFile((dir / "tiny.exe").string(), exe));
        layout = executableLayout(exe);
        EXPECT_EQ(layout.format, ExecutableFormat::Pe) << strip;
        EXPECT_EQ(layout.end, exe.size()) << strip;
        EXPECT_EQ(playerProblem(exe, nullptr), "") << strip;
    }
    const Bytes data = tinyDemo();
    const Bytes packed = pack(exe, data, nullptr);
    EXPECT_EQ(demoDataOf(packed), data) << "a packed .exe gives its data like a packed ELF";
    std::ostringstream out;
    EXPECT_TRUE(tools::inspect::inspect(packed, out)) << out.str();
    EXPECT_NE(out.str().find("packed executable (PE)"), std::string::npos) << out.str();
    fs::remove_all(dir);
}

TEST(PlayerRecognition, InspectReadsPackedPeLikeElf)
{
    const Bytes data = tinyDemo();
    std::ostringstream raw, elf, pe;
    ASSERT_TRUE(tools::inspect::inspect(data, raw));
    ASSERT_TRUE(tools::inspect::inspect(pack(testexe::elf(100), data, nullptr), elf));
    ASSERT_TRUE(tools::inspect::inspect(pack(testexe::pe(100), data, nullptr), pe)) << pe.str();
    auto tree = [](const std::string& text) { return text.substr(text.find('\n')); };
    EXPECT_EQ(tree(pe.str()), tree(raw.str()));
    EXPECT_EQ(tree(elf.str()), tree(raw.str()));
    EXPECT_NE(pe.str().find("packed executable (PE), 151"), std::string::npos) << pe.str();
    std::ostringstream empty;
    EXPECT_FALSE(tools::inspect::inspect(testexe::pe(100), empty)) << "a player without data";
    EXPECT_NE(empty.str().find("! no demo data after offset 151552"), std::string::npos) << empty.str();
}

TEST(InputLooks, OneLineSaysWhatAFileIs)
{
    struct Case {
        Bytes bytes;
        bool demoData, description;
        const char* appearance;
    } cases[] = {
        {tinyDemo(), true, false, "starts with the bytes 34 08"},
        {{0x38, 0x08, 0, 0, 0, 0}, true, false, "starts with the bytes 38 08"},  // a timeline alone
        {{0x39, 0x08, 0, 0, 0, 0}, false, false, "starts with the bytes 39 08"},  // 2105: no top-level chunk
        {{0x33, 0x08, 0, 0, 0, 0}, false, false, "starts with the bytes 33 08"},  // 2099
        {text("  // comment\n{\"totalFrames\": 1}"), false, true, "looks like text"},
        {text("\n\t{}"), false, true, "looks like text"},
        {text("Just some notes.\n"), false, false, "looks like text"},
        {{0xff, 0xd8, 0xff, 0xe0}, false, false, "looks like a JPEG image"},
        {text(std::string("OggS\0\2", 6)), false, false, "looks like an Ogg file"},
        {text("fLaC"), false, false, "looks like a FLAC file"},
        {text(std::string("RIFF\x10\0\0\0WAVEfmt ", 16)), false, false, "looks like a WAV file"},
        {{}, false, false, "looks like an empty file"},
        {{0x01, 0x02, 0x00, 0x7f, 0xee}, false, false, "starts with the bytes 01 02 00 7f ee"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(looksLikeDemoData(c.bytes), c.demoData) << c.appearance;
        EXPECT_EQ(looksLikeDescription(c.bytes), c.description) << c.appearance;
        EXPECT_EQ(appearance(c.bytes).rfind(c.appearance, 0), 0u) << appearance(c.bytes);
    }
}
