#include "tests/support/dynamics.h"

using namespace tools::writer;

DynamicFields fields(const std::string& parameter, bool reset, float initial, float perFrame,
                     std::array<float, 3> vector)
{
    DynamicFields f;
    f.parameter = parameter;
    f.reset = reset;
    f.initial = initial;
    f.perFrame = perFrame;
    f.vector = vector;
    return f;
}

AttachDynamic attachDynamic(int16_t kind, const std::string& tag, const std::string& parent, const std::string& after,
                            int16_t start, int16_t length, const DynamicFields& f)
{
    AttachDynamic d;
    d.kind = kind;
    d.dynamicTag = tag;
    d.parentTag = parent;
    d.afterTag = after;
    d.start = start;
    d.length = length;
    d.payload = kind == 1002 ? scalarDynamicPayload(f) : vectorDynamicPayload(f);
    return d;
}
