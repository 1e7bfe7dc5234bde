// What a web page takes for a whole sound library: the library built here
// (ELF) and a Windows DLL's layout (PE), whole or cut short or altered.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/web/library_image.h"

using Bytes = std::vector<uint8_t>;

namespace {

void put(Bytes& b, size_t at, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// A DLL's headers: the PE header at 64, one section of 512 bytes at 512.
Bytes dll()
{
    Bytes b(1024, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put(b, 60, 64, 4);
    b[64] = 'P';
    b[65] = 'E';
    put(b, 68, 0x8664, 2);        // machine
    put(b, 70, 1, 2);             // sections
    put(b, 84, 240, 2);           // optional header size
    put(b, 86, 0x2022, 2);        // a DLL
    const size_t section = 64 + 24 + 240;
    put(b, section + 16, 512, 4);  // raw size
    put(b, section + 20, 512, 4);  // raw offset
    return b;
}

// A 32-bit ELF shared object of 256 bytes: one segment, all of them.
Bytes elf32()
{
    Bytes b(256, 0);
    b[0] = 0x7F;
    b[1] = 'E';
    b[2] = 'L';
    b[3] = 'F';
    b[4] = 1;           // 32-bit
    b[5] = 1;           // little-endian
    put(b, 16, 3, 2);   // a shared object
    put(b, 28, 52, 4);  // program headers
    put(b, 42, 32, 2);  // of 32 bytes
    put(b, 44, 1, 2);   // one
    put(b, 52, 1, 4);   // loaded
    put(b, 56, 0, 4);   // from 0
    put(b, 68, 256, 4);  // 256 bytes
    return b;
}

}  // namespace

TEST(WebLibraryImage, AWholeLibraryForLinuxOrWindowsAndNothingElse)
{
    std::ifstream in(DEMOSOUND_LIBRARY, std::ios::binary);
    const Bytes so(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(so.size(), 4096u);
    uint64_t phoff = 0;
    for (int i = 7; i >= 0; --i)
        phoff = phoff << 8 | so[32 + size_t(i)];
    const auto cut = [](Bytes b, size_t n) { b.resize(b.size() - n); return b; };
    const auto with = [](Bytes b, size_t at, uint64_t value, int bytes) { put(b, at, value, bytes); return b; };
    const struct {
        const char* name;
        Bytes bytes;
        bool whole;
    } cases[] = {
        {"the library built here", so, true},
        {"its last byte cut", cut(so, 1), false},
        {"its section table cut", cut(so, 200), false},
        {"its first 4 kB", Bytes(so.begin(), so.begin() + 4096), false},
        {"an executable, not a shared object", with(so, 16, 2, 2), false},
        {"big-endian", with(so, 5, 2, 1), false},
        {"a program header past the end", with(so, 32, so.size(), 8), false},
        {"no program headers", with(so, 56, 0, 2), false},
        {"a segment's bytes past the end", with(so, size_t(phoff) + 32, so.size() + 1, 8), false},
        {"a 32-bit library", elf32(), true},
        {"a 32-bit library cut short", cut(elf32(), 1), false},
        {"a 32-bit library's segment past the end", with(elf32(), 56, 1, 4), false},
        {"a DLL", dll(), true},
        {"a DLL cut inside its section", cut(dll(), 1), false},
        {"an executable that is no DLL", with(dll(), 86, 0x0022, 2), false},
        {"a PE header past the end", with(dll(), 60, 2000, 4), false},
        {"a section table past the end", with(dll(), 84, 900, 2), false},
        {"a section past the end", with(dll(), 64 + 24 + 240 + 20, 0xFFFFFFFF, 4), false},
        {"no PE signature", with(dll(), 64, 'N', 1), false},
        {"text", Bytes(5000, 'A'), false},
        {"MZ alone", Bytes{'M', 'Z'}, false},
        {"nothing", Bytes(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.whole, platform::web::isWholeLibrary(c.bytes.data(), c.bytes.size())) << c.name;
}
