// `demotool inspect`: the chunk tree of demo data, as text.
#pragma once

#include <ostream>

#include "tools/writer/writer.h"

namespace tools::inspect {

using namespace tools::writer;

// Prints the chunk tree of `file`, which is raw demo data or a packed
// executable (its data from kDataOffset on). Offsets printed are from the start
// of the demo data. Problems are reported on lines starting with "!" where they
// are found; the walk goes on with whatever can still be read. Returns true
// when nothing was malformed.
bool inspect(const writer::Bytes& file, std::ostream& out);

// What a top-level chunk id holds ("window settings", ..., "timeline"), or
// "unknown".
const char* topLevelName(int id);

}  // namespace tools::inspect
