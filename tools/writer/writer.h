// Authoring side: builds demo data byte for byte as the player reads it.
// Every loader has a writer function here; tests and `demotool build` use them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo/format.h"

namespace tools::writer {

using Bytes = std::vector<uint8_t>;

// ---- Primitive little-endian values
Bytes u8(uint8_t value);
Bytes s16(int16_t value);
Bytes s32(int32_t value);
Bytes f32(float value);
// Exactly 4 bytes: the first four characters, zero-padded; "" gives four zero bytes (no tag).
Bytes tag(const std::string& text);
Bytes text(const std::string& text);  // the characters, no terminator
Bytes cat(std::initializer_list<Bytes> parts);
void append(Bytes& to, const Bytes& more);

// ---- Chunks and streams
// One chunk: 16-bit id, 32-bit length of payload, payload.
Bytes chunk(int16_t id, const Bytes& payload = {});
// A chunk whose length field says `declaredLength` whatever the payload is
// (for commands read field by field, and for malformed test data).
Bytes chunkWithLength(int16_t id, uint32_t declaredLength, const Bytes& payload);

// A sequence of chunks, as the authoring tool writes streams: with one
// trailing zero byte unless told otherwise.
class StreamWriter {
public:
    StreamWriter& add(const Bytes& chunkBytes);
    StreamWriter& add(int16_t id, const Bytes& payload = {});
    Bytes bytes(bool trailingByte = true) const;

private:
    Bytes data_;
};

// ---- Settings streams (payloads of top-level chunks 2100, 2101, 2103)
struct WindowSettings {
    std::string title;
    bool hasSize = true;
    int16_t width = 640;
    int16_t height = 480;
    bool fullscreen = false;
};
Bytes windowSettings(const WindowSettings& settings);

struct PlaybackSettings {
    bool hasFrameRate = true;
    int16_t frameRate = 20;
    bool catchUp = true;
    bool loop = false;
};
Bytes playbackSettings(const PlaybackSettings& settings);

// Render-state script: each call appends one chunk.
class RenderStateWriter {
public:
    RenderStateWriter& shadeModel(int16_t mode);                      // 100
    RenderStateWriter& clearColor(float r, float g, float b, float a);  // 101
    RenderStateWriter& clearDepth(float value);                       // 102
    RenderStateWriter& depthFunc(int16_t function);                   // 103
    RenderStateWriter& hint(int16_t target, int16_t mode);            // 104
    RenderStateWriter& enable(int16_t capability);                    // 500
    RenderStateWriter& raw(const Bytes& chunkBytes);
    Bytes bytes() const;  // with the trailing byte
    // The usual script: smooth shading, the clear colour, depth 1, depth test
    // with GL_LESS, nicest perspective correction.
    static RenderStateWriter standard(float r = 0, float g = 0, float b = 0, float a = 0.5f);

private:
    StreamWriter stream_;
};

// ---- Resource stream (payload of 2102) and timeline stream (payload of 2104)
// Resource envelope: tag (sub-chunk 1, omitted when empty and withTag is
// false), optional extra block (extraId 110, 201 or 462), optional source tag
// (9) and body (8). No trailing byte.
struct Envelope {
    std::string tag;
    bool withTag = true;
    Bytes body;
    bool withBody = true;
    int16_t extraId = 0;  // 0: no extra block
    Bytes extra;
    std::string sourceTag;  // sub-chunk 9 when not empty
};
Bytes envelope(const Envelope& envelope);
// One resource chunk: id + envelope.
Bytes resource(int16_t id, const Envelope& envelope);

// Timeline commands (content read field by field; the length field holds the
// content length unless declaredLength is given).
struct Place {  // 1001 (clone) or 1005 (Transform copy)
    std::string resourceTag, instanceTag;
    int16_t start = 0, length = 0, frame = 1;
    std::string parentTag, afterTag;
    bool transformCopy = false;
};
Bytes placeCommand(const Place& place);
struct AttachDynamic {  // 1002 scalar, 1003 translation, 1004 rotation
    int16_t kind = format::timeline::kScalarDynamic;
    std::string dynamicTag;
    int16_t start = 0, length = 0;
    std::string parentTag, afterTag;
    Bytes payload;  // 11 bytes for 1002, 23 for 1003 and 1004
    int64_t declaredLength = -1;
};
Bytes dynamicCommand(const AttachDynamic& dynamic);
Bytes fastForwardCommand(bool resource, const std::string& tag, int16_t count);  // 1007 / 1006
Bytes groupCommand(const Bytes& commands);  // 1000 holding the commands

// Payload of a timeline entry chunk (25): start frame then the command stream
// (with its trailing byte).
Bytes timelineEntry(int16_t startFrame, const Bytes& commands);
// The 2101 settings-image chunk of a timeline stream setting total frames
// (2 bytes, as the authoring tool writes it).
Bytes totalFramesChunk(int16_t totalFrames);

// ---- Whole demo data (top-level chunks)
struct DemoData {
    Bytes window;       // payload of 2100
    Bytes playback;     // payload of 2101
    Bytes renderState;  // payload of 2103
    Bytes resources;    // payload of 2102 (already a stream with its trailing byte)
    Bytes timeline;     // payload of 2104
};
// 2100, 2101, 2103, 2102, 2104 in that order, each omitted when its payload is empty.
Bytes demoData(const DemoData& demo);

// ---- Packed executables
using format::kDataOffset;  // where packing puts the demo data
// Player bytes, zeros up to kDataOffset, then data. Empty result and a message
// in `error` when the player is too large.
Bytes pack(const Bytes& player, const Bytes& data, std::string* error);
// The demo data of a packed file (from kDataOffset on), or the file itself
// when it is raw demo data (it is no ELF or PE executable).
Bytes demoDataOf(const Bytes& file);

// Demo data whose sound-library chunks (463 in the resource stream) carry
// `library` instead of what they held, so that data made for another system
// plays with sound here. Lengths of the enclosing chunks follow. *replaced
// counts the chunks changed; chunks that cannot be walked are copied as they are.
Bytes replaceSoundLibrary(const Bytes& data, const Bytes& library, int* replaced);
// The first sound library the data carries (the one the player loads), or
// false when no chunk 463 can be found.
bool carriedSoundLibrary(const Bytes& data, Bytes* library);

bool readFile(const std::string& path, Bytes& out);
bool writeFile(const std::string& path, const Bytes& data, bool executable = false);

}  // namespace tools::writer
