// Payloads of the dynamics attached by timeline commands 1002 (scalar, 11
// bytes), 1003 (translation) and 1004 (rotation, both 23 bytes), with the
// parameter given by name.
#pragma once

#include <array>
#include <string>

#include "tools/writer/writer.h"

namespace tools::writer {

// The parameter table index (1 to 82) of a name, or 0 when the table has no
// such name. Names are matched as the data holds them (Latin-1, "Posici\xf3
// X"); "ó" written in UTF-8 and names written without the accent ("Posicio
// X") are accepted as well.
int16_t dynamicParameterIndex(const std::string& name);
// The name as the data holds it, for an index of 1 to 82; "" otherwise.
std::string dynamicParameterName(int16_t index);

struct DynamicFields {
    std::string parameter;  // a name of the table
    int16_t index = -1;     // when 0 or more, written instead of the name's index
    bool reset = false;     // mode 2: start from `initial`; otherwise mode 1, relative
    float initial = 0;
    float perFrame = 0;
    std::array<float, 3> vector{0, 0, 0};  // direction or axis; vector kinds only
};
// Mode, initial value, per-frame value, parameter index: 11 bytes.
Bytes scalarDynamicPayload(const DynamicFields& dynamic);
// The same followed by the vector: 23 bytes.
Bytes vectorDynamicPayload(const DynamicFields& dynamic);

}  // namespace tools::writer
