// libFuzzer entry: arbitrary bytes as demo data, loaded and played for a few
// frames. Build with scripts/fuzz.
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "player/demo_data.h"
#include "demo/timeline.h"
#include "platform/test_double.h"
#include "player/frame_loop.h"
#include "player/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::TestDouble quiet;  // boxes recorded, not shown
    quiet.boxes.clear();
    static const std::string path = "/tmp/demoplayer-fuzz-" + std::to_string(getpid()) + ".dat";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    Player player;
    if (readContainer(player, path.c_str(), 0)) {
        for (int frame = 1; frame <= 3; ++frame) {
            if (!player.cursor)
                player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
            timelineCheck(player, frame);
            runFrame(player, frame == 2);
        }
    }
    player.shutdown();
    return 0;
}
