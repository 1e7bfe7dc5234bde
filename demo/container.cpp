#include "demo/container.h"

#include <cstdio>
#include <memory>

#include "demo/format.h"
#include "demo/messages.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The payload of a chunk, or none when the file ends before it does.
std::unique_ptr<uint8_t[]> readPayload(FILE* file, uint32_t length, int64_t remaining)
{
    if (int64_t(length) > remaining)
        return nullptr;
    std::unique_ptr<uint8_t[]> payload(new uint8_t[size_t(length) + 1]);
    if (std::fread(payload.get(), 1, length, file) != length)
        return nullptr;
    return payload;
}

}  // namespace

bool walkContainer(const char* path, uint32_t offset, ContainerVisitor& visitor)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return true;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return true;
    long fileSize = std::ftell(file.get());
    if (fileSize < 0 || std::fseek(file.get(), long(offset), SEEK_SET) != 0)
        return true;

    for (;;) {
        int16_t id;
        uint32_t length;
        if (std::fread(&id, 1, 2, file.get()) != 2)
            break;
        // A chunk cut short by the end of the file ends the walk.
        if (std::fread(&length, 1, 4, file.get()) != 4)
            break;
        int64_t remaining = int64_t(fileSize) - std::ftell(file.get());

        if (id < format::kWindowSettings || id > format::kTimeline) {
            showErrorId(id);
            if (int64_t(length) > remaining)
                return true;
            std::fseek(file.get(), long(length), SEEK_CUR);
            continue;
        }
        if (id == format::kRenderState && !visitor.openWindow())
            return false;
        std::unique_ptr<uint8_t[]> payload = readPayload(file.get(), length, remaining);
        if (!payload)
            break;
        visitor.chunk(id, payload.get(), int32_t(length));
    }
    return true;
}
