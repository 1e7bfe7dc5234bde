// The description compiler's writers of blend modes, motion trails, polygon
// modes, quadrics, and of the resources built on others: replicators,
// splitters, assemblies, ripples and collision worlds.
#include "tools/description/resources.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

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
        q.kind = int16_t(namedValue(shape, kQuadricKindNames, f.place(), "shape", format::quadric::kCylinder,
                                      format::quadric::kPartialDisk));
    const bool disk = q.kind == format::quadric::kDisk || q.kind == format::quadric::kPartialDisk;
    // Disks are rings from `radius` (the hole) to `outerRadius`.
    q.radius1 = f.real("radius", disk ? 0.0f : 1.0f);
    q.radius2 = disk ? 1.0f : 0.0f;
    const char* second = q.kind == format::quadric::kCone ? "topRadius" : disk ? "outerRadius" : nullptr;
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
            c.alsoTaggedClasses->push_back(partClass(format::world::kForce));
        }
    }
    if (const Value* spawners = f.optional("spawners")) {
        if (!spawners->isArray())
            fail(*spawners, f.place(), "'spawners' must be a list of tags");
        for (const Value& item : spawners->items) {
            w.spawners.push_back(tagText(item, f.place(), "'spawners'"));
            enter(item, w.spawners.back());
            c.alsoTaggedClasses->push_back(partClass(format::world::kSpawner));
        }
    }
    w.rolling = f.flag("rolling", false);
    e.body = worldPayload(w);
    *c.alsoTagged = entered;
}

}  // namespace tools::description
