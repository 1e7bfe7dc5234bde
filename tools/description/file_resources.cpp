// The description compiler's writers of the resources that carry a file:
// texture (and texture copy) and music.
#include "tools/description/resources.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

// ---- File resources

// A path the description names, relative to its folder.
std::string resolvedPath(const std::string& path, const ResourceContext& c)
{
    if (path.empty() || path[0] == '/' || c.options.baseDirectory.empty())
        return path;
    return c.options.baseDirectory + "/" + path;
}

// The bytes of a file the description names, relative to its folder.
Bytes fileContents(const Value& pathValue, const std::string& place, const ResourceContext& c)
{
    const std::string& path = stringValue(pathValue, place, "'file'");
    if (path.empty())
        fail(pathValue, place, "'file' must not be empty");
    std::string full = resolvedPath(path, c);
    std::string looked = full == path ? "" : " (looked for " + full + ")";
    FILE* file = std::fopen(full.c_str(), "rb");
    if (!file)
        fail(pathValue, place, "cannot read " + quoted(path) + looked + ": " + std::strerror(errno));
    Bytes bytes;
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    bool failed = std::ferror(file) != 0;
    int readError = errno;
    std::fclose(file);
    if (failed)
        fail(pathValue, place, "cannot read " + quoted(path) + looked + ": " + std::strerror(readError));
    return bytes;
}

const GLName kWrapModes[] = {
    {"repeat", "GL_REPEAT", kGlRepeat},
    {"clamp", "GL_CLAMP", kGlClamp},
    {"clampToEdge", "GL_CLAMP_TO_EDGE", kGlClampToEdge},
    {"mirroredRepeat", "GL_MIRRORED_REPEAT", kGlMirroredRepeat},
};

// The parameter stream of a texture or texture copy from its readable
// fields; without them, the stream every shipped texture carries.
Bytes textureParameterFields(Fields& f)
{
    TextureParameters p;
    if (const Value* v = f.optional("filter")) {
        const std::string& filter = stringValue(*v, f.place(), "'filter'");
        if (filter == "nearest") {
            p.minFilter = p.magFilter = kGlNearest;
        } else if (filter == "mipmap") {
            // Smooth when shrunk far: every level is built from the image.
            p.minFilter = kGlLinearMipmapLinear;
            p.upload = TextureUpload::Mipmaps;
        } else if (filter != "linear") {
            fail(*v, f.place(),
                 "unknown filter " + quoted(filter) + suggestion(filter, {"linear", "nearest", "mipmap"}) +
                     "; known: linear, nearest, mipmap");
        }
    }
    if (const Value* v = f.optional("wrap")) {
        if (v->isArray()) {
            if (v->items.size() != 2)
                fail(*v, f.place(), "'wrap' is one mode or [s, t], such as [\"repeat\", \"clamp\"]");
            p.wrapS = uint16_t(glEnum(v->items[0], kWrapModes, f.place(), "wrap mode"));
            p.wrapT = uint16_t(glEnum(v->items[1], kWrapModes, f.place(), "wrap mode"));
        } else {
            p.wrapS = p.wrapT = uint16_t(glEnum(*v, kWrapModes, f.place(), "wrap mode"));
        }
    }
    p.borderColor = f.color("border", *p.borderColor);
    return textureParameters(p);
}

void writeTexture(Fields& f, Envelope& e, const ResourceContext& c)
{
    const Value& file = f.required("file");
    int width = 0, height = 0;
    if (const Value* size = f.optional("size")) {
        if (!size->isArray() || size->items.size() != 2)
            fail(*size, f.place(), "'size' is [width, height] in pixels, such as [512, 256]");
        width = integer(size->items[0], f.place(), "'size' width", 1, kMaxTextureSide);
        height = integer(size->items[1], f.place(), "'size' height", 1, kMaxTextureSide);
    }
    // Any common image file becomes the one BMP layout the player reads.
    TextureImage image;
    std::string problem = textureFromImage(fileContents(file, f.place(), c), image, width, height);
    if (!problem.empty())
        fail(file, f.place(), quoted(file.text) + " " + problem);
    if (image.bmp.size() > kLargeTextureBytes && c.options.note) {
        const int32_t w = int32_t(image.bmp[18] | image.bmp[19] << 8 | image.bmp[20] << 16 | image.bmp[21] << 24);
        const int32_t h = int32_t(image.bmp[22] | image.bmp[23] << 8 | image.bmp[24] << 16 | image.bmp[25] << 24);
        // Halved until it fits, so that a power-of-two size stays one.
        int32_t suggestedW = w, suggestedH = h;
        do {
            suggestedW = std::max(4, suggestedW / 2 / 4 * 4);
            suggestedH = std::max(1, suggestedH / 2);
        } while (54 + size_t(suggestedW) * size_t(suggestedH) * 3 > kLargeTextureBytes);
        c.options.note("warning: " + f.place() + ": " + quoted(file.text) + " is " + std::to_string(w) + " x " +
                       std::to_string(h) + " pixels, " + megabytes(image.bmp.size()) +
                       " in the demo data (textures are carried as 24-bit BMP; more than " +
                       megabytes(kLargeTextureBytes) + " is a lot for a release): a 'size' such as [" +
                       std::to_string(suggestedW) + ", " + std::to_string(suggestedH) + "] scales it down");
    }
    e.body = std::move(image.bmp);
    e.extraId = format::envelope::kTextureImage;
    e.extra = textureParameterFields(f);
}

void writeTextureCopy(Fields& f, Envelope& e, const ResourceContext& c)
{
    const Value& source = f.required("source");
    e.sourceTag = tagText(source, f.place(), "'source'");
    auto found = c.defined.find(e.sourceTag);
    std::vector<std::string> textures;
    for (const auto& d : c.defined) {
        if (d.second->chunkId == format::kTexture || d.second->chunkId == format::kTextureCopy)
            textures.push_back(d.first);
    }
    // The loader looks the source up while it loads this resource.
    if (found == c.defined.end())
        fail(source, f.place(), "no texture tagged " + quoted(e.sourceTag) + " is listed before this resource" +
                                    suggestion(e.sourceTag, textures));
    if (found->second->chunkId != format::kTexture && found->second->chunkId != format::kTextureCopy)
        fail(source, f.place(), "'source' " + quoted(e.sourceTag) + " is a " + found->second->name + ", not a texture");
    e.withBody = false;
    e.extraId = format::envelope::kTextureImage;
    e.extra = textureParameterFields(f);
}

std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void writeMusic(Fields& f, Envelope& e, const ResourceContext& c)
{
    const Value& file = f.required("file");
    // The sound library plays MP3 and WAV, and the player positions music
    // in seconds of 44100 samples: anything else is converted.
    CarriedAudio audio;
    std::string problem;
    if (!carriedAudio(fileContents(file, f.place(), c), file.text, audio, &problem))
        fail(file, f.place(), quoted(file.text) + " " + problem);
    e.body = std::move(audio.bytes);
    if (!audio.note.empty() && c.options.note)
        c.options.note(audio.note);
    MusicSettings music;
    const Value* nameValue = f.optional("name");
    music.name = nameValue ? stringValue(*nameValue, f.place(), "'name'") : baseName(file.text);
    if (audio.converted && !nameValue) {
        // Named for what it now holds.
        const size_t dot = music.name.rfind('.');
        music.name = (dot == std::string::npos || dot == 0 ? music.name : music.name.substr(0, dot)) + audio.extension;
    }
    // The player writes the file under this name into its temporary folder.
    const Value& at = nameValue ? *nameValue : file;
    if (music.name.empty() || music.name.size() > 255 || music.name.find_first_of("/\\") != std::string::npos ||
        music.name.find('\0') != std::string::npos || music.name == "." || music.name == "..")
        fail(at, f.place(), "'name' " + quoted(music.name) + " must be a plain file name of 1 to 255 bytes");
    music.volume = f.int16("volume", 255, 0, 255);
    const Value* fps = f.optional("framesPerSecond");
    if (!fps && c.frameRate <= 0)
        fail(file, f.place(),
             "needs 'framesPerSecond': the playback is unpaced (frameRate 0), and the music turns skipped frames "
             "into a play position with it");
    music.framesPerSecond = fps ? int16_t(integer(*fps, f.place(), "'framesPerSecond'", 1, 32767)) : c.frameRate;
    e.extraId = format::envelope::kMusicFile;
    e.extra = musicSettings(music);
}

}  // namespace tools::description
