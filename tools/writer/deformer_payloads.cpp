#include "tools/writer/deformer_payloads.h"

#include "demo/format.h"

namespace tools::writer {

Bytes ripplePayload(const RippleFields& r)
{
    return StreamWriter()
        .add(format::ripple::kWave, cat({f32(r.startRadius), f32(r.speed), f32(r.amplitude), f32(r.width)}))
        .add(format::ripple::kCentre, cat({f32(r.centre[0]), f32(r.centre[1])}))
        .bytes();
}

}  // namespace tools::writer
