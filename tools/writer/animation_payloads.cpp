#include "tools/writer/animation_payloads.h"

#include "animation/dynamic.h"
#include "tools/common/latin1.h"

namespace tools::writer {

namespace {

std::string withoutAccent(std::string name)
{
    for (char& c : name) {
        if (c == '\xf3')
            c = 'o';
    }
    return name;
}

}  // namespace

int16_t dynamicParameterIndex(const std::string& name)
{
    // UTF-8 "ó" (as JSON files hold it) becomes the Latin-1 byte of the data.
    const std::string exact = common::latin1FromUtf8(name);
    if (exact.find('\0') != std::string::npos)
        return 0;
    if (int16_t index = Dynamic::indexOfParameter(exact.c_str()))
        return index;
    // No two names of the table differ only in the accent.
    const std::string plain = withoutAccent(exact);
    for (int16_t i = 1; i < Dynamic::kNameCount; ++i) {
        if (withoutAccent(Dynamic::parameterNames[i]) == plain)
            return i;
    }
    return 0;
}

std::string dynamicParameterName(int16_t index)
{
    if (index < 1 || index >= Dynamic::kNameCount)
        return "";
    return Dynamic::parameterNames[index];
}

Bytes scalarDynamicPayload(const DynamicFields& d)
{
    const int16_t index = d.index >= 0 ? d.index : dynamicParameterIndex(d.parameter);
    return cat({u8(d.reset ? 2 : 1), f32(d.initial), f32(d.perFrame), s16(index)});
}

Bytes vectorDynamicPayload(const DynamicFields& d)
{
    return cat({scalarDynamicPayload(d), f32(d.vector[0]), f32(d.vector[1]), f32(d.vector[2])});
}

}  // namespace tools::writer
