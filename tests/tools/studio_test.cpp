// `demotool studio`'s server: what it answers and what it refuses, on a
// real socket, and its rebuild of an edited description.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/studio/studio.h"
#include "tools/writer/writer.h"

using namespace tools::studio;
using namespace tools::writer;
namespace fs = std::filesystem;

namespace {

// One request as written (no client tidies its path), its response whole.
std::string ask(int port, const std::string& request)
{
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        write(sock, request.data(), request.size()) == ssize_t(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = read(sock, buffer, sizeof buffer)) > 0;)
            response.append(buffer, size_t(n));
    }
    close(sock);
    return response;
}

int statusOf(const std::string& response)
{
    return response.size() > 12 ? std::atoi(response.c_str() + 9) : 0;
}

std::string bodyOf(const std::string& response)
{
    const size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? "" : response.substr(end + 4);
}

// A 2 x 2 red BMP.
Bytes tinyBmp()
{
    Bytes file = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
    file.resize(54, 0);
    for (int row = 0; row < 2; ++row)
        file.insert(file.end(), {0, 0, 255, 0, 0, 255, 0, 0});
    return file;
}

struct StudioFolder {
    fs::path dir = fs::temp_directory_path() / ("studio_test_" + std::to_string(getpid()));
    std::string desc = (dir / "demo.json").string();
    std::string outside = (dir / "outside.txt").string();

    StudioFolder()
    {
        fs::create_directories(dir / "web");
        fs::create_directories(dir / "img");
        writeFile((dir / "web/demoplayer.html").string(), text("<body><!--demoplayer:embedded--></body>"));
        writeFile((dir / "web/demoplayer.js").string(), text("// player"));
        writeFile((dir / "web/demoplayer.wasm").string(), text("wasm"));
        writeFile((dir / "img/t.bmp").string(), tinyBmp());
        writeFile((dir / "secret.txt").string(), text("not named"));
        writeFile(outside, text("named by its absolute path"));
        writeDescription("\"file\": \"img/t.bmp\"");
    }
    ~StudioFolder() { fs::remove_all(dir); }

    static Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
    // The window's title names a file by its absolute path.
    void writeDescription(const std::string& texture) const
    {
        writeFile(desc, text(R"({"window": {"title": ")" + outside + R"(", "width": 32, "height": 24},
 "playback": {"frameRate": 20, "loop": false}, "totalFrames": 2,
 "resources": [{"class": "camera", "tag": "cam", "position": [0, 0, 5], "centre": [0, 0, 0], "up": [0, 1, 0]},
   {"class": "texture", "tag": "t", )" +
                             texture + R"(}],
 "timeline": [{"frame": 1, "commands": [{"place": "cam"}]}]})"));
    }
    StudioOptions options() const
    {
        StudioOptions o;
        o.description = desc;
        o.webFolder = (dir / "web").string();
        return o;
    }
};

}  // namespace

// A studio serving the folder's description, on a port the system chose.
class ServedStudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(studio.open(&error)) << error;
        port = studio.start(&error);
        ASSERT_GT(port, 0) << error;
        self = "127.0.0.1:" + std::to_string(port);
    }

    StudioFolder folder;
    Studio studio{folder.options()};
    int port = 0;
    std::string self;
};

TEST_F(ServedStudio, AnswersItsOwnFilesAndRefusesTheRest)
{
    std::string error;
    // The chart is drawn on a thread of its own, after the data.
    auto status = [&] {
        return bodyOf(ask(port, "GET /status HTTP/1.1\r\nHost: " + self + "\r\nConnection: close\r\n\r\n"));
    };
    for (int i = 0; i < 500 && status().find("\"chart\":0,") != std::string::npos; ++i)
        usleep(20000);
    Bytes bmp;
    ASSERT_TRUE(readFile((folder.dir / "img/t.bmp").string(), bmp));
    const std::string outsideEncoded = [&] {
        std::string s;
        for (char c : folder.outside)
            s += c == '/' ? std::string("%2F") : std::string(1, c);
        return s;
    }();
    struct Row {
        std::string target, host;
        int status;
        std::string body;  // when given, the body answered
    };
    const Row rows[] = {
        {"/", self, 200, ""},
        {"/", "localhost:" + std::to_string(port), 200, ""},
        {"/files/img/t.bmp", self, 200, std::string(bmp.begin(), bmp.end())},
        {"/files/demo.json", self, 200, ""},
        {"/data", self, 200, ""},
        {"/chart.svg", self, 200, ""},
        // Not named by the description, though in its folder.
        {"/files/secret.txt", self, 403, ""},
        {"/files/img", self, 403, ""},
        // Leaving the folder, plainly or encoded.
        {"/files/../demo.json", self, 403, ""},
        {"/files/img/../secret.txt", self, 403, ""},
        {"/files/%2e%2e/demo.json", self, 403, ""},
        {"/../etc/passwd", self, 403, ""},
        {"/files/img/..", self, 403, ""},
        // Named, but only by an absolute path: never served by one.
        {"/files/" + folder.outside, self, 403, ""},
        {"/files/" + outsideEncoded, self, 403, ""},
        // Another site's name for this address (DNS rebinding), another port, none.
        {"/", "evil.example:" + std::to_string(port), 403, ""},
        {"/data", "evil.example", 403, ""},
        {"/", "127.0.0.1:" + std::to_string(port + 1), 403, ""},
        {"/", "127.0.0.1", 403, ""},
        {"/", "", 403, ""},
        {"/nothing-here", self, 404, ""},
    };
    for (const Row& row : rows) {
        const std::string request = "GET " + row.target + " HTTP/1.1\r\n" +
                                    (row.host.empty() ? "" : "Host: " + row.host + "\r\n") +
                                    "Connection: close\r\n\r\n";
        const std::string response = ask(port, request);
        EXPECT_EQ(statusOf(response), row.status) << row.target << " with Host " << row.host;
        if (!row.body.empty()) {
            EXPECT_EQ(bodyOf(response), row.body) << row.target;
        }
    }
    {
        // Another on the same port is refused, not let in to share its requests.
        StudioOptions same = folder.options();
        same.port = port;
        Studio other(same);
        ASSERT_TRUE(other.open(&error)) << error;
        EXPECT_EQ(other.start(&error), 0);
        EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    const std::string page = bodyOf(ask(port, "GET / HTTP/1.1\r\nHost: " + self + "\r\nConnection: close\r\n\r\n"));
    EXPECT_NE(page.find("<script src=\"studio.js\""), std::string::npos) << page;
    studio.stop();
    EXPECT_EQ(statusOf(ask(port, "GET / HTTP/1.1\r\nHost: " + self + "\r\n\r\n")), 0) << "still answering";
}

TEST_F(ServedStudio, RebuildsAnEditAndKeepsTheLastGoodData)
{
    auto get = [&](const std::string& target) {
        return bodyOf(ask(port, "GET " + target + " HTTP/1.1\r\nHost: " + self + "\r\nConnection: close\r\n\r\n"));
    };
    const std::string firstData = get("/data");
    ASSERT_FALSE(firstData.empty());
    // Waits for a settled change, as the command's loop does.
    auto rebuild = [&] {
        for (int i = 0; i < 100; ++i) {
            if (studio.poll())
                return true;
            usleep(20000);
        }
        return false;
    };
    struct Row {
        std::string texture;  // the texture's fields after its tag
        std::string error;    // what the status says, "" when it built
    };
    const Row rows[] = {
        {"\"file\": \"img/missing.bmp\"", folder.desc + ":"},
        {"\"file\": \"img/t.bmp\", \"filter\": \"mipmap\"", ""},
    };
    std::string lastData = firstData;
    for (const Row& row : rows) {
        const uint64_t before = studio.version();
        usleep(20000);  // a modification time of its own
        folder.writeDescription(row.texture);
        ASSERT_TRUE(rebuild()) << row.texture;
        EXPECT_GT(studio.version(), before);
        const std::string status = get("/status");
        const std::string data = get("/data");
        if (row.error.empty()) {
            EXPECT_NE(status.find("\"error\":\"\""), std::string::npos) << status;
            EXPECT_NE(data, lastData) << "the new build is served";
        } else {
            EXPECT_NE(status.find("\"error\":\"" + row.error), std::string::npos) << status;
            EXPECT_EQ(data, lastData) << "the last good build stays";
        }
        lastData = data;
    }
}

TEST(Studio, HostHeadersNamingThisServer)
{
    struct Row {
        std::string header, host;
        bool allowed;
    };
    const Row rows[] = {
        {"127.0.0.1:8123", "127.0.0.1", true},
        {"LocalHost:8123", "127.0.0.1", true},
        {"192.168.1.5:8123", "192.168.1.5", true},
        {"127.0.0.1:8123", "192.168.1.5", true},
        {"[::1]:8123", "::1", true},
        {"192.168.1.5:8123", "127.0.0.1", false},
        {"localhost.evil.example:8123", "127.0.0.1", false},
        {"localhost:81234", "127.0.0.1", false},
        {"localhost:8123 ", "127.0.0.1", false},
        {"::1:8123", "::1", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(hostAllowed(row.header, row.host, 8123), row.allowed) << row.header << " on " << row.host;
}
