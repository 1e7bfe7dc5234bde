#include "player/entry.h"

#include "player/demo_data.h"
#include "platform/platform.h"
#include "player/frame_clock.h"
#include "player/frame_loop.h"
#include "player/player.h"

int playerMain(const char* commandLine, const char* dataPath, uint32_t offset)
{
    if (commandLine && commandLine[0] == 'i') {
        platform::messageBox("demoplayer: real-time OpenGL demos made with the demo authoring tool.",
                             "INFO", platform::MB_OK);
        return 1;
    }
    Player player;
    if (!readContainer(player, dataPath, offset)) {
        player.shutdown();
        return 0;
    }
    int exitCode;
    {
        FrameClock clock;
        exitCode = runFrameLoop(player, clock);
        player.shutdown();
    }
    return exitCode;
}
