#include "tools/description/description.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "animation/dynamic.h"
#include "geometry/box.h"
#include "geometry/quad.h"
#include "geometry/transform.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/scale.h"
#include "sound/music_track.h"
#include "tools/common/latin1.h"
#include "tools/format/animation_payloads.h"
#include "tools/media/audio_convert.h"
#include "tools/format/blend_payloads.h"
#include "tools/format/deformer_payloads.h"
#include "tools/format/gl_enum_names.h"
#include "tools/format/quadric_payloads.h"
#include "tools/format/replica_payloads.h"
#include "tools/format/geometry_payloads.h"
#include "tools/description/json.h"
#include "tools/format/mesh_payloads.h"
#include "tools/media/model_import.h"
#include "tools/format/world_payloads.h"
#include "tools/format/object_payloads.h"
#include "tools/format/sound_payloads.h"
#include "tools/media/texture_image.h"
#include "tools/format/texture_payloads.h"

namespace tools::description {

using namespace tools::format;
using namespace tools::media;

namespace {

using json::Value;

struct Problem {
    json::Position where;
    std::string place;
    std::string message;
};

[[noreturn]] void fail(const Value& at, const std::string& place, const std::string& message)
{
    throw Problem{at.where, place, message};
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "6.3 MB" (millions of bytes): sizes in the author's warnings.
std::string megabytes(size_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

// " (did you mean 'x'?)" when one of the candidates is close to `word`.
std::string suggestion(const std::string& word, const std::vector<std::string>& candidates)
{
    // Accented letters count as one letter and as their plain one, so that
    // 'Rotation 2' is near 'Rotació 2'.
    auto folded = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t c = uint8_t(text[i]);
            if (c == 0xc3 && i + 1 < text.size() && uint8_t(text[i + 1]) == 0xb3) {
                out += 'o';
                ++i;
            } else {
                out += c == 0xf3 ? 'o' : char(c);
            }
        }
        return out;
    };
    std::string best;
    size_t bestDistance = 3;
    const std::string plainWord = folded(word);
    for (const std::string& candidate : candidates) {
        size_t distance = editDistance(plainWord, folded(candidate));
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best.empty() ? "" : " (did you mean '" + best + "'?)";
}

std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

// ---- Values

double number(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isNumber())
        fail(v, place, what + " must be a number, not " + json::typeName(v.type));
    return v.number;
}

float real(const Value& v, const std::string& place, const std::string& what)
{
    double value = number(v, place, what);
    if (std::fabs(value) > 3.4e38)
        fail(v, place, what + " is too large for a float");
    return float(value);
}

int32_t integer(const Value& v, const std::string& place, const std::string& what, int32_t min, int32_t max)
{
    double value = number(v, place, what);
    if (value != std::floor(value))
        fail(v, place, what + " must be a whole number");
    if (value < min || value > max) {
        fail(v, place,
             what + " must be from " + std::to_string(min) + " to " + std::to_string(max) + ", not " +
                 std::to_string(int64_t(value)));
    }
    return int32_t(value);
}

bool boolean(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isBool())
        fail(v, place, what + " must be true or false, not " + json::typeName(v.type));
    return v.boolean;
}

const std::string& stringValue(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isString())
        fail(v, place, what + " must be a string, not " + json::typeName(v.type));
    return v.text;
}

// Tags are 1 to 4 bytes: the data holds them in 4 bytes, zero-padded.
std::string tagText(const Value& v, const std::string& place, const std::string& what)
{
    const std::string& text = stringValue(v, place, what);
    if (text.empty())
        fail(v, place, what + " must not be empty");
    if (text.size() > 4)
        fail(v, place, what + " " + quoted(text) + " is longer than 4 characters");
    if (text.find('\0') != std::string::npos)
        fail(v, place, what + " must not hold a zero character");
    return text;
}

template <size_t N>
std::array<float, N> floats(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isArray() || v.items.size() != N)
        fail(v, place, what + " must be a list of " + std::to_string(N) + " numbers");
    std::array<float, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = real(v.items[i], place, what);
    return out;
}

// 3 numbers (alpha 1) or 4.
std::array<float, 4> rgba(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isArray() || (v.items.size() != 3 && v.items.size() != 4))
        fail(v, place, what + " must be a list of 3 or 4 numbers (red, green, blue[, alpha])");
    std::array<float, 4> out{0, 0, 0, 1};
    for (size_t i = 0; i < v.items.size(); ++i)
        out[i] = real(v.items[i], place, what);
    return out;
}

// The members of one JSON object, read by name. Every name asked for is
// known; a member nobody asked for is an error, so typos do not pass.
class Fields {
public:
    Fields(const Value& object, std::string place) : object_(object), place_(std::move(place))
    {
        if (!object.isObject())
            fail(object, place_, "must be an object, not " + std::string(json::typeName(object.type)));
    }

    const std::string& place() const { return place_; }
    const Value& object() const { return object_; }
    // Once the object's own name (a tag, a frame) is known, errors use it.
    void rename(std::string place) { place_ = std::move(place); }

    const Value* optional(const std::string& key)
    {
        known_.push_back(key);
        return object_.find(key);
    }
    const Value& required(const std::string& key)
    {
        const Value* v = optional(key);
        if (!v)
            fail(object_, place_, "needs " + quoted(key));
        return *v;
    }
    // Names handled elsewhere.
    void allow(std::initializer_list<const char*> keys) { known_.insert(known_.end(), keys.begin(), keys.end()); }

    float real(const std::string& key, float fallback)
    {
        const Value* v = optional(key);
        return v ? description::real(*v, place_, quoted(key)) : fallback;
    }
    int16_t int16(const std::string& key, int16_t fallback, int32_t min = -32768, int32_t max = 32767)
    {
        const Value* v = optional(key);
        return v ? int16_t(integer(*v, place_, quoted(key), min, max)) : fallback;
    }
    bool flag(const std::string& key, bool fallback)
    {
        const Value* v = optional(key);
        return v ? boolean(*v, place_, quoted(key)) : fallback;
    }
    std::string text(const std::string& key, const std::string& fallback)
    {
        const Value* v = optional(key);
        return v ? stringValue(*v, place_, quoted(key)) : fallback;
    }
    std::string tag(const std::string& key, const std::string& fallback)
    {
        const Value* v = optional(key);
        return v ? tagText(*v, place_, quoted(key)) : fallback;
    }
    Vec3 vec3(const std::string& key, const Vec3& fallback)
    {
        const Value* v = optional(key);
        return v ? floats<3>(*v, place_, quoted(key)) : fallback;
    }
    std::array<float, 4> color(const std::string& key, const std::array<float, 4>& fallback)
    {
        const Value* v = optional(key);
        return v ? rgba(*v, place_, quoted(key)) : fallback;
    }

    void finish() const
    {
        for (size_t i = 0; i < object_.members.size(); ++i) {
            const std::string& key = object_.members[i].first;
            if (std::find(known_.begin(), known_.end(), key) != known_.end())
                continue;
            throw Problem{object_.keyPositions[i], place_, "unknown field " + quoted(key) + suggestion(key, known_)};
        }
    }

private:
    const Value& object_;
    std::string place_;
    std::vector<std::string> known_;
};

// ---- Resource classes

struct ResourceContext;

struct ResourceClass {
    const char* name;
    int16_t chunkId;
    // Fills the envelope (body, and extra block or source tag where the class
    // has them) from the resource's fields. Null for the sound library,
    // which is a bare file image.
    void (*write)(Fields& fields, Envelope& envelope, const ResourceContext& context);
    // A Transform copy (the "copy" command) takes only the transform of the
    // resource: safe only where the class copies nothing else into it.
    bool transformCopy;
};

// What a resource's fields are read against besides the fields themselves.
struct ResourceContext {
    const DescriptionOptions& options;
    int16_t frameRate;  // of the playback settings
    const std::map<std::string, const ResourceClass*>& defined;  // resources listed before this one
    // Tags the resource enters besides its own (the meshes of a model).
    std::vector<std::string>* alsoTagged;
    // The class those tags are entered as, when they are no model meshes.
    const ResourceClass** alsoTaggedAs = nullptr;
    // Per tag, when the tags are of several classes (a world's forces and spawners).
    std::vector<const ResourceClass*>* alsoTaggedClasses = nullptr;
};

TransformFields transformFields(Fields& f)
{
    TransformFields t;
    t.position = f.vec3("position", t.position);
    t.angles = f.vec3("angles", t.angles);
    t.axis1 = f.vec3("axis1", t.axis1);
    t.axis2 = f.vec3("axis2", t.axis2);
    t.axis3 = f.vec3("axis3", t.axis3);
    return t;
}

void writeTransform(Fields& f, Envelope& e, const ResourceContext&)
{
    e.body = transformPayload(transformFields(f));
}

void writeQuad(Fields& f, Envelope& e, const ResourceContext&)
{
    QuadFields quad;
    quad.transform = transformFields(f);
    const std::array<float, 4> color = f.color("color", {1, 1, 1, 1});
    const Value& corners = f.required("corners");
    if (!corners.isArray() || corners.items.size() != 4)
        fail(corners, f.place(), "'corners' must be a list of 4 corners");
    // Without texture coordinates the corners map the whole texture, in the
    // order a quad is usually wound.
    const float defaultUV[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (size_t i = 0; i < 4; ++i) {
        Fields c(corners.items[i], f.place() + ", corner " + std::to_string(i + 1));
        QuadCorner& corner = quad.corners[i];
        const Value& position = c.required("position");
        Vec3 p = floats<3>(position, c.place(), "'position'");
        corner.x = p[0];
        corner.y = p[1];
        corner.z = p[2];
        std::array<float, 2> uv = {defaultUV[i][0], defaultUV[i][1]};
        if (const Value* v = c.optional("uv"))
            uv = floats<2>(*v, c.place(), "'uv'");
        corner.u = uv[0];
        corner.v = uv[1];
        std::array<float, 4> own = c.color("color", color);
        corner.r = own[0];
        corner.g = own[1];
        corner.b = own[2];
        corner.a = own[3];
        c.finish();
    }
    e.body = quadPayload(quad);
}

void writeBox(Fields& f, Envelope& e, const ResourceContext&)
{
    BoxFields box;
    box.transform = transformFields(f);
    box.dimensions = f.vec3("size", box.dimensions);
    e.body = boxPayload(box);
}

void writeCamera(Fields& f, Envelope& e, const ResourceContext&)
{
    CameraPayload camera;
    auto into = [](float* to, const Vec3& v) { std::copy(v.begin(), v.end(), to); };
    into(camera.position, f.vec3("position", {camera.position[0], camera.position[1], camera.position[2]}));
    into(camera.centre, f.vec3("centre", {camera.centre[0], camera.centre[1], camera.centre[2]}));
    into(camera.up, f.vec3("up", {camera.up[0], camera.up[1], camera.up[2]}));
    into(camera.fadeColor, f.vec3("fadeColor", {camera.fadeColor[0], camera.fadeColor[1], camera.fadeColor[2]}));
    camera.fadeValue = f.real("fade", camera.fadeValue);
    camera.proximity = f.real("proximity", camera.proximity);
    e.body = cameraPayload(camera);
}

void writeColor(Fields& f, Envelope& e, const ResourceContext&)
{
    std::array<float, 4> c = rgba(f.required("color"), f.place(), "'color'");
    e.body = colorPayload({c[0], c[1], c[2], c[3]});
}

void writeScale(Fields& f, Envelope& e, const ResourceContext&)
{
    ScalePayload scale;
    if (const Value* v = f.optional("factor")) {
        if (v->isNumber()) {
            scale.x = scale.y = scale.z = real(*v, f.place(), "'factor'");
        } else if (v->isArray()) {
            Vec3 factors = floats<3>(*v, f.place(), "'factor'");
            scale = {factors[0], factors[1], factors[2]};
        } else {
            fail(*v, f.place(), "'factor' must be a number or a list of 3 numbers");
        }
    }
    e.body = scalePayload(scale);
}

void writeGrid(Fields& f, Envelope& e, const ResourceContext&)
{
    GridFields grid;
    grid.transform = transformFields(f);
    if (const Value* v = f.optional("size")) {
        std::array<float, 2> size = floats<2>(*v, f.place(), "'size'");
        grid.width = size[0];
        grid.height = size[1];
    }
    if (const Value* v = f.optional("cells")) {
        if (!v->isArray() || v->items.size() != 2)
            fail(*v, f.place(), "'cells' must be a list of 2 numbers, the cells along X and along Y");
        // A grid of more cells than the player builds would draw nothing.
        grid.cellsX = int16_t(integer(v->items[0], f.place(), "'cells'", 0, 1024));
        grid.cellsY = int16_t(integer(v->items[1], f.place(), "'cells'", 0, 1024));
    }
    e.body = gridPayload(grid);
}

std::string resolvedPath(const std::string& path, const ResourceContext& c);

// Mesh tags from the model's: "mdl" gives "mdl0", "mdl1"... shortened so
// that tag and number fit the 4 characters.
std::vector<std::string> generatedMeshTags(const std::string& tag, size_t count)
{
    const size_t digits = std::to_string(count > 0 ? count - 1 : 0).size();
    std::vector<std::string> tags;
    if (digits >= 4)
        return tags;
    const std::string prefix = tag.substr(0, 4 - digits);
    for (size_t i = 0; i < count; ++i)
        tags.push_back(prefix + std::to_string(i));
    return tags;
}

void writeModel(Fields& f, Envelope& e, const ResourceContext& c)
{
    const TransformFields placement = transformFields(f);
    const Value& file = f.required("file");
    const std::string& path = stringValue(file, f.place(), "'file'");
    if (path.empty())
        fail(file, f.place(), "'file' must not be empty");
    const Value* tagsValue = f.optional("meshTags");
    const Value* fitValue = f.optional("fit");
    float edge = 0;
    if (fitValue) {
        edge = description::real(*fitValue, f.place(), "'fit'");
        if (!(edge > 0))
            fail(*fitValue, f.place(), "'fit' is the edge of the cube the model is fitted into: a number above 0");
    }

    std::vector<MeshFields> meshes;
    std::string why;
    const std::string full = resolvedPath(path, c);
    if (!importModel(full, meshes, &why)) {
        std::string looked = full == path ? "" : " (looked for " + full + ")";
        fail(file, f.place(), "cannot import " + quoted(path) + looked + ": " + why);
    }

    std::vector<std::string> tags;
    if (tagsValue) {
        if (!tagsValue->isArray())
            fail(*tagsValue, f.place(), "'meshTags' must be a list of tags, one per mesh of the file");
        for (const Value& item : tagsValue->items) {
            std::string t = tagText(item, f.place(), "'meshTags'");
            if (std::find(tags.begin(), tags.end(), t) != tags.end())
                fail(item, f.place(), "'meshTags' names " + quoted(t) + " twice");
            tags.push_back(t);
        }
        if (meshes.size() > tags.size()) {
            fail(*tagsValue, f.place(),
                 quoted(path) + " has " + std::to_string(meshes.size()) + " meshes and 'meshTags' names " +
                     std::to_string(tags.size()));
        }
        tags.resize(meshes.size());
    } else {
        tags = generatedMeshTags(e.tag, meshes.size());
        if (tags.size() < meshes.size())
            fail(file, f.place(), quoted(path) + " has " + std::to_string(meshes.size()) +
                                      " meshes, too many to tag: name them with 'meshTags'");
    }
    if (fitValue)
        fitModel(meshes, edge);

    std::vector<std::pair<std::string, MeshFields>> tagged;
    for (size_t i = 0; i < meshes.size(); ++i)
        tagged.emplace_back(tags[i], std::move(meshes[i]));
    e.body = modelPayload(tagged);
    e.extraId = 110;
    e.extra = transformPayload(placement);
    *c.alsoTagged = tags;
}

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

struct GLName {
    const char* name;    // as descriptions usually write it
    const char* glName;  // the constant's own name, also accepted
    int value;
};

template <size_t N>
int16_t glEnum(const Value& v, const GLName (&names)[N], const std::string& place, const std::string& what);

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
        c.options.note("warning: " + f.place() + ": " + quoted(file.text) + " is " + std::to_string(w) + " x " +
                       std::to_string(h) + " pixels, " + megabytes(image.bmp.size()) +
                       " in the demo data (textures are carried as 24-bit BMP; more than " +
                       megabytes(kLargeTextureBytes) + " is a lot for a release): a 'size' such as [" +
                       std::to_string(std::max(4, w / 2 / 4 * 4)) + ", " + std::to_string(std::max(1, h / 2)) +
                       "] scales it down");
    }
    e.body = std::move(image.bmp);
    e.extraId = 201;
    e.extra = textureParameterFields(f);
}

void writeTextureCopy(Fields& f, Envelope& e, const ResourceContext& c)
{
    const Value& source = f.required("source");
    e.sourceTag = tagText(source, f.place(), "'source'");
    auto found = c.defined.find(e.sourceTag);
    std::vector<std::string> textures;
    for (const auto& d : c.defined) {
        if (d.second->chunkId == 200 || d.second->chunkId == 202)
            textures.push_back(d.first);
    }
    // The loader looks the source up while it loads this resource.
    if (found == c.defined.end())
        fail(source, f.place(), "no texture tagged " + quoted(e.sourceTag) + " is listed before this resource" +
                                    suggestion(e.sourceTag, textures));
    if (found->second->chunkId != 200 && found->second->chunkId != 202)
        fail(source, f.place(), "'source' " + quoted(e.sourceTag) + " is a " + found->second->name + ", not a texture");
    e.withBody = false;
    e.extraId = 201;
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
    e.extraId = 462;
    e.extra = musicSettings(music);
}


// ---- Blend mode, motion trail, polygon mode and quadrics

// A value by its description name, its GL name or as a number in [min, max].
int32_t namedValue(const Value& v, const std::vector<EnumName>& names, const std::string& place,
                   const std::string& what, int32_t min, int32_t max)
{
    if (v.isNumber())
        return integer(v, place, what, min, max);
    const std::string& text = stringValue(v, place, what);
    std::vector<std::string> accepted;
    std::string list;
    for (const EnumName& n : names) {
        if (text == n.name || text == n.glName)
            return n.value;
        accepted.push_back(n.name);
        list += (list.empty() ? "" : ", ") + std::string(n.name);
    }
    fail(v, place, "unknown " + what + " " + quoted(text) + suggestion(text, accepted) + "; known: " + list);
}

int16_t namedField(Fields& f, const std::string& key, const std::vector<EnumName>& names, const std::string& what,
                   int16_t fallback)
{
    const Value* v = f.optional(key);
    // The player widens the 16-bit value with its sign.
    return v ? int16_t(namedValue(*v, names, f.place(), what, -32768, 32767)) : fallback;
}

BlendPayload blendFields(Fields& f)
{
    BlendPayload b;
    b.source = namedField(f, "source", kBlendFactorNames, "blend factor", b.source);
    b.destination = namedField(f, "destination", kBlendFactorNames, "blend factor", b.destination);
    return b;
}

void writeBlend(Fields& f, Envelope& e, const ResourceContext&)
{
    e.body = blendModePayload(blendFields(f));
}

void writeTrail(Fields& f, Envelope& e, const ResourceContext&)
{
    TrailPayload t;
    t.blend = blendFields(f);
    t.length = f.int16("length", t.length, 0, 32767);
    e.body = motionTrailPayload(t);
}

void writePolygonMode(Fields& f, Envelope& e, const ResourceContext&)
{
    PolygonModePayload p;
    p.face = namedField(f, "face", kPolygonFaceNames, "face", p.face);
    p.mode = namedField(f, "mode", kPolygonModeNames, "polygon mode", p.mode);
    e.body = polygonModePayload(p);
}

void writeQuadric(Fields& f, Envelope& e, const ResourceContext&)
{
    QuadricFields q;
    q.transform = transformFields(f);
    const Value* shapeValue = f.optional("shape");
    const Value& shape = shapeValue ? *shapeValue : f.object();
    if (shapeValue)
        q.kind = int16_t(namedValue(shape, kQuadricKindNames, f.place(), "shape", 401, 405));
    const bool disk = q.kind == 404 || q.kind == 405;
    // Disks are rings from `radius` (the hole) to `outerRadius`.
    q.radius1 = f.real("radius", disk ? 0.0f : 1.0f);
    q.radius2 = disk ? 1.0f : 0.0f;
    const char* second = q.kind == 402 ? "topRadius" : disk ? "outerRadius" : nullptr;
    for (const char* key : {"topRadius", "outerRadius"}) {
        const Value* v = f.optional(key);
        if (!v)
            continue;
        if (!second || std::strcmp(key, second) != 0)
            fail(*v, f.place(), quoted(key) + (second ? " is not for this shape; it takes " + quoted(second)
                                                      : std::string(" is not for this shape")));
        q.radius2 = real(*v, f.place(), quoted(key));
    }
    q.height = f.real("height", q.height);
    q.startAngle = f.real("startAngle", q.startAngle);
    q.sweepAngle = f.real("sweepAngle", q.sweepAngle);
    q.slices = uint16_t(f.int16("slices", int16_t(q.slices), 2, 32767));
    q.stacks = uint16_t(f.int16("stacks", int16_t(q.stacks), 1, 32767));
    if (q.radius1 < 0 || q.radius2 < 0 || q.height < 0)
        fail(shape, f.place(), "radii and height must not be negative: GLU draws nothing then");
    if (disk && q.radius2 < q.radius1)
        fail(shape, f.place(), "'outerRadius' must not be smaller than 'radius', the hole");
    if (const Value* v = f.optional("drawStyle"))
        q.drawStyle = uint32_t(namedValue(*v, kQuadricDrawStyleNames, f.place(), "draw style", 0, INT32_MAX));
    if (const Value* v = f.optional("normals"))
        q.normals = uint32_t(namedValue(*v, kQuadricNormalsNames, f.place(), "normals", 0, INT32_MAX));
    if (const Value* v = f.optional("orientation"))
        q.orientation = uint32_t(namedValue(*v, kQuadricOrientationNames, f.place(), "orientation", 0, INT32_MAX));
    q.textured = f.flag("textured", q.textured);
    e.body = quadricPayload(q);
}

// ---- Replicators, splitters and assemblies

const ResourceClass* findClass(const std::string& name);

// The resource a "source" field names: listed before its user, and of one
// of the classes given (any class but music when none is given).
std::string sourceTag(Fields& f, const ResourceContext& c, const std::string& user,
                      std::initializer_list<const char*> classes)
{
    const Value& v = f.required("source");
    const std::string t = tagText(v, f.place(), "'source'");
    auto found = c.defined.find(t);
    if (found == c.defined.end())
        fail(v, f.place(), "'source' " + quoted(t) + " is not a resource listed before this " + user);
    const std::string cls = found->second->name;
    bool fits = classes.size() == 0 ? cls != "music" : false;
    std::string wanted;
    for (const char* name : classes) {
        fits = fits || cls == name;
        wanted += (wanted.empty() ? "" : " or ") + std::string(name);
    }
    auto a = [](const std::string& word) { return (std::strchr("aeiou", word[0]) ? "an " : "a ") + word; };
    if (!fits) {
        fail(v, f.place(), "'source' " + quoted(t) + " is " + a(cls) + "; " + a(user) + " takes " +
                               (wanted.empty() ? std::string("anything but music") : a(wanted)));
    }
    return t;
}

// Tags the resource enters besides its own: a list, or a count of tags made
// from its own ("rep" gives "rep0", "rep1"...).
std::vector<std::string> enteredTags(Fields& f, const std::string& key, const std::string& ownTag,
                                     const ResourceContext& c)
{
    const Value& v = f.required(key);
    std::vector<std::string> tags;
    if (v.isNumber()) {
        const int32_t count = integer(v, f.place(), quoted(key), 1, 1000);
        tags = generatedMeshTags(ownTag, size_t(count));
        if (tags.size() < size_t(count))
            fail(v, f.place(), std::to_string(count) + " " + key + " are too many to tag: name them in a list");
    } else if (v.isArray() && !v.items.empty()) {
        for (const Value& item : v.items) {
            std::string t = tagText(item, f.place(), quoted(key));
            if (std::find(tags.begin(), tags.end(), t) != tags.end())
                fail(item, f.place(), quoted(key) + " names " + quoted(t) + " twice");
            tags.push_back(t);
        }
    } else {
        fail(v, f.place(), quoted(key) + " must be a list of tags or a count of tags to make");
    }
    for (const std::string& t : tags) {
        if (t == ownTag || c.defined.count(t))
            fail(v, f.place(), quoted(key) + " tag " + quoted(t) + " is already the tag of a resource");
    }
    return tags;
}

void writeReplicator(Fields& f, Envelope& e, const ResourceContext& c)
{
    ReplicatorFields r;
    r.transform = transformFields(f);
    r.source = sourceTag(f, c, "replicator", {});
    r.instances = enteredTags(f, "instances", e.tag, c);
    const Value* circle = f.optional("circle");
    const Value* lattice = f.optional("lattice");
    if (circle && lattice)
        fail(*lattice, f.place(), "a replicator lays out on a 'circle' or a 'lattice', not both");
    if (circle) {
        Fields g(*circle, f.place() + ", circle");
        r.layout = ReplicatorFields::Layout::Circle;
        r.angle = g.real("angle", r.angle);
        r.radius = g.real("radius", r.radius);
        r.faceCentre = g.flag("faceCentre", false);
        g.finish();
    } else if (lattice) {
        Fields g(*lattice, f.place() + ", lattice");
        r.layout = ReplicatorFields::Layout::Lattice;
        const Value& counts = g.required("counts");
        if (!counts.isArray() || counts.items.size() != 3)
            fail(counts, g.place(), "'counts' must be a list of 3 counts, along X, Y and Z");
        for (size_t i = 0; i < 3; ++i)
            r.counts[i] = int16_t(integer(counts.items[i], g.place(), "'counts'", 1, 32767));
        if (const Value* spacing = g.optional("spacing")) {
            if (spacing->isNumber()) {
                r.spacing[0] = r.spacing[1] = r.spacing[2] = real(*spacing, g.place(), "'spacing'");
            } else {
                const Vec3 v = floats<3>(*spacing, g.place(), "'spacing'");
                std::copy(v.begin(), v.end(), r.spacing);
            }
        }
        g.finish();
    }
    e.body = replicatorPayload(r);
    *c.alsoTagged = r.instances;
    *c.alsoTaggedAs = findClass("transform");
}

void writeSplitter(Fields& f, Envelope& e, const ResourceContext& c)
{
    SplitterFields s;
    s.transform = transformFields(f);
    s.source = sourceTag(f, c, "splitter", {"grid"});
    s.tiles = enteredTags(f, "tiles", e.tag, c);
    s.centre = f.flag("centre", false);
    e.body = splitterPayload(s);
    *c.alsoTagged = s.tiles;
    *c.alsoTaggedAs = findClass("quad");
}

void writeAssembly(Fields& f, Envelope& e, const ResourceContext& c)
{
    AssemblyFields a;
    a.source = sourceTag(f, c, "assembly", {"splitter"});
    a.startHeight = f.real("startHeight", a.startHeight);
    a.depthSpread = f.real("depthSpread", a.depthSpread);
    a.startOffset = f.real("startOffset", a.startOffset);
    a.phaseEnd = f.real("phaseEnd", a.phaseEnd);
    a.flight = f.real("flight", a.flight);
    if (const Value* v = f.optional("seed"))
        a.seed = uint32_t(integer(*v, f.place(), "'seed'", 0, INT32_MAX));
    // Spans of no steps make the player drop the animation.
    if (!(a.phaseEnd > 0.2f))
        fail(f.object(), f.place(), "'phaseEnd' must be above 0.2: pieces are released until phaseEnd - 0.2");
    if (!(a.flight > 0))
        fail(f.object(), f.place(), "'flight' must be above 0: it is the share of the lifetime one piece flies");
    e.body = assemblyPayload(a);
}

void writeRipple(Fields& f, Envelope& e, const ResourceContext&)
{
    RippleFields r;
    r.startRadius = f.real("startRadius", r.startRadius);
    r.speed = f.real("speed", r.speed);
    r.amplitude = f.real("amplitude", r.amplitude);
    const Value* width = f.optional("width");
    if (width) {
        r.width = real(*width, f.place(), "'width'");
        if (!(r.width > 0))
            fail(*width, f.place(), "'width' must be above 0: a ring of no width holds no vertex, and the ripple ends at once");
    }
    if (const Value* v = f.optional("centre")) {
        std::array<float, 2> centre = floats<2>(*v, f.place(), "'centre'");
        r.centre[0] = centre[0];
        r.centre[1] = centre[1];
    }
    e.body = ripplePayload(r);
}

// What a world enters besides itself; placed like other resources.
const ResourceClass kForce = {"force", 421, nullptr, false};
const ResourceClass kSpawner = {"spawner", 423, nullptr, false};

void writeWorld(Fields& f, Envelope& e, const ResourceContext& c)
{
    WorldFields w;
    std::vector<std::string> entered;
    auto enter = [&](const Value& at, const std::string& t) {
        if (t == e.tag || c.defined.count(t) || std::find(entered.begin(), entered.end(), t) != entered.end())
            fail(at, f.place(), "tag " + quoted(t) + " is already the tag of a resource");
        entered.push_back(t);
    };
    if (const Value* forces = f.optional("forces")) {
        if (!forces->isArray())
            fail(*forces, f.place(), "'forces' must be a list of {tag, strength, direction}");
        for (const Value& item : forces->items) {
            Fields g(item, f.place() + " force");
            ForceFields force;
            force.tag = tagText(g.required("tag"), g.place(), "'tag'");
            force.strength = g.real("strength", force.strength);
            force.direction = g.vec3("direction", force.direction);
            g.finish();
            enter(item, force.tag);
            w.forces.push_back(force);
            c.alsoTaggedClasses->push_back(&kForce);
        }
    }
    if (const Value* spawners = f.optional("spawners")) {
        if (!spawners->isArray())
            fail(*spawners, f.place(), "'spawners' must be a list of tags");
        for (const Value& item : spawners->items) {
            w.spawners.push_back(tagText(item, f.place(), "'spawners'"));
            enter(item, w.spawners.back());
            c.alsoTaggedClasses->push_back(&kSpawner);
        }
    }
    w.rolling = f.flag("rolling", false);
    e.body = worldPayload(w);
    *c.alsoTagged = entered;
}

// One entry per class; "class" in a description names the entry.
const ResourceClass kResourceClasses[] = {
    {"transform", 275, writeTransform, true},
    {"quad", 160, writeQuad, true},
    {"box", 250, writeBox, false},
    {"camera", 300, writeCamera, false},
    {"color", 3, writeColor, false},
    {"scale", 150, writeScale, false},
    {"texture", 200, writeTexture, false},
    {"textureCopy", 202, writeTextureCopy, false},
    {"soundLibrary", 463, nullptr, false},
    {"music", 461, writeMusic, false},
    {"grid", 170, writeGrid, false},
    {"model", 109, writeModel, true},
    {"blend", 340, writeBlend, false},
    {"trail", 341, writeTrail, false},
    {"polygonMode", 345, writePolygonMode, false},
    {"quadric", 400, writeQuadric, true},
    {"replicator", 325, writeReplicator, true},
    {"splitter", 350, writeSplitter, true},
    {"assembly", 355, writeAssembly, false},
    {"ripple", 450, writeRipple, false},
    {"world", 420, writeWorld, false},
};

// The meshes of a model are resources of their own, tagged by the model.
const ResourceClass kModelMesh = {"mesh", 172, nullptr, false};

const ResourceClass* findClass(const std::string& name)
{
    for (const ResourceClass& c : kResourceClasses) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

// ---- Render state

#define GL_NAME(name, constant) {name, #constant, constant}

const GLName kShadeModels[] = {GL_NAME("smooth", GL_SMOOTH), GL_NAME("flat", GL_FLAT)};
const GLName kDepthFunctions[] = {
    GL_NAME("never", GL_NEVER),     GL_NAME("less", GL_LESS),         GL_NAME("equal", GL_EQUAL),
    GL_NAME("lequal", GL_LEQUAL),   GL_NAME("greater", GL_GREATER),   GL_NAME("notequal", GL_NOTEQUAL),
    GL_NAME("gequal", GL_GEQUAL),   GL_NAME("always", GL_ALWAYS),
};
const GLName kHintTargets[] = {
    GL_NAME("perspectiveCorrection", GL_PERSPECTIVE_CORRECTION_HINT),
    GL_NAME("pointSmooth", GL_POINT_SMOOTH_HINT),
    GL_NAME("lineSmooth", GL_LINE_SMOOTH_HINT),
    GL_NAME("polygonSmooth", GL_POLYGON_SMOOTH_HINT),
    GL_NAME("fog", GL_FOG_HINT),
};
const GLName kHintModes[] = {GL_NAME("dontCare", GL_DONT_CARE), GL_NAME("fastest", GL_FASTEST),
                             GL_NAME("nicest", GL_NICEST)};
const GLName kCapabilities[] = {
    GL_NAME("alphaTest", GL_ALPHA_TEST),     GL_NAME("blend", GL_BLEND),
    GL_NAME("colorMaterial", GL_COLOR_MATERIAL), GL_NAME("cullFace", GL_CULL_FACE),
    GL_NAME("depthTest", GL_DEPTH_TEST),     GL_NAME("dither", GL_DITHER),
    GL_NAME("fog", GL_FOG),                  GL_NAME("lighting", GL_LIGHTING),
    GL_NAME("light0", GL_LIGHT0),            GL_NAME("light1", GL_LIGHT1),
    GL_NAME("lineSmooth", GL_LINE_SMOOTH),   GL_NAME("normalize", GL_NORMALIZE),
    GL_NAME("pointSmooth", GL_POINT_SMOOTH), GL_NAME("polygonSmooth", GL_POLYGON_SMOOTH),
    GL_NAME("polygonOffsetFill", GL_POLYGON_OFFSET_FILL), GL_NAME("scissorTest", GL_SCISSOR_TEST),
    GL_NAME("texture2D", GL_TEXTURE_2D),
};
#undef GL_NAME

// A GL enumeration by name (either spelling) or as a number.
template <size_t N>
int16_t glEnum(const Value& v, const GLName (&names)[N], const std::string& place, const std::string& what)
{
    if (v.isNumber())
        return int16_t(uint16_t(integer(v, place, what, 0, 65535)));
    const std::string& text = stringValue(v, place, what);
    std::vector<std::string> accepted;
    for (const GLName& n : names) {
        if (text == n.name || text == n.glName)
            return int16_t(uint16_t(n.value));
        accepted.push_back(n.name);
    }
    std::string list;
    for (const std::string& name : accepted)
        list += (list.empty() ? "" : ", ") + name;
    fail(v, place, "unknown " + what + " " + quoted(text) + suggestion(text, accepted) + "; known: " + list);
}

Bytes renderState(const Value& list)
{
    const std::string listPlace = "renderState";
    if (!list.isArray())
        fail(list, listPlace, "must be a list of calls such as {\"enable\": \"depthTest\"}");
    RenderStateWriter script;
    const std::vector<std::string> calls = {"shadeModel", "clearColor", "clearDepth", "depthFunc", "hint", "enable"};
    for (size_t i = 0; i < list.items.size(); ++i) {
        const Value& item = list.items[i];
        const std::string place = "renderState call " + std::to_string(i + 1);
        if (!item.isObject() || item.members.size() != 1)
            fail(item, place, "each call is an object with one member, such as {\"clearDepth\": 1}");
        const std::string& call = item.members[0].first;
        const Value& v = item.members[0].second;
        if (call == "shadeModel") {
            script.shadeModel(glEnum(v, kShadeModels, place, "shade model"));
        } else if (call == "clearColor") {
            std::array<float, 4> c = rgba(v, place, "'clearColor'");
            script.clearColor(c[0], c[1], c[2], c[3]);
        } else if (call == "clearDepth") {
            script.clearDepth(real(v, place, "'clearDepth'"));
        } else if (call == "depthFunc") {
            script.depthFunc(glEnum(v, kDepthFunctions, place, "depth function"));
        } else if (call == "hint") {
            if (!v.isArray() || v.items.size() != 2)
                fail(v, place, "'hint' takes [target, mode], such as [\"perspectiveCorrection\", \"nicest\"]");
            script.hint(glEnum(v.items[0], kHintTargets, place, "hint target"),
                        glEnum(v.items[1], kHintModes, place, "hint mode"));
        } else if (call == "enable") {
            script.enable(glEnum(v, kCapabilities, place, "capability"));
        } else {
            throw Problem{item.keyPositions[0], place, "unknown call " + quoted(call) + suggestion(call, calls)};
        }
    }
    return script.bytes();
}

// ---- Dynamics

struct ParameterRange {
    int16_t first, last;  // table indexes, inclusive
};

// The parameters each resource class registers, as ranges of the dynamics'
// name table. A class missing here is not checked.
bool classParameters(const std::string& className, std::vector<ParameterRange>& ranges)
{
    const std::vector<ParameterRange> transform = {{4, 9}, {15, 19}};
    if (className == "transform") {
        ranges = transform;
    } else if (className == "quad") {
        ranges = transform;
        ranges.push_back({37, 76});
    } else if (className == "box") {
        ranges = transform;
        ranges.push_back({1, 3});
        ranges.push_back({14, 14});
    } else if (className == "camera") {
        ranges = {{4, 6}, {15, 15}, {20, 32}};
    } else if (className == "color") {
        ranges = {{10, 13}};
    } else if (className == "scale") {
        ranges = {{33, 36}};
    } else if (className == "music") {
        ranges = {{82, 82}};  // Volum
    } else if (className == "grid" || className == "model" || className == "mesh") {
        ranges = transform;
    } else if (className == "texture" || className == "textureCopy") {
        ranges = {};
    } else if (className == "quadric") {
        ranges = transform;
        ranges.push_back({77, 81});  // radii, height, angles
    } else if (className == "blend" || className == "trail" || className == "polygonMode" || className == "ripple") {
        ranges = {};
    } else if (className == "replicator" || className == "splitter") {
        ranges = transform;
    } else if (className == "assembly" || className == "world" || className == "force" || className == "spawner") {
        ranges = {};
    } else {
        return false;
    }
    return true;
}

// Whether a vector dynamic may drive the parameter in an object of the class:
// its three floats must lie within adjacent float fields of the object, as
// the player checks. A class or name the object lacks is not checked here.
bool drivesThreeFloats(const std::string& className, int16_t index)
{
    std::unique_ptr<SceneObject> sample;
    if (className == "transform")
        sample.reset(new Transform);
    else if (className == "quad")
        sample.reset(new Quad);
    else if (className == "box")
        sample.reset(new Box);
    else if (className == "camera")
        sample.reset(new Camera);
    else if (className == "color")
        sample.reset(new Color);
    else if (className == "scale")
        sample.reset(new Scale);
    else if (className == "music")
        sample.reset(new MusicTrack(nullptr));
    else
        return true;
    auto* p = static_cast<float*>(sample->parameters->find(Dynamic::parameterNames[index]));
    return !p || sample->floatsFrom(p) >= 3;
}

// A table name as descriptions write it: UTF-8.
std::string displayName(int16_t index)
{
    return common::utf8FromLatin1(dynamicParameterName(index));
}

struct DynamicKind {
    const char* name;
    int16_t command;
    bool vector;
};
const DynamicKind kDynamicKinds[] = {
    {"scalar", 1002, false},
    {"translation", 1003, true},
    {"rotation", 1004, true},
};

// ---- Timeline

class TimelineCompiler {
public:
    TimelineCompiler(const std::map<std::string, const ResourceClass*>& resources, int32_t totalFrames)
        : resources_(resources), totalFrames_(totalFrames)
    {
    }

    Bytes timeline(const Value& list)
    {
        StreamWriter stream;
        stream.add(totalFramesChunk(int16_t(totalFrames_)));
        if (!list.isArray())
            fail(list, "timeline", "must be a list of entries {\"frame\": N, \"commands\": [...]}");
        int32_t previousFrame = 0;
        for (size_t i = 0; i < list.items.size(); ++i) {
            std::string place = "timeline entry " + std::to_string(i + 1);
            Fields entry(list.items[i], place);
            const Value& frameValue = entry.required("frame");
            int32_t frame = integer(frameValue, place, "'frame'", 1, totalFrames_);
            place += " (frame " + std::to_string(frame) + ")";
            entry.rename(place);
            // The player applies one entry per frame, in data order: an entry
            // out of order or sharing a frame would never run.
            if (frame <= previousFrame) {
                fail(frameValue, place,
                     "entries must have rising frames; the entry before is at frame " + std::to_string(previousFrame));
            }
            previousFrame = frame;
            Bytes commands;
            if (const Value* v = entry.optional("commands"))
                commands = commandList(*v, place, "", frame);
            entry.finish();
            stream.add(25, timelineEntry(int16_t(frame), commands));
        }
        return stream.bytes();
    }

private:
    struct Placed {
        std::string tag;
        std::string parent;  // "" at the top level
        std::string className;  // "" for a dynamic
        bool dynamic = false;
    };

    // The first placed with a tag: the one the player's lookups find.
    const Placed* firstPlaced(const std::string& tag) const
    {
        for (const Placed& p : placed_) {
            if (p.tag == tag)
                return &p;
        }
        return nullptr;
    }

    void checkAfter(const Value& item, const std::string& place, const std::string& after, const std::string& parent)
    {
        if (after.empty())
            return;
        bool sibling = false;
        for (const Placed& other : placed_)
            sibling = sibling || (other.tag == after && other.parent == parent);
        if (!sibling) {
            std::string where = parent.empty() ? "at the top level" : "under " + quoted(parent);
            fail(*item.find("after"), place,
                 "after " + quoted(after) + ": no instance of that tag is placed " + where + " before this command");
        }
    }

    Bytes dynamicCommandOf(const Value& item, Fields& f, const std::string& place, int32_t frame)
    {
        const Value& kindValue = f.required("dynamic");
        const std::string& kindName = stringValue(kindValue, place, "'dynamic'");
        const DynamicKind* kind = nullptr;
        std::vector<std::string> kindNames;
        for (const DynamicKind& k : kDynamicKinds) {
            kindNames.push_back(k.name);
            if (kindName == k.name)
                kind = &k;
        }
        if (!kind) {
            fail(kindValue, place,
                 "unknown dynamic " + quoted(kindName) + suggestion(kindName, kindNames) +
                     "; known: scalar, translation, rotation");
        }

        AttachDynamic d;
        d.kind = kind->command;
        d.dynamicTag = f.tag("as", "");
        d.start = f.int16("start", int16_t(frame - 1));
        // A length of 0 or less would never end and has no values to apply.
        d.length = int16_t(integer(f.required("length"), place, "'length'", 1, 32767));
        const Value& parentValue = f.required("parent");
        d.parentTag = tagText(parentValue, place, "'parent'");
        d.afterTag = f.tag("after", "");

        DynamicFields fields;
        const Value& parameterValue = f.required("parameter");
        fields.parameter = stringValue(parameterValue, place, "'parameter'");
        const int16_t index = dynamicParameterIndex(fields.parameter);
        if (const Value* v = f.optional("mode")) {
            const std::string& mode = stringValue(*v, place, "'mode'");
            if (mode != "relative" && mode != "reset")
                fail(*v, place, "'mode' is 'relative' (add to the value there) or 'reset' (start from 'initial')");
            fields.reset = mode == "reset";
        }
        fields.initial = f.real("initial", 0);
        fields.perFrame = real(f.required("value"), place, "'value'");
        const Value* vectorValue = f.optional("vector");
        if (kind->vector) {
            if (!vectorValue)
                fail(item, place, std::string("a ") + kind->name + " needs 'vector', " +
                                      (kind->command == 1003 ? "the direction to move along" : "the axis to turn about"));
            fields.vector = floats<3>(*vectorValue, place, "'vector'");
            if (kind->command == 1004 && fields.vector == std::array<float, 3>{0, 0, 0})
                fail(*vectorValue, place, "a rotation axis must not be (0, 0, 0)");
        } else if (vectorValue) {
            fail(*vectorValue, place, "a scalar dynamic changes one value and takes no 'vector'");
        }
        f.finish();

        if (index == 0) {
            std::vector<std::string> names;
            for (int16_t i = 1; i < Dynamic::kNameCount; ++i)
                names.push_back(displayName(i));
            fail(parameterValue, place, "unknown parameter " + quoted(fields.parameter) +
                                            suggestion(fields.parameter, names));
        }
        const Placed* parent = firstPlaced(d.parentTag);
        if (!parent) {
            fail(parentValue, place,
                 "parent " + quoted(d.parentTag) + " is not placed before this command" +
                     suggestion(d.parentTag, placedTags()));
        }
        if (parent->dynamic)
            fail(parentValue, place, quoted(d.parentTag) + " is a dynamic; a dynamic drives a placed instance");
        std::vector<ParameterRange> ranges;
        if (classParameters(parent->className, ranges)) {
            bool registered = false;
            std::string list;
            for (const ParameterRange& r : ranges) {
                for (int16_t i = r.first; i <= r.last; ++i) {
                    registered = registered || i == index;
                    list += (list.empty() ? "" : ", ") + displayName(i);
                }
            }
            if (!registered) {
                fail(parameterValue, place,
                     quoted(displayName(index)) + " is not a parameter of " + quoted(d.parentTag) + ", a " +
                         parent->className + (list.empty() ? ", which has none" : "; its parameters: " + list));
            }
        }
        if (kind->vector && !drivesThreeFloats(parent->className, index)) {
            fail(parameterValue, place,
                 std::string("a ") + kind->name + " changes three values: " + quoted(displayName(index)) +
                     " has fewer after it in a " + parent->className + "; use a vector such as " +
                     quoted(displayName(15)) + " or its X component");
        }
        checkAfter(item, place, d.afterTag, d.parentTag);
        placed_.push_back({d.dynamicTag, d.parentTag, "", true});
        d.payload = kind->vector ? vectorDynamicPayload(fields) : scalarDynamicPayload(fields);
        return dynamicCommand(d);
    }

    bool placedWithTag(const std::string& tag) const
    {
        for (const Placed& p : placed_) {
            if (p.tag == tag)
                return true;
        }
        return false;
    }

    std::vector<std::string> placedTags() const
    {
        std::vector<std::string> tags;
        for (const Placed& p : placed_)
            tags.push_back(p.tag);
        return tags;
    }

    std::vector<std::string> resourceTags() const
    {
        std::vector<std::string> tags;
        for (const auto& r : resources_)
            tags.push_back(r.first);
        return tags;
    }

    Bytes commandList(const Value& list, const std::string& entryPlace, const std::string& prefix, int32_t frame)
    {
        if (!list.isArray())
            fail(list, entryPlace, "'commands' must be a list");
        Bytes out;
        for (size_t i = 0; i < list.items.size(); ++i) {
            std::string number = prefix + std::to_string(i + 1);
            append(out, command(list.items[i], entryPlace, number, frame));
        }
        return out;
    }

    Bytes command(const Value& item, const std::string& entryPlace, const std::string& number, int32_t frame)
    {
        const std::string place = entryPlace + ", command " + number;
        static const std::vector<std::string> kinds = {"place", "copy", "group", "skip", "skipResource", "dynamic"};
        if (!item.isObject())
            fail(item, place, "a command is an object such as {\"place\": \"TAG\"}");
        std::string kind;
        for (const std::string& k : kinds) {
            if (!item.find(k))
                continue;
            if (!kind.empty())
                fail(item, place, "one command holds both " + quoted(kind) + " and " + quoted(k));
            kind = k;
        }
        if (kind.empty()) {
            std::string hint;
            if (!item.members.empty())
                hint = suggestion(item.members[0].first, kinds);
            fail(item, place, "a command needs one of 'place', 'copy', 'group', 'skip', 'skipResource', 'dynamic'" + hint);
        }

        Fields f(item, place);
        if (kind == "dynamic")
            return dynamicCommandOf(item, f, place, frame);
        if (kind == "group") {
            const Value& list = f.required("group");
            f.finish();
            if (!list.isArray())
                fail(list, place, "'group' must be a list of commands");
            return groupCommand(commandList(list, entryPlace, number + ".", frame));
        }
        if (kind == "skip" || kind == "skipResource") {
            bool resource = kind == "skipResource";
            const Value& target = f.required(kind);
            std::string tag = tagText(target, place, quoted(kind));
            int16_t count = int16_t(integer(f.required("frames"), place, "'frames'", -32768, 32767));
            f.finish();
            if (resource && !resources_.count(tag))
                fail(target, place, "no resource tagged " + quoted(tag) + suggestion(tag, resourceTags()));
            if (!resource && !placedWithTag(tag))
                fail(target, place, "no instance " + quoted(tag) + " is placed before this command" +
                                        suggestion(tag, placedTags()));
            return fastForwardCommand(resource, tag, count);
        }

        // place or copy
        Place p;
        p.transformCopy = kind == "copy";
        const Value& source = f.required(kind);
        p.resourceTag = tagText(source, place, quoted(kind));
        p.instanceTag = f.tag("as", p.resourceTag);
        p.start = f.int16("start", int16_t(frame - 1));
        p.length = f.int16("length", 0);
        p.frame = f.int16("frame", int16_t(frame));
        p.parentTag = f.tag("parent", "");
        p.afterTag = f.tag("after", "");
        f.finish();

        auto found = resources_.find(p.resourceTag);
        if (found == resources_.end())
            fail(source, place, "no resource tagged " + quoted(p.resourceTag) + suggestion(p.resourceTag, resourceTags()));
        if (p.transformCopy && !found->second->transformCopy) {
            fail(source, place,
                 "'copy' makes a plain transform of the resource, which a " + std::string(found->second->name) +
                     " cannot give; use 'place'");
        }
        if (!p.parentTag.empty() && !placedWithTag(p.parentTag)) {
            fail(*item.find("parent"), place,
                 "parent " + quoted(p.parentTag) + " is not placed before this command" +
                     suggestion(p.parentTag, placedTags()));
        }
        checkAfter(item, place, p.afterTag, p.parentTag);
        if (std::string(found->second->name) == "ripple") {
            // It bends the mesh it is placed under, and nothing elsewhere.
            const Placed* parent = p.parentTag.empty() ? nullptr : firstPlaced(p.parentTag);
            const std::string parentClass = parent ? parent->className : "";
            if (parentClass != "grid" && parentClass != "mesh" && parentClass != "spawner") {
                fail(source, place,
                     "a ripple bends the grid or model mesh (or a spawner's object) it is placed under; " +
                         (parent ? "parent " + quoted(p.parentTag) + " is a " +
                                       (parentClass.empty() ? std::string("dynamic") : parentClass)
                                 : std::string("give it a 'parent'")));
            }
        }
        // A transform copy is a plain transform whatever it was made from.
        placed_.push_back({p.instanceTag, p.parentTag, p.transformCopy ? "transform" : found->second->name, false});
        return placeCommand(p);
    }

    const std::map<std::string, const ResourceClass*>& resources_;
    int32_t totalFrames_;
    std::vector<Placed> placed_;
};

// ---- The whole description

Bytes compile(const Value& root, const DescriptionOptions& options)
{
    Fields top(root, "description");
    top.allow({"window", "playback", "renderState", "totalFrames", "resources", "timeline"});
    top.finish();

    DemoData demo;
    WindowSettings window;
    if (const Value* v = root.find("window")) {
        Fields f(*v, "window");
        window.title = f.text("title", "");
        if (window.title.size() > 255)
            fail(*v->find("title"), "window", "'title' is longer than 255 bytes");
        window.width = f.int16("width", window.width, 1);
        window.height = f.int16("height", window.height, 1);
        window.fullscreen = f.flag("fullscreen", false);
        f.finish();
    }
    demo.window = windowSettings(window);

    PlaybackSettings playback;
    if (const Value* v = root.find("playback")) {
        Fields f(*v, "playback");
        playback.frameRate = f.int16("frameRate", playback.frameRate, 0);
        playback.catchUp = f.flag("catchUp", playback.catchUp);
        playback.loop = f.flag("loop", playback.loop);
        f.finish();
    }
    demo.playback = playbackSettings(playback);

    if (const Value* v = root.find("renderState"))
        demo.renderState = renderState(*v);
    else
        demo.renderState = RenderStateWriter::standard().bytes();

    const Value* totalValue = root.find("totalFrames");
    if (!totalValue)
        fail(root, "description", "needs 'totalFrames', the number of frames the demo plays");
    int32_t totalFrames = integer(*totalValue, "description", "'totalFrames'", 1, 32767);

    std::map<std::string, const ResourceClass*> tags;
    StreamWriter resources;
    // The loader makes music only once it holds a sound library, so the
    // library goes first in the data wherever the description lists it.
    Bytes soundLibrary;
    const Value* soundLibraryItem = nullptr;
    const Value* firstMusic = nullptr;
    std::string firstMusicPlace;
    std::vector<std::string> alsoTagged;
    const ResourceClass* alsoTaggedAs = nullptr;
    std::vector<const ResourceClass*> alsoTaggedClasses;
    const ResourceContext context{options, playback.hasFrameRate ? playback.frameRate : int16_t(0), tags,
                                  &alsoTagged, &alsoTaggedAs, &alsoTaggedClasses};
    if (const Value* list = root.find("resources")) {
        if (!list->isArray())
            fail(*list, "resources", "must be a list of resources {\"class\": ..., \"tag\": ...}");
        std::vector<std::string> classNames = resourceClassNames();
        for (size_t i = 0; i < list->items.size(); ++i) {
            const Value& item = list->items[i];
            std::string place = "resource " + std::to_string(i + 1);
            if (!item.isObject())
                fail(item, place, "must be an object {\"class\": ..., \"tag\": ...}");
            const Value* classField = item.find("class");
            if (classField && classField->isString() && classField->text == "soundLibrary") {
                place = "resource " + std::to_string(i + 1) + " (soundLibrary)";
                if (const Value* tagField = item.find("tag"))
                    fail(*tagField, place, "a sound library has no tag: the player keeps it for the music, unnamed");
                if (soundLibraryItem) {
                    fail(item, place, "a demo carries one sound library; another is listed at line " +
                                          std::to_string(soundLibraryItem->where.line));
                }
                Fields f(item, place);
                f.allow({"class"});
                if (const Value* file = f.optional("file")) {
                    soundLibrary = fileContents(*file, place, context);
                } else {
                    if (options.soundLibrary.empty())
                        fail(item, place, "needs 'file': no default sound library is known here");
                    Value path;
                    path.type = Value::Type::String;
                    path.text = options.soundLibrary;
                    path.where = item.where;
                    soundLibrary = fileContents(path, place + ", the default library", context);
                }
                f.finish();
                if (soundLibrary.empty())
                    fail(item, place, "the sound library file is empty");
                soundLibraryItem = &item;
                continue;
            }
            const Value* tagField = item.find("tag");
            if (!tagField)
                fail(item, place, "needs 'tag'");
            const Value& tagValue = *tagField;
            std::string tag = tagText(tagValue, place, "'tag'");
            place = "resource " + quoted(tag);
            Fields named(item, place);  // every error from here on names the tag
            named.allow({"tag"});
            const Value& classValue = named.required("class");
            const std::string& className = stringValue(classValue, place, "'class'");
            const ResourceClass* resourceClass = findClass(className);
            if (!resourceClass) {
                std::string known;
                for (const std::string& name : classNames)
                    known += (known.empty() ? "" : ", ") + name;
                fail(classValue, place,
                     "unknown class " + quoted(className) + suggestion(className, classNames) + "; known: " + known);
            }
            // Lookups by tag find the first resource: a second one would be dead.
            if (tags.count(tag))
                fail(tagValue, place, "a resource tagged " + quoted(tag) + " is already defined");
            if (resourceClass->chunkId == 461 && !firstMusic) {
                firstMusic = &item;
                firstMusicPlace = place;
            }
            Envelope envelope;
            envelope.tag = tag;
            alsoTagged.clear();
            alsoTaggedAs = nullptr;
            alsoTaggedClasses.clear();
            resourceClass->write(named, envelope, context);
            named.finish();
            tags[tag] = resourceClass;
            for (const std::string& meshTag : alsoTagged) {
                if (tags.count(meshTag))
                    fail(tagValue, place, "mesh tag " + quoted(meshTag) + " is already the tag of a resource");
                tags[meshTag] = alsoTaggedAs ? alsoTaggedAs : &kModelMesh;
            }
            for (size_t i = 0; i < alsoTaggedClasses.size() && i < alsoTagged.size(); ++i)
                tags[alsoTagged[i]] = alsoTaggedClasses[i];
            resources.add(resource(resourceClass->chunkId, envelope));
        }
    }
    if (firstMusic && !soundLibraryItem) {
        fail(*firstMusic, firstMusicPlace,
             "music plays through the sound library: add {\"class\": \"soundLibrary\"} to the resources");
    }
    if (soundLibraryItem) {
        Bytes ordered = soundLibraryResource(soundLibrary);
        append(ordered, resources.bytes());
        demo.resources = ordered;
    } else {
        demo.resources = resources.bytes();
    }

    TimelineCompiler timeline(tags, totalFrames);
    Value empty;
    empty.type = Value::Type::Array;
    const Value* entries = root.find("timeline");
    demo.timeline = timeline.timeline(entries ? *entries : empty);
    return demoData(demo);
}

}  // namespace

std::vector<std::string> resourceClassNames()
{
    std::vector<std::string> names;
    for (const ResourceClass& c : kResourceClasses)
        names.push_back(c.name);
    return names;
}

bool compileDescription(const std::string& text, Bytes& out, std::string* error)
{
    return compileDescription(text, DescriptionOptions{}, out, error);
}

bool compileDescription(const std::string& text, const DescriptionOptions& options, Bytes& out, std::string* error)
{
    Value root;
    if (!json::parse(text, root, error))
        return false;
    try {
        out = compile(root, options);
        if (out.size() > kLargeDemoBytes && options.note)
            options.note("warning: the demo data is " + megabytes(out.size()) + ", more than the " +
                         megabytes(kLargeDemoBytes) + " a release would want; textures carried as 24-bit BMP are "
                         "the usual cause: a texture's 'size' scales it down");
        return true;
    } catch (const Problem& problem) {
        if (error)
            *error = json::toString(problem.where) + ": " + problem.place + ": " + problem.message;
        return false;
    }
}

}  // namespace tools::description
