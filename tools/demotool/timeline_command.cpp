// `demotool timeline`: a chart of a demo's timeline as one SVG file.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "tools/common/temporary_file.h"
#include "tools/demotool/commands.h"
#include "tools/inspect/inspect.h"
#include "tools/description/description.h"
#include "tools/render/timeline_chart.h"

namespace tools::demotool {

using namespace tools::description;
using namespace tools::inspect;
using namespace tools::render;

namespace {

struct TimelineArguments {
    std::string input, output, size;
    int thumbnails = 8;
};

bool looksLikeDescription(const writer::Bytes& file)
{
    for (uint8_t c : file) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c == '{' || c == '/';
    }
    return false;
}

int runTimeline(const TimelineArguments& a)
{
    writer::Bytes file;
    if (!writer::readFile(a.input, file)) {
        std::cerr << "demotool timeline: cannot read " << a.input << "\n";
        return 1;
    }
    common::TemporaryFile built("demotool-timeline-");
    std::string dataPath = a.input;
    if (looksLikeDescription(file)) {
        description::DescriptionOptions options;
        const size_t slash = a.input.rfind('/');
        options.baseDirectory = slash == std::string::npos ? "." : slash == 0 ? "/" : a.input.substr(0, slash);
        options.soundLibrary = defaultSoundLibrary();
        writer::Bytes data;
        std::string error;
        if (!description::compileDescription(std::string(file.begin(), file.end()), options, data, &error)) {
            std::cerr << a.input << ":" << error << "\n";
            return 1;
        }
        if (!built.write(data, &error)) {
            std::cerr << "demotool timeline: " << error << "\n";
            return 1;
        }
        file = std::move(data);
        dataPath = built.path();
    }

    // Damaged data is told as `demotool inspect` tells it, and charted not at all.
    std::ostringstream report;
    if (!tools::inspect::inspect(file, report)) {
        std::istringstream lines(report.str());
        std::string line;
        while (std::getline(lines, line)) {
            const size_t text = line.find_first_not_of(' ');
            if (text != std::string::npos && line[text] == '!')
                std::cerr << line.substr(text) << "\n";
            else if (line.find(" found") != std::string::npos && std::isdigit(static_cast<unsigned char>(line[0])))
                std::cerr << line << "\n";
        }
        std::cerr << "demotool timeline: " << a.input << " is damaged; no chart written\n";
        return 1;
    }

    // Nothing is shown or heard: the pass runs offscreen and silent.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    render::ChartOptions options;
    if (!a.size.empty())
        parseSize(a.size, options.width, options.height);
    options.thumbnails = a.thumbnails;
    const size_t slash = a.input.rfind('/');
    options.title = slash == std::string::npos ? a.input : a.input.substr(slash + 1);
    std::string svg, error;
    if (!render::chartTimeline(dataPath, options, svg, &error)) {
        std::cerr << "demotool timeline: " << a.input << ": " << error << "\n";
        return 1;
    }
    if (!writer::writeFile(a.output, writer::Bytes(svg.begin(), svg.end()))) {
        std::cerr << "demotool timeline: cannot write " << a.output << "\n";
        unlink(a.output.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

Run addTimeline(CLI::App& command)
{
    auto a = std::make_shared<TimelineArguments>();
    command.add_option("INPUT", a->input, "demo data, a packed demo or a JSON description (built in memory)")
        ->required();
    command.add_option("-o", a->output, "the SVG file to write")->type_name("OUT.svg")->required();
    addSizeOption(command, a->size, "picture size, such as 1600x900 (default: 1400 wide, as tall as the rows need)");
    command.add_option("--thumbnails", a->thumbnails, "frames rendered along the axis (default 8; 0 for none)")
        ->check(CLI::Range(0, 64));
    return [a] { return runTimeline(*a); };
}

}  // namespace tools::demotool
