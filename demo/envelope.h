// The resource envelope: tag, body and extra block of one resource chunk.
#pragma once

#include <cstdint>

#include "demo/chunk_stream.h"
#include "demo/object_list.h"

struct EnvelopeContents {
    EnvelopeContents() = default;
    EnvelopeContents(const EnvelopeContents&) = delete;
    EnvelopeContents& operator=(const EnvelopeContents&) = delete;
    ObjectTag tag;
    ObjectTag sourceTag;
    bool hasSource = false;
    uint8_t* body = nullptr;
    int32_t bodySize = 0;
    uint8_t* extra = nullptr;
    int32_t extraSize = 0;

    ~EnvelopeContents()
    {
        delete[] body;
        delete[] extra;
    }
};

// Reads one envelope of `length` bytes from the stream's position: sub-chunks
// until the end of the enclosing chunk, at least once. extraId names the
// extra block's sub-id (0 for none); a 201 extra also takes a source tag (9).
// The stream is left exactly at the envelope's end, whatever the sub-chunks
// claimed, and no block reaches past that end.
void readEnvelope(ChunkStream& stream, uint32_t length, int16_t extraId, EnvelopeContents& out);
