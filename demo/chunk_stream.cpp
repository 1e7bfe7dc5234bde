#include "demo/chunk_stream.h"

#include <algorithm>
#include <cstring>

ChunkStream::ChunkStream(const void* data, int32_t size)
    : size_(data ? (size < 0 ? 0 : size) : 0), data_(static_cast<const uint8_t*>(data))
{
}

bool ChunkStream::read(void* destination, int32_t count, int32_t at)
{
    if (at >= 0)
        position_ = at;
    // 64-bit sum: a crafted count or a skipped-past position must not wrap.
    if (count < 0 || position_ < 0 || int64_t(position_) + count > size_)
        return false;
    if (count > 0)
        std::memcpy(destination, data_ + position_, size_t(count));
    position_ += count;
    return true;
}

void ChunkStream::skip(int64_t count)
{
    // Lengths are unsigned 32-bit in the data; a huge one must not move the
    // cursor backwards.
    int64_t p = int64_t(position_) + count;
    // Saturate instead of wrapping: past the end every read fails either way.
    if (p > INT32_MAX)
        p = INT32_MAX;
    if (p < INT32_MIN)
        p = INT32_MIN;
    position_ = int32_t(p);
}

int32_t ChunkStream::remaining() const
{
    if (position_ < 0 || position_ >= size_)
        return 0;
    return size_ - position_;
}

bool ChunkStream::readU16(uint16_t& value)
{
    uint8_t b[2];
    if (!read(b, 2))
        return false;
    value = uint16_t(b[0] | (b[1] << 8));
    return true;
}

bool ChunkStream::readS16(int16_t& value)
{
    uint16_t v;
    if (!readU16(v))
        return false;
    value = int16_t(v);
    return true;
}

bool ChunkStream::readU32(uint32_t& value)
{
    uint8_t b[4];
    if (!read(b, 4))
        return false;
    value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool ChunkStream::readS32(int32_t& value)
{
    uint32_t v;
    if (!readU32(v))
        return false;
    value = int32_t(v);
    return true;
}

bool ChunkStream::readF32(float& value)
{
    uint32_t v;
    if (!readU32(v))
        return false;
    std::memcpy(&value, &v, 4);
    return true;
}

int32_t readField(ChunkStream& stream, uint32_t length, void* field, int32_t capacity)
{
    if (int64_t(length) > stream.remaining()) {
        stream.skip(length);
        return 0;
    }
    const int32_t n = int32_t(std::min<uint32_t>(length, uint32_t(capacity)));
    stream.read(field, n);
    stream.skip(int64_t(length) - n);
    return n;
}
