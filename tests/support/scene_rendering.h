// Small demos built in a test and played through the offline renderer: a
// 64 x 48 window, the standard render state (depth test) over black.
#pragma once

#include <string>
#include <vector>

#include "tools/render/render.h"
#include "tools/writer/writer.h"

struct RenderedScene {
    static constexpr int kW = 64, kH = 48;
    tools::writer::Bytes resources;
    std::vector<tools::writer::Bytes> commands;  // frame 1's

    void add(int16_t id, const std::string& tag, const tools::writer::Bytes& body);
    // Places a clone of `resource` (start 0, length 0, frame 1).
    void place(const std::string& resource, const std::string& as, const std::string& parent = "",
               const std::string& after = "");
    // Frames 1 to `frames`.
    std::vector<tools::render::RenderedFrame> render(int frames = 1);
};

// The sum of red, green and blue at (x, y), y from the top; red alone with `red`.
int brightness(const tools::render::RenderedFrame& frame, int x, int y, bool red = false);
// A camera at (0, 0, z) looking at the origin.
tools::writer::Bytes cameraOnZ(float z);
