// Which enumerations a desktop OpenGL (compatibility profile) takes in the
// state calls of the render-state script and of polygon mode, so that the
// web player reports the same errors where WebGL knows fewer names (or the
// emulation ignores them silently). Each returns the GL error the call
// makes, GL_NO_ERROR when it is accepted.
#pragma once

#include <GL/gl.h>

namespace webgl {

GLenum enableError(GLenum capability);
GLenum hintError(GLenum target, GLenum mode);
GLenum shadeModelError(GLenum mode);
GLenum polygonModeError(GLenum face, GLenum mode);

// Hints that only a desktop rasteriser has; WebGL is told nothing of them.
bool isDesktopOnlyHint(GLenum target);

}  // namespace webgl
