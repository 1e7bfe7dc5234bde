// The classes a description names, and what the dynamics may drive in each.
#include "tools/description/resources.h"

#include <cstring>
#include <memory>

#include "animation/dynamic.h"
#include "geometry/box.h"
#include "geometry/quad.h"
#include "geometry/transform.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/scale.h"
#include "sound/music_track.h"

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

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

// ---- Dynamics

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

std::vector<std::string> resourceClassNames()
{
    std::vector<std::string> names;
    for (const ResourceClass& c : kResourceClasses)
        names.push_back(c.name);
    return names;
}

}  // namespace tools::description
