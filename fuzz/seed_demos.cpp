#include "fuzz/seed_demos.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <unistd.h>

#include "demo/format.h"
#include "tools/description/description.h"
#include "tools/writer/texture_payloads.h"
#include "tools/media/wav.h"

using namespace tools::writer;
using namespace tools::media;
using namespace tools::description;

namespace fuzzing {

namespace {

// One line per resource class: the resources of its demo (files come from
// seedFiles()) and the commands of its one timeline entry at frame 1. Tags
// are unique over all lines, since the timeline target plays every line's
// commands over all lines' resources. A new class needs one line here.
struct SeedLine {
    const char* className;
    const char* resources;
    const char* commands;
};
const SeedLine kSeedLines[] = {
    {"transform", R"({"class": "transform", "tag": "trf", "position": [0, 0, -5], "angles": [10, 20, 30]})",
     R"({"place": "trf"}, {"dynamic": "rotation", "parent": "trf", "parameter": "Posicio", "value": 5, "vector": [0, 1, 0], "length": 3})"},
    {"quad", R"({"class": "quad", "tag": "quad", "position": [0, 0, -4], "corners": [{"position": [-1, -1, 0]}, {"position": [1, -1, 0]}, {"position": [1, 1, 0], "color": [1, 0, 0]}, {"position": [-1, 1, 0]}]})",
     R"({"place": "quad", "length": 3}, {"copy": "quad", "as": "qcp"}, {"dynamic": "scalar", "parent": "quad", "parameter": "Vertex1 X", "value": 0.1, "length": 2})"},
    {"box", R"({"class": "box", "tag": "box", "position": [0, 0, -5], "size": [1, 2, 1]})",
     R"({"place": "box"}, {"dynamic": "translation", "parent": "box", "parameter": "Dimensio", "value": 0.5, "vector": [1, 0, 0], "mode": "reset", "initial": 1, "length": 3})"},
    {"camera", R"({"class": "camera", "tag": "cam", "position": [0, 1, 5], "fade": 0.3}, {"class": "box", "tag": "cbox"})",
     R"({"place": "cam"}, {"place": "cbox", "parent": "cam"}, {"dynamic": "scalar", "parent": "cam", "parameter": "Fadding V", "mode": "reset", "initial": 1, "value": -0.2, "length": 3})"},
    {"color", R"({"class": "color", "tag": "col", "color": [1, 0.5, 0, 0.5]}, {"class": "box", "tag": "kbox", "position": [0, 0, -5]})",
     R"({"place": "col"}, {"place": "kbox", "parent": "col"}, {"dynamic": "scalar", "parent": "col", "parameter": "COLOR G", "value": 0.1, "length": 3})"},
    {"scale", R"({"class": "scale", "tag": "scl", "factor": [1, 2, 0.5]}, {"class": "box", "tag": "sbox", "position": [0, 0, -5]})",
     R"({"place": "scl"}, {"place": "sbox", "parent": "scl"}, {"skip": "sbox", "frames": 2}, {"dynamic": "scalar", "parent": "scl", "parameter": "Valor", "value": 0.1, "length": 3})"},
    {"texture", R"({"class": "texture", "tag": "tex", "file": "seed.bmp", "filter": "mipmap", "wrap": "clamp", "border": [0, 0, 1]}, {"class": "box", "tag": "tbox", "position": [0, 0, -5]})",
     R"({"place": "tex"}, {"place": "tbox", "parent": "tex"})"},
    {"textureCopy", R"({"class": "texture", "tag": "tsrc", "file": "seed.bmp"}, {"class": "textureCopy", "tag": "tcpy", "source": "tsrc", "filter": "nearest"}, {"class": "box", "tag": "cpbx", "position": [0, 0, -5]})",
     R"({"place": "tcpy"}, {"skipResource": "tsrc", "frames": 1}, {"group": [{"place": "cpbx", "parent": "tcpy"}]})"},
    {"soundLibrary", R"({"class": "soundLibrary", "file": "seed.so"})", ""},
    {"music", R"({"class": "soundLibrary", "file": "seed.so"}, {"class": "music", "tag": "mus", "file": "seed.wav", "name": "fuzz-seed.wav", "volume": 200})",
     R"({"place": "mus", "length": 3}, {"dynamic": "scalar", "parent": "mus", "parameter": "Volum", "value": -10, "length": 3})"},
    {"grid", R"({"class": "grid", "tag": "grd", "size": [2, 1], "cells": [2, 2], "position": [0, 0, -5]})",
     R"({"place": "grd", "length": 3}, {"dynamic": "scalar", "parent": "grd", "parameter": "Rotació 1", "value": 5, "length": 3})"},
    {"model", R"({"class": "model", "tag": "mdl", "file": "seed.obj", "fit": 2, "position": [0, 0, -5]})",
     R"({"place": "mdl", "length": 3}, {"place": "mdl0"}, {"copy": "mdl", "as": "mcp"})"},
    {"blend", R"({"class": "blend", "tag": "bln", "source": "srcAlpha", "destination": "one"}, {"class": "box", "tag": "bbox", "position": [0, 0, -5]})",
     R"({"place": "bln"}, {"place": "bbox", "parent": "bln"})"},
    {"trail", R"({"class": "trail", "tag": "trl", "length": 2}, {"class": "box", "tag": "rbox", "position": [0, 0, -5]})",
     R"({"place": "trl"}, {"place": "rbox", "parent": "trl", "start": 0}, {"dynamic": "scalar", "parent": "rbox", "parameter": "Posició X", "value": 0.2, "length": 3})"},
    {"polygonMode", R"({"class": "polygonMode", "tag": "pmd", "face": "frontAndBack", "mode": "line"}, {"class": "box", "tag": "pbox", "position": [0, 0, -5]})",
     R"({"place": "pmd"}, {"place": "pbox", "parent": "pmd"})"},
    {"quadric", R"({"class": "quadric", "tag": "qdr", "shape": "partialDisk", "radius": 0.5, "outerRadius": 1, "startAngle": 10, "sweepAngle": 90, "slices": 8, "stacks": 2, "position": [0, 0, -5]})",
     R"({"place": "qdr", "length": 3}, {"dynamic": "scalar", "parent": "qdr", "parameter": "Radi 2", "value": 0.1, "length": 3})"},
    {"replicator", R"({"class": "box", "tag": "rsrc"}, {"class": "replicator", "tag": "rep", "source": "rsrc", "instances": 3, "circle": {"angle": 360, "radius": 2, "faceCentre": true}, "position": [0, 0, -6]})",
     R"({"place": "rep", "length": 3}, {"place": "rep1"})"},
    {"splitter", R"({"class": "grid", "tag": "sgrd", "cells": [2, 2]}, {"class": "splitter", "tag": "spl", "source": "sgrd", "tiles": 4, "centre": true, "position": [0, 0, -5]})",
     R"({"place": "spl", "length": 3}, {"place": "spl2"})"},
    {"assembly", R"({"class": "grid", "tag": "agrd", "cells": [2, 2]}, {"class": "splitter", "tag": "aspl", "source": "agrd", "tiles": 4, "centre": true}, {"class": "assembly", "tag": "asm", "source": "aspl", "depthSpread": 0.5, "seed": 7}, {"class": "transform", "tag": "atrf", "position": [0, 0, -5]})",
     R"({"place": "atrf"}, {"place": "asm", "parent": "atrf", "length": 4})"},
    {"ripple", R"({"class": "grid", "tag": "pond", "size": [2, 2], "cells": [6, 6], "position": [0, 0, -5]}, {"class": "ripple", "tag": "rpl", "startRadius": 0.1, "speed": 0.3, "amplitude": 0.5, "width": 0.5, "centre": [0.2, 0]})",
     R"({"place": "pond", "length": 4}, {"place": "rpl", "parent": "pond"})"},
    {"world", R"({"class": "world", "tag": "wld", "forces": [{"tag": "grv", "strength": 0.05, "direction": [0, -1, 0]}], "spawners": ["spn"], "rolling": true}, {"class": "transform", "tag": "wtrf", "position": [0, 0, -6]}, {"class": "transform", "tag": "wflt", "angles": [-90, 0, 0]}, {"class": "grid", "tag": "wflr", "size": [4, 4], "cells": [4, 4]}, {"class": "quadric", "tag": "wbal", "shape": "sphere", "radius": 0.5, "position": [0, 0.8, 0]}, {"class": "ripple", "tag": "wrpl", "speed": 0.3, "amplitude": 0.2, "width": 0.5})",
     R"({"place": "wtrf"}, {"place": "wld", "parent": "wtrf"}, {"place": "wflt", "parent": "wld"}, {"place": "wflr", "parent": "wflt"}, {"place": "spn", "parent": "wflr"}, {"place": "wrpl", "parent": "spn"}, {"place": "grv", "parent": "wld"}, {"place": "wbal", "parent": "grv", "length": 6})"},
};

// Two triangles in two groups, with texture coordinates: a model of two meshes.
const char kSeedObj[] =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g a\nf 1/1 2/2 3/3\ng b\nf 1/1 3/3 4/4\n";

// The files the lines name, written once into a folder of their own that
// goes when the process ends.
struct SeedFiles {
    SeedFiles()
    {
        dir = (std::filesystem::temp_directory_path() / ("demoplayer-seeds-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        Bytes rgb;
        for (int i = 0; i < 4 * 4; ++i)
            append(rgb, {uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 7)});
        writeFile(dir + "/seed.bmp", bmp24(4, 4, rgb));
        std::vector<int16_t> samples;
        for (int i = 0; i < 64; ++i)
            samples.push_back(int16_t((i % 16) * 1000 - 8000));
        writeFile(dir + "/seed.wav", encodeWav(samples, 8000, 1));
        writeFile(dir + "/seed.obj", Bytes(kSeedObj, kSeedObj + sizeof kSeedObj - 1));
        // Not a loadable library: inputs must never run code of their own.
        writeFile(dir + "/seed.so", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'b'});
    }
    ~SeedFiles()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

const std::string& seedFiles()
{
    static const SeedFiles files;
    return files.dir;
}

std::string description(const SeedLine& line)
{
    std::string text = R"({"window": {"title": "seed", "width": 64, "height": 48},
        "playback": {"frameRate": 20, "catchUp": true},
        "totalFrames": 4,
        "resources": [)" + std::string(line.resources) + "]";
    if (line.commands[0])
        text += R"(, "timeline": [{"frame": 1, "commands": [)" + std::string(line.commands) + "]}]";
    return text + "}";
}

bool compileLine(const SeedLine& line, Bytes& out, std::string* error)
{
    DescriptionOptions options;
    options.baseDirectory = seedFiles();
    std::string problem;
    if (compileDescription(description(line), options, out, &problem))
        return true;
    if (error)
        *error = std::string(line.className) + ": " + problem;
    return false;
}

}  // namespace

std::vector<Seed> seedDemos(std::string* error)
{
    std::vector<Seed> seeds;
    for (const SeedLine& line : kSeedLines) {
        Bytes data;
        if (!compileLine(line, data, error))
            return {};
        seeds.push_back({line.className, data});
    }
    return seeds;
}

std::vector<std::string> classesWithoutSeed()
{
    std::set<std::string> seeded;
    for (const SeedLine& line : kSeedLines)
        seeded.insert(line.className);
    std::vector<std::string> missing;
    for (const std::string& name : resourceClassNames()) {
        if (!seeded.count(name))
            missing.push_back(name);
    }
    return missing;
}

Bytes allSeedResources()
{
    // Each line's resource chunks, walked from its resource stream.
    StreamWriter all;
    for (const SeedLine& line : kSeedLines) {
        Bytes demo;
        if (!compileLine(line, demo, nullptr))
            continue;
        for (const Bytes& chunk : chunksOf(topLevelPayload(demo, format::kResources)))
            all.add(chunk);
    }
    return all.bytes();
}

std::vector<Seed> seedBitmaps()
{
    // 4 x 2 pixels, bottom row first; rows in each depth's own encoding.
    const std::vector<Rgb8> palette2 = {{0, 0, 0}, {255, 255, 255}};
    std::vector<Rgb8> palette16, palette256;
    for (int i = 0; i < 16; ++i)
        palette16.push_back({uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
    for (int i = 0; i < 256; ++i)
        palette256.push_back({uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)});
    Bytes rgb;
    for (int i = 0; i < 8; ++i)
        append(rgb, {uint8_t(i * 30), uint8_t(200 - i * 20), uint8_t(i * 9)});
    BmpLayout core;
    core.headerSize = 12;
    BmpLayout bare;
    bare.fileHeader = false;
    BmpLayout topDown;
    topDown.topDown = true;
    BmpLayout masks;
    masks.compression = 3;
    masks.masks = {0xF800, 0x07E0, 0x001F};
    BmpLayout rle8;
    rle8.compression = 1;
    BmpLayout rle4;
    rle4.compression = 2;
    BmpLayout fewColours;
    fewColours.colorsUsed = 3;
    return {
        {"rgb24.bmp", bmp24(4, 2, rgb)},
        {"rgb24-core.bmp", bmp24(4, 2, rgb, core)},
        {"rgb24-bare.bmp", bmp24(4, 2, rgb, bare)},
        {"rgb24-topdown.bmp", bmp24(4, 2, rgb, topDown)},
        {"mono.bmp", bmpFile(4, 2, 1, {0xA0, 0x50}, palette2)},
        {"pal4.bmp", bmpFile(4, 2, 4, {0x01, 0x23, 0x45, 0x67}, palette16)},
        {"pal8.bmp", bmpFile(4, 2, 8, {0, 1, 2, 3, 250, 251, 252, 253}, palette256)},
        {"pal8-few.bmp", bmpFile(4, 2, 8, {0, 1, 2, 0, 1, 2, 0, 1}, palette256, fewColours)},
        {"rgb16.bmp", bmpFile(4, 2, 16, Bytes(16, 0x5A))},
        {"rgb16-masks.bmp", bmpFile(4, 2, 16, Bytes(16, 0xA5), {}, masks)},
        {"rgb32.bmp", bmpFile(4, 2, 32, Bytes(32, 0x3C))},
        {"rle8.bmp", bmpFile(4, 2, 8, {2, 1, 0, 2, 2, 3, 0, 0, 0, 0, 2, 4, 2, 5, 0, 1}, palette256, rle8)},
        {"rle4.bmp", bmpFile(4, 2, 4, {4, 0x12, 0, 0, 0, 4, 1, 0x23, 0x45, 0, 0, 1}, palette16, rle4)},
    };
}

std::vector<Bytes> chunksOf(const Bytes& stream)
{
    std::vector<Bytes> chunks;
    size_t at = 0;
    while (at + 6 <= stream.size()) {
        uint32_t length;
        std::memcpy(&length, &stream[at + 2], 4);
        if (length > stream.size() - at - 6)
            break;
        chunks.emplace_back(stream.begin() + long(at), stream.begin() + long(at + 6 + length));
        at += 6 + length;
    }
    return chunks;
}

Bytes topLevelPayload(const Bytes& demo, int16_t id)
{
    for (const Bytes& chunk : chunksOf(demo)) {
        int16_t chunkId;
        std::memcpy(&chunkId, chunk.data(), 2);
        if (chunkId == id)
            return Bytes(chunk.begin() + 6, chunk.end());
    }
    return {};
}

}  // namespace fuzzing
