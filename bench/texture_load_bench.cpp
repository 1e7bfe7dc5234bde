// How much the texture path of the resource load costs over a plain upload:
// the nine images of the shipped demo (seven 256 × 256, one 512 × 512, one
// 256 × 128) loaded as resources 200 (BMP parse, first upload, read-back,
// re-upload with the parameter stream), against the same RGB images uploaded
// straight to GL with the same parameters, in the same run and context.
//
//   SDL_VIDEODRIVER=offscreen texture_load_bench [runs]
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo/object_list.h"
#include "demo/object_loader.h"
#include "demo/scene_object.h"
#include "player/window.h"
#include "texture/texture.h"
#include "tools/writer/texture_payloads.h"
#include "tools/writer/writer.h"

using namespace tools::writer;
using Clock = std::chrono::steady_clock;

namespace {

struct Image {
    int width, height;
    Bytes rgb;
    Bytes bmp;
};

std::vector<Image> shippedSizes()
{
    std::vector<Image> images;
    const int sizes[9][2] = {{256, 256}, {256, 256}, {256, 256}, {256, 256}, {256, 256},
                             {256, 256}, {256, 256}, {512, 512}, {256, 128}};
    uint32_t seed = 12345;
    for (const auto& s : sizes) {
        Image image{s[0], s[1], Bytes(size_t(s[0] * s[1] * 3)), {}};
        for (uint8_t& b : image.rgb) {
            seed = seed * 214013 + 2531011;
            b = uint8_t(seed >> 16);
        }
        image.bmp = bmp24(image.width, image.height, image.rgb);
        images.push_back(std::move(image));
    }
    return images;
}

std::string tagOf(size_t i)
{
    return "TX" + std::to_string(10 + i);
}

double milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Resources through the loader; true when it knows resource 200.
bool loadThroughLoader(const Bytes& stream, ObjectList& resources)
{
    ObjectLoader loader(stream.data(), int32_t(stream.size()));
    loader.load(&resources, nullptr);
    return resources.count() > 0;
}

// What the loader does for a resource 200, by hand.
void loadByHand(const std::vector<Image>& images, const Bytes& parameters, ObjectList& resources,
                double* parseAndUpload, double* readBackAndReupload)
{
    for (size_t i = 0; i < images.size(); ++i) {
        Texture* texture = new Texture;
        Clock::time_point t0 = Clock::now();
        texture->load(images[i].bmp.data(), int32_t(images[i].bmp.size()));
        glFinish();
        Clock::time_point t1 = Clock::now();
        texture->loadExtra(parameters.data(), int32_t(parameters.size()));
        glFinish();
        Clock::time_point t2 = Clock::now();
        *parseAndUpload += milliseconds(t0, t1);
        *readBackAndReupload += milliseconds(t1, t2);
        resources.append(tagOf(i).c_str(), texture);
    }
}

void uploadDirectly(const std::vector<Image>& images, std::vector<GLuint>& names)
{
    static const float border[4] = {0, 0, 0, 0};
    names.resize(images.size());
    glGenTextures(GLsizei(names.size()), names.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (size_t i = 0; i < images.size(); ++i) {
        glBindTexture(GL_TEXTURE_2D, names[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, images[i].width, images[i].height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     images[i].rgb.data());
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    WindowState window;
    if (!createGLWindow(window, "texture bench", 64, 48, 16, false)) {
        std::fprintf(stderr, "no GL context\n");
        return 1;
    }
    std::printf("GL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    const std::vector<Image> images = shippedSizes();
    const Bytes parameters = textureParameters();
    StreamWriter writer;
    for (size_t i = 0; i < images.size(); ++i)
        writer.add(textureResource(tagOf(i), images[i].bmp, parameters));
    const Bytes stream = writer.bytes();
    size_t pixelBytes = 0;
    for (const Image& image : images)
        pixelBytes += image.rgb.size();
    std::printf("9 textures, %.1f MB of RGB pixels, resource stream %.1f MB, %d runs (medians)\n",
                double(pixelBytes) / 1e6, double(stream.size()) / 1e6, runs);

    // Does the loader know resource 200 yet? Else build the textures as it would.
    bool viaLoader;
    {
        ObjectList probe(true);
        probe.deleter = &SceneObject::destroy;
        viaLoader = loadThroughLoader(StreamWriter().add(textureResource("PROB", images[8].bmp, parameters)).bytes(),
                                      probe);
    }
    std::printf("texture path: %s\n",
                viaLoader ? "ObjectLoader over the 2102-style stream"
                          : "Texture load + loadExtra by hand (the loader has no entry for 200)");

    std::vector<double> loaded, direct, parse, reupload;
    for (int run = 0; run < runs; ++run) {
        {
            ObjectList resources(true);
            resources.deleter = &SceneObject::destroy;
            double parseMs = 0, reuploadMs = 0;
            glFinish();
            Clock::time_point t0 = Clock::now();
            if (viaLoader)
                loadThroughLoader(stream, resources);
            else
                loadByHand(images, parameters, resources, &parseMs, &reuploadMs);
            glFinish();
            loaded.push_back(milliseconds(t0, Clock::now()));
            parse.push_back(parseMs);
            reupload.push_back(reuploadMs);
            if (resources.count() != 9)
                std::fprintf(stderr, "only %d textures loaded\n", int(resources.count()));
        }
        {
            std::vector<GLuint> names;
            glFinish();
            Clock::time_point t0 = Clock::now();
            uploadDirectly(images, names);
            glFinish();
            direct.push_back(milliseconds(t0, Clock::now()));
            glDeleteTextures(GLsizei(names.size()), names.data());
        }
    }

    const double l = median(loaded), d = median(direct);
    std::printf("resource load : %8.2f ms\n", l);
    if (!viaLoader)
        std::printf("  of which BMP parse + first upload %.2f ms, read-back + re-upload %.2f ms\n", median(parse),
                    median(reupload));
    std::printf("direct upload : %8.2f ms\n", d);
    std::printf("ratio         : %8.2f x\n", l / d);

    releaseGLContext(window);
    killGLWindow(window);
    return 0;
}
