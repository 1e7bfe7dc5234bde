// The data's texts (tags, parameter names) are Latin-1 bytes; descriptions,
// charts and terminals speak UTF-8.
#pragma once

#include <string>

namespace tools::common {

// Each two-byte UTF-8 sequence of U+0080 to U+00FF becomes its Latin-1 byte;
// every other byte is kept as it is.
std::string latin1FromUtf8(const std::string& utf8);

// Each byte from 0x80 up becomes its two-byte UTF-8 sequence.
std::string utf8FromLatin1(const std::string& latin1);
void appendLatin1AsUtf8(std::string& out, unsigned char c);

}  // namespace tools::common
