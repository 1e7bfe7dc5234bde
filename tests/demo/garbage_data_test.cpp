// The player on damaged demo data: cut short, bit-flipped, with bogus
// lengths. Nothing may crash or read out of bounds (run under the sanitizers).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "player/demo_data.h"
#include "platform/test_double.h"
#include "player/frame_loop.h"
#include "player/player.h"
#include "tools/writer/writer.h"

using namespace tools::writer;

namespace {

Bytes sampleDemo()
{
    WindowSettings window;
    window.title = "garbage";
    window.width = 32;
    window.height = 32;
    Place place;
    place.resourceTag = "TRFM";
    place.instanceTag = "INST";
    place.length = 3;
    Bytes commands = groupCommand(cat({placeCommand(place), fastForwardCommand(false, "INST", 2),
                                       fastForwardCommand(true, "TRFM", 1)}));
    Envelope transform;
    transform.tag = "TRFM";
    transform.body = StreamWriter().add(5, cat({f32(1), f32(2), f32(3)})).bytes();
    return cat({chunk(2100, windowSettings(window)), chunk(2101, playbackSettings({})),
                chunk(2103, RenderStateWriter::standard().bytes()),
                chunk(2102, StreamWriter().add(resource(275, transform)).add(463, {'M', 'Z'}).bytes()),
                chunk(2104, StreamWriter()
                                .add(totalFramesChunk(4))
                                .add(25, timelineEntry(1, commands))
                                .add(25, timelineEntry(2, commands))
                                .bytes())});
}

void playDamaged(const Bytes& data, const std::string& path)
{
    ASSERT_TRUE(writeFile(path, data));
    Player player;
    if (readContainer(player, path.c_str(), 0)) {
        for (int frame = 1; frame <= 4; ++frame) {
            if (!player.cursor)
                player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
            timelineCheck(player, frame);
            runFrame(player, frame % 2 == 0);
        }
    }
    player.shutdown();
}

}  // namespace

TEST(GarbageData, CutShortAtEveryLengthOfTheHeaders)
{
    platform::TestDouble double_;
    Bytes demo = sampleDemo();
    std::string path = ::testing::TempDir() + "garbage_cut.dat";
    for (size_t cut = 0; cut < demo.size(); cut += (cut < 200 ? 1 : 37))
        playDamaged(Bytes(demo.begin(), demo.begin() + long(cut)), path);
    std::remove(path.c_str());
}

TEST(GarbageData, RandomMutations)
{
    platform::TestDouble double_;
    Bytes demo = sampleDemo();
    std::string path = ::testing::TempDir() + "garbage_mutated.dat";
    std::mt19937 random(20261207);
    for (int round = 0; round < 150; ++round) {
        Bytes data = demo;
        int edits = 1 + int(random() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % data.size();
            switch (random() % 4) {
            case 0: data[at] ^= uint8_t(1u << (random() % 8)); break;
            case 1: data[at] = uint8_t(random()); break;
            case 2:  // a huge or negative-looking length field
                for (int i = 0; i < 4 && at + size_t(i) < data.size(); ++i)
                    data[at + size_t(i)] = 0xFF;
                break;
            case 3: data.insert(data.begin() + long(at), uint8_t(random())); break;
            }
        }
        playDamaged(data, path);
    }
    std::remove(path.c_str());
}

TEST(GarbageData, PureNoise)
{
    platform::TestDouble double_;
    std::string path = ::testing::TempDir() + "garbage_noise.dat";
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        Bytes data(size_t(random() % 300));
        for (uint8_t& b : data)
            b = uint8_t(random());
        playDamaged(data, path);
    }
    std::remove(path.c_str());
}
