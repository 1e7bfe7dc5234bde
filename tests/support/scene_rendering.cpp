#include "tests/support/scene_rendering.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

#include "tools/writer/object_payloads.h"

using namespace tools::writer;
using namespace tools::render;

void RenderedScene::add(int16_t id, const std::string& tag, const Bytes& body)
{
    Envelope e;
    e.tag = tag;
    e.body = body;
    append(resources, resource(id, e));
}

void RenderedScene::place(const std::string& resource, const std::string& as, const std::string& parent,
                          const std::string& after)
{
    commands.push_back(placeCommand(Place{resource, as, 0, 0, 1, parent, after}));
}

std::vector<RenderedFrame> RenderedScene::render(int frames)
{
    WindowSettings window{"", true, kW, kH, false};
    PlaybackSettings playback{true, 0, true, false};
    Bytes all;
    for (const Bytes& c : commands)
        append(all, c);
    Bytes timeline = StreamWriter().add(totalFramesChunk(int16_t(frames))).add(25, timelineEntry(1, all)).bytes();
    Bytes data = cat({chunk(2100, windowSettings(window)), chunk(2101, playbackSettings(playback)),
                      chunk(2103, RenderStateWriter::standard(0, 0, 0, 1).bytes()),
                      chunk(2102, cat({resources, u8(0)})), chunk(2104, timeline)});
    // One file per process: ctest runs tests that render side by side.
    std::string path = ::testing::TempDir() + "rendered_scene" + std::to_string(getpid()) + ".dat", error;
    EXPECT_TRUE(writeFile(path, data));
    RenderOptions options;
    options.frames.parse("1-" + std::to_string(frames), &error);
    std::vector<RenderedFrame> out;
    EXPECT_TRUE(renderDemo(path, options, out, &error)) << error;
    std::remove(path.c_str());
    out.resize(size_t(frames));
    return out;
}

int brightness(const RenderedFrame& f, int x, int y, bool red)
{
    if (f.rgb.empty())
        return -1;  // no frame rendered
    const uint8_t* p = &f.rgb[(size_t(y) * size_t(f.width) + size_t(x)) * 3];
    return red ? p[0] : p[0] + p[1] + p[2];
}

Bytes cameraOnZ(float z)
{
    CameraPayload c;
    c.position[0] = c.position[1] = 0, c.position[2] = z;
    return cameraPayload(c);
}
