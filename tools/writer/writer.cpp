#include "tools/writer/writer.h"

#include "demo/format.h"
#include "tools/writer/file_kind.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace tools::writer {

// ---- Primitive little-endian values

Bytes u8(uint8_t value)
{
    return {value};
}

Bytes s16(int16_t value)
{
    uint16_t v = uint16_t(value);
    return {uint8_t(v), uint8_t(v >> 8)};
}

Bytes s32(int32_t value)
{
    uint32_t v = uint32_t(value);
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Bytes f32(float value)
{
    uint32_t v;
    std::memcpy(&v, &value, 4);
    return s32(int32_t(v));
}

Bytes tag(const std::string& text)
{
    Bytes out(4, 0);
    for (size_t i = 0; i < text.size() && i < 4; ++i)
        out[i] = uint8_t(text[i]);
    return out;
}

Bytes text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        append(out, part);
    return out;
}

void append(Bytes& to, const Bytes& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// ---- Chunks and streams

Bytes chunk(int16_t id, const Bytes& payload)
{
    return chunkWithLength(id, uint32_t(payload.size()), payload);
}

Bytes chunkWithLength(int16_t id, uint32_t declaredLength, const Bytes& payload)
{
    Bytes out = cat({s16(id), s32(int32_t(declaredLength))});
    append(out, payload);
    return out;
}

StreamWriter& StreamWriter::add(const Bytes& chunkBytes)
{
    append(data_, chunkBytes);
    return *this;
}

StreamWriter& StreamWriter::add(int16_t id, const Bytes& payload)
{
    return add(chunk(id, payload));
}

Bytes StreamWriter::bytes(bool trailingByte) const
{
    Bytes out = data_;
    if (trailingByte)
        out.push_back(0);
    return out;
}

// ---- Settings streams

Bytes windowSettings(const WindowSettings& settings)
{
    StreamWriter stream;
    if (!settings.title.empty())
        stream.add(format::window::kTitle, text(settings.title));
    if (settings.hasSize)
        stream.add(format::window::kSize, cat({s16(settings.width), s16(settings.height)}));
    if (settings.fullscreen)
        stream.add(format::window::kFullscreen);
    return stream.bytes();
}

Bytes playbackSettings(const PlaybackSettings& settings)
{
    StreamWriter stream;
    if (settings.hasFrameRate)
        stream.add(format::playback::kFrameRate, s16(settings.frameRate));
    if (settings.catchUp)
        stream.add(format::playback::kCatchUp);
    if (settings.loop)
        stream.add(format::playback::kLoop);
    return stream.bytes();
}

RenderStateWriter& RenderStateWriter::shadeModel(int16_t mode)
{
    stream_.add(format::render::kShadeModel, s16(mode));
    return *this;
}

RenderStateWriter& RenderStateWriter::clearColor(float r, float g, float b, float a)
{
    stream_.add(format::render::kClearColor, cat({f32(r), f32(g), f32(b), f32(a)}));
    return *this;
}

RenderStateWriter& RenderStateWriter::clearDepth(float value)
{
    stream_.add(format::render::kClearDepth, f32(value));
    return *this;
}

RenderStateWriter& RenderStateWriter::depthFunc(int16_t function)
{
    stream_.add(format::render::kDepthFunc, s16(function));
    return *this;
}

RenderStateWriter& RenderStateWriter::hint(int16_t target, int16_t mode)
{
    stream_.add(format::render::kHint, cat({s16(target), s16(mode)}));
    return *this;
}

RenderStateWriter& RenderStateWriter::enable(int16_t capability)
{
    stream_.add(format::render::kEnable, s16(capability));
    return *this;
}

RenderStateWriter& RenderStateWriter::raw(const Bytes& chunkBytes)
{
    stream_.add(chunkBytes);
    return *this;
}

Bytes RenderStateWriter::bytes() const
{
    return stream_.bytes();
}

RenderStateWriter RenderStateWriter::standard(float r, float g, float b, float a)
{
    // GL enum values spelled out: the authoring side does not include GL headers.
    constexpr int16_t kSmooth = 0x1D01, kDepthTest = 0x0B71, kLess = 0x0201;
    constexpr int16_t kPerspectiveCorrectionHint = 0x0C50, kNicest = 0x1102;
    RenderStateWriter script;
    script.shadeModel(kSmooth)
        .clearColor(r, g, b, a)
        .clearDepth(1.0f)
        .enable(kDepthTest)
        .depthFunc(kLess)
        .hint(kPerspectiveCorrectionHint, kNicest);
    return script;
}

// ---- Resources and timeline

Bytes envelope(const Envelope& e)
{
    Bytes out;
    if (e.withTag || !e.tag.empty())
        append(out, chunk(format::envelope::kTag, tag(e.tag)));
    if (e.extraId != 0)
        append(out, chunk(e.extraId, e.extra));
    if (!e.sourceTag.empty())
        append(out, chunk(format::envelope::kSourceTag, tag(e.sourceTag)));
    if (e.withBody)
        append(out, chunk(format::envelope::kBody, e.body));
    return out;
}

Bytes resource(int16_t id, const Envelope& e)
{
    return chunk(id, envelope(e));
}

Bytes placeCommand(const Place& p)
{
    Bytes content = cat({tag(p.resourceTag), tag(p.instanceTag), s16(p.start), s16(p.length),
                         s16(p.frame), tag(p.parentTag), tag(p.afterTag)});
    return chunk(p.transformCopy ? format::timeline::kPlaceTransformCopy : format::timeline::kPlaceClone, content);
}

Bytes dynamicCommand(const AttachDynamic& d)
{
    Bytes content = cat({tag(d.dynamicTag), s16(d.start), s16(d.length), tag(d.parentTag),
                         tag(d.afterTag), d.payload});
    uint32_t length = d.declaredLength >= 0 ? uint32_t(d.declaredLength) : uint32_t(content.size());
    return chunkWithLength(d.kind, length, content);
}

Bytes fastForwardCommand(bool resource, const std::string& tagText, int16_t count)
{
    return chunk(resource ? format::timeline::kFastForwardResource : format::timeline::kFastForwardInstance,
                 cat({tag(tagText), s16(count)}));
}

Bytes groupCommand(const Bytes& commands)
{
    // The reader walks into the group; its length only spans the content.
    return chunk(format::timeline::kGroup, commands);
}

Bytes timelineEntry(int16_t startFrame, const Bytes& commands)
{
    // Sized once: growing the two-byte vector of the start frame tripped a
    // false array-bounds warning in GCC 12's inlined vector insert.
    Bytes out;
    out.reserve(2 + commands.size() + 1);
    append(out, s16(startFrame));
    append(out, commands);
    out.push_back(0);  // the command stream's trailing byte
    return out;
}

Bytes totalFramesChunk(int16_t totalFrames)
{
    return chunk(format::timeline::kTotalFrames, s16(totalFrames));
}

Bytes demoData(const DemoData& demo)
{
    Bytes out;
    const std::pair<int16_t, const Bytes*> parts[] = {
        {format::kWindowSettings, &demo.window},
        {format::kPlaybackSettings, &demo.playback},
        {format::kRenderState, &demo.renderState},
        {format::kResources, &demo.resources},
        {format::kTimeline, &demo.timeline},
    };
    for (const auto& [id, payload] : parts)
        if (!payload->empty())
            append(out, chunk(id, *payload));
    return out;
}

// ---- Packed executables

Bytes pack(const Bytes& player, const Bytes& data, std::string* error)
{
    if (player.size() > kDataOffset) {
        if (error)
            *error = "player is " + std::to_string(player.size()) +
                     " bytes, more than the " + std::to_string(kDataOffset) +
                     " bytes before the demo data";
        return {};
    }
    Bytes out;
    out.reserve(kDataOffset + data.size());
    out = player;
    out.resize(kDataOffset, 0);
    append(out, data);
    if (error)
        error->clear();
    return out;
}

Bytes demoDataOf(const Bytes& file)
{
    if (!isExecutable(file))
        return file;
    if (file.size() <= kDataOffset)
        return {};
    return Bytes(file.begin() + kDataOffset, file.end());
}

namespace {

// Splits bytes into whole chunks; false when something is left that is not one.
struct RawChunk {
    int16_t id;
    Bytes payload;
};

bool splitChunks(const Bytes& data, std::vector<RawChunk>& chunks, Bytes& rest)
{
    size_t at = 0;
    while (data.size() - at >= 6) {
        int16_t id = int16_t(data[at] | data[at + 1] << 8);
        uint32_t length = uint32_t(data[at + 2]) | uint32_t(data[at + 3]) << 8 | uint32_t(data[at + 4]) << 16 |
                          uint32_t(data[at + 5]) << 24;
        if (length > data.size() - at - 6)
            return false;
        chunks.push_back({id, Bytes(data.begin() + long(at + 6), data.begin() + long(at + 6 + length))});
        at += 6 + length;
    }
    rest.assign(data.begin() + long(at), data.end());
    return true;
}

}  // namespace

Bytes replaceSoundLibrary(const Bytes& data, const Bytes& library, int* replaced)
{
    *replaced = 0;
    std::vector<RawChunk> top;
    Bytes topRest;
    if (!splitChunks(data, top, topRest))
        return data;
    Bytes out;
    for (const RawChunk& c : top) {
        std::vector<RawChunk> resources;
        Bytes rest;
        if (c.id != format::kResources || !splitChunks(c.payload, resources, rest)) {
            append(out, chunk(c.id, c.payload));
            continue;
        }
        Bytes stream;
        for (const RawChunk& r : resources) {
            if (r.id == format::kSoundLibrary) {
                append(stream, chunk(format::kSoundLibrary, library));
                ++*replaced;
            } else {
                append(stream, chunk(r.id, r.payload));
            }
        }
        append(stream, rest);
        append(out, chunk(format::kResources, stream));
    }
    append(out, topRest);
    return out;
}

bool carriedSoundLibrary(const Bytes& data, Bytes* library)
{
    std::vector<RawChunk> top;
    Bytes rest;
    if (!splitChunks(data, top, rest))
        return false;
    for (const RawChunk& c : top) {
        std::vector<RawChunk> resources;
        if (c.id != format::kResources || !splitChunks(c.payload, resources, rest))
            continue;
        for (const RawChunk& r : resources) {
            if (r.id == format::kSoundLibrary) {
                *library = r.payload;
                return true;
            }
        }
    }
    return false;
}

bool readFile(const std::string& path, Bytes& out)
{
    // A directory opens fine on Linux but cannot be read: refuse it up front.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    Bytes data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;
    out = std::move(data);
    return true;
}

bool writeFile(const std::string& path, const Bytes& data, bool executable)
{
    {
        std::ofstream outFile(path, std::ios::binary | std::ios::trunc);
        if (!outFile)
            return false;
        outFile.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        outFile.close();
        if (!outFile)
            return false;
    }
    // chmod rather than a create mode: the umask must not strip the bits.
    if (executable && chmod(path.c_str(), 0755) != 0)
        return false;
    return true;
}

}  // namespace tools::writer
