#include "tools/studio/studio.h"

#include <httplib.h>
#include <malloc.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "tools/common/temporary_file.h"
#include "tools/description/description.h"
#include "tools/render/preview.h"
#include "tools/render/timeline_chart.h"
#include "tools/studio/studio_page.h"

namespace tools::studio {

namespace {

// Where the page takes what is written into it (as `demotool pack` does).
const std::string kEmbedMark = "<!--demoplayer:embedded-->";
// How long a status request waits for a new build before it answers anyway.
constexpr int kLongPollSeconds = 20;
// Each open page keeps one thread waiting on its status; the others serve
// the files meanwhile.
constexpr size_t kThreads = 16;

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7f) {
            // Latin-1 (names in demo data) as \u escapes: the status is plain ASCII.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

bool hasParentPart(const std::string& path)
{
    size_t begin = 0;
    for (;;) {
        const size_t end = path.find('/', begin);
        if (path.compare(begin, end == std::string::npos ? std::string::npos : end - begin, "..") == 0)
            return true;
        if (end == std::string::npos)
            return false;
        begin = end + 1;
    }
}

std::string lowered(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

bool hostAllowed(const std::string& header, const std::string& host, int port)
{
    const std::string wanted = lowered(header);
    const std::string suffix = ":" + std::to_string(port);
    // An IPv6 address is written in brackets before its port.
    const std::string own = host.find(':') != std::string::npos ? "[" + lowered(host) + "]" : lowered(host);
    for (const std::string& name : {own, std::string("127.0.0.1"), std::string("localhost")}) {
        if (wanted == name + suffix)
            return true;
    }
    return false;
}

std::string namedFile(const std::string& name, const std::string& descriptionPath,
                      const std::vector<std::string>& named)
{
    if (name.empty() || name[0] == '/' || hasParentPart(name) || name.find('\0') != std::string::npos)
        return "";
    // filesNamedBy writes a relative name after the description's folder.
    const size_t slash = descriptionPath.rfind('/');
    const std::string path = slash == std::string::npos ? name : descriptionPath.substr(0, slash + 1) + name;
    for (const std::string& file : named) {
        if (file == path)
            return path;
    }
    return "";
}

StudioBuild buildForStudio(const StudioOptions& options)
{
    StudioBuild build;
    const std::string& path = options.description;
    build.watched = {path};
    writer::Bytes file;
    if (!writer::readFile(path, file)) {
        build.error = "demotool studio: cannot read " + path;
        return build;
    }
    const std::string text(file.begin(), file.end());
    build.watched = render::filesNamedBy(path, text);
    description::DescriptionOptions compile;
    compile.baseDirectory = folderOf(path);
    compile.soundLibrary = options.soundLibrary;
    compile.tempo = &build.bpm;
    compile.note = [&](const std::string& line) { build.warnings.push_back(description::noteLine(path, line)); };
    std::string error;
    if (!description::compileDescription(text, compile, build.data, &error))
        build.error = path + ":" + error;
    return build;
}

StudioChart chartForStudio(const StudioOptions& options, const writer::Bytes& data)
{
    StudioChart chart;
    const std::string& path = options.description;
    // The chart plays the data through the player, which reads it from a file.
    common::TemporaryFile file("demotool-studio-");
    render::ChartOptions layout;
    layout.thumbnails = 0;
    const size_t slash = path.rfind('/');
    layout.title = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string error;
    if (!file.write(data, &error) || !render::chartTimeline(file.path(), layout, chart.svg, &error)) {
        chart.error = "demotool studio: " + path + ": " + error;
        return chart;
    }
    // The chart's root carries what the page needs of the walk.
    auto attribute = [&](const std::string& name) {
        const size_t at = chart.svg.find(" " + name + "=\"");
        return at == std::string::npos ? 0 : std::atoi(chart.svg.c_str() + at + name.size() + 3);
    };
    chart.frames = attribute("data-frames");
    chart.frameRate = attribute("data-frame-rate");
    chart.loop = chart.svg.find(", loops") != std::string::npos;
    return chart;
}

struct Studio::State {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t version = 0;
    uint64_t dataVersion = 0;                  // the change that brought the data served
    uint64_t chartVersion = 0;                 // and the chart
    std::shared_ptr<const StudioBuild> good;   // the last good build
    std::shared_ptr<const StudioChart> chart;  // its chart
    std::string error;
    std::vector<std::string> warnings;
    std::vector<std::string> watched;  // those of the last good build (or the description alone)
    std::unique_ptr<render::ReloadDecision> reload;
    std::shared_ptr<const writer::Bytes> toChart;  // data waiting for the charter
    std::condition_variable chartWanted;
};

Studio::Studio(StudioOptions options) : options_(std::move(options)), state_(std::make_unique<State>()) {}

Studio::~Studio()
{
    stop();
}

uint64_t Studio::version() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->version;
}

void Studio::publish(StudioBuild build)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->version;
    state_->error = build.error;
    state_->warnings = build.warnings;
    if (build.error.empty()) {
        state_->watched = build.watched;
        state_->dataVersion = state_->version;
        state_->good = std::make_shared<const StudioBuild>(std::move(build));
    } else if (!state_->good) {
        // Nothing built yet: what this try read is watched.
        state_->watched = build.watched;
    }
    state_->changed.notify_all();
}

void Studio::publish(StudioChart chart)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->version;
    if (!chart.error.empty()) {
        state_->error = chart.error;
    } else {
        state_->chartVersion = state_->version;
        state_->chart = std::make_shared<const StudioChart>(std::move(chart));
    }
    state_->changed.notify_all();
}

void Studio::rebuild()
{
    StudioBuild build = buildForStudio(options_);
    for (const std::string& line : build.warnings)
        std::cerr << line << "\n";
    if (!build.error.empty()) {
        std::cerr << build.error << "\n";
        publish(std::move(build));
        return;
    }
    // The page takes the data at once; the chart, a pass through every
    // frame, follows from the charter, so that the next save is not held up.
    auto data = std::make_shared<const writer::Bytes>(build.data);
    publish(std::move(build));
    std::cerr << "built " << options_.description << "\n";
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->toChart = std::move(data);
    state_->chartWanted.notify_all();
}

void Studio::chartLoop()
{
    for (;;) {
        std::shared_ptr<const writer::Bytes> data;
        {
            std::unique_lock<std::mutex> lock(state_->mutex);
            state_->chartWanted.wait(lock, [&] { return state_->toChart || stopping_; });
            if (stopping_)
                return;
            data = std::move(state_->toChart);
        }
        StudioChart chart = chartForStudio(options_, *data);
        {
            // Newer data is waiting: its chart is the one to show.
            std::lock_guard<std::mutex> lock(state_->mutex);
            if (state_->toChart)
                continue;
        }
        if (!chart.error.empty())
            std::cerr << chart.error << "\n";
        publish(std::move(chart));
        // What the pass through the player freed goes back to the system,
        // not kept for the next pass in this thread's own heap.
        malloc_trim(0);
    }
}

bool Studio::open(std::string* error)
{
    writer::Bytes page;
    const std::string folder = options_.webFolder;
    for (auto [name, bytes] :
         {std::pair{"demoplayer.html", &page}, {"demoplayer.js", &playerScript_}, {"demoplayer.wasm", &playerWasm_}}) {
        if (!writer::readFile(folder + "/" + name, *bytes)) {
            *error = "cannot read " + folder + "/" + name +
                     " (scripts/build-web builds the web player; --web says where it is)";
            return false;
        }
    }
    page_.assign(page.begin(), page.end());
    const size_t mark = page_.find(kEmbedMark);
    if (mark == std::string::npos) {
        *error = folder + "/demoplayer.html: not the web player's page (scripts/build-web makes it)";
        return false;
    }
    page_.replace(mark, kEmbedMark.size(), "<script src=\"studio.js\" defer></script>");
    script_ = studioScript();
    charter_ = std::thread([this] { chartLoop(); });
    rebuild();
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->reload = std::make_unique<render::ReloadDecision>(render::stampsOf(state_->watched));
    return true;
}

bool Studio::poll()
{
    std::vector<std::string> watched;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        watched = state_->watched;
    }
    if (!state_->reload->poll(render::stampsOf(watched)))
        return false;
    rebuild();
    std::lock_guard<std::mutex> lock(state_->mutex);
    // A failed build keeps the files of the last good one watched.
    state_->reload->rebuilt(render::stampsOf(state_->watched));
    return true;
}

void Studio::route()
{
    httplib::Server& server = *server_;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    // Without the library's SO_REUSEPORT: another program (or studio) on the
    // same port is an error, not a listener sharing this one's requests.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(1);     // so that stop() is not held up by an idle browser
    server.set_payload_max_length(4096);  // only GETs are answered
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        auto refuse = [&](const std::string& why) {
            response.status = 403;
            response.set_content(why + "\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        };
        if (!hostAllowed(request.get_header_value("Host"), options_.host, port_))
            return refuse("refused: the Host header does not name this server");
        if (hasParentPart(request.path))
            return refuse("refused: a path with '..'");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_header("X-Content-Type-Options", "nosniff");
    });
    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(page_, "text/html; charset=utf-8");
    });
    // Browsers ask for it; none is needed.
    server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
    server.Get("/studio.js", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(script_, "text/javascript; charset=utf-8");
    });
    server.Get("/demoplayer.js", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(reinterpret_cast<const char*>(playerScript_.data()), playerScript_.size(),
                             "text/javascript; charset=utf-8");
    });
    server.Get("/demoplayer.wasm", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(reinterpret_cast<const char*>(playerWasm_.data()), playerWasm_.size(), "application/wasm");
    });
    server.Get("/data", [this](const httplib::Request&, httplib::Response& response) {
        std::shared_ptr<const StudioBuild> build;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            build = state_->good;
            response.set_header("X-Demo-Version", std::to_string(state_->dataVersion));
        }
        if (build)
            response.set_content(reinterpret_cast<const char*>(build->data.data()), build->data.size(),
                                 "application/octet-stream");
        else
            response.status = 404;
    });
    server.Get("/chart.svg", [this](const httplib::Request&, httplib::Response& response) {
        std::shared_ptr<const StudioChart> chart;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            chart = state_->chart;
            response.set_header("X-Chart-Version", std::to_string(state_->chartVersion));
        }
        if (chart)
            response.set_content(chart->svg, "image/svg+xml");
        else
            response.status = 404;
    });
    // ?after=N waits (up to kLongPollSeconds) for a build after N.
    server.Get("/status", [this](const httplib::Request& request, httplib::Response& response) {
        const uint64_t after = std::strtoull(request.get_param_value("after").c_str(), nullptr, 10);
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (request.has_param("after"))
            state_->changed.wait_for(lock, std::chrono::seconds(kLongPollSeconds),
                                     [&] { return state_->version != after || stopping_; });
        std::string json = "{\"version\":" + std::to_string(state_->version) +
                           ",\"data\":" + std::to_string(state_->dataVersion) +
                           ",\"chart\":" + std::to_string(state_->chartVersion) +
                           ",\"error\":" + jsonString(state_->error) + ",\"warnings\":[";
        for (size_t i = 0; i < state_->warnings.size(); ++i)
            json += (i ? "," : "") + jsonString(state_->warnings[i]);
        json += "]";
        if (const auto& build = state_->good) {
            char bpm[32];
            std::snprintf(bpm, sizeof bpm, "%.17g", build->bpm);
            json += std::string(",\"bpm\":") + bpm;
        }
        if (const auto& chart = state_->chart)
            json += ",\"frames\":" + std::to_string(chart->frames) +
                    ",\"frameRate\":" + std::to_string(chart->frameRate) +
                    ",\"loop\":" + (chart->loop ? "true" : "false");
        response.set_content(json + "}", "application/json");
    });
    server.Get(R"(/files/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
        std::string path;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            path = namedFile(request.matches[1].str(), options_.description, state_->watched);
        }
        writer::Bytes bytes;
        if (path.empty()) {
            response.status = 403;
            response.set_content("refused: not a file the description names\n", "text/plain");
        } else if (!writer::readFile(path, bytes)) {
            response.status = 404;
        } else {
            response.set_content(reinterpret_cast<const char*>(bytes.data()), bytes.size(), "application/octet-stream");
        }
    });
}

int Studio::start(std::string* error)
{
    server_ = std::make_unique<httplib::Server>();
    route();
    port_ = options_.port > 0 && server_->bind_to_port(options_.host, options_.port) ? options_.port
            : options_.port > 0                                                      ? 0
                                : server_->bind_to_any_port(options_.host);
    if (port_ <= 0) {
        *error = "cannot listen on " + options_.host +
                 (options_.port > 0 ? ":" + std::to_string(options_.port) : std::string());
        server_.reset();
        return 0;
    }
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    return port_;
}

void Studio::stop()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        stopping_ = true;
        state_->changed.notify_all();
        state_->chartWanted.notify_all();
    }
    if (server_)
        server_->stop();
    if (listener_.joinable())
        listener_.join();
    if (charter_.joinable())
        charter_.join();
}

int runStudio(const StudioOptions& options)
{
    // Ctrl+C and SIGTERM are waited for below, between the checks for edits;
    // blocked before any thread starts, so that no other thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A browser that goes away mid-answer must not end the server.
    signal(SIGPIPE, SIG_IGN);
    // The chart's pass is neither shown nor heard.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    Studio studio(options);
    std::string error;
    if (!studio.open(&error)) {
        std::cerr << "demotool studio: " << error << "\n";
        return 1;
    }
    const int port = studio.start(&error);
    if (!port) {
        std::cerr << "demotool studio: " << error << "\n";
        return 1;
    }
    const std::string shown = options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
    std::cout << "http://" << shown << ":" << port << "/" << std::endl;
    std::cerr << "serving " << options.description << "; Ctrl+C ends\n";
    // Ten checks a second: a save is taken once it has stood for one.
    const timespec interval{0, 100 * 1000 * 1000};
    for (;;) {
        const int taken = sigtimedwait(&signals, nullptr, &interval);
        if (taken == SIGINT || taken == SIGTERM)
            break;
        studio.poll();
    }
    studio.stop();
    std::cerr << "stopped\n";
    return 0;
}

}  // namespace tools::studio
