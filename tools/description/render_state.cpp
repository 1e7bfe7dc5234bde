// The render state list of a description, as the GL calls the player makes.
#include "tools/description/resources.h"

#include <GL/gl.h>

#include <array>
#include <cstring>

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

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

}  // namespace tools::description
