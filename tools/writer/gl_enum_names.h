// Names of the GL and GLU enumerations that blend modes, trails, polygon
// modes and quadrics carry, as descriptions write them and as GL spells them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools::writer {

struct EnumName {
    const char* name;    // as descriptions write it
    const char* glName;  // the constant's own name (the word itself for quadric kinds)
    int32_t value;
};

extern const std::vector<EnumName> kBlendFactorNames;
extern const std::vector<EnumName> kPolygonFaceNames;
extern const std::vector<EnumName> kPolygonModeNames;
extern const std::vector<EnumName> kQuadricDrawStyleNames;
extern const std::vector<EnumName> kQuadricNormalsNames;
extern const std::vector<EnumName> kQuadricOrientationNames;
extern const std::vector<EnumName> kQuadricKindNames;

// The entry of a value, or null when the list has none.
const EnumName* enumNameOf(const std::vector<EnumName>& names, int32_t value);
// Its GL name, or the value in hexadecimal when the list has none.
std::string glNameOf(const std::vector<EnumName>& names, int32_t value);

}  // namespace tools::writer
