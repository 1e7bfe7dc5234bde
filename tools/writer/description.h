// Demo descriptions: a readable JSON file (comments allowed) compiled into
// demo data. docs/authoring.md describes the format.
#pragma once

#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace authoring {

// Compiles a description into demo data. On failure returns false with
// "line:column: place: problem" in *error, where place names the resource
// (by tag) or the timeline entry and command (by number, from 1).
bool compileDescription(const std::string& text, Bytes& out, std::string* error);

// Names of the resource classes a description can use, in table order.
std::vector<std::string> resourceClassNames();

}  // namespace authoring
