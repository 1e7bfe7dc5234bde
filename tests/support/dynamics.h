// Building dynamics in tests: their fields and the timeline command that
// attaches one.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/writer/animation_payloads.h"
#include "tools/writer/writer.h"

tools::writer::DynamicFields fields(const std::string& parameter, bool reset, float initial, float perFrame,
                                std::array<float, 3> vector = {0, 0, 0});

// Command 1002, 1003 or 1004 with the payload of its kind.
tools::writer::AttachDynamic attachDynamic(int16_t kind, const std::string& tag, const std::string& parent,
                                       const std::string& after, int16_t start, int16_t length,
                                       const tools::writer::DynamicFields& f);
