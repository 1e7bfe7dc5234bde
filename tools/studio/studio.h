// `demotool studio`: a description played in the browser. A small HTTP
// server (cpp-httplib) on the loopback address serves the web player's page
// with the studio's panel under it, the demo data built in memory, the
// timeline chart of that data and the files the description names; it
// rebuilds on every save and tells the page through a status it can poll.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/writer/writer.h"

namespace httplib {
class Server;
}

namespace tools::studio {

struct StudioOptions {
    std::string description;  // the JSON description, as given
    std::string host = "127.0.0.1";
    int port = 0;              // 0: one the system picks
    std::string webFolder;     // holds demoplayer.html, .js and .wasm
    std::string soundLibrary;  // what a "soundLibrary" without "file" carries
};

// One build of the description: the data, or the error; then its chart.
struct StudioBuild {
    std::string error;  // "" when it built, else the line `demotool build` prints
    std::vector<std::string> warnings;
    writer::Bytes data;
    std::vector<std::string> watched;  // the description and the files it names
    double bpm = 0;
};
struct StudioChart {
    std::string error;
    std::string svg;  // the timeline chart
    int32_t frames = 0;
    int frameRate = 0;
    bool loop = false;
};

// Builds the description as `demotool build` does.
StudioBuild buildForStudio(const StudioOptions& options);
// Charts built data as `demotool timeline` does (without thumbnails).
StudioChart chartForStudio(const StudioOptions& options, const writer::Bytes& data);

// Whether a request's Host header names this server: its own address, or
// 127.0.0.1 or localhost, with its port. Anything else may be a page of
// another site reaching in through a name it made point here.
bool hostAllowed(const std::string& header, const std::string& host, int port);

// The file a /files/NAME request may read: NAME as the description writes
// it (relative to the description's folder) for a file among `named`; ""
// for anything else (a ".." part, an absolute path, a file not named).
std::string namedFile(const std::string& name, const std::string& descriptionPath,
                      const std::vector<std::string>& named);

class Studio {
public:
    explicit Studio(StudioOptions options);
    ~Studio();
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    // The first build; false with the reason in *error when even the page
    // cannot be served (no web player). A description that does not build
    // is served all the same: its error shows in the page.
    bool open(std::string* error);
    // Binds and starts answering on a thread of its own; the port, or 0
    // with the reason in *error.
    int start(std::string* error);
    // Checks the watched files once and rebuilds when a change has settled:
    // the new data is served at once, its chart once a thread of its own has
    // drawn it. True when it rebuilt.
    bool poll();
    // Stops answering (waiting requests are let go) and closes the socket.
    void stop();

    // The number of the last change the page is told of: data, chart or error.
    uint64_t version() const;

private:
    struct State;
    // Each counts as a build the page is told of.
    void publish(StudioBuild build);
    void publish(StudioChart chart);
    void rebuild();
    void chartLoop();  // the charter thread's: the latest data handed over, charted
    void route();

    StudioOptions options_;
    std::string page_, script_;
    writer::Bytes playerScript_, playerWasm_;
    std::unique_ptr<httplib::Server> server_;
    std::thread listener_, charter_;
    std::unique_ptr<State> state_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;
};

// The whole command: serves until SIGINT or SIGTERM; the exit code.
int runStudio(const StudioOptions& options);

}  // namespace tools::studio
