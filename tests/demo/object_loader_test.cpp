#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "demo/envelope.h"
#include "demo/object_loader.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "platform/platform.h"
#include "platform/test_double.h"
#include "demo/settings_record.h"
#include "sound/sound_library.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

struct Lists {
    ObjectList resources{true};
    ObjectList active{true};
    InstanceList instances;
    ObjectList timeline{true};
    PlayerSettings settings;
    Lists()
    {
        resources.deleter = &SceneObject::destroy;
        active.deleter = &SceneObject::destroy;
        timeline.deleter = &TimelineEntry::destroy;
    }
    LoadContext context(bool withInstances)
    {
        LoadContext c;
        c.active = &active;
        c.resources = &resources;
        c.instances = withInstances ? &instances : nullptr;
        c.settings = &settings;
        return c;
    }
};

std::string fileContents(const char* path)
{
    std::string out;
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return out;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        out.push_back(char(c));
    std::fclose(f);
    return out;
}

#if defined(__SANITIZE_ADDRESS__)
#define LOADER_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOADER_TEST_ASAN 1
#endif
#endif

// Windows has neither fork nor an address-space limit: the memory-bound case
// runs on Linux only, the rest of this file on both systems.
#ifdef _WIN32
#define LOADER_TEST_NO_MEMORY_BOUND 1
#elif defined(LOADER_TEST_ASAN)
}  // namespace
// From the sanitizer runtime (its header does not come with every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
namespace {

size_t largestAllocation = 0;
bool watching = false;
void onMalloc(const volatile void*, size_t size)
{
    if (watching && size > largestAllocation)
        largestAllocation = size;
}
void onFree(const volatile void*) {}

// The sanitizer's shadow memory rules out a limit on the address space: the
// largest single allocation is watched instead.
bool runsWithinMemory(size_t limit, const std::function<void()>& work)
{
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
    EXPECT_TRUE(installed);
    largestAllocation = 0;
    watching = true;
    work();
    watching = false;
    return largestAllocation <= limit;
}
#else
// Runs work in a child process whose address space may grow by at most
// limit bytes; true when it ends normally.
bool runsWithinMemory(size_t limit, const std::function<void()>& work)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t size = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + limit;
        const rlimit bound{size, size};
        if (pages == 0 || setrlimit(RLIMIT_AS, &bound) != 0)
            _exit(2);
        // Whatever happens, the child never returns into the test runner.
        try {
            work();
        } catch (...) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

}  // namespace

TEST(Envelope, WithoutATagTheObjectIsNamedAAAA)
{
    Envelope e;
    e.withTag = false;
    e.body = {1, 2, 3};
    Bytes data = envelope(e);
    ChunkStream stream(data.data(), int32_t(data.size()));
    EnvelopeContents out;
    readEnvelope(stream, uint32_t(data.size()), 0, out);
    EXPECT_STREQ("AAAA", out.tag.text);
    ASSERT_EQ(3, out.bodySize);
    EXPECT_EQ(3, out.body[2]);
    EXPECT_EQ(int32_t(data.size()), stream.position());
}

TEST(Envelope, ReadsTagBodyExtraAndSourceAndSkipsOthers)
{
    Envelope e;
    e.tag = "TEXA";
    e.body = {9};
    e.extraId = 201;
    e.extra = {4, 5};
    e.sourceTag = "SRCE";
    Bytes data = cat({envelope(e), chunk(77, {1, 2, 3, 4})});
    ChunkStream stream(data.data(), int32_t(data.size()));
    EnvelopeContents out;
    readEnvelope(stream, uint32_t(data.size()), 201, out);
    EXPECT_STREQ("TEXA", out.tag.text);
    EXPECT_STREQ("SRCE", out.sourceTag.text);
    EXPECT_EQ(1, out.bodySize);
    EXPECT_EQ(2, out.extraSize);
}

TEST(Envelope, SubChunksNeverReachPastTheEnvelope)
{
    // A body claiming more than the envelope holds is dropped, a short tag
    // leaves the default, and the stream ends up at the envelope's end.
    Bytes inner = cat({chunkWithLength(1, 2, {'Q', 'Q'}), chunkWithLength(8, 500, {1, 2, 3})});
    Bytes data = cat({inner, chunk(300, Bytes(40, 7))});
    ChunkStream stream(data.data(), int32_t(data.size()));
    EnvelopeContents out;
    readEnvelope(stream, uint32_t(inner.size()), 0, out);
    EXPECT_STREQ("AAAA", out.tag.text);
    EXPECT_EQ(nullptr, out.body);
    EXPECT_EQ(int32_t(inner.size()), stream.position());
    // A whole envelope ends where its length says: a body or an extra block
    // that follows it belongs to the next chunk and replaces nothing.
    Envelope e;
    e.body = {4, 5};
    e.extraId = 201;
    e.extra = {6};
    for (int16_t next : {8, 201}) {
        Bytes whole = envelope(e);
        Bytes following = cat({whole, chunk(next, {1, 2, 3})});
        ChunkStream after(following.data(), int32_t(following.size()));
        EnvelopeContents kept;
        readEnvelope(after, uint32_t(whole.size()), 201, kept);
        EXPECT_EQ((std::vector<int32_t>{2, 1, int32_t(whole.size())}),
                  (std::vector<int32_t>{kept.bodySize, kept.extraSize, after.position()}))
            << next;
    }
}

TEST(ObjectLoader, UnknownIdsAreReportedAndSkipped)
{
    platform::TestDouble double_;
    Lists lists;
    Bytes data = StreamWriter().add(999, {1, 2, 3}).add(-5).bytes();
    ObjectLoader loader(data.data(), int32_t(data.size()));
    LoadContext context = lists.context(false);
    loader.load(&lists.resources, &context);
    ASSERT_EQ(2u, double_.boxes.size());
    EXPECT_EQ("ID 999 Desconeguda!!", double_.boxes[0].text);
    EXPECT_EQ("ERROR", double_.boxes[0].caption);
    EXPECT_EQ(platform::MB_OK, double_.boxes[0].type);
    EXPECT_EQ("ID -5 Desconeguda!!", double_.boxes[1].text);
    EXPECT_EQ(0, lists.resources.count());
}

TEST(ObjectLoader, SettingsImageInBothPassesButNotWithoutContext)
{
    platform::TestDouble double_;
    Bytes data = StreamWriter().add(totalFramesChunk(800)).bytes();
    {
        Lists lists;
        ObjectLoader loader(data.data(), int32_t(data.size()));
        LoadContext context = lists.context(false);
        loader.load(&lists.resources, &context);
        EXPECT_EQ(800, lists.settings.totalFrames);
    }
    {
        Lists lists;
        ObjectLoader loader(data.data(), int32_t(data.size()));
        LoadContext context = lists.context(true);
        loader.load(&lists.timeline, &context);
        EXPECT_EQ(800, lists.settings.totalFrames);
    }
    {
        Lists lists;
        ObjectLoader loader(data.data(), int32_t(data.size()));
        loader.load(&lists.resources, nullptr);
        EXPECT_EQ(0, lists.settings.totalFrames);
    }
    // An image longer than the record writes the record and nothing beyond.
    Lists lists;
    Bytes image(400, 0x41);
    Bytes big = StreamWriter().add(2101, image).bytes();
    ObjectLoader loader(big.data(), int32_t(big.size()));
    LoadContext context = lists.context(true);
    loader.load(&lists.timeline, &context);
    EXPECT_EQ(0x41414141, lists.settings.totalFrames);
    EXPECT_EQ(255u, std::string(lists.settings.title).size());
    EXPECT_TRUE(double_.boxes.empty());
}

TEST(ObjectLoader, TimelineEntriesKeepDataOrderAndEmptyOnesTakeOneByte)
{
    platform::TestDouble double_;
    Lists lists;
    Bytes data = StreamWriter()
                     .add(totalFramesChunk(50))
                     .add(25, timelineEntry(1, {}))
                     .add(25, Bytes{0})  // an empty entry: one byte
                     .add(25, timelineEntry(30, {}))
                     .bytes();
    ObjectLoader loader(data.data(), int32_t(data.size()));
    LoadContext context = lists.context(true);
    loader.load(&lists.timeline, &context);
    ASSERT_EQ(3, lists.timeline.count());
    auto* first = static_cast<TimelineEntry*>(lists.timeline.first());
    auto* empty = static_cast<TimelineEntry*>(lists.timeline.next());
    auto* last = static_cast<TimelineEntry*>(lists.timeline.next());
    EXPECT_EQ(1, first->startFrame);
    EXPECT_EQ(nullptr, empty->commands);
    EXPECT_EQ(0, empty->startFrame);
    EXPECT_EQ(30, last->startFrame);
    EXPECT_EQ(50, lists.settings.totalFrames);
    EXPECT_TRUE(double_.boxes.empty());

    // Without a context the entries are skipped.
    Lists none;
    ObjectLoader again(data.data(), int32_t(data.size()));
    again.load(&none.timeline, nullptr);
    EXPECT_EQ(0, none.timeline.count());
}

TEST(ObjectLoader, OnlyTheFirstSoundLibraryCounts)
{
    platform::TestDouble double_;
    Lists lists;
    Bytes first = {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'b'};
    Bytes second = {'s', 'e', 'c', 'o', 'n', 'd'};
    Bytes data = StreamWriter().add(463, first).add(463, second).add(totalFramesChunk(7)).bytes();
    std::string path;
    {
        ObjectLoader loader(data.data(), int32_t(data.size()));
        LoadContext context = lists.context(false);
        loader.load(&lists.resources, &context);
        SoundLibrary* library = loader.soundLibrary();
        ASSERT_NE(nullptr, library);
        EXPECT_EQ(nullptr, library->api);  // not a loadable library: silent, unbound
        path = library->dllPath;
        EXPECT_EQ(library->directory + std::string("fmod.dll"), path);
        EXPECT_EQ(platform::tempPath(), path.substr(0, platform::tempPath().size()));
        EXPECT_EQ(std::string(first.begin(), first.end()), fileContents(path.c_str()));
        EXPECT_EQ(7, lists.settings.totalFrames);  // the stream went on after both
    }
    EXPECT_EQ("", fileContents(path.c_str()));  // deleted with the loader
    EXPECT_TRUE(double_.boxes.empty());
}

TEST(ObjectLoader, CutShortChunksEndTheStreamWithoutReadingPastIt)
{
    platform::TestDouble double_;
    Lists lists;
    Bytes whole = StreamWriter().add(2101, s32(12)).add(25, timelineEntry(3, {})).bytes(false);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        Bytes part(whole.begin(), whole.begin() + long(cut));
        ObjectLoader loader(part.data(), int32_t(part.size()));
        LoadContext context = lists.context(true);
        loader.load(&lists.timeline, &context);
    }
    EXPECT_EQ(0, lists.timeline.count());
}

#ifndef LOADER_TEST_NO_MEMORY_BOUND
TEST(ObjectLoader, LengthsClaimingMoreThanTheStreamHoldsAllocateNothing)
{
    // 13 bytes: a chunk claiming 4 GB, holding a sub-chunk claiming nearly as
    // much, and one real byte. Bodies and every extra block, in both passes.
    platform::TestDouble double_;
    const std::pair<int16_t, int16_t> blocks[] = {{3, 8}, {200, 8}, {200, 201}, {202, 201}, {461, 462}};
    for (const auto& [id, subId] : blocks) {
        for (bool timelinePass : {false, true}) {
            SCOPED_TRACE(std::to_string(id) + "/" + std::to_string(subId) + (timelinePass ? " timeline" : ""));
            const Bytes data = chunkWithLength(id, 0xFFFFFFFFu, chunkWithLength(subId, 0xFFFFFFF0u, {0}));
            ASSERT_EQ(13u, data.size());
            EXPECT_TRUE(runsWithinMemory(size_t(64) << 20, [&] {
                Lists lists;
                ObjectLoader loader(data.data(), int32_t(data.size()));
                LoadContext context = lists.context(timelinePass);
                loader.load(timelinePass ? &lists.timeline : &lists.resources, &context);
            }));
        }
    }
}
#endif
