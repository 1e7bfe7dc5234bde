// Reads the demo data: top-level chunks from a byte offset of a file to its end.
#pragma once

#include <cstdint>

// What the walk hands its top-level chunks to.
class ContainerVisitor {
public:
    virtual ~ContainerVisitor() = default;
    // Right before the payload of a 2103 chunk is read: the window settings
    // are known. False ends the walk.
    virtual bool openWindow() = 0;
    // A whole payload of chunk 2100 to 2104, or of one cut short by the end
    // of the file only the sub-chunks that are whole.
    virtual void chunk(int16_t id, const uint8_t* payload, int32_t length) = 0;
};

// Walks the top-level chunks of the file at `path` from `offset`. Ids
// outside 2100 to 2104 are reported and skipped; a chunk that the end of the
// file cuts short is reported and ends the walk. Returns false only when
// `openWindow` did. A file that cannot be opened reads as empty.
bool walkContainer(const char* path, uint32_t offset, ContainerVisitor& visitor);
