// Read cursor over borrowed bytes: the one way every loader reads demo data.
#pragma once

#include <cstdint>

class ChunkStream {
public:
    ChunkStream(const void* data, int32_t size);
    virtual ~ChunkStream() = default;

    // Sets the position to `at` first when at >= 0 (even if the read then
    // fails). Copies count bytes and advances, or copies nothing and returns
    // false when they would pass the end.
    bool read(void* destination, int32_t count, int32_t at = -1);
    // Moves the position on without a check; a later read past the end fails.
    void skip(int64_t count);

    int32_t size() const { return size_; }
    int32_t position() const { return position_; }
    const uint8_t* data() const { return data_; }
    // Bytes left from the position to the end (0 when past it).
    int32_t remaining() const;

    // Little-endian helpers built on read(); they leave `value` unchanged on failure.
    bool readU16(uint16_t& value);
    bool readS16(int16_t& value);
    bool readS32(int32_t& value);
    bool readU32(uint32_t& value);
    bool readF32(float& value);

private:
    int32_t size_;
    int32_t position_ = 0;
    const uint8_t* data_;
};

// Reads a sub-chunk of `length` bytes at the position into a field of
// `capacity` bytes and moves past the whole sub-chunk. A shorter sub-chunk
// fills only the field's first bytes, a longer one only the field. One that
// runs past the end carries nothing. Returns the bytes copied.
int32_t readField(ChunkStream& stream, uint32_t length, void* field, int32_t capacity);

// Walks the chunks of a stream: first id at position 0, then length and
// handler, then the next id, until an id cannot be read whole. The handler
// gets the stream positioned at the payload and decides how much to consume.
// An id whose length field is cut off by the end of the stream has no payload
// and ends the walk without reaching the handler.
template <typename Handler>
void forEachChunk(ChunkStream& stream, Handler&& handler)
{
    stream.read(nullptr, 0, 0);
    int16_t id = 0;
    while (stream.readS16(id)) {
        uint32_t length = 0;
        if (!stream.readU32(length))
            return;
        handler(id, length);
    }
}
