// One web page per demo: the player's page (build/web/demoplayer.html) with
// its script, its WebAssembly and the demo data written inside, so that the
// page plays from disk or from any static host.
#pragma once

#include <string>

#include "tools/writer/writer.h"

namespace tools::demotool {

// Whether `player` names the web player's page (it ends in ".html").
bool isWebPage(const std::string& player);

// pack with a page as the player: the demo data (raw, from a packed demo or
// built from a description), checked for damage as pack checks it, goes into
// a copy of the page with the .js and .wasm found beside it.
int packWebPage(const std::string& pagePath, const std::string& dataPath, const std::string& output, bool asIs);

// The demo data a packed page carries; false when `file` is not one.
bool demoDataOfPage(const writer::Bytes& file, writer::Bytes* data);

}  // namespace tools::demotool
