# The Windows player: the same engine over the Win32 layer, one .exe that
# needs nothing beside it but DLLs every Windows has. Included by the
# top-level CMakeLists.txt when cross-building with
# -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake.

include_directories(${CMAKE_SOURCE_DIR})

# mingw's GL/gl.h pulls in windows.h unless these are defined, and windows.h's
# macros (WM_SIZE, MB_OK, IDOK...) would clobber the platform header's names.
# Only platform/ sees windows.h itself.
add_library(demogl INTERFACE)
target_compile_definitions(demogl INTERFACE
  "WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall" "CALLBACK=__stdcall")
target_link_libraries(demogl INTERFACE opengl32 glu32)

# The shared platform core over the Win32 layer, the only code that sees windows.h.
add_library(demoplatform STATIC platform/platform_core.cpp platform/win32_platform.cpp)
target_link_libraries(demoplatform PUBLIC opengl32 gdi32 user32 winmm)

file(GLOB ENGINE_SOURCES CONFIGURE_DEPENDS
  player/*.cpp demo/*.cpp animation/*.cpp objects/*.cpp texture/*.cpp sound/*.cpp geometry/*.cpp)
list(FILTER ENGINE_SOURCES EXCLUDE REGEX "player/main\\.cpp$")
add_library(demoengine STATIC ${ENGINE_SOURCES})
target_link_libraries(demoengine PUBLIC demoplatform demogl)

add_executable(demoplayer player/main.cpp platform/win32_runtime.cpp)
target_link_libraries(demoplayer PRIVATE demoengine)
# A GUI program: no console window.
target_link_options(demoplayer PRIVATE -mwindows)
# One file: the C++ and GCC runtimes go inside, not in DLLs beside it.
target_link_options(demoplayer PRIVATE -static-libgcc -static-libstdc++)

# The demo data is appended at a fixed offset: keep the player small. A link
# map (-Wl,-Map=) shows where the bytes go. The linker keeps every x64 unwind
# table (.pdata, .xdata) and with it every function one describes, so
# --gc-sections only works on code built without them; the engine throws and
# catches nothing, so it needs none. The C++ library's share is cut in
# platform/win32_runtime.cpp.
set(DEMOPLAYER_SIZE_FLAGS -Os -ffunction-sections -fdata-sections -fno-exceptions
  -fno-asynchronous-unwind-tables)
set_property(TARGET demoplayer demoengine demoplatform APPEND PROPERTY COMPILE_OPTIONS
  $<$<CONFIG:Release>:${DEMOPLAYER_SIZE_FLAGS}>)
# The platform core is small functions the player uses every one of: in one
# section they sit back to back, where sections of their own would each be
# padded to 16 bytes.
set_property(SOURCE platform/platform_core.cpp APPEND PROPERTY COMPILE_OPTIONS
  $<$<CONFIG:Release>:-fno-function-sections>)
target_link_options(demoplayer PRIVATE $<$<CONFIG:Release>:-Wl,--gc-sections -s>)

# ---- Sound: demosound.dll -----------------------------------------------------
# The sound library a Windows demo carries (resource chunk 463): the channels
# and the mixer of libdemosound.so over the system's codecs (ACM) and
# waveOut. Exported under the decorated names the player binds, from the
# player's own name table. It stands alone like the player: the C++ and GCC
# runtimes inside, only system DLLs outside.
include(${CMAKE_SOURCE_DIR}/cmake/demosound_def.cmake)
demosound_def(${CMAKE_BINARY_DIR}/demosound.def demosound.dll)
add_library(demosound SHARED sound/demosound/demosound.cpp sound/demosound/output_waveout.cpp
  sound/demosound/decoder_acm.cpp sound/demosound/audio_reading.cpp ${CMAKE_BINARY_DIR}/demosound.def)
set_target_properties(demosound PROPERTIES PREFIX "")
target_link_libraries(demosound PRIVATE winmm msacm32)
target_link_options(demosound PRIVATE -static-libgcc -static-libstdc++ -Wl,--no-undefined
  $<$<CONFIG:Release>:-s -Wl,--gc-sections>)
target_compile_options(demosound PRIVATE $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)

# ---- Windows tests -------------------------------------------------------------
# The cross-built suite, run under Wine, lives in tests/windows.cmake.
if(DEMOPLAYER_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/windows.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/windows.cmake)
endif()
# ---- end of Windows tests ------------------------------------------------------
