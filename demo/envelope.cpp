#include "demo/envelope.h"

#include <cstddef>
#include <cstdint>

#include "demo/format.h"

namespace {

// Reads a sub-chunk payload into a fresh block, or nothing when it does not
// fit inside the envelope or inside the bytes the stream really holds: the
// lengths are the data's claims, and only bytes that exist are allocated.
void readBlock(ChunkStream& stream, uint32_t length, int64_t end, uint8_t*& block, int32_t& size)
{
    delete[] block;
    block = nullptr;
    size = 0;
    if (int64_t(stream.position()) + length > end || int64_t(length) > stream.remaining()) {
        stream.skip(length);
        return;
    }
    block = new uint8_t[std::size_t(length) + 1];
    if (!stream.read(block, int32_t(length))) {
        delete[] block;
        block = nullptr;
        return;
    }
    size = int32_t(length);
}

}  // namespace

void readEnvelope(ChunkStream& stream, uint32_t length, int16_t extraId, EnvelopeContents& out)
{
    int64_t end = int64_t(stream.position()) + length;
    do {
        int16_t id;
        uint32_t subLength;
        if (!stream.readS16(id) || !stream.readU32(subLength))
            break;
        if (id == format::envelope::kTag) {
            // Exactly 4 bytes make a tag; any other length leaves "AAAA".
            if (subLength == 4 && int64_t(stream.position()) + 4 <= end)
                stream.read(out.tag.text, 4);
            else
                stream.skip(subLength);
        } else if (id == format::envelope::kBody) {
            readBlock(stream, subLength, end, out.body, out.bodySize);
        } else if (extraId && id == extraId) {
            readBlock(stream, subLength, end, out.extra, out.extraSize);
        } else if (id == format::envelope::kSourceTag && extraId == format::envelope::kTextureImage) {
            if (subLength == 4 && int64_t(stream.position()) + 4 <= end) {
                stream.read(out.sourceTag.text, 4);
                out.hasSource = true;
            } else {
                stream.skip(subLength);
            }
        } else {
            stream.skip(subLength);
        }
    } while (stream.position() < end);
    if (end > INT32_MAX)
        end = INT32_MAX;
    stream.read(nullptr, 0, int32_t(end));
}

