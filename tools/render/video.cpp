#include "tools/render/video.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "demo/chunk_stream.h"
#include "demo/envelope.h"
#include "demo/format.h"
#include "tools/common/temporary_file.h"
#include "tools/render/render.h"

extern char** environ;

namespace tools::render {

Bytes musicOf(const Bytes& file)
{
    Bytes data = demoDataOf(file);
    if (data.empty() || data.size() > size_t(INT32_MAX))
        return {};
    Bytes music;
    ChunkStream top(data.data(), int32_t(data.size()));
    forEachChunk(top, [&](int16_t id, uint32_t length) {
        const int32_t at = top.position();
        const int32_t size = int32_t(std::min<uint32_t>(length, uint32_t(top.remaining())));
        if (id == format::kResources && music.empty()) {
            ChunkStream resources(data.data() + at, size);
            forEachChunk(resources, [&](int16_t resourceId, uint32_t resourceLength) {
                if (resourceId != format::kMusicTrack || !music.empty()) {
                    resources.skip(resourceLength);
                    return;
                }
                EnvelopeContents envelope;
                readEnvelope(resources, resourceLength, format::envelope::kMusicFile, envelope);
                if (envelope.body && envelope.bodySize > 0)
                    music.assign(envelope.body, envelope.body + envelope.bodySize);
            });
        }
        top.skip(length);
    });
    return music;
}

namespace {

std::string extensionOf(const std::string& path)
{
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

bool ffmpegCommand(const VideoJob& job, std::vector<std::string>& command, std::string* error)
{
    const std::string ext = extensionOf(job.output);
    const bool h264 = ext == "mp4" || ext == "mov" || ext == "mkv";
    const bool webm = ext == "webm";
    const bool gif = ext == "gif";
    if (!h264 && !webm && !gif) {
        if (error)
            *error = "cannot tell the container from '" + job.output + "': name it .mp4, .webm, .mkv, .mov or .gif";
        return false;
    }
    command = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
               "-f", "rawvideo", "-pix_fmt", "rgb24",
               "-s", std::to_string(job.width) + "x" + std::to_string(job.height),
               "-framerate", std::to_string(job.frameRate), "-i", "pipe:0"};
    const bool audio = !gif && !job.musicPath.empty();
    if (audio) {
        char start[32];
        std::snprintf(start, sizeof start, "%.6f", job.musicStart);
        command.insert(command.end(), {"-ss", start, "-i", job.musicPath});
    }
    command.insert(command.end(), {"-map", "0:v"});
    if (audio)
        command.insert(command.end(), {"-map", "1:a", "-af", "apad", "-shortest"});
    if (gif) {
        command.insert(command.end(),
                       {"-filter_complex", "[0:v]split[a][b];[a]palettegen[p];[b][p]paletteuse", "-loop", "0"});
    } else {
        // 4:2:0 video wants even sides.
        command.insert(command.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-pix_fmt", "yuv420p"});
        if (h264) {
            command.insert(command.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18"});
            if (audio)
                command.insert(command.end(), {"-c:a", "aac", "-b:a", "192k"});
        } else {
            command.insert(command.end(), {"-c:v", "libvpx-vp9", "-b:v", "0", "-crf", "32", "-deadline", "realtime",
                                           "-cpu-used", "8", "-row-mt", "1"});
            if (audio)
                command.insert(command.end(), {"-c:a", "libopus", "-b:a", "128k"});
        }
    }
    command.insert(command.end(), {"-r", std::to_string(job.frameRate), job.output});
    return true;
}

FfmpegPipe::~FfmpegPipe()
{
    finish(nullptr);
}

bool FfmpegPipe::start(const std::vector<std::string>& command, std::string* error)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (error)
            *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (failed) {
        close(fds[1]);
        if (error)
            *error = "cannot run " + command[0] + ": " + std::strerror(failed) + " (scripts/setup installs ffmpeg)";
        return false;
    }
    fd_ = fds[1];
    pid_ = pid;
    return true;
}

bool FfmpegPipe::write(const uint8_t* data, size_t size)
{
    while (size > 0 && fd_ >= 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return fd_ >= 0;
}

bool FfmpegPipe::finish(std::string* error)
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pid_ < 0)
        return true;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (error)
        *error = WIFEXITED(status) ? "ffmpeg failed with exit code " + std::to_string(WEXITSTATUS(status))
                                   : "ffmpeg was killed";
    return false;
}

namespace {

// A temporary file that goes away with the export.
}  // namespace

bool exportVideo(const std::string& path, const VideoOptions& options, VideoResult& result, std::string* error)
{
    result = VideoResult();
    auto failWith = [&](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    VideoJob job;
    job.output = options.output;
    std::vector<std::string> probe;
    if (!ffmpegCommand(job, probe, error))
        return false;
    if (options.from < 1 || (options.to != 0 && options.to < options.from))
        return failWith("the frames to export run from " + std::to_string(options.from) + " to " +
                        std::to_string(options.to));

    Bytes file;
    if (!readFile(path, file))
        return failWith("cannot read " + path);
    common::TemporaryFile music("demotool-music-");
    Bytes audio = musicOf(file);
    std::string musicError;
    if (!audio.empty() && !music.write(audio, &musicError))
        return failWith(musicError);

    RenderOptions render;
    render.drawEveryFrame = options.drawEveryFrame;
    render.width = options.width;
    render.height = options.height;
    if (options.to != 0 && !render.frames.parse(std::to_string(options.from) + "-" + std::to_string(options.to), error))
        return false;
    FfmpegPipe ffmpeg;
    std::string pipeError;
    int32_t total = 0;
    render.started = [&](int width, int height, int frameRate, int32_t last) {
        if (last < options.from) {
            pipeError = "frame " + std::to_string(options.from) + " is past the end of the demo (" +
                        std::to_string(last) + " frames)";
            return false;
        }
        // Without --to the video runs to the end of one pass of the demo.
        if (options.to == 0 && options.from > 1)
            render.frames.parse(std::to_string(options.from) + "-" + std::to_string(last), nullptr);
        job.width = width;
        job.height = height;
        job.frameRate = frameRate > 0 ? frameRate : 25;
        job.musicPath = music.path();
        // The music starts with the demo's first frame.
        job.musicStart = double(options.from - 1) / job.frameRate;
        total = last - options.from + 1;
        result.frameRate = job.frameRate;
        result.withMusic = !music.path().empty() && extensionOf(job.output) != "gif";
        std::vector<std::string> command;
        ffmpegCommand(job, command, nullptr);
        return ffmpeg.start(command, &pipeError);
    };
    bool stopped = false;
    auto send = [&](const RenderedFrame& frame) {
        if (options.stopRequested && options.stopRequested()) {
            stopped = true;
            return false;
        }
        if (!ffmpeg.write(frame.rgb.data(), frame.rgb.size())) {
            pipeError = "ffmpeg stopped taking frames";
            return false;
        }
        ++result.frames;
        if (options.progress)
            options.progress(result.frames, total);
        return true;
    };

    // Writing to an ffmpeg that has died must fail the write, not end demotool.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    bool rendered = renderDemo(path, render, send, error);
    std::string finishError;
    bool finished = ffmpeg.finish(&finishError);
    sigaction(SIGPIPE, &previous, nullptr);
    result.stopped = stopped;
    if (!rendered)
        return false;
    if (!pipeError.empty())
        return failWith(pipeError + (finished ? "" : " (" + finishError + ")"));
    if (!finished)
        return failWith(finishError);
    return true;
}

}  // namespace tools::render
