// Demo descriptions: a readable JSON file (comments allowed) compiled into
// demo data. docs/authoring.md describes the format.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace tools::description {

using namespace tools::writer;

struct DescriptionOptions {
    // Where files named by relative paths ("file" of textures, music and the
    // sound library) are read from: the description's own folder.
    std::string baseDirectory = ".";
    // The library a "soundLibrary" resource without "file" carries; "" for none.
    std::string soundLibrary;
    // Told what the author should know but that does not stop the build
    // (music converted, textures a release would not want); one line each.
    // A note about one place in the description starts with its line:column.
    std::function<void(const std::string&)> note;
    // When given, receives the description's "bpm" (0 without one), which
    // the data does not keep, for commands that take times in beats.
    double* tempo = nullptr;
};

// A note as printed after the description's path: "demo.json:12:5: warning:
// ..." for a note with a place, "demo.json: warning: ..." for one without.
inline std::string noteLine(const std::string& path, const std::string& note)
{
    const bool placed = !note.empty() && note[0] >= '0' && note[0] <= '9';
    return path + (placed ? ":" : ": ") + note;
}

// Compiles a description into demo data. On failure returns false with
// "line:column: place: problem" in *error, where place names the resource
// (by tag) or the timeline entry and command (by number, from 1).
bool compileDescription(const std::string& text, const DescriptionOptions& options, Bytes& out,
                        std::string* error);
// The same with the default options.
bool compileDescription(const std::string& text, Bytes& out, std::string* error);

// Names of the resource classes a description can use, in table order.
std::vector<std::string> resourceClassNames();

}  // namespace tools::description
