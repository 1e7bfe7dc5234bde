// Lives in the writer library so the tests link it; `demotool inspect` is a
// thin wrapper (tools/demotool/inspect_command.cpp).
#include "tools/inspect/inspect.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "demo/chunk_stream.h"
#include "demo/format.h"
#include "tools/writer/file_kind.h"
#include "tools/writer/gl_enum_names.h"
#include "tools/inspect/chunk_text.h"

namespace tools::inspect {

using namespace tools::writer;
namespace {

using writer::Bytes;

// A stretch of the demo data: where it lives in memory and where it starts in
// the data (for the offsets we print).
struct Region {
    const uint8_t* data;
    int32_t size;
    int64_t base;
};

// Reads a tag field; false when the stream ends first.
bool readTag(ChunkStream& s, std::string& out)
{
    uint8_t b[4];
    if (!s.read(b, 4))
        return false;
    out = tagText(b);
    return true;
}

class Inspector {
public:
    explicit Inspector(std::ostream& out) : out_(out) {}

    int problems() const { return problems_; }

    void topLevel(const Region& r)
    {
        walk(r, 0, [&](int16_t id, uint32_t length, int64_t offset, const Region& payload) {
            line(0) << "chunk " << id << " " << topLevelName(id) << " at offset " << offset
                    << ", length " << length << '\n';
            switch (id) {
            case format::kWindowSettings: windowSettings(payload); break;
            case format::kPlaybackSettings: playback(payload); break;
            case format::kResources: resources(payload); break;
            case format::kRenderState: renderState(payload); break;
            case format::kTimeline: timeline(payload); break;
            default: problem(1, "chunk " + std::to_string(id) + " at offset " + std::to_string(offset) +
                                    ": unknown top-level id");
            }
        }, true);
    }

private:
    std::ostream& out_;
    int problems_ = 0;

    std::ostream& line(int depth)
    {
        return out_ << std::string(size_t(depth) * 2, ' ');
    }

    void problem(int depth, const std::string& message)
    {
        line(depth) << "! " << message << '\n';
        ++problems_;
    }

    // A chunk the reader does not know: listed with its length, and a problem
    // one level down saying what kind of chunk was expected.
    void unknown(int depth, int16_t id, int64_t offset, uint32_t size, const std::string& what)
    {
        line(depth) << id << " unknown, length " << size << '\n';
        problem(depth + 1, at(id, offset) + ": unknown " + what);
    }

    static std::string at(int16_t id, int64_t offset)
    {
        return "chunk " + std::to_string(id) + " at offset " + std::to_string(offset);
    }

    // Checks that a chunk's payload holds the `needed` bytes its reader takes.
    bool needs(int depth, int16_t id, int64_t offset, const Region& payload, int32_t needed)
    {
        if (payload.size >= needed)
            return true;
        problem(depth, at(id, offset) + ": needs " + std::to_string(needed) + " bytes, has " +
                           std::to_string(payload.size));
        return false;
    }

    // What is left after the last whole chunk header of a stream. One byte is
    // the authoring tool's trailing byte; zeros are padding the reader stops on.
    // The top level has no trailing byte, so anything left there is a cut header.
    void leftover(const Region& r, int32_t from, int depth, bool topLevel)
    {
        int32_t left = r.size - from;
        if (left <= 0 || (left == 1 && !topLevel))
            return;
        if (topLevel) {
            problem(depth, std::to_string(left) + " stray bytes at offset " + std::to_string(r.base + from) +
                               ": too short for a chunk header");
            return;
        }
        bool zeros = true;
        for (int32_t i = from; i < r.size; ++i)
            zeros = zeros && r.data[i] == 0;
        if (zeros) {
            line(depth) << "(" << left << " zero bytes at the end)\n";
            return;
        }
        problem(depth, "chunk header at offset " + std::to_string(r.base + from) + " cut short (" +
                           std::to_string(left) + " bytes left)");
    }

    // Calls handler(id, declared length, header offset, payload) for each
    // chunk; a payload running past the end is reported, handed over cut to
    // what is there, and ends the walk.
    template <typename Handler>
    void walk(const Region& r, int depth, Handler&& handler, bool topLevel = false)
    {
        ChunkStream s(r.data, r.size);
        while (true) {
            int32_t start = s.position();
            int16_t id = 0;
            uint32_t length = 0;
            if (!s.readS16(id) || !s.readU32(length)) {
                leftover(r, start, depth, topLevel);
                return;
            }
            int32_t available = s.remaining();
            bool cut = length > uint32_t(available);
            Region payload{r.data + s.position(), cut ? available : int32_t(length),
                           r.base + s.position()};
            handler(id, length, r.base + start, payload);
            if (cut) {
                // After what could be shown of it, one level in: it belongs to this chunk.
                problem(depth + 1, at(id, r.base + start) + ": length " + std::to_string(length) +
                                       " runs past the end (" + std::to_string(available) + " bytes left)");
                return;
            }
            s.skip(length);
        }
    }

    void windowSettings(const Region& r)
    {
        walk(r, 1, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            switch (id) {
            case format::window::kTitle:
                line(1) << "4 title " << quoted(p.data, p.size) << '\n';
                break;
            case format::window::kSize: {
                int16_t w = 0, h = 0;
                if (needs(1, id, offset, p, 4) && s.readS16(w) && s.readS16(h))
                    line(1) << "2003 size " << w << " x " << h << '\n';
                break;
            }
            case format::window::kFullscreen:
                line(1) << "2004 fullscreen\n";
                break;
            default:
                unknown(1, id, offset, p.size, "window setting");
            }
        });
    }

    void playback(const Region& r)
    {
        walk(r, 1, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            switch (id) {
            case format::playback::kFrameRate: {
                int16_t rate = 0;
                if (needs(1, id, offset, p, 2) && s.readS16(rate))
                    line(1) << "2000 frame rate " << rate << '\n';
                break;
            }
            case format::playback::kCatchUp: line(1) << "2001 catch-up\n"; break;
            case format::playback::kLoop: line(1) << "2002 loop\n"; break;
            default:
                unknown(1, id, offset, p.size, "playback setting");
            }
        });
    }

    void renderState(const Region& r)
    {
        walk(r, 1, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            int16_t a = 0, b = 0;
            float f[4] = {0, 0, 0, 0};
            switch (id) {
            case format::render::kShadeModel:
                if (needs(1, id, offset, p, 2) && s.readS16(a))
                    line(1) << "100 glShadeModel " << hex16(a) << '\n';
                break;
            case format::render::kClearColor:
                if (needs(1, id, offset, p, 16) && s.readF32(f[0]) && s.readF32(f[1]) &&
                    s.readF32(f[2]) && s.readF32(f[3]))
                    line(1) << "101 glClearColor " << f[0] << ' ' << f[1] << ' ' << f[2] << ' ' << f[3]
                            << '\n';
                break;
            case format::render::kClearDepth:
                if (needs(1, id, offset, p, 4) && s.readF32(f[0]))
                    line(1) << "102 glClearDepth " << f[0] << '\n';
                break;
            case format::render::kDepthFunc:
                if (needs(1, id, offset, p, 2) && s.readS16(a))
                    line(1) << "103 glDepthFunc " << hex16(a) << '\n';
                break;
            case format::render::kHint:
                if (needs(1, id, offset, p, 4) && s.readS16(a) && s.readS16(b))
                    line(1) << "104 glHint " << hex16(a) << ' ' << hex16(b) << '\n';
                break;
            case format::render::kEnable:
                if (needs(1, id, offset, p, 2) && s.readS16(a))
                    line(1) << "500 glEnable " << hex16(a) << '\n';
                break;
            default:
                unknown(1, id, offset, p.size, "render-state call");
            }
        });
    }

    void resources(const Region& r)
    {
        walk(r, 1, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            const char* name = className(id);
            line(1) << "resource " << id << " " << (name ? name : "unknown") << " at offset " << offset
                    << ", length " << p.size << '\n';
            if (!name)
                problem(2, at(id, offset) + ": unknown resource class");
            if (id == format::kSoundLibrary)
                libraryImage(p);
            else if (id == format::kSettingsImage)
                return;  // a settings image: raw bytes
            else
                envelope(p, id);
            if (id == format::kModel || id == format::kGrid)
                geometryBody(id, p);
            if (id == format::kReplicator || id == format::kQuadSplitter || id == format::kPieceAssembly)
                replicaBody(id, p);
            if (id == format::kRipple)
                rippleBody(p);
            if (id == format::kCollisionWorld)
                worldBody(p);
        });
    }

    // A collision world's forces, spawners and rolling flag.
    void worldBody(const Region& r)
    {
        Region body{};
        if (!bodyOf(r, body))
            return;
        walk(body, 2, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            float f[4] = {};
            if (id == format::world::kForce && needs(2, id, offset, p, 20) && s.read(nullptr, 0, 4) &&
                s.readF32(f[0]) && s.readF32(f[1]) && s.readF32(f[2]) && s.readF32(f[3]))
                line(2) << "force " << tagText(p.data) << " strength " << f[0] << ", direction " << f[1] << ' '
                        << f[2] << ' ' << f[3] << '\n';
            else if (id == format::world::kRolling)
                line(2) << "rolling\n";
            else if (id == format::world::kSpawner && needs(2, id, offset, p, 4))
                line(2) << "spawner " << tagText(p.data) << '\n';
            else if (id != format::world::kForce && id != format::world::kSpawner)
                problem(3, at(id, offset) + ": unknown world part");
        });
    }

    // The body (sub-chunk 8) of an envelope, when it lies whole inside it.
    static bool bodyOf(const Region& r, Region& body)
    {
        ChunkStream s(r.data, r.size);
        int16_t id = 0;
        uint32_t length = 0;
        while (s.readS16(id) && s.readU32(length)) {
            if (length > uint32_t(s.remaining()))
                return false;
            if (id == format::envelope::kBody) {
                body = Region{r.data + s.position(), int32_t(length), r.base + s.position()};
                return true;
            }
            s.skip(length);
        }
        return false;
    }

    // A grid's size and cells; each mesh of a model with its counts.
    void geometryBody(int16_t resourceId, const Region& r)
    {
        Region body{};
        if (!bodyOf(r, body))
            return;
        if (resourceId == format::kGrid) {
            walk(body, 2, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
                ChunkStream s(p.data, p.size);
                float w = 0, h = 0;
                int16_t nx = 0, ny = 0;
                if (id == format::grid::kCells && needs(2, id, offset, p, 12) && s.readF32(w) && s.readF32(h) &&
                    s.readS16(nx) && s.readS16(ny))
                    line(2) << "grid " << w << " x " << h << ", " << nx << " x " << ny << " cells\n";
                else if (id != format::grid::kCells && id != format::transform::kNested)
                    problem(3, at(id, offset) + ": unknown grid part");
            });
            return;
        }
        ChunkStream s(body.data, body.size);
        int16_t id = 0;
        uint32_t length = 0;
        int meshes = 0;
        while (true) {
            const int32_t start = s.position();
            if (!s.readS16(id) || !s.readU32(length)) {
                if (s.size() > start)
                    line(2) << "(" << s.size() - start << " bytes after the last chunk)\n";
                break;
            }
            const int64_t offset = body.base + start;
            uint8_t tagChunk[10];
            if (id != format::model::kMesh) {
                // The player skips these without a word, and stops at one
                // that runs past the end.
                line(2) << id << " skipped, length " << length << '\n';
                if (length > uint32_t(s.remaining()))
                    break;
            } else if (!s.read(tagChunk, sizeof tagChunk)) {
                problem(2, at(id, offset) + ": cut short before its mesh tag");
                break;
            } else {
                ++meshes;
                const int32_t available = length > uint32_t(s.remaining()) ? s.remaining() : int32_t(length);
                mesh(tagText(tagChunk + 6), Region{body.data + s.position(), available, body.base + s.position()});
                if (available < int64_t(length)) {
                    problem(3, at(id, offset) + ": mesh length " + std::to_string(length) + " runs past the end (" +
                                   std::to_string(available) + " bytes left)");
                    break;
                }
            }
            if (length > uint32_t(s.remaining())) {
                problem(3, at(id, offset) + ": length " + std::to_string(length) + " runs past the end");
                break;
            }
            s.skip(length);
        }
        line(2) << meshes << (meshes == 1 ? " mesh\n" : " meshes\n");
    }

    // A ripple's ring and centre.
    void rippleBody(const Region& r)
    {
        Region body{};
        if (!bodyOf(r, body))
            return;
        walk(body, 2, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            float f[4] = {};
            if (id == format::ripple::kWave && needs(2, id, offset, p, 16) && s.readF32(f[0]) && s.readF32(f[1]) &&
                s.readF32(f[2]) && s.readF32(f[3]))
                line(2) << "ripple start radius " << f[0] << ", speed " << f[1] << ", amplitude " << f[2]
                        << ", width " << f[3] << '\n';
            else if (id == format::ripple::kCentre && needs(2, id, offset, p, 8) && s.readF32(f[0]) && s.readF32(f[1]))
                line(2) << "centre " << f[0] << ' ' << f[1] << '\n';
            else if (id != format::ripple::kWave && id != format::ripple::kCentre)
                problem(3, at(id, offset) + ": unknown ripple part");
        });
    }

    // A list of 4-byte tags.
    static std::string tagList(const Region& p)
    {
        std::string out;
        for (int32_t i = 0; i + 4 <= p.size; i += 4)
            out += (i ? " " : "") + tagText(p.data + i);
        return out;
    }

    // The fields and tags of a replicator, splitter or assembly body.
    void replicaBody(int16_t resourceId, const Region& r)
    {
        Region body{};
        if (!bodyOf(r, body))
            return;
        walk(body, 2, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            float f[5] = {};
            if (id == format::transform::kNested && resourceId != format::kPieceAssembly) {
                line(2) << "275 transform, length " << p.size << '\n';
            } else if ((id == format::replicator::kSource && resourceId == format::kReplicator) ||
                       id == format::splitter::kSource) {
                if (needs(2, id, offset, p, 4))
                    line(2) << id << " source " << tagText(p.data) << '\n';
            } else if ((id == format::replicator::kInstanceTags && resourceId == format::kReplicator) ||
                       (id == format::splitter::kTileTags && resourceId == format::kQuadSplitter)) {
                line(2) << id << (id == format::replicator::kInstanceTags ? " instances " : " tiles ") << p.size / 4
                        << ": " << tagList(p) << '\n';
            } else if (id == format::replicator::kCircle && resourceId == format::kReplicator) {
                if (needs(2, id, offset, p, 9) && s.readF32(f[0]) && s.readF32(f[1]))
                    line(2) << "326 circle: angle " << f[0] << ", radius " << f[1] << ", face centre "
                            << (p.data[8] == 1 ? "yes" : "no") << '\n';
            } else if (id == format::replicator::kLattice && resourceId == format::kReplicator) {
                if (!needs(2, id, offset, p, 54))
                    return;
                int16_t counts[3];
                for (int axis = 0; axis < 3; ++axis) {
                    ChunkStream a(p.data + axis * 18 + 12, 6);
                    a.readS16(counts[axis]);
                    a.readF32(f[axis]);
                }
                line(2) << "327 lattice: counts " << counts[0] << " x " << counts[1] << " x " << counts[2]
                        << ", spacing " << f[0] << ' ' << f[1] << ' ' << f[2] << '\n';
            } else if (id == format::splitter::kCentreTiles && resourceId == format::kQuadSplitter) {
                line(2) << "13 centre tiles\n";
            } else if (id == format::assembly::kFlight && resourceId == format::kPieceAssembly) {
                if (needs(2, id, offset, p, 20) && s.readF32(f[0]) && s.readF32(f[1]) && s.readF32(f[2]) &&
                    s.readF32(f[3]) && s.readF32(f[4]))
                    line(2) << "8 start height " << f[0] << ", depth spread " << f[1] << ", start offset " << f[2]
                            << ", phase end " << f[3] << ", flight fraction " << f[4] << '\n';
            } else if (id == format::assembly::kSeed && resourceId == format::kPieceAssembly) {
                uint32_t seed = 0;
                if (needs(2, id, offset, p, 4) && s.readU32(seed))
                    line(2) << "14 seed " << seed << '\n';
            } else {
                // The assembly reads such a payload as the next chunk header.
                unknown(2, id, offset, p.size,
                        resourceId == format::kPieceAssembly ? "assembly part (its bytes are read as chunks)" : "part");
            }
        });
    }

    void mesh(const std::string& tag, const Region& r)
    {
        int32_t counts[4] = {0, 0, 0, 0};  // floats of 101, entries of 104, floats of 105, entries of 108
        walk(r, 3, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            switch (id) {
            case format::mesh::kVertices: counts[0] = p.size / 4; break;
            case format::mesh::kVertexIndices: counts[1] = p.size / 4; break;
            case format::mesh::kTexCoords: counts[2] = p.size / 4; break;
            case format::mesh::kTexCoordIndices: counts[3] = p.size / 4; break;
            default: problem(3, at(id, offset) + ": unknown mesh part");
            }
        });
        line(2) << "mesh " << tag << ": " << counts[0] / 3 << " vertices, " << counts[1] << " indices, "
                << counts[2] / 3 << " texture coordinates";
        if (counts[3])
            out_ << ", " << counts[3] << " texture indices";
        out_ << '\n';
    }

    // The sound library travels as a bare file image: which system's it is
    // decides which player can play the music.
    void libraryImage(const Region& r)
    {
        const size_t size = r.size > 0 ? size_t(r.size) : 0;
        line(2) << "library image: " << writer::binaryKind(r.data, size).name << ", " << size
                << (size == 1 ? " byte" : " bytes") << '\n';
    }

    void envelope(const Region& r, int16_t classId)
    {
        walk(r, 2, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            switch (id) {
            case format::envelope::kTag:
            case format::envelope::kSourceTag:
                if (needs(2, id, offset, p, 4))
                    line(2) << (id == format::envelope::kTag ? "tag " : "source tag ") << tagText(p.data) << '\n';
                break;
            case format::envelope::kBody:
                line(2) << "body length " << p.size << '\n';
                body(classId, id, offset, p);
                break;
            case format::envelope::kModelMeshes:
            case format::envelope::kTextureImage:
            case format::envelope::kMusicFile:
                line(2) << "extra block " << id << ", length " << p.size << '\n';
                break;
            default:
                unknown(2, id, offset, p.size, "envelope part");
            }
        });
    }

    // ---- Bodies shown value by value

    void body(int16_t classId, int16_t id, int64_t offset, const Region& p)
    {
        ChunkStream s(p.data, p.size);
        int16_t a = 0, b = 0, c = 0;
        switch (classId) {
        case format::kBlendMode:
        case format::kMotionTrail:
            if (!needs(3, id, offset, p, classId == format::kBlendMode ? 4 : 6) || !s.readS16(a) || !s.readS16(b))
                return;
            line(3) << "source " << glNameOf(writer::kBlendFactorNames, a) << ", destination "
                    << glNameOf(writer::kBlendFactorNames, b);
            if (classId == format::kMotionTrail && s.readS16(c))
                out_ << ", trail length " << c;
            out_ << '\n';
            return;
        case format::kPolygonMode:
            if (needs(3, id, offset, p, 4) && s.readS16(a) && s.readS16(b))
                line(3) << "face " << glNameOf(writer::kPolygonFaceNames, a) << ", mode "
                        << glNameOf(writer::kPolygonModeNames, b) << '\n';
            return;
        case format::kQuadric:
            quadricBody(p);
            return;
        default:
            return;
        }
    }

    // The player reads the kind chunks as bare headers, so this walk does too.
    void quadricBody(const Region& r)
    {
        ChunkStream s(r.data, r.size);
        while (true) {
            int32_t start = s.position();
            int16_t id = 0;
            uint32_t length = 0;
            if (!s.readS16(id) || !s.readU32(length)) {
                leftover(r, start, 3, false);
                return;
            }
            const int64_t offset = r.base + start;
            const writer::EnumName* kind = enumNameOf(writer::kQuadricKindNames, id);
            if (kind) {
                line(3) << id << " " << kind->name << '\n';
                if (length != 0)
                    problem(4, at(id, offset) + ": a kind carries nothing, its length says " + std::to_string(length));
                continue;
            }
            const int32_t available = s.remaining();
            const bool cut = length > uint32_t(available);
            const Region p{r.data + s.position(), cut ? available : int32_t(length), r.base + s.position()};
            ChunkStream f(p.data, p.size);
            switch (id) {
            case format::quadric::kSizes: {
                float v[5] = {};
                uint16_t slices = 0, stacks = 0;
                if (needs(3, id, offset, p, 24) && f.readF32(v[0]) && f.readF32(v[1]) && f.readF32(v[2]) &&
                    f.readF32(v[3]) && f.readF32(v[4]) && f.readU16(slices) && f.readU16(stacks))
                    line(3) << "8 sizes: radius 1 " << v[0] << ", radius 2 " << v[1] << ", height " << v[2]
                            << ", start angle " << v[3] << ", sweep angle " << v[4] << ", slices " << slices
                            << ", stacks " << stacks << '\n';
                break;
            }
            case format::quadric::kGluState: {
                uint32_t style = 0, normals = 0, orientation = 0;
                uint16_t textured = 0;
                if (needs(3, id, offset, p, 14) && f.readU32(style) && f.readU32(normals) &&
                    f.readU32(orientation) && f.readU16(textured))
                    line(3) << "15 style: draw style " << glNameOf(writer::kQuadricDrawStyleNames, int32_t(style))
                            << ", normals " << glNameOf(writer::kQuadricNormalsNames, int32_t(normals))
                            << ", orientation "
                            << glNameOf(writer::kQuadricOrientationNames, int32_t(orientation))
                            << ", textured " << ((textured & 0xFF) ? "yes" : "no") << '\n';
                break;
            }
            case format::transform::kNested:
                line(3) << "275 transform, length " << p.size << '\n';
                break;
            default:
                unknown(3, id, offset, p.size, "quadric part");
            }
            if (cut) {
                problem(4, at(id, offset) + ": length " + std::to_string(length) + " runs past the end (" +
                               std::to_string(available) + " bytes left)");
                return;
            }
            s.skip(length);
        }
    }

    void timeline(const Region& r)
    {
        walk(r, 1, [&](int16_t id, uint32_t, int64_t offset, const Region& p) {
            ChunkStream s(p.data, p.size);
            if (id == format::timeline::kTotalFrames) {
                line(1) << "chunk 2101 settings image at offset " << offset << ", length " << p.size;
                int16_t frames16 = 0;
                int32_t frames32 = 0;
                if (p.size == 2 && s.readS16(frames16))
                    out_ << ": total frames " << frames16;
                else if (p.size == 4 && s.readS32(frames32))
                    out_ << ": total frames " << frames32;
                out_ << '\n';
            } else if (id == format::timeline::kEntry) {
                line(1) << "chunk 25 timeline entry at offset " << offset << ", length " << p.size;
                int16_t startFrame = 0;
                if (!s.readS16(startFrame)) {
                    out_ << '\n';
                    problem(2, at(id, offset) + ": no start frame");
                    return;
                }
                out_ << ": start frame " << startFrame << '\n';
                commands(Region{p.data + 2, p.size - 2, p.base + 2}, 2);
            } else {
                line(1) << "chunk " << id << " unknown at offset " << offset << ", length " << p.size
                        << '\n';
                problem(2, at(id, offset) + ": unknown timeline chunk");
            }
        });
    }

    // Commands are read field by field and groups are walked into, so this
    // does not use walk(): lengths of 1000..1007 are shown, not trusted.
    void commands(const Region& r, int depth)
    {
        ChunkStream s(r.data, r.size);
        std::vector<int64_t> groupEnds;
        while (true) {
            while (!groupEnds.empty() && s.position() >= groupEnds.back())
                groupEnds.pop_back();
            int d = depth + int(groupEnds.size());
            int32_t start = s.position();
            int64_t offset = r.base + start;
            int16_t id = 0;
            uint32_t length = 0;
            if (!s.readS16(id) || !s.readU32(length)) {
                leftover(r, start, d, false);
                return;
            }
            const char* name = commandName(id);
            std::ostringstream text;
            text << id << ' ' << (name ? name : "unknown") << " at offset " << offset;
            int32_t contentStart = s.position();
            bool whole = true;
            std::string t1, t2, t3, t4;
            int16_t a = 0, b = 0, c = 0;
            switch (id) {
            case format::timeline::kGroup:
                text << ", content length " << length;
                groupEnds.push_back(int64_t(contentStart) + length);
                break;
            case format::timeline::kPlaceClone:
            case format::timeline::kPlaceTransformCopy:
                whole = readTag(s, t1) && readTag(s, t2) && s.readS16(a) && s.readS16(b) &&
                        s.readS16(c) && readTag(s, t3) && readTag(s, t4);
                if (whole)
                    text << ": resource " << t1 << ", instance " << t2 << ", start " << a << ", length "
                         << b << ", frame " << c << ", parent " << t3 << ", after " << t4;
                break;
            case format::timeline::kScalarDynamic:
            case format::timeline::kTranslationDynamic:
            case format::timeline::kRotationDynamic: {
                int32_t payloadSize = id == format::timeline::kScalarDynamic ? 11 : 23;
                uint8_t payload[23];
                whole = readTag(s, t1) && s.readS16(a) && s.readS16(b) && readTag(s, t3) &&
                        readTag(s, t4) && s.read(payload, payloadSize);
                if (whole) {
                    text << ": dynamic " << t1 << ", start " << a << ", length " << b << ", parent "
                         << t3 << ", after " << t4 << "; " << dynamicFields(id, payload);
                }
                break;
            }
            case format::timeline::kFastForwardInstance:
            case format::timeline::kFastForwardResource:
                whole = readTag(s, t1) && s.readS16(a);
                if (whole)
                    text << ": tag " << t1 << ", count " << a;
                break;
            default:
                text << ", length " << length;
                break;
            }
            int32_t read = s.position() - contentStart;
            if (whole && name && id != format::timeline::kGroup && uint32_t(read) != length)
                text << " (length field says " << length << ")";
            line(d) << text.str() << '\n';

            if (!whole) {
                problem(d + 1, at(id, offset) + ": cut short (" + std::to_string(r.size - contentStart) +
                               " bytes left)");
                return;
            }
            if (!name) {
                problem(d + 1, at(id, offset) + ": unknown command");
                if (length > uint32_t(s.remaining())) {
                    problem(d + 1, at(id, offset) + ": length " + std::to_string(length) +
                                   " runs past the end (" + std::to_string(s.remaining()) +
                                   " bytes left)");
                    return;
                }
                s.skip(length);
            }
        }
    }
};

}  // namespace

const char* topLevelName(int id)
{
    switch (id) {
    case format::kWindowSettings: return "window settings";
    case format::kPlaybackSettings: return "playback";
    case format::kResources: return "resources";
    case format::kRenderState: return "render state";
    case format::kTimeline: return "timeline";
    default: return "unknown";
    }
}

bool inspect(const Bytes& file, std::ostream& out)
{
    Inspector inspector(out);
    Bytes data = writer::demoDataOf(file);
    const writer::ExecutableFormat format = writer::executableLayout(file).format;
    bool packed = format != writer::ExecutableFormat::None;
    if (packed)
        out << "packed executable (" << writer::formatName(format) << "), " << file.size() << " bytes; demo data at " << writer::kDataOffset
            << ", " << data.size() << " bytes\n";
    else
        out << "demo data, " << data.size() << " bytes\n";

    int problems = 0;
    if (data.size() > size_t(INT32_MAX)) {
        out << "! demo data too large to inspect\n";
        problems = 1;
    } else if (data.empty()) {
        out << (packed ? "! no demo data after offset " + std::to_string(writer::kDataOffset) + "\n"
                       : std::string("! no demo data\n"));
        problems = 1;
    } else {
        inspector.topLevel(Region{data.data(), int32_t(data.size()), 0});
        problems = inspector.problems();
    }
    if (problems == 0)
        out << "well-formed\n";
    else
        out << problems << (problems == 1 ? " problem" : " problems") << " found\n";
    return problems == 0;
}

}  // namespace tools::inspect
