// Video export: the offline renderer's frames piped as raw RGB into the
// ffmpeg program, with the demo's music muxed in from its music resource.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::render {

using namespace tools::writer;

// The audio file of the first music resource (461) in demo data or a packed
// demo, or nothing.
Bytes musicOf(const Bytes& file);

struct VideoJob {
    std::string output;     // its extension picks the container
    int width = 0;          // the picture piped in
    int height = 0;
    int frameRate = 20;
    std::string musicPath;  // "" for none
    double musicStart = 0;  // seconds into the music where the first frame is
};

// The ffmpeg command line (program name first) for a job: raw RGB frames on
// standard input, H.264 and AAC in .mp4/.mov/.mkv, VP9 and Opus in .webm,
// a palette GIF without sound. The music is padded with silence and cut at
// the last frame, so the audio lasts as long as the video. False with the
// reason for a container it does not know.
bool ffmpegCommand(const VideoJob& job, std::vector<std::string>& command, std::string* error);

// A running ffmpeg fed through a pipe. It runs in its own process group so
// that Ctrl-C reaches only demotool, which then closes the pipe: ffmpeg
// finishes the file with the frames it got.
class FfmpegPipe {
public:
    FfmpegPipe() = default;
    ~FfmpegPipe();
    bool start(const std::vector<std::string>& command, std::string* error);
    // False when ffmpeg has gone away.
    bool write(const uint8_t* data, size_t size);
    // Closes the pipe and waits: true when ffmpeg ended well.
    bool finish(std::string* error);

    FfmpegPipe(const FfmpegPipe&) = delete;
    FfmpegPipe& operator=(const FfmpegPipe&) = delete;

private:
    int fd_ = -1;
    int pid_ = -1;
};

struct VideoOptions {
    std::string output;
    int width = 0;  // 0: the demo's window size
    int height = 0;
    int32_t from = 1;  // first and last frame in the video; last 0: the end of one pass
    int32_t to = 0;
    bool drawEveryFrame = false;  // frames before `from` drawn in the window, as RenderOptions says
    // Called after each frame sent, with the frames done and to do.
    std::function<void(int32_t done, int32_t total)> progress;
    // Polled before each frame; true stops the export, keeping what was sent.
    std::function<bool()> stopRequested;
};

struct VideoResult {
    int32_t frames = 0;  // frames sent to ffmpeg
    int frameRate = 0;
    bool withMusic = false;
    bool stopped = false;  // stopRequested ended it early
};

// Renders frames options.from..options.to of the demo at `path` into a video
// file at the demo's frame rate (25 when the demo has none).
bool exportVideo(const std::string& path, const VideoOptions& options, VideoResult& result, std::string* error);

}  // namespace tools::render
