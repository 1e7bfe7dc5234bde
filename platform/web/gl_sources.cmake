# The GL and GLU supplement of the web player. gl_sources.list names its
# files (paths from the source root, one a line) for scripts that call emcc
# themselves; here they become two lists: WEB_GL_SOURCES, everything the web
# build compiles, and WEB_GL_PORTABLE_SOURCES, the part that is plain C++
# over GL 1.1 and builds natively for the Linux tests (gl_exports.cpp alone
# needs Emscripten).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/gl_sources.list WEB_GL_SOURCES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gl_sources.list)
list(TRANSFORM WEB_GL_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
set(WEB_GL_PORTABLE_SOURCES ${WEB_GL_SOURCES})
list(FILTER WEB_GL_PORTABLE_SOURCES EXCLUDE REGEX "gl_exports\\.cpp$")
