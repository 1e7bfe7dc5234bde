// What a file handed to demotool is: a player executable (ELF or PE), demo
// data, or something else, told from its bytes so that a command can refuse
// wrong input with a reason.
#pragma once

#include <cstdint>
#include <string>

#include "tools/writer/writer.h"

namespace tools::writer {

enum class ExecutableFormat { None, Elf, Pe };

struct ExecutableLayout {
    ExecutableFormat format = ExecutableFormat::None;
    // Where the executable's own bytes end, from its headers (header tables,
    // segments, sections): bytes after it are appended data. 0 when the
    // headers cannot be walked.
    uint64_t end = 0;
    std::string problem;  // why the headers cannot be walked, or ""
};

// The format by its magic number alone ("\x7f" "ELF"; "MZ" with "PE\0\0" at
// the offset stored at 0x3C), and where the executable ends.
ExecutableLayout executableLayout(const Bytes& file);
bool isExecutable(const Bytes& file);
const char* formatName(ExecutableFormat format);  // "ELF", "PE"

// What a binary is by its headers alone, for naming the sound library a demo
// carries and telling whether a player can load it.
struct BinaryKind {
    ExecutableFormat format = ExecutableFormat::None;
    bool library = false;  // an ELF shared object, a PE file with the DLL flag
    bool wide = false;     // ELFCLASS64, PE32+
    unsigned machine = 0;  // e_machine, the COFF machine
    // "ELF x86-64 shared library", "PE32+ x86-64 DLL", "PE32 i386 executable",
    // "not a library (starts with the bytes ...)".
    std::string name;
};
// Reads only the first headers, each read checked against `size`.
BinaryKind binaryKind(const uint8_t* data, size_t size);
BinaryKind binaryKind(const Bytes& file);
// Why a player of kind `player` cannot load `library`, or "" when it can:
// both of one format and machine, the library a library.
std::string libraryMismatch(const BinaryKind& player, const BinaryKind& library);

// Why `file` cannot be the player that pack puts demo data behind, or "":
// it must be an ELF or PE executable holding the player's message texts
// ("ID DESCONEGUDA") whose headers end before the demo data offset.
// A packed demo is taken as its player: *player gets the bytes before the
// demo data offset (the file itself when it holds no data).
std::string playerProblem(const Bytes& file, Bytes* player);

// Whether raw bytes start with a top-level chunk id of demo data.
bool looksLikeDemoData(const Bytes& file);
// Whether the first non-blank character opens JSON or a comment.
bool looksLikeDescription(const Bytes& file);
// What the bytes look like, for a message: "text", "a PNG image", "an MP3
// file", ... or "" when nothing is recognised.
std::string lookOf(const Bytes& file);
// "looks like X" or "starts with the bytes 12 34 56 78".
std::string appearance(const Bytes& file);

}  // namespace tools::writer
