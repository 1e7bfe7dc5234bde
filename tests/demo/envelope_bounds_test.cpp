// Lengths in an envelope are data: whatever they claim, the reader allocates
// no more than the stream holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// The address-space limit is Linux's (setrlimit in a death-test child); the
// Windows suite builds this file but has no such limit to run it under.
#ifndef _WIN32
#include <sys/resource.h>

#include "demo/envelope.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

#if defined(__SANITIZE_ADDRESS__)
#define ENVELOPE_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ENVELOPE_TEST_UNDER_ASAN 1
#endif
#endif

#ifndef ENVELOPE_TEST_UNDER_ASAN
namespace {

// Runs in a child process: limits the address space to what the process
// already uses plus 512 MB, reads the envelope and exits 0 if no body came.
// A reader that asks for the claimed length dies of std::bad_alloc instead.
void readUnderAddressSpaceLimit(const Bytes& data, uint32_t envelopeLength)
{
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t room = rlim_t(pages) * 4096 + (rlim_t(512) << 20);
    const rlimit limit{room, room};
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
        std::exit(3);
    ChunkStream stream(data.data(), int32_t(data.size()));
    EnvelopeContents out;
    readEnvelope(stream, envelopeLength, 0, out);
    std::exit(out.body == nullptr && out.bodySize == 0 ? 0 : 1);
}

}  // namespace
#endif

TEST(EnvelopeBounds, AHugeBodyLengthInsideAHugeEnvelopeAllocatesNothing)
{
#ifdef ENVELOPE_TEST_UNDER_ASAN
    GTEST_SKIP() << "needs an address-space limit, which the address sanitizer cannot run under";
#else
    // 40 bytes that claim a 0x7FFFFFF0-byte envelope holding a 1.8 GB body.
    const Bytes data = cat({chunkWithLength(8, 0x70000000u, Bytes(20, 1)), Bytes(14, 0)});
    EXPECT_EXIT(readUnderAddressSpaceLimit(data, 0x7FFFFFF0u), ::testing::ExitedWithCode(0), "");
#endif
}
#endif
