#include "platform/web/library_image.h"

namespace platform::web {

namespace {

uint64_t little(const uint8_t* p, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

// [at, at + length) inside [0, size), without overflow.
bool inside(uint64_t at, uint64_t length, size_t size)
{
    return at <= size && length <= size - at;
}

bool wholeElf(const uint8_t* d, size_t size)
{
    // Little-endian, 32 or 64-bit, a shared object (ET_DYN).
    if (size < 52)
        return false;
    const int klass = d[4];
    if ((klass != 1 && klass != 2) || d[5] != 1)
        return false;
    const bool wide = klass == 2;
    const size_t header = wide ? 64 : 52;
    if (size < header || little(d + 16, 2) != 3)
        return false;
    const int word = wide ? 8 : 4;
    const uint64_t phoff = little(d + 24 + word, word), shoff = little(d + 24 + 2 * word, word);
    const uint8_t* counts = d + 24 + 3 * word + 6;  // past e_flags and e_ehsize
    const uint64_t phentsize = little(counts, 2), phnum = little(counts + 2, 2);
    const uint64_t shentsize = little(counts + 4, 2), shnum = little(counts + 6, 2);
    if (phnum == 0 || phentsize < (wide ? 56u : 32u) || !inside(phoff, phentsize * phnum, size))
        return false;
    for (uint64_t i = 0; i < phnum; ++i) {
        const uint8_t* ph = d + phoff + i * phentsize;
        const uint64_t offset = little(ph + (wide ? 8 : 4), word);
        const uint64_t filesz = little(ph + (wide ? 32 : 16), word);
        if (!inside(offset, filesz, size))
            return false;
    }
    // The section table sits at the end of the file: a file cut short loses it.
    return shoff == 0 || (shentsize >= (wide ? 64u : 40u) && inside(shoff, shentsize * shnum, size));
}

bool wholePe(const uint8_t* d, size_t size)
{
    if (size < 64)
        return false;
    const uint64_t pe = little(d + 60, 4);
    if (!inside(pe, 24, size) || d[pe] != 'P' || d[pe + 1] != 'E' || d[pe + 2] || d[pe + 3])
        return false;
    const uint8_t* coff = d + pe + 4;
    const uint64_t sections = little(coff + 2, 2), optional = little(coff + 16, 2);
    const uint64_t characteristics = little(coff + 18, 2);
    if (!(characteristics & 0x2000) || sections == 0)  // IMAGE_FILE_DLL
        return false;
    const uint64_t table = pe + 24 + optional;
    if (!inside(table, sections * 40, size))
        return false;
    for (uint64_t i = 0; i < sections; ++i) {
        const uint8_t* s = d + table + i * 40;
        const uint64_t rawSize = little(s + 16, 4), rawAt = little(s + 20, 4);
        if (rawSize && !inside(rawAt, rawSize, size))
            return false;
    }
    return true;
}

}  // namespace

bool isWholeLibrary(const uint8_t* data, size_t size)
{
    if (!data || size < 4)
        return false;
    if (data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F')
        return wholeElf(data, size);
    if (data[0] == 'M' && data[1] == 'Z')
        return wholePe(data, size);
    return false;
}

}  // namespace platform::web
