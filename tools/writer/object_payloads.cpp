#include "tools/writer/object_payloads.h"

#include "demo/format.h"

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
        stream.add(format::camera::kPosition, floats({c.position[0], c.position[1], c.position[2]}));
    if (c.withUp)
        stream.add(format::camera::kUp, floats({c.up[0], c.up[1], c.up[2]}));
    if (c.withCentre)
        stream.add(format::camera::kCentre, floats({c.centre[0], c.centre[1], c.centre[2]}));
    if (c.withFade)
        stream.add(format::camera::kFade, floats({c.fadeColor[0], c.fadeColor[1], c.fadeColor[2], c.fadeValue}));
    if (c.withProximity)
        stream.add(format::camera::kProximity, f32(c.proximity));
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
