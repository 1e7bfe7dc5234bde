#include "platform/web/gl_enums.h"

namespace webgl {

GLenum enableError(GLenum cap)
{
    // Eight clip planes and lights, as desktop drivers have.
    if ((cap >= GL_CLIP_PLANE0 && cap <= GL_CLIP_PLANE0 + 7) || (cap >= GL_LIGHT0 && cap <= GL_LIGHT7) ||
        (cap >= GL_MAP1_COLOR_4 && cap <= GL_MAP1_VERTEX_4) || (cap >= GL_MAP2_COLOR_4 && cap <= GL_MAP2_VERTEX_4) ||
        (cap >= GL_TEXTURE_GEN_S && cap <= GL_TEXTURE_GEN_Q))
        return GL_NO_ERROR;
    switch (cap) {
    case GL_ALPHA_TEST:
    case GL_AUTO_NORMAL:
    case GL_BLEND:
    case GL_COLOR_LOGIC_OP:
    case GL_COLOR_MATERIAL:
    case GL_CULL_FACE:
    case GL_DEPTH_TEST:
    case GL_DITHER:
    case GL_FOG:
    case GL_INDEX_LOGIC_OP:
    case GL_LIGHTING:
    case GL_LINE_SMOOTH:
    case GL_LINE_STIPPLE:
    case GL_NORMALIZE:
    case GL_POINT_SMOOTH:
    case GL_POLYGON_OFFSET_FILL:
    case GL_POLYGON_OFFSET_LINE:
    case GL_POLYGON_OFFSET_POINT:
    case GL_POLYGON_SMOOTH:
    case GL_POLYGON_STIPPLE:
    case GL_SCISSOR_TEST:
    case GL_STENCIL_TEST:
    case GL_TEXTURE_1D:
    case GL_TEXTURE_2D:
    case GL_TEXTURE_3D:
    case GL_RESCALE_NORMAL:
    case GL_MULTISAMPLE:
    case GL_SAMPLE_ALPHA_TO_COVERAGE:
    case GL_SAMPLE_ALPHA_TO_ONE:
    case GL_SAMPLE_COVERAGE:
    case GL_TEXTURE_CUBE_MAP:
    case GL_COLOR_SUM:
    case GL_VERTEX_PROGRAM_POINT_SIZE:
    case GL_POINT_SPRITE:
        return GL_NO_ERROR;
    default:
        return GL_INVALID_ENUM;
    }
}

bool isDesktopOnlyHint(GLenum target)
{
    switch (target) {
    case GL_PERSPECTIVE_CORRECTION_HINT:
    case GL_POINT_SMOOTH_HINT:
    case GL_LINE_SMOOTH_HINT:
    case GL_POLYGON_SMOOTH_HINT:
    case GL_FOG_HINT:
    case GL_TEXTURE_COMPRESSION_HINT:
        return true;
    default:
        return false;
    }
}

GLenum hintError(GLenum target, GLenum mode)
{
    if (mode != GL_FASTEST && mode != GL_NICEST && mode != GL_DONT_CARE)
        return GL_INVALID_ENUM;
    if (isDesktopOnlyHint(target) || target == GL_GENERATE_MIPMAP_HINT || target == GL_FRAGMENT_SHADER_DERIVATIVE_HINT)
        return GL_NO_ERROR;
    return GL_INVALID_ENUM;
}

GLenum shadeModelError(GLenum mode)
{
    return mode == GL_FLAT || mode == GL_SMOOTH ? GL_NO_ERROR : GL_INVALID_ENUM;
}

GLenum polygonModeError(GLenum face, GLenum mode)
{
    const bool faceKnown = face == GL_FRONT || face == GL_BACK || face == GL_FRONT_AND_BACK;
    const bool modeKnown = mode == GL_POINT || mode == GL_LINE || mode == GL_FILL;
    return faceKnown && modeKnown ? GL_NO_ERROR : GL_INVALID_ENUM;
}

}  // namespace webgl
