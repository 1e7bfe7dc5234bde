#include "tools/writer/gl_enum_names.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "demo/format.h"

namespace tools::writer {

#define GL_NAME(name, constant) {name, #constant, constant}

const std::vector<EnumName> kBlendFactorNames = {
    GL_NAME("zero", GL_ZERO),
    GL_NAME("one", GL_ONE),
    GL_NAME("srcColor", GL_SRC_COLOR),
    GL_NAME("oneMinusSrcColor", GL_ONE_MINUS_SRC_COLOR),
    GL_NAME("srcAlpha", GL_SRC_ALPHA),
    GL_NAME("oneMinusSrcAlpha", GL_ONE_MINUS_SRC_ALPHA),
    GL_NAME("dstAlpha", GL_DST_ALPHA),
    GL_NAME("oneMinusDstAlpha", GL_ONE_MINUS_DST_ALPHA),
    GL_NAME("dstColor", GL_DST_COLOR),
    GL_NAME("oneMinusDstColor", GL_ONE_MINUS_DST_COLOR),
    GL_NAME("srcAlphaSaturate", GL_SRC_ALPHA_SATURATE),
};

const std::vector<EnumName> kPolygonFaceNames = {
    GL_NAME("front", GL_FRONT),
    GL_NAME("back", GL_BACK),
    GL_NAME("frontAndBack", GL_FRONT_AND_BACK),
};

const std::vector<EnumName> kPolygonModeNames = {
    GL_NAME("point", GL_POINT),
    GL_NAME("line", GL_LINE),
    GL_NAME("fill", GL_FILL),
};

const std::vector<EnumName> kQuadricDrawStyleNames = {
    GL_NAME("point", GLU_POINT),
    GL_NAME("line", GLU_LINE),
    GL_NAME("fill", GLU_FILL),
    GL_NAME("silhouette", GLU_SILHOUETTE),
};

const std::vector<EnumName> kQuadricNormalsNames = {
    GL_NAME("smooth", GLU_SMOOTH),
    GL_NAME("flat", GLU_FLAT),
    GL_NAME("none", GLU_NONE),
};

const std::vector<EnumName> kQuadricOrientationNames = {
    GL_NAME("outside", GLU_OUTSIDE),
    GL_NAME("inside", GLU_INSIDE),
};

#undef GL_NAME

const std::vector<EnumName> kQuadricKindNames = {
    {"cylinder", "cylinder", format::quadric::kCylinder},
    {"cone", "cone", format::quadric::kCone},
    {"sphere", "sphere", format::quadric::kSphere},
    {"disk", "disk", format::quadric::kDisk},
    {"partialDisk", "partialDisk", format::quadric::kPartialDisk},
};

const EnumName* enumNameOf(const std::vector<EnumName>& names, int32_t value)
{
    for (const EnumName& n : names)
        if (n.value == value)
            return &n;
    return nullptr;
}

std::string glNameOf(const std::vector<EnumName>& names, int32_t value)
{
    if (const EnumName* n = enumNameOf(names, value))
        return n->glName;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", unsigned(value));
    return buffer;
}

}  // namespace tools::writer
