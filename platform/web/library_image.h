// What a page can tell of a library file it cannot run: whether it is a
// whole shared library built for Linux (ELF) or Windows (PE), as a system's
// loader would take it, rather than something else or a file cut short.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::web {

// True for an ELF shared object or a PE DLL whose headers, program
// segments, section table and sections all lie inside its `size` bytes.
bool isWholeLibrary(const uint8_t* data, size_t size);

}  // namespace platform::web
