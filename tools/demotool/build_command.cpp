#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tools/demotool/commands.h"
#include "tools/description/description.h"

namespace tools::demotool {

using namespace tools::description;

int runBuild(const std::string& input, const std::string& output);

Run addBuild(CLI::App& command)
{
    auto paths = std::make_shared<std::pair<std::string, std::string>>();
    command.add_option("DESC", paths->first, "the JSON description; files it names are found next to it")
        ->required();
    command.add_option("-o", paths->second, "the demo data to write")->type_name("DATA")->required();
    command.footer("Frames in a description may be written as times: \"10s\", \"1:05.5\" (minutes and seconds)\n"
                   "or, with a top-level \"bpm\", \"64b\" (beats from 0). A point in time (a frame) at t\n"
                   "seconds is frame 1 + round(t x frame rate); a span (totalFrames, start, length) is\n"
                   "round(t x frame rate) frames, halves away from zero. See docs/authoring.md.");
    return [paths] { return runBuild(paths->first, paths->second); };
}

int runBuild(const std::string& input, const std::string& output)
{
    writer::Bytes text;
    if (!writer::readFile(input, text)) {
        std::cerr << "demotool build: cannot read " << input << "\n";
        return 1;
    }
    // Files the description names are found next to it.
    description::DescriptionOptions options;
    size_t slash = input.rfind('/');
    options.baseDirectory = slash == std::string::npos ? "." : slash == 0 ? "/" : input.substr(0, slash);
    options.soundLibrary = defaultSoundLibrary();
    options.note = [&](const std::string& line) { std::cerr << description::noteLine(input, line) << "\n"; };
    writer::Bytes data;
    std::string error;
    if (!description::compileDescription(std::string(text.begin(), text.end()), options, data, &error)) {
        std::cerr << input << ":" << error << "\n";
        return 1;
    }
    if (!writer::writeFile(output, data)) {
        std::cerr << "demotool build: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tools::demotool
