#include "player/frame_loop.h"

#include <GL/gl.h>

#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "platform/platform.h"
#include "player/frame_clock.h"
#include "player/player.h"

bool pumpMessages(int* quitCode)
{
    platform::Message message;
    while (platform::peekMessage(&message)) {
        if (message.message == platform::WM_QUIT) {
            if (quitCode)
                *quitCode = int(message.wParam);
            return false;
        }
        platform::translateMessage(message);
        platform::dispatchMessage(message);
    }
    return true;
}

void timelineCheck(Player& player, int32_t frame)
{
    TimelineEntry* entry = player.cursor;
    if (!entry || entry->startFrame != frame)
        return;
    entry->apply();
    player.timeline->findItem(entry);
    player.cursor = static_cast<TimelineEntry*>(player.timeline->next());
    if (!player.cursor)
        player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
}

void runFrame(Player& player, bool stepOnly, const std::function<void()>& beforePresent)
{
    if (!stepOnly) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
    }
    ObjectList& active = *player.active;
    for (SceneObject* object = static_cast<SceneObject*>(active.first()); object;) {
        int alive = object->step(stepOnly);
        SceneObject* following = static_cast<SceneObject*>(active.next());
        if (!alive)
            active.remove(object);
        object = following;
    }
    if (!stepOnly) {
        glFlush();
        if (beforePresent)
            beforePresent();
        platform::swapBuffers(player.window.dc);
    }
}

int runFrameLoop(Player& player, FrameClock& clock, int32_t firstFrame,
                 const std::function<void(int32_t frame, bool drawn)>& onFrame)
{
    const PlayerSettings& settings = player.settings;
    int32_t frame = 0;
    int32_t rendered = 0;
    int quitCode = 0;
    for (;;) {
        if (!pumpMessages(&quitCode))
            return quitCode;
        if (player.window.keys[platform::VK_ESCAPE])
            return 0;
        if (frame == 0) {
            clock.start();
            frame = firstFrame > 1 ? firstFrame : 1;
        }
        if (!player.cursor)
            player.cursor = static_cast<TimelineEntry*>(player.timeline->first());
        float t0 = float(clock.elapsed());

        timelineCheck(player, frame);
        runFrame(player, false);
        if (onFrame)
            onFrame(frame, true);
        ++rendered;
        ++frame;

        if (settings.frameRate > 0) {
            while (clock.elapsed() - t0 <= 1000.0 / settings.frameRate) {
            }
            if (settings.catchUp) {
                for (;;) {
                    // A frame is late only when the clock has passed the time
                    // at which the frame after it is due. Right after the
                    // busy-wait the clock is always just past the frame's own
                    // time: without that period of slack the frame would be
                    // stepped undrawn and every later one drawn a period early.
                    float target = float((1.0 / settings.frameRate) * (rendered + 1) * 1000.0);
                    bool stop = false;
                    if (clock.elapsed() > target) {
                        if (frame > settings.totalFrames) {
                            stop = true;
                        } else {
                            timelineCheck(player, frame);
                            runFrame(player, true);
                            if (onFrame)
                                onFrame(frame, false);
                            ++rendered;
                            ++frame;
                        }
                    }
                    if (stop || !(clock.elapsed() > target))
                        break;
                }
            }
        }

        if (frame <= settings.totalFrames)
            continue;
        if (!settings.loop)
            return 0;
        // Loop: instances of the last pass are forgotten by tag; objects still
        // alive in the active list live on.
        player.instances->clear();
        frame = 1;
    }
}
