#include "tools/writer/file_kind.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "demo/format.h"

namespace tools::writer {

namespace {

uint64_t le(const Bytes& b, uint64_t at, int n)
{
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | b[size_t(at) + size_t(i)];
    return v;
}

// Offsets and sizes come from the file: a sum that would wrap is taken as
// reaching past any file.
uint64_t sum(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t product(uint64_t a, uint64_t b)
{
    return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

// Every read checks its bounds: the file is whatever the user handed us.
struct Reader {
    const Bytes& b;
    bool ok = true;
    uint64_t get(uint64_t at, int n)
    {
        if (!ok || at > b.size() || b.size() - at < uint64_t(n)) {
            ok = false;
            return 0;
        }
        return le(b, at, n);
    }
};

// A segment, section or table reaching past the file: the file was cut.
std::string cutShort(const char* kind, uint64_t end, size_t size)
{
    return std::string(kind) + " file cut short: its headers reach " +
           (end == UINT64_MAX ? std::string("past any file") : "byte " + std::to_string(end)) + ", the file has " +
           std::to_string(size) + " bytes";
}

ExecutableLayout elfLayout(const Bytes& b)
{
    ExecutableLayout layout;
    layout.format = ExecutableFormat::Elf;
    Reader r{b};
    const bool wide = b.size() > 4 && b[4] == 2;
    if (b.size() < 6 || (b[4] != 1 && b[4] != 2) || b[5] != 1) {
        layout.problem = "an ELF file of a kind the player is not (not little-endian 32 or 64 bit)";
        return layout;
    }
    const uint64_t headerSize = wide ? 64 : 52;
    const uint64_t phoff = r.get(wide ? 0x20 : 0x1C, wide ? 8 : 4);
    const uint64_t shoff = r.get(wide ? 0x28 : 0x20, wide ? 8 : 4);
    const uint64_t phentsize = r.get(wide ? 0x36 : 0x2A, 2), phnum = r.get(wide ? 0x38 : 0x2C, 2);
    const uint64_t shentsize = r.get(wide ? 0x3A : 0x2E, 2), shnum = r.get(wide ? 0x3C : 0x30, 2);
    if (!r.ok) {
        layout.problem = "an ELF file cut short in its header (" + std::to_string(b.size()) + " bytes)";
        return layout;
    }
    uint64_t end = headerSize;
    if (phnum) {
        end = std::max(end, sum(phoff, product(phnum, phentsize)));
        for (uint64_t i = 0; i < phnum && r.ok; ++i) {
            const uint64_t at = sum(phoff, product(i, phentsize));
            const uint64_t offset = r.get(sum(at, wide ? 8 : 4), wide ? 8 : 4);
            const uint64_t size = r.get(sum(at, wide ? 0x20 : 0x10), wide ? 8 : 4);
            end = std::max(end, sum(offset, size));
        }
    }
    if (shnum) {
        end = std::max(end, sum(shoff, product(shnum, shentsize)));
        for (uint64_t i = 0; i < shnum && r.ok; ++i) {
            const uint64_t at = sum(shoff, product(i, shentsize));
            const uint64_t type = r.get(sum(at, 4), 4);
            const uint64_t offset = r.get(sum(at, wide ? 0x18 : 0x10), wide ? 8 : 4);
            const uint64_t size = r.get(sum(at, wide ? 0x20 : 0x14), wide ? 8 : 4);
            if (type != 8)  // SHT_NOBITS takes no room in the file
                end = std::max(end, sum(offset, size));
        }
    }
    if (!r.ok) {
        layout.problem = "an ELF file whose header tables run past its end";
        return layout;
    }
    if (end > b.size()) {
        layout.problem = cutShort("an ELF", end, b.size());
        return layout;
    }
    layout.end = end;
    return layout;
}

ExecutableLayout peLayout(const Bytes& b, uint64_t peAt)
{
    ExecutableLayout layout;
    layout.format = ExecutableFormat::Pe;
    Reader r{b};
    const uint64_t sections = r.get(peAt + 6, 2);
    const uint64_t optionalSize = r.get(peAt + 20, 2);
    const uint64_t headersSize = optionalSize >= 64 ? r.get(peAt + 24 + 60, 4) : 0;
    const uint64_t table = peAt + 24 + optionalSize;
    uint64_t end = std::max(headersSize, table + sections * 40);
    for (uint64_t i = 0; i < sections && r.ok; ++i) {
        const uint64_t rawSize = r.get(table + i * 40 + 16, 4);
        const uint64_t rawAt = r.get(table + i * 40 + 20, 4);
        if (rawSize)
            end = std::max(end, rawAt + rawSize);
    }
    // An unstripped build keeps a COFF symbol table and its string table
    // after the sections.
    const uint64_t symbols = r.get(peAt + 12, 4), symbolCount = r.get(peAt + 16, 4);
    if (r.ok && symbols != 0) {
        const uint64_t strings = symbols + symbolCount * 18;
        Reader table{b};
        end = std::max(end, strings + std::max<uint64_t>(4, table.get(strings, 4)));
    }
    if (!r.ok) {
        layout.problem = "a PE file whose headers run past its end";
        return layout;
    }
    if (end > b.size()) {
        layout.problem = cutShort("a PE", end, b.size());
        return layout;
    }
    layout.end = end;
    return layout;
}

bool startsWith(const Bytes& b, const char* magic, size_t at = 0)
{
    const size_t n = std::strlen(magic);
    return b.size() >= at + n && std::memcmp(b.data() + at, magic, n) == 0;
}

}  // namespace

ExecutableLayout executableLayout(const Bytes& file)
{
    if (startsWith(file, "\x7f" "ELF"))
        return elfLayout(file);
    if (startsWith(file, "MZ") && file.size() >= 0x40) {
        const uint64_t peAt = le(file, 0x3C, 4);
        if (peAt <= file.size() && file.size() - peAt >= 24 && std::memcmp(file.data() + peAt, "PE\0\0", 4) == 0)
            return peLayout(file, peAt);
    }
    return {};
}

bool isExecutable(const Bytes& file)
{
    return executableLayout(file).format != ExecutableFormat::None;
}

const char* formatName(ExecutableFormat format)
{
    switch (format) {
    case ExecutableFormat::Elf: return "ELF";
    case ExecutableFormat::Pe: return "PE";
    default: return "unknown";
    }
}

std::string playerProblem(const Bytes& file, Bytes* player)
{
    const ExecutableLayout layout = executableLayout(file);
    if (layout.format == ExecutableFormat::None) {
        const std::string look = lookOf(file);
        if (startsWith(file, "MZ"))
            return "not an executable: an MZ header without a PE signature";
        return "not an executable: " + (look.empty() ? appearance(file) : "looks like " + look);
    }
    if (!layout.problem.empty())
        return "not a usable executable: " + layout.problem;
    // Every build of the player carries the loader's own message texts; an
    // executable without them (a system program, another project's) is no player.
    static const char kPlayerText[] = "ID DESCONEGUDA";
    if (std::search(file.begin(), file.end(), kPlayerText, kPlayerText + sizeof kPlayerText - 1) == file.end())
        return std::string(layout.format == ExecutableFormat::Pe ? "a " : "an ") + formatName(layout.format) +
               " executable, but not the demo player (it holds none of the player's messages)";
    if (layout.end > kDataOffset)
        return std::string(layout.format == ExecutableFormat::Pe ? "a " : "an ") + formatName(layout.format) +
               " executable that ends at byte " +
               std::to_string(layout.end) + ", past " + std::to_string(kDataOffset) + " where the demo data begins";
    if (player) {
        // A packed demo: its data goes, the player stays.
        *player = file.size() > kDataOffset ? Bytes(file.begin(), file.begin() + kDataOffset) : file;
    }
    return "";
}

namespace {

std::string machineName(ExecutableFormat format, unsigned machine)
{
    struct Name {
        unsigned elf, pe;
        const char* name;
    };
    static const Name kNames[] = {
        {3, 0x14C, "i386"}, {0x3E, 0x8664, "x86-64"}, {0x28, 0x1C4, "ARM"}, {0xB7, 0xAA64, "AArch64"},
        {0xF3, 0x5064, "RISC-V"},
    };
    for (const Name& n : kNames) {
        if (machine == (format == ExecutableFormat::Elf ? n.elf : n.pe))
            return n.name;
    }
    char text[24];
    std::snprintf(text, sizeof text, "machine 0x%X", machine);
    return text;
}

BinaryKind notALibrary(const uint8_t* data, size_t size, const std::string& why = "")
{
    BinaryKind kind;
    if (!why.empty()) {
        kind.name = "not a library (" + why + ")";
    } else {
        // What the bytes look like is told from their start.
        const Bytes start(data, data + std::min<size_t>(size, 4096));
        kind.name = "not a library (" + appearance(start) + ")";
    }
    return kind;
}

std::string cutAt(const char* header, size_t size)
{
    return std::string(header) + " header cut short at " + std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

}  // namespace

BinaryKind binaryKind(const uint8_t* data, size_t size)
{
    auto at = [&](size_t offset, int n, bool big = false) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= uint64_t(data[offset + size_t(i)]) << (8 * (big ? n - 1 - i : i));
        return v;
    };
    BinaryKind kind;
    if (size >= 4 && std::memcmp(data, "\x7f" "ELF", 4) == 0) {
        if (size < 20)
            return notALibrary(data, size, cutAt("an ELF", size));
        if ((data[4] != 1 && data[4] != 2) || (data[5] != 1 && data[5] != 2))
            return notALibrary(data, size, "an ELF file of unknown class or byte order");
        const bool big = data[5] == 2;
        kind.format = ExecutableFormat::Elf;
        kind.wide = data[4] == 2;
        kind.machine = unsigned(at(18, 2, big));
        const unsigned type = unsigned(at(16, 2, big));
        kind.library = type == 3;
        kind.name = "ELF " + machineName(kind.format, kind.machine) +
                    (type == 3   ? " shared library"
                     : type == 2 ? " executable"
                     : type == 1 ? " relocatable object"
                                 : " file of type " + std::to_string(type));
        return kind;
    }
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
        if (size < 0x40)
            return notALibrary(data, size, cutAt("an MZ", size));
        const uint64_t peAt = at(0x3C, 4);
        if (peAt > size || size - peAt < 4 || std::memcmp(data + peAt, "PE\0\0", 4) != 0)
            return notALibrary(data, size, "an MZ header without a PE signature");
        if (size - peAt < 24)
            return notALibrary(data, size, cutAt("a PE", size));
        kind.format = ExecutableFormat::Pe;
        kind.machine = unsigned(at(size_t(peAt) + 4, 2));
        kind.library = (at(size_t(peAt) + 22, 2) & 0x2000) != 0;
        const unsigned magic = size - peAt >= 26 ? unsigned(at(size_t(peAt) + 24, 2)) : 0;
        kind.wide = magic == 0x20B;
        kind.name = std::string(magic == 0x20B ? "PE32+ " : magic == 0x10B ? "PE32 " : "PE ") +
                    machineName(kind.format, kind.machine) + (kind.library ? " DLL" : " executable");
        return kind;
    }
    return notALibrary(data, size);
}

BinaryKind binaryKind(const Bytes& file)
{
    return binaryKind(file.data(), file.size());
}

std::string libraryMismatch(const BinaryKind& player, const BinaryKind& library)
{
    const auto system = [](ExecutableFormat f) { return f == ExecutableFormat::Pe ? "Windows" : "Linux"; };
    const auto article = [](const std::string& name) { return name[0] == 'E' ? "an " : "a "; };
    if (library.format == ExecutableFormat::None)
        return library.name + ", which no player can load";
    if (library.format != player.format)
        return article(library.name) + library.name + " (a " + system(library.format) + " library), which a " +
               system(player.format) + " player cannot load";
    if (!library.library)
        return article(library.name) + library.name + ", not a library the player can load";
    if (library.machine == player.machine && library.wide == player.wide)
        return "";
    const char* prefix = player.format == ExecutableFormat::Elf ? "ELF " : player.wide ? "PE32+ " : "PE32 ";
    const std::string wanted = prefix + machineName(player.format, player.machine) + " player";
    return article(library.name) + library.name + ", which " + article(wanted) + wanted + " cannot load";
}

bool looksLikeDemoData(const Bytes& file)
{
    if (file.size() < 6)
        return false;
    const int id = int(int16_t(file[0] | (file[1] << 8)));
    return id >= format::kWindowSettings && id <= format::kTimeline;
}

bool looksLikeDescription(const Bytes& file)
{
    for (uint8_t c : file) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{' || c == '/';
    }
    return false;
}

std::string lookOf(const Bytes& b)
{
    struct Magic {
        const char* bytes;
        size_t at;
        const char* look;
    };
    static const Magic kMagics[] = {
        {"\x89PNG", 0, "a PNG image"},    {"\xff\xd8\xff", 0, "a JPEG image"}, {"GIF8", 0, "a GIF image"},
        {"BM", 0, "a BMP image"},         {"WAVE", 8, "a WAV file"},          {"ID3", 0, "an MP3 file"},
        {"OggS", 0, "an Ogg file"},       {"fLaC", 0, "a FLAC file"},          {"PK\x03\x04", 0, "a ZIP archive"},
        {"\x1f\x8b", 0, "a gzip file"},   {"%PDF", 0, "a PDF document"},       {"glTF", 0, "a glTF model"},
    };
    for (const Magic& m : kMagics) {
        if (startsWith(b, m.bytes, m.at))
            return m.look;
    }
    if (b.size() >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0)
        return "an MP3 file";
    if (b.empty())
        return "an empty file";
    // Text: no control bytes but tabs and line ends in the first 4 KB.
    const size_t n = std::min<size_t>(b.size(), 4096);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = b[i];
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            return "";
        if (c == 0x7f)
            return "";
    }
    return "text";
}

std::string appearance(const Bytes& file)
{
    const std::string look = lookOf(file);
    if (!look.empty())
        return "looks like " + look;
    std::string text = "starts with the bytes";
    for (size_t i = 0; i < std::min<size_t>(file.size(), 8); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", file[i]);
        text += hex;
    }
    return text;
}

}  // namespace tools::writer
