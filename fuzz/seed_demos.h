// Seeds for the fuzz targets, made with the authoring side: one small demo
// per resource class, and bitmaps of every layout the BMP reader takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/writer/writer.h"

namespace fuzzing {

struct Seed {
    std::string name;
    tools::writer::Bytes data;
};

// One whole demo per resource class that has a line in the table. Empty with
// a message in *error when a line does not compile.
std::vector<Seed> seedDemos(std::string* error);
// Resource classes of the descriptions that have no line in the table.
std::vector<std::string> classesWithoutSeed();
// The resources of every seed demo in one resource stream (tags made unique):
// what the timeline target plays its inputs over.
tools::writer::Bytes allSeedResources();
std::vector<Seed> seedBitmaps();

// The payload of the first top-level chunk `id` of demo data, or nothing.
tools::writer::Bytes topLevelPayload(const tools::writer::Bytes& demo, int16_t id);
// The whole chunks (header and payload) of a chunk stream, up to the first
// one cut short.
std::vector<tools::writer::Bytes> chunksOf(const tools::writer::Bytes& stream);

}  // namespace fuzzing
