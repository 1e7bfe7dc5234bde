// The sound library a demo carries: which one `pack` puts behind a Linux or a
// Windows player, and how `inspect` names it.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/tools/synthetic_executables.h"
#include "tools/demotool/inspect.h"
#include "tools/writer/writer.h"

using namespace authoring;

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
        EXPECT_TRUE(demotool::inspect(chunk(2102, StreamWriter().add(463, c.image).bytes()), out)) << c.what;
        EXPECT_NE(out.str().find("    library image: " + c.named + "\n"), std::string::npos) << c.what << "\n"
                                                                                              << out.str();
    }
    // Data cut inside the library: what is there is named, the cut reported.
    Bytes data = chunk(2102, StreamWriter().add(463, testexe::dll(400)).bytes());
    data.resize(300);
    std::ostringstream out;
    EXPECT_FALSE(demotool::inspect(data, out));
    EXPECT_NE(out.str().find("library image: PE32+ x86-64 DLL, 288 bytes\n"), std::string::npos) << out.str();
}
