#include "tools/inspect/chunk_text.h"

#include <cstdio>
#include <cstring>

#include "demo/class_registry.h"
#include "demo/format.h"
#include "tools/common/latin1.h"
#include "tools/writer/animation_payloads.h"

namespace tools::inspect {

// A resource class's name in listings, from the class registry.
const char* className(int16_t id)
{
#define LISTED_ROW(rowId, path, extraId, factory, name, writer, transformCopy, listed) \
    if (id == rowId)                                                                     \
        return listed;
    DEMO_CLASSES(LISTED_ROW)
#undef LISTED_ROW
    return nullptr;
}

const char* commandName(int16_t id)
{
    switch (id) {
    case format::timeline::kGroup: return "group";
    case format::timeline::kPlaceClone: return "place clone";
    case format::timeline::kScalarDynamic: return "attach scalar dynamic";
    case format::timeline::kTranslationDynamic: return "attach translation dynamic";
    case format::timeline::kRotationDynamic: return "attach rotation dynamic";
    case format::timeline::kPlaceTransformCopy: return "place Transform copy";
    case format::timeline::kFastForwardInstance: return "fast-forward instance";
    case format::timeline::kFastForwardResource: return "fast-forward resource";
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
    const char* kind = id == format::timeline::kScalarDynamic        ? "scalar"
                       : id == format::timeline::kTranslationDynamic ? "translation"
                                                                     : "rotation";
    std::string text = std::string(kind) + " '" +
                       (shown.empty() ? "#" + std::to_string(index) + "' (no such parameter)" : shown + "'") +
                       ", value " + f32At(5) + " per frame, initial " + f32At(1) + ", mode " +
                       (mode == 1 ? "relative" : mode == 2 ? "reset" : std::to_string(mode) + " (unknown)");
    if (id != format::timeline::kScalarDynamic)
        text += ", vector (" + f32At(11) + ", " + f32At(15) + ", " + f32At(19) + ")";
    return text;
}

}  // namespace tools::inspect
