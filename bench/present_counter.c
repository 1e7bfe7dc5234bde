// Counts the frames a player process presents, for timing a packed demo as a
// user runs it. Preloaded, it wraps SDL_GL_SwapWindow and at exit prints the
// number of presents and the time from the first to the last one:
//   cc -shared -fPIC -O2 -o /tmp/present_counter.so bench/present_counter.c -ldl
//   LD_PRELOAD=/tmp/present_counter.so SDL_VIDEODRIVER=offscreen out/demo
// With PRESENT_COUNTER_T0 set to the wall clock in nanoseconds when the
// process was started (PRESENT_COUNTER_T0=$(date +%s%N)), it also prints the
// time from then to the first present.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static long presents;
static double first, last, longestGap, firstWall;

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static void report(void)
{
    fprintf(stderr, "present_counter: %ld frames presented over %.3f s (first to last), longest gap %.1f ms\n",
            presents, presents ? last - first : 0.0, longestGap * 1000.0);
    const char* t0 = getenv("PRESENT_COUNTER_T0");
    if (t0 && presents)
        fprintf(stderr, "present_counter: first present %.1f ms after start\n", (firstWall - atof(t0) * 1e-9) * 1000.0);
}

void SDL_GL_SwapWindow(void* window)
{
    static void (*real)(void*);
    if (!real) {
        real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
        atexit(report);
    }
    real(window);
    double t = now();
    if (presents++ == 0) {
        struct timespec w;
        clock_gettime(CLOCK_REALTIME, &w);
        firstWall = (double)w.tv_sec + (double)w.tv_nsec * 1e-9;
        first = t;
    }
    else if (t - last > longestGap)
        longestGap = t - last;
    last = t;
}
