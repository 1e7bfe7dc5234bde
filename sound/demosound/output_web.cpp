// The sound library's output in a web page: Web Audio. An AudioContext at
// the mixing rate pulls blocks of the mix through a script processor (the
// mixer runs on the page's one thread, between the player's turns), so the
// music runs on the audio context's clock. Each block is mixed for the
// moment it will be heard: blocks the context dropped (a late turn) are
// skipped in the music too, and a channel set going starts as far in as the
// mix is ahead of what is heard (outputLead).
//
// Time is the page's clock (Module.clock of the web layer, performance.now
// without the time the page was held): while the page is paused, or the
// player steps unseen frames, the mix holds with the picture. A page the
// browser does not let play sound (no click yet) keeps the music's time on
// that clock, silently: at once when the context cannot start, or a second
// later when it has not started by then, from the moment it was opened.
#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/demosound/exports.h"
#include "sound/demosound/output.h"

namespace demosound {

namespace {

bool audible = false;
int rate = 44100;
double openedAt = 0;  // page clock, ms
// The page time at which what is mixed next will be heard.
double mixedUntil = 0;
std::vector<int16_t> block;

// Where the first playing channel was at the start of the last blocks, and
// when that is heard: what a measurement of the music against the picture
// reads (demosound_web_heard).
struct Heard {
    double at = 0;
    double position = -1;
};
Heard heard[8];
unsigned heardNext = 0;

}  // namespace

EM_JS(double, web_sound_now, (), { return Module.clock ? Module.clock.now() : performance.now(); });

// 1 when the context may play, 0 when the page may not play sound.
EM_JS(int, web_sound_open, (int rate), {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context)
        return 0;
    var context;
    try {
        context = new Context({ sampleRate: rate });
    } catch (e) {
        return 0;
    }
    // close() also serves the page, which stops the music of a play that
    // failed inside.
    var S = Module.sound = { context: context, node: null, timer: 0, close: function() {
        if (Module.sound === S)
            Module.sound = null;
        clearTimeout(S.timer);
        if (S.node) {
            S.node.onaudioprocess = null;
            S.node.disconnect();
        }
        context.close();
    } };
    var active = navigator.userActivation ? navigator.userActivation.hasBeenActive : true;
    if (context.state !== "running" && !active) {
        S.close();
        return 0;
    }
    var node = S.node = context.createScriptProcessor(2048, 0, 2);
    node.onaudioprocess = function(e) {
        var left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
        var held = Module.clock && Module.clock.frozen();
        var at = 0;
        if (!held) {
            // When this block reaches the ears, on the page's clock.
            var stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
            var heard = stamp && stamp.performanceTime
                            ? stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000
                            : context.currentTime - (context.outputLatency || 0) - (context.baseLatency || 0);
            var now = Module.clock ? Module.clock.now() : performance.now();
            at = Module._demosound_web_mix(left.length, now + (e.playbackTime - heard) * 1000);
        }
        if (!at) {
            left.fill(0);
            right.fill(0);
            return;
        }
        var mixed = HEAP16.subarray(at >> 1, (at >> 1) + left.length * 2);
        for (var i = 0; i < left.length; ++i) {
            left[i] = mixed[2 * i] / 32768;
            right[i] = mixed[2 * i + 1] / 32768;
        }
    };
    node.connect(context.destination);
    context.resume();
    // Allowed, yet never started (no device, say): the music goes on silently.
    S.timer = setTimeout(function() {
        S.timer = 0;
        if (Module.sound === S && context.state !== "running")
            Module._demosound_web_silent();
    }, 1000);
    return 1;
});

EM_JS(void, web_sound_close, (), {
    if (Module.sound)
        Module.sound.close();
});

EM_JS(void, web_sound_tell, (const char* line), { console.warn(UTF8ToString(line)); });

bool openOutput(int mixRate, std::string& why)
{
    rate = mixRate;
    openedAt = web_sound_now();
    mixedUntil = openedAt;
    audible = web_sound_open(mixRate) != 0;
    if (!audible)
        why = "the page may not play sound before a click";
    return audible;
}

void closeOutput()
{
    web_sound_close();
    audible = false;
    block = std::vector<int16_t>();
    for (Heard& h : heard)
        h = Heard();
}

// The silent clock needs no timer: the mixer only shows its state through
// the library's calls, and each one catches up first (lockMixer).
void startSilentClock()
{
    openedAt = web_sound_now();
}

void stopSilentClock()
{
    web_sound_close();
}

void lockMixer()
{
    if (!audible)
        catchUpSilently(int64_t((web_sound_now() - openedAt) * 1000.0));
}

void unlockMixer() {}

double outputLead()
{
    if (!audible)
        return 0;
    const double ahead = mixedUntil - web_sound_now();
    return ahead > 0 ? ahead * rate / 1000.0 : 0;
}

void tell(const std::string& line)
{
    // Once a page, even when the library is loaded again for the next play.
    static std::string told;
    if (line == told)
        return;
    told = line;
    web_sound_tell(line.c_str());
}

}  // namespace demosound

using namespace demosound;

// The next block, `frames` of 16-bit stereo, to be heard from page time
// `heardAt`; null when nothing is to be mixed now (the output goes quiet).
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* demosound_web_mix(int frames, double heardAt)
{
    if (!audible || frames <= 0)
        return nullptr;
    const double length = frames * 1000.0 / rate;
    // A block or more ahead (the context's output came closer): wait for it.
    if (mixedUntil > heardAt + length)
        return nullptr;
    // Behind (blocks the context dropped, or the time before the first):
    // the music moves on through them, unheard.
    const double behind = heardAt - mixedUntil;
    if (behind > 2) {
        mix(nullptr, int(behind * rate / 1000.0));
        mixedUntil = heardAt;
    }
    heard[heardNext++ % 8] = Heard{mixedUntil, firstPlayingPosition()};
    block.resize(size_t(frames) * 2);
    mix(block.data(), frames);
    mixedUntil += length;
    return block.data();
}

// The context did not start: from here on, the silent clock, counted from
// when the output opened.
extern "C" EMSCRIPTEN_KEEPALIVE void demosound_web_silent()
{
    if (!audible)
        return;
    audible = false;
    web_sound_close();
    tell("demosound: no audio device (the page's audio did not start); the music plays silently");
}

void demosound::advance(double seconds)
{
    // What is left of a frame carries over to the next call.
    static double carried = 0;
    lockMixer();
    carried += seconds * rate;
    const int frames = int(carried);
    carried -= frames;
    if (frames > 0)
        mix(nullptr, frames);
    unlockMixer();
}

// The position of the first playing channel that is heard at page time
// `now`, in frames; -1 when none plays (or nothing has been heard yet).
extern "C" EMSCRIPTEN_KEEPALIVE double demosound_web_heard(double now)
{
    if (!audible) {
        lockMixer();
        return firstPlayingPosition();
    }
    const Heard* last = nullptr;
    for (const Heard& h : heard)
        if (h.position >= 0 && h.at <= now && (!last || h.at > last->at))
            last = &h;
    return last ? last->position + (now - last->at) * rate / 1000.0 : -1;
}
