#include "tools/inspect/chunk_text.h"

#include <cstdio>
#include <cstring>

#include "tools/common/latin1.h"
#include "tools/writer/animation_payloads.h"

namespace tools::inspect {

const char* className(int16_t id)
{
    switch (id) {
    case 3: return "Color";
    case 25: return "TimelineEntry";
    case 109: return "Model";
    case 150: return "Scale";
    case 160: return "Quad";
    case 170: return "Grid";
    case 200: return "Texture";
    case 202: return "Texture copy";
    case 250: return "Box";
    case 275: return "Transform";
    case 300: return "Camera";
    case 325: return "Replicator";
    case 340: return "BlendMode";
    case 341: return "MotionTrail";
    case 345: return "PolygonMode";
    case 350: return "QuadSplitter";
    case 355: return "PieceAssembly";
    case 400: return "Quadric";
    case 420: return "CollisionWorld";
    case 450: return "Ripple";
    case 461: return "MusicTrack";
    case 463: return "SoundLibrary";
    case 2101: return "settings image";
    default: return nullptr;
    }
}

const char* commandName(int16_t id)
{
    switch (id) {
    case 1000: return "group";
    case 1001: return "place clone";
    case 1002: return "attach scalar dynamic";
    case 1003: return "attach translation dynamic";
    case 1004: return "attach rotation dynamic";
    case 1005: return "place Transform copy";
    case 1006: return "fast-forward instance";
    case 1007: return "fast-forward resource";
    default: return nullptr;
    }
}

std::string hex16(int16_t value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%04X", unsigned(uint16_t(value)));
    return buffer;
}

void escapeByte(std::string& out, uint8_t c)
{
    if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
        out += char(c);
    } else {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%02x", unsigned(c));
        out += buffer;
    }
}

// Four bytes as text: "-" for no tag, zero padding dropped, odd bytes escaped.
std::string tagText(const uint8_t* p)
{
    int n = 4;
    while (n > 0 && p[n - 1] == 0)
        --n;
    if (n == 0)
        return "-";
    std::string out;
    for (int i = 0; i < n; ++i)
        escapeByte(out, p[i]);
    return out;
}

std::string quoted(const uint8_t* p, int32_t n)
{
    std::string out = "\"";
    for (int32_t i = 0; i < n; ++i)
        escapeByte(out, p[i]);
    return out + "\"";
}

// A dynamic's payload as a description writes it: kind, parameter (by its
// table name, UTF-8), per-frame value, initial value, mode and vector.
std::string dynamicFields(int16_t id, const uint8_t* p)
{
    auto f32At = [&](int at) {
        float v;
        std::memcpy(&v, p + at, 4);
        char text[32];
        std::snprintf(text, sizeof text, "%g", double(v));
        return std::string(text);
    };
    const int mode = p[0];
    const int16_t index = int16_t(p[9] | p[10] << 8);
    const std::string shown = common::utf8FromLatin1(writer::dynamicParameterName(index));
    std::string text = std::string(id == 1002 ? "scalar" : id == 1003 ? "translation" : "rotation") + " '" +
                       (shown.empty() ? "#" + std::to_string(index) + "' (no such parameter)" : shown + "'") +
                       ", value " + f32At(5) + " per frame, initial " + f32At(1) + ", mode " +
                       (mode == 1 ? "relative" : mode == 2 ? "reset" : std::to_string(mode) + " (unknown)");
    if (id != 1002)
        text += ", vector (" + f32At(11) + ", " + f32At(15) + ", " + f32At(19) + ")";
    return text;
}

}  // namespace tools::inspect
