/* A stand-in sound library for tests: every entry point appends one line
 * "name arguments..." to the file named by DEMOSOUND_RECORDER_LOG, so the
 * log outlives the library being unloaded. Built a second time without
 * FMUSIC_GetUserData, as a library that lacks one name. Also built as a
 * Windows DLL, exporting the decorated names. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "sound/demosound/idle_exports.h"

#ifdef _WIN32
#define EXPORT /* the module definition file names the exports */
#else
#define EXPORT __attribute__((visibility("default")))
#endif

/* What Sample_Load and Sample_GetLength answer. */
#define RECORDED_SAMPLE ((void*)0x5a17)
#define RECORDED_LENGTH 88200u

static int playsMade;

static void record(const char* format, ...)
{
    const char* path = getenv("DEMOSOUND_RECORDER_LOG");
    if (!path || !*path)
        return;
    FILE* log = fopen(path, "a");
    if (!log)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(log, format, args);
    va_end(args);
    fputc('\n', log);
    fclose(log);
}

EXPORT signed char FSOUND_SetOutput(int type) { record("FSOUND_SetOutput %d", type); return 1; }
EXPORT signed char FSOUND_SetDriver(int driver) { record("FSOUND_SetDriver %d", driver); return 1; }
EXPORT signed char FSOUND_Init(int rate, int channels, unsigned flags)
{
    record("FSOUND_Init %d %d %u", rate, channels, flags);
    return 1;
}
EXPORT void FSOUND_Close(void) { record("FSOUND_Close"); }

EXPORT void* FSOUND_Sample_Load(int index, const char* path, unsigned mode, int offset, int length)
{
    record("FSOUND_Sample_Load %d %s %u %d %d", index, path ? path : "(null)", mode, offset, length);
    return RECORDED_SAMPLE;
}
EXPORT void FSOUND_Sample_Free(void* sample) { record("FSOUND_Sample_Free %p", sample); }
EXPORT unsigned FSOUND_Sample_GetLength(void* sample)
{
    record("FSOUND_Sample_GetLength %p", sample);
    return RECORDED_LENGTH;
}

/* Channel handles count up from 1; DEMOSOUND_RECORDER_REFUSE=n makes the
 * first n plays fail with 0. */
EXPORT int FSOUND_PlaySoundEx(int channel, void* sample, void* dsp, signed char paused)
{
    record("FSOUND_PlaySoundEx %d %p %p %d", channel, sample, dsp, (int)paused);
    const char* refuse = getenv("DEMOSOUND_RECORDER_REFUSE");
    int refused = refuse ? atoi(refuse) : 0;
    ++playsMade;
    return playsMade <= refused ? 0 : playsMade - refused;
}
EXPORT int FSOUND_PlaySound(int channel, void* sample)
{
    record("FSOUND_PlaySound %d %p", channel, sample);
    return 0;
}
EXPORT signed char FSOUND_StopSound(int channel) { record("FSOUND_StopSound %d", channel); return 1; }
EXPORT signed char FSOUND_SetVolume(int channel, int volume)
{
    record("FSOUND_SetVolume %d %d", channel, volume);
    return 1;
}
EXPORT signed char FSOUND_SetPaused(int channel, signed char paused)
{
    record("FSOUND_SetPaused %d %d", channel, (int)paused);
    return 1;
}
EXPORT signed char FSOUND_SetCurrentPosition(int channel, unsigned position)
{
    record("FSOUND_SetCurrentPosition %d %u", channel, position);
    return 1;
}

EXPORT unsigned FSOUND_GetCurrentPosition(int channel) { record("FSOUND_GetCurrentPosition %d", channel); return 0; }
EXPORT int FSOUND_GetVolume(int channel) { record("FSOUND_GetVolume %d", channel); return 0; }
EXPORT signed char FSOUND_GetPaused(int channel) { record("FSOUND_GetPaused %d", channel); return 0; }
EXPORT signed char FSOUND_IsPlaying(int channel) { record("FSOUND_IsPlaying %d", channel); return 0; }
EXPORT int FSOUND_GetOutputRate(void) { record("FSOUND_GetOutputRate"); return 0; }
EXPORT int FSOUND_GetChannelsPlaying(void) { record("FSOUND_GetChannelsPlaying"); return 0; }
EXPORT int FSOUND_GetMaxChannels(void) { record("FSOUND_GetMaxChannels"); return 0; }

#ifndef DEMOSOUND_RECORDER_LACKS_ONE
EXPORT int FMUSIC_GetUserData(void) { record("FMUSIC_GetUserData"); return 0; }
#endif

#define RECORDED_IDLE(name) \
    EXPORT int name(void) { record(#name); return 0; }
DEMOSOUND_IDLE_EXPORTS(RECORDED_IDLE)
