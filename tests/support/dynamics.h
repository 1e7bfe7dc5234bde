// Building dynamics in tests: their fields and the timeline command that
// attaches one.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/format/animation_payloads.h"
#include "tools/format/writer.h"

tools::format::DynamicFields fields(const std::string& parameter, bool reset, float initial, float perFrame,
                                std::array<float, 3> vector = {0, 0, 0});

// Command 1002, 1003 or 1004 with the payload of its kind.
tools::format::AttachDynamic attachDynamic(int16_t kind, const std::string& tag, const std::string& parent,
                                       const std::string& after, int16_t start, int16_t length,
                                       const tools::format::DynamicFields& f);
