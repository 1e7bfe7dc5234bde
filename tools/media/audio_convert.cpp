#include "tools/media/audio_convert.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tools/common/little_endian.h"
#include "tools/common/temporary_file.h"

extern char** environ;

namespace tools::media {

namespace {

int mp3Rate(const Bytes& b)
{
    size_t at = 0;
    // An ID3v2 tag first: its size is stored 7 bits a byte.
    if (b.size() >= 10 && std::memcmp(b.data(), "ID3", 3) == 0) {
        at = 10 + (size_t(b[6] & 0x7f) << 21 | size_t(b[7] & 0x7f) << 14 | size_t(b[8] & 0x7f) << 7 | (b[9] & 0x7f));
        if (b[5] & 0x10)
            at += 10;  // footer
    }
    static const int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    const size_t end = std::min(b.size(), at + 65536);
    for (; at + 4 <= end; ++at) {
        if (b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0)
            continue;
        const int version = (b[at + 1] >> 3) & 3, index = (b[at + 2] >> 2) & 3;
        if (version != 1 && index != 3)
            return kRates[version][index];
    }
    return 0;
}

int wavRate(const Bytes& b)
{
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = common::readLe32(&b[at + 4]);
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0)
            return size >= 8 && at + 16 <= b.size() ? int(common::readLe32(&b[at + 12])) : 0;
        if (size > b.size() - at - 8)
            return 0;
        at += 8 + size + (size & 1);
    }
    return 0;
}

// Runs a program, its standard output into *out (when given), the first
// line of its error output into *firstError. The exit code, or -1 when it
// could not be started.
int runProgram(const std::vector<std::string>& command, std::string* out, std::string* firstError)
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0)
        return -1;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    std::string output, errors;
    // Both pipes are read to the end so that neither side blocks: stderr is
    // small, so reading stdout first and stderr after is enough.
    char buffer[4096];
    for (ssize_t n; !failed && (n = read(outPipe[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, size_t(n));
    for (ssize_t n; !failed && (n = read(errPipe[0], buffer, sizeof buffer)) > 0;)
        errors.append(buffer, size_t(n));
    close(outPipe[0]);
    close(errPipe[0]);
    if (failed)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (out)
        *out = output;
    if (firstError)
        *firstError = errors.substr(0, errors.find('\n'));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

AudioForm audioFormOf(const Bytes& b)
{
    AudioForm form;
    if (b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "WAVE", 4) == 0) {
        form.kind = AudioForm::Wav;
        form.rate = wavRate(b);
    } else if ((b.size() >= 3 && std::memcmp(b.data(), "ID3", 3) == 0) ||
               (b.size() >= 4 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0)) {
        form.kind = AudioForm::Mp3;
        form.rate = mp3Rate(b);
    }
    return form;
}

bool carriedAudio(const Bytes& file, const std::string& name, CarriedAudio& out, std::string* error)
{
    const AudioForm form = audioFormOf(file);
    out = CarriedAudio();
    if (form.kind != AudioForm::Unknown && (form.rate == kMusicRate || form.rate == 0)) {
        out.bytes = file;
        out.extension = form.kind == AudioForm::Wav ? ".wav" : ".mp3";
        return true;
    }
    common::TemporaryFolder folder("demotool-audio-");
    if (folder.path().empty()) {
        *error = "cannot make a temporary folder for ffmpeg";
        return false;
    }
    const std::string input = folder.path() + "/in";
    if (!writeFile(input, file)) {
        *error = "cannot write " + input;
        return false;
    }
    std::string facts, problem;
    const int probe = runProgram({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                  "stream=codec_name,sample_rate", "-of", "csv=p=0", input},
                                 &facts, &problem);
    if (probe < 0) {
        *error = "is not MP3 or WAV at 44100 Hz and needs converting, but ffprobe cannot be run (scripts/setup installs ffmpeg)";
        return false;
    }
    facts = facts.substr(0, facts.find('\n'));
    if (probe != 0 || facts.empty()) {
        *error = "is no audio file ffmpeg can read" + (problem.empty() ? std::string() : " (" + problem + ")");
        return false;
    }
    const size_t comma = facts.find(',');
    const std::string codec = facts.substr(0, comma);
    const int rate = comma == std::string::npos ? 0 : std::atoi(facts.c_str() + comma + 1);

    const bool wav = form.kind == AudioForm::Wav;
    out.extension = wav ? ".wav" : ".mp3";
    const std::string output = folder.path() + "/out" + out.extension;
    std::vector<std::string> command = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                        "-i", input, "-vn", "-map_metadata", "-1", "-ar", std::to_string(kMusicRate)};
    if (wav)
        command.insert(command.end(), {"-c:a", "pcm_s16le"});
    else
        command.insert(command.end(), {"-c:a", "libmp3lame", "-q:a", "2"});
    command.push_back(output);
    const int converted = runProgram(command, nullptr, &problem);
    if (converted != 0 || !readFile(output, out.bytes) || out.bytes.empty()) {
        *error = converted < 0 ? "needs converting, but ffmpeg cannot be run (scripts/setup installs ffmpeg)"
                               : "could not be converted by ffmpeg" + (problem.empty() ? "" : " (" + problem + ")");
        return false;
    }
    out.converted = true;
    const std::string what = (wav ? "WAV" : "MP3");
    if (rate != kMusicRate)
        out.note = "music '" + name + "' (" + codec + ", " + std::to_string(rate) + " Hz) converted to " + what +
                   " at 44100 Hz: the player moves fast-forwarded music in seconds of 44100 samples";
    else
        out.note = "music '" + name + "' (" + codec + ") converted to " + what + ", which the sound library plays";
    return true;
}

}  // namespace tools::media
