// Small executables made byte by byte for the tests of what pack takes as a
// player: headers as the ELF and PE formats lay them out, one section whose
// bytes hold the player's message text (or not), nothing that runs.
#pragma once

#include <cstring>
#include <string>

#include "tools/writer/writer.h"

namespace testexe {

inline void put(tools::writer::Bytes& b, size_t at, uint64_t value, int bytes)
{
    if (b.size() < at + size_t(bytes))
        b.resize(at + size_t(bytes), 0);
    for (int i = 0; i < bytes; ++i)
        b[at + size_t(i)] = uint8_t(value >> (8 * i));
}

inline tools::writer::Bytes sectionBody(size_t size, bool playerText)
{
    tools::writer::Bytes body(size, 0x90);
    const char* text = playerText ? "ID DESCONEGUDA: %i" : "usage: ls [OPTION]...";
    std::memcpy(body.data(), text, std::min(size, std::strlen(text)));
    return body;
}

// A 64-bit little-endian ELF: header, the section's bytes, then the section
// header table (a null section and the one holding the body): it ends at
// 64 + bodySize + 128.
inline tools::writer::Bytes elf(size_t bodySize, bool playerText = true)
{
    tools::writer::Bytes b(64, 0);
    std::memcpy(b.data(), "\x7f" "ELF\x02\x01\x01", 7);
    put(b, 16, 2, 2);       // executable
    put(b, 18, 0x3E, 2);    // x86-64
    put(b, 20, 1, 4);
    const uint64_t shoff = 64 + bodySize;
    put(b, 0x28, shoff, 8);
    put(b, 0x34, 64, 2);
    put(b, 0x3A, 64, 2);
    put(b, 0x3C, 2, 2);
    tools::writer::append(b, sectionBody(bodySize, playerText));
    b.resize(shoff + 128, 0);
    put(b, shoff + 64 + 4, 1, 4);         // PROGBITS
    put(b, shoff + 64 + 0x18, 64, 8);     // offset
    put(b, shoff + 64 + 0x20, bodySize, 8);
    return b;
}

// A PE32+ file: DOS header pointing at "PE\0\0" at 64, a 240-byte optional
// header, one section whose raw bytes start at 512: it ends at 512 + bodySize.
// `signature` replaces "PE\0\0" to make a broken one.
inline tools::writer::Bytes pe(size_t bodySize, bool playerText = true, const char* signature = "PE\0\0")
{
    tools::writer::Bytes b(512, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put(b, 0x3C, 64, 4);
    std::memcpy(b.data() + 64, signature, 4);
    put(b, 64 + 4, 0x8664, 2);
    put(b, 64 + 6, 1, 2);      // one section
    put(b, 64 + 20, 240, 2);   // optional header size
    put(b, 64 + 24, 0x20B, 2); // PE32+
    put(b, 64 + 24 + 60, 512, 4);  // size of headers
    const size_t section = 64 + 24 + 240;
    std::memcpy(b.data() + section, ".text", 5);
    put(b, section + 16, bodySize, 4);
    put(b, section + 20, 512, 4);
    tools::writer::append(b, sectionBody(bodySize, playerText));
    return b;
}

// Libraries of the same making: an ELF shared object; a DLL, PE32+ x86-64 or
// PE32 i386.
inline tools::writer::Bytes elfLibrary(size_t bodySize)
{
    tools::writer::Bytes b = elf(bodySize, false);
    put(b, 16, 3, 2);
    return b;
}

inline tools::writer::Bytes dll(size_t bodySize, bool wide = true)
{
    tools::writer::Bytes b = pe(bodySize, false);
    put(b, 64 + 22, 0x2022, 2);  // DLL, executable image, large addresses
    if (!wide) {
        put(b, 64 + 4, 0x14C, 2);
        put(b, 64 + 24, 0x10B, 2);
    }
    return b;
}

}  // namespace testexe
