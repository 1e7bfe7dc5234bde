// Compiling demo descriptions in tests: the bytes of one that must compile,
// or the error of one that must not.
#pragma once

#include <string>

#include "tools/writer/writer.h"

tools::writer::Bytes compiled(const std::string& text);
std::string errorOf(const std::string& text);
