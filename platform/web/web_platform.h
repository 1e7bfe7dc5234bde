// What the page's front end tells the web layer beyond platform.h: how the
// frame loop's waits may sleep, and whether presented frames wait for the
// browser's next paint.
#pragma once

namespace platform {
namespace web {

// The frame loop's period in milliseconds (0: no pacing). The layer sleeps
// through the loop's wait instead of letting it spin, waking just before the
// period is over.
void setFramePeriod(double milliseconds);
// With false, presenting a frame does not wait for the next paint (frames
// played only to reach a given one); the page still gets a turn now and then.
void setPresenting(bool presenting);
// Waits for the page to show the new canvas, before a loop starts its clock.
void settle();

}  // namespace web
}  // namespace platform
