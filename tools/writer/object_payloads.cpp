#include "tools/writer/object_payloads.h"

namespace tools::writer {

namespace {

Bytes floats(std::initializer_list<float> values)
{
    Bytes out;
    for (float v : values)
        append(out, f32(v));
    return out;
}

}  // namespace

Bytes cameraPayload(const CameraPayload& c)
{
    StreamWriter stream;
    if (c.withPosition)
        stream.add(301, floats({c.position[0], c.position[1], c.position[2]}));
    if (c.withUp)
        stream.add(302, floats({c.up[0], c.up[1], c.up[2]}));
    if (c.withCentre)
        stream.add(303, floats({c.centre[0], c.centre[1], c.centre[2]}));
    if (c.withFade)
        stream.add(304, floats({c.fadeColor[0], c.fadeColor[1], c.fadeColor[2], c.fadeValue}));
    if (c.withProximity)
        stream.add(305, f32(c.proximity));
    return stream.bytes();
}

Bytes colorPayload(const ColorPayload& c)
{
    return cat({floats({c.red, c.green, c.blue, c.alpha}), u8(0)});
}

Bytes scalePayload(const ScalePayload& s)
{
    return cat({floats({s.x, s.y, s.z}), u8(0)});
}

}  // namespace tools::writer
