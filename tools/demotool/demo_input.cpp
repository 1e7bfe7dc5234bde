#include "tools/demotool/demo_input.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>

#include "demo/format.h"
#include "tools/common/little_endian.h"
#include "tools/demotool/commands.h"
#include "tools/demotool/web_page.h"
#include "tools/inspect/inspect.h"
#include "tools/description/description.h"
#include "tools/writer/file_kind.h"
#include "tools/render/preview.h"

namespace tools::demotool {

using namespace tools::writer;
using namespace tools::description;
using namespace tools::inspect;
using namespace tools::render;

namespace {

bool blank(const writer::Bytes& file)
{
    for (uint8_t c : file) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string readDemoInput(const std::string& command, const std::string& path, DemoInput& out, bool description,
                          const std::string& soundLibrary)
{
    const std::string prefix = "demotool " + command + ": ";
    writer::Bytes file;
    out = DemoInput();
    out.watched = {path};
    if (!writer::readFile(path, file))
        return prefix + "cannot read " + path;
    if (description || writer::looksLikeDescription(file) || (blank(file) && endsWith(path, ".json"))) {
        out.description = true;
        std::string text(file.begin(), file.end());
        out.watched = render::filesNamedBy(path, text);
        description::DescriptionOptions options;
        options.baseDirectory = folderOf(path);
        options.soundLibrary = soundLibrary.empty() ? defaultSoundLibrary() : soundLibrary;
        options.tempo = &out.time.bpm;
        // A preview rebuilds on every save: each note is said once a run.
        options.note = [&](const std::string& line) {
            static std::set<std::string> said;
            if (said.insert(line).second)
                std::cerr << description::noteLine(path, line) << "\n";
        };
        std::string error;
        if (!description::compileDescription(text, options, out.data, &error))
            return path + ":" + error;
        return "";
    }
    // A one-file web page carries its demo data inside.
    if (demoDataOfPage(file, &out.data))
        return "";
    if (writer::isExecutable(file)) {
        out.data = writer::demoDataOf(file);
        if (out.data.empty())
            return prefix + path + ": a player executable with no demo data after byte " +
                   std::to_string(writer::kDataOffset);
        return "";
    }
    if (!writer::looksLikeDemoData(file))
        return prefix + path + ": " + writer::appearance(file) + ", not demo data or a description";
    out.data = std::move(file);
    return "";
}

int frameRateOf(const writer::Bytes& data)
{
    // Chunks are id (2), length (4), payload; the playback settings hold
    // chunks of their own.
    auto walk = [](const uint8_t* at, size_t size, int16_t wanted, const uint8_t** payload, size_t* length) {
        size_t offset = 0;
        while (size - offset >= 6) {
            const int16_t id = int16_t(common::readLe16(at + offset));
            const size_t chunkLength = common::readLe32(at + offset + 2);
            if (chunkLength > size - offset - 6)
                return false;
            if (id == wanted) {
                *payload = at + offset + 6;
                *length = chunkLength;
                return true;
            }
            offset += 6 + chunkLength;
        }
        return false;
    };
    const uint8_t* playback = nullptr;
    const uint8_t* rate = nullptr;
    size_t length = 0;
    if (!walk(data.data(), data.size(), format::kPlaybackSettings, &playback, &length) ||
        !walk(playback, length, format::playback::kFrameRate, &rate, &length) || length < 2)
        return 0;
    return int16_t(common::readLe16(rate));
}

Damage damageOf(const writer::Bytes& data)
{
    Damage damage;
    std::ostringstream text;
    if (!tools::inspect::inspect(data, text)) {
        std::istringstream lines(text.str());
        std::string line;
        while (std::getline(lines, line)) {
            size_t mark = line.find_first_not_of(' ');
            if (mark != std::string::npos && line.compare(mark, 2, "! ") == 0)
                damage.problems.push_back(line.substr(mark + 2));
        }
    }
    // The player reads top-level chunks until an id cannot be read whole.
    size_t at = 0;
    while (data.size() - at >= 2) {
        const int id = int16_t(data[at] | (data[at + 1] << 8));
        bool whole = data.size() - at >= 6;
        if (whole) {
            const uint32_t length = uint32_t(data[at + 2]) | uint32_t(data[at + 3]) << 8 |
                                    uint32_t(data[at + 4]) << 16 | uint32_t(data[at + 5]) << 24;
            whole = data.size() - at - 6 >= length;
            if (whole) {
                at += 6 + size_t(length);
                continue;
            }
        }
        damage.cutShort = true;
        damage.cutAt = "chunk " + std::to_string(id) + " (" + topLevelName(id) + ") at offset " + std::to_string(at);
        break;
    }
    return damage;
}

bool reportDamage(const std::string& command, const std::string& path, const Damage& damage)
{
    if (damage.problems.empty() && !damage.cutShort)
        return false;
    const size_t n = damage.problems.size();
    std::cerr << "demotool " << command << ": " << path << ": damaged demo data (" << n
              << (n == 1 ? " problem" : " problems") << "):\n";
    for (const std::string& problem : damage.problems)
        std::cerr << "  ! " << problem << "\n";
    return true;
}

bool prepareDemo(const std::string& command, const std::string& path, DemoInput& input, TemporaryDataFile& file)
{
    std::string error = readDemoInput(command, path, input);
    if (!error.empty()) {
        std::cerr << error << "\n";
        return false;
    }
    if (!input.description) {
        const Damage damage = damageOf(input.data);
        reportDamage(command, path, damage);
        if (damage.cutShort) {
            std::cerr << "demotool " << command << ": " << path << ": the data ends inside " << damage.cutAt
                      << ", so the demo it holds is not whole and cannot give the frames asked for\n";
            return false;
        }
    }
    if (!file.write(input.data, &error)) {
        std::cerr << "demotool " << command << ": " << error << "\n";
        return false;
    }
    input.time.frameRate = frameRateOf(input.data);
    return true;
}

}  // namespace tools::demotool
