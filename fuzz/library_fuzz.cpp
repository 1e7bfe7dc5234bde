// Arbitrary bytes as the sound library a demo carries, through what a web
// page reads of it to tell a whole library from anything else.
#include <cstddef>
#include <cstdint>

#include "platform/web/library_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::web::isWholeLibrary(data, size);
    return 0;
}
