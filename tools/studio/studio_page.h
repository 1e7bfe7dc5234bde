// The studio's script, served as /studio.js beside the web player's page:
// the readout, the live timeline chart, the keys and mouse, and the reloads.
#pragma once

#include <string>

namespace tools::studio {

std::string studioScript();

}  // namespace tools::studio
