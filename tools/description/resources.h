// The description compiler's parts: the resource classes and their writers,
// the render state, the dynamics' tables and the timeline compiler.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "demo/scene_object.h"
#include "tools/common/latin1.h"
#include "tools/description/description.h"
#include "tools/description/fields.h"
#include "tools/description/json.h"
#include "tools/writer/animation_payloads.h"
#include "tools/writer/blend_payloads.h"
#include "tools/writer/deformer_payloads.h"
#include "tools/writer/geometry_payloads.h"
#include "tools/writer/gl_enum_names.h"
#include "tools/writer/mesh_payloads.h"
#include "tools/writer/object_payloads.h"
#include "tools/writer/quadric_payloads.h"
#include "tools/writer/replica_payloads.h"
#include "tools/writer/sound_payloads.h"
#include "tools/writer/texture_payloads.h"
#include "tools/writer/world_payloads.h"
#include "tools/writer/writer.h"
#include "tools/media/audio_convert.h"
#include "tools/media/model_import.h"
#include "tools/media/texture_image.h"

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

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

TransformFields transformFields(Fields& f);
// A path the description names, relative to its folder.
std::string resolvedPath(const std::string& path, const ResourceContext& c);
// The bytes of a file the description names, relative to its folder.
Bytes fileContents(const Value& pathValue, const std::string& place, const ResourceContext& c);
std::vector<std::string> generatedMeshTags(const std::string& tag, size_t count);

// The resource writers, one per class.
void writeTransform(Fields& f, Envelope& e, const ResourceContext&);
void writeQuad(Fields& f, Envelope& e, const ResourceContext&);
void writeBox(Fields& f, Envelope& e, const ResourceContext&);
void writeCamera(Fields& f, Envelope& e, const ResourceContext&);
void writeColor(Fields& f, Envelope& e, const ResourceContext&);
void writeScale(Fields& f, Envelope& e, const ResourceContext&);
void writeGrid(Fields& f, Envelope& e, const ResourceContext&);
void writeModel(Fields& f, Envelope& e, const ResourceContext& c);
void writeTexture(Fields& f, Envelope& e, const ResourceContext& c);
void writeTextureCopy(Fields& f, Envelope& e, const ResourceContext& c);
void writeMusic(Fields& f, Envelope& e, const ResourceContext& c);
void writeBlend(Fields& f, Envelope& e, const ResourceContext&);
void writeTrail(Fields& f, Envelope& e, const ResourceContext&);
void writePolygonMode(Fields& f, Envelope& e, const ResourceContext&);
void writeQuadric(Fields& f, Envelope& e, const ResourceContext&);
void writeReplicator(Fields& f, Envelope& e, const ResourceContext& c);
void writeSplitter(Fields& f, Envelope& e, const ResourceContext& c);
void writeAssembly(Fields& f, Envelope& e, const ResourceContext& c);
void writeRipple(Fields& f, Envelope& e, const ResourceContext&);
void writeWorld(Fields& f, Envelope& e, const ResourceContext& c);

// A value by its description name, its GL name or as a number in [min, max].
int32_t namedValue(const Value& v, const std::vector<EnumName>& names, const std::string& place,
                   const std::string& what, int32_t min, int32_t max);

struct GLName {
    const char* name;    // as descriptions usually write it
    const char* glName;  // the constant's own name, also accepted
    int value;
};

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

// The class a description names, or none.
const ResourceClass* findClass(const std::string& name);
// The class of what another class enters besides itself (forces, spawners,
// a model's meshes), by chunk id; none for an id that is no such part.
const ResourceClass* partClass(int16_t id);
// A fresh object of the named class, as the player makes it; none for a
// class that makes no object.
std::unique_ptr<SceneObject> classSample(const std::string& name);

// The render state script of the description's "renderState" list.
Bytes renderState(const Value& list);

bool hasParameter(SceneObject& object, int16_t index);
bool drivesThreeFloats(SceneObject& object, int16_t index);
std::string displayName(int16_t index);

// The timeline's chunks from its list of entries, checked against the
// resources listed (by tag).
// Frames may be written as times on `time`.
Bytes compileTimeline(const std::map<std::string, const ResourceClass*>& resources, int32_t totalFrames,
                      const common::TimeScale& time, const Value& list,
                      const std::function<void(const std::string&)>& note);

}  // namespace tools::description
