// The sound library's output on Windows: waveOut (winmm), fed from a thread
// of the library's own, or a thread that keeps the wall clock when there is
// no device. Each thread holds the library loaded while it runs, so that
// unloading cannot pull the code from under it; Close ends them.
#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "sound/demosound/output.h"

namespace demosound {

namespace {

constexpr int kBuffers = 4;
constexpr int kBufferFrames = 1024;  // 23 ms each at 44.1 kHz

struct Lock {
    CRITICAL_SECTION section;
    Lock() { InitializeCriticalSection(&section); }
    ~Lock() { DeleteCriticalSection(&section); }
} mixer;

HWAVEOUT device = nullptr;
HANDLE wake = nullptr;    // the device's buffer-done event, or the clock's stop
HANDLE worker = nullptr;  // the feeding thread or the silent clock
volatile LONG stopping = 0;
WAVEHDR headers[kBuffers];
int16_t buffers[kBuffers][kBufferFrames * 2];

void fill(WAVEHDR& header)
{
    EnterCriticalSection(&mixer.section);
    mix(reinterpret_cast<int16_t*>(header.lpData), kBufferFrames);
    LeaveCriticalSection(&mixer.section);
    header.dwFlags &= ~DWORD(WHDR_DONE);
    waveOutWrite(device, &header, sizeof header);
}

DWORD WINAPI feed(void* module)
{
    while (WaitForSingleObject(wake, INFINITE) == WAIT_OBJECT_0 && !stopping) {
        for (WAVEHDR& header : headers)
            if (header.dwFlags & WHDR_DONE)
                fill(header);
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

DWORD WINAPI keepTime(void* module)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    while (WaitForSingleObject(wake, 5) == WAIT_TIMEOUT) {
        QueryPerformanceCounter(&now);
        const int64_t ticks = now.QuadPart - start.QuadPart;
        const int64_t micros = ticks / frequency.QuadPart * 1000000 +
                               ticks % frequency.QuadPart * 1000000 / frequency.QuadPart;
        EnterCriticalSection(&mixer.section);
        catchUpSilently(micros);
        LeaveCriticalSection(&mixer.section);
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// A thread that holds a reference to this library until it returns.
bool startWorker(LPTHREAD_START_ROUTINE routine)
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&startWorker), &self))
        return false;
    worker = CreateThread(nullptr, 0, routine, self, 0, nullptr);
    if (!worker) {
        FreeLibrary(self);
        return false;
    }
    return true;
}

void stopWorker()
{
    if (worker) {
        InterlockedExchange(&stopping, 1);
        SetEvent(wake);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        worker = nullptr;
    }
}

// Only once the device is closed: until then the driver signals the event
// for every buffer it hands back.
void closeWake()
{
    if (wake) {
        CloseHandle(wake);
        wake = nullptr;
    }
}

std::string errorText(MMRESULT result)
{
    char text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || !text[0])
        return "waveOut error " + std::to_string(unsigned(result));
    return text;
}

}  // namespace

bool openOutput(int mixRate, std::string& why)
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = DWORD(mixRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = DWORD(mixRate) * 4;
    // Auto-reset: set once for every buffer the device hands back.
    wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wake) {
        why = "no event";
        return false;
    }
    MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(wake), 0,
                                  CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        why = errorText(result);
        device = nullptr;
        CloseHandle(wake);
        wake = nullptr;
        return false;
    }
    stopping = 0;
    for (int i = 0; i < kBuffers; ++i) {
        std::memset(&headers[i], 0, sizeof headers[i]);
        headers[i].lpData = reinterpret_cast<LPSTR>(buffers[i]);
        headers[i].dwBufferLength = sizeof buffers[i];
        waveOutPrepareHeader(device, &headers[i], sizeof headers[i]);
    }
    // Queued before the thread starts: from then on only it touches them.
    for (WAVEHDR& header : headers)
        fill(header);
    if (!startWorker(feed)) {
        why = "no thread";
        closeOutput();
        return false;
    }
    return true;
}

void closeOutput()
{
    stopWorker();
    if (device) {
        waveOutReset(device);  // hands every buffer back
        for (WAVEHDR& header : headers)
            waveOutUnprepareHeader(device, &header, sizeof header);
        waveOutClose(device);
        device = nullptr;
    }
    closeWake();
}

void startSilentClock()
{
    stopping = 0;
    wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wake || !startWorker(keepTime)) {
        stopWorker();  // positions stand still: nothing worse than silence
        closeWake();
    }
}

void stopSilentClock()
{
    stopWorker();
    closeWake();
}

void lockMixer()
{
    EnterCriticalSection(&mixer.section);
}

void unlockMixer()
{
    LeaveCriticalSection(&mixer.section);
}

// The device's buffer is not counted: positions are the mixer's.
double outputLead()
{
    return 0;
}

void tell(const std::string& line)
{
    // The player loads the library once.
    static std::string told;
    if (line == told)
        return;
    told = line;
    // The player is a windowed program: its standard error exists only when
    // redirected. Started from a console, the line goes to that console;
    // double-clicked, there is none and nobody is told.
    HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
    bool attached = false;
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return;
        attached = true;
        out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (out && out != INVALID_HANDLE_VALUE) {
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(out, text.data(), DWORD(text.size()), &written, nullptr);
        if (attached)
            CloseHandle(out);
    }
    if (attached)
        FreeConsole();
}

}  // namespace demosound
