#include "tools/common/latin1.h"

namespace tools::common {

std::string latin1FromUtf8(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char lead = uint8_t(utf8[i]);
        if ((lead == 0xc2 || lead == 0xc3) && i + 1 < utf8.size() && (uint8_t(utf8[i + 1]) & 0xc0) == 0x80) {
            out += char((lead & 0x03) << 6 | (uint8_t(utf8[i + 1]) & 0x3f));
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

void appendLatin1AsUtf8(std::string& out, unsigned char c)
{
    if (c < 0x80) {
        out += char(c);
    } else {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string utf8FromLatin1(const std::string& latin1)
{
    std::string out;
    for (unsigned char c : latin1)
        appendLatin1AsUtf8(out, c);
    return out;
}

}  // namespace tools::common
