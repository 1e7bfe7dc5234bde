// How `demotool inspect` shows what it finds: the names of classes and
// timeline commands, tags and byte strings escaped for a terminal, and the
// fields of a dynamic.
#pragma once

#include <cstdint>
#include <string>

namespace tools::inspect {

// A class's name by its chunk id ("Quad", ...), or none.
const char* className(int16_t id);
// A timeline command's name by its id ("group", ...), or none.
const char* commandName(int16_t id);
std::string hex16(int16_t value);  // "0x00FF"
// The byte as it is when printable, else "\\xNN".
void escapeByte(std::string& out, uint8_t c);
// Four bytes as text: "-" for no tag, zero padding dropped, odd bytes escaped.
std::string tagText(const uint8_t* p);
// `n` bytes between double quotes, odd bytes escaped.
std::string quoted(const uint8_t* p, int32_t n);
// A dynamic's payload as a description writes it: kind, parameter (by its
// table name, UTF-8), per-frame value, initial value, mode and vector.
std::string dynamicFields(int16_t id, const uint8_t* p);

}  // namespace tools::inspect
