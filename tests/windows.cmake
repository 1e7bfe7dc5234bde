# The Windows suite: the engine's tests cross-built against the Win32 layer and
# run under Wine (scripts/wine-run), plus the packed player tried as a user
# would. Included by cmake/windows.cmake; run by `scripts/test --windows`.

# googletest from Debian's source package, built with the same toolchain and
# linked statically. mingw's win32 thread model has no std::mutex, on which
# googletest builds one helper class; tests/windows/gtest_notification.h
# stands in for it (googletest's other locks are Win32's own).
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Found among the build machine's prefixes (Debian: /usr/src/googletest),
# not in the cross toolchain's root.
find_path(DEMOPLAYER_GTEST_SOURCE_DIR NAMES googletest/include/gtest/gtest.h
  PATHS ${CMAKE_SYSTEM_PREFIX_PATH} PATH_SUFFIXES src/googletest src/gtest NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH DOC "googletest's source tree (Debian package googletest)")
if(NOT DEMOPLAYER_GTEST_SOURCE_DIR)
  message(FATAL_ERROR "googletest's sources not found: install googletest or set DEMOPLAYER_GTEST_SOURCE_DIR")
endif()
add_subdirectory(${DEMOPLAYER_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
target_compile_options(gtest PUBLIC -include ${CMAKE_SOURCE_DIR}/tests/windows/gtest_notification.h)
target_compile_options(gtest PRIVATE -w)

# The format's writer and payload builders make the tests' demo data, and the
# description compiler the rest; of the tools' other parts only what reads
# images and WAV files and plays a demo offline. Left out: what needs
# libraries the cross build has not (assimp, libpng) or POSIX process calls
# (ffmpeg for music and the timeline chart's frames, the preview's file
# times, scratch files). stb is header-only: its folder alone is put on the
# include path, not the Linux system's headers.
file(GLOB WINDOWS_WRITER_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tools/writer/*.cpp ${CMAKE_SOURCE_DIR}/tools/description/*.cpp)
list(APPEND WINDOWS_WRITER_SOURCES ${CMAKE_SOURCE_DIR}/tools/common/latin1.cpp
  ${CMAKE_SOURCE_DIR}/tools/common/frame_time.cpp
  ${CMAKE_SOURCE_DIR}/tools/media/texture_image.cpp
  ${CMAKE_SOURCE_DIR}/tools/media/wav.cpp
  ${CMAKE_SOURCE_DIR}/tools/render/render.cpp
  ${CMAKE_SOURCE_DIR}/tools/render/unseen_frames.cpp)
add_library(demowriter_windows STATIC ${WINDOWS_WRITER_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/windows/model_import_unavailable.cpp
  ${CMAKE_SOURCE_DIR}/tests/windows/audio_convert_unavailable.cpp)
target_link_libraries(demowriter_windows PUBLIC demoengine)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/stb-include)
# Found among the build machine's headers (Debian: /usr/include/stb).
find_path(DEMOPLAYER_STB_INCLUDE_DIR NAMES stb/stb_image.h NO_CMAKE_FIND_ROOT_PATH
  DOC "the folder holding stb/ (Debian package libstb-dev)")
if(NOT DEMOPLAYER_STB_INCLUDE_DIR)
  message(FATAL_ERROR "stb/stb_image.h not found: install libstb-dev or set DEMOPLAYER_STB_INCLUDE_DIR")
endif()
file(CREATE_LINK ${DEMOPLAYER_STB_INCLUDE_DIR}/stb ${CMAKE_BINARY_DIR}/stb-include/stb SYMBOLIC)
target_include_directories(demowriter_windows SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/stb-include)

add_library(demoplatform_testing STATIC ${CMAKE_SOURCE_DIR}/platform/test_double.cpp)
target_link_libraries(demoplatform_testing PUBLIC demoplatform)

# Every engine test that needs only the engine, the writer and a GL window.
# Left out, with the reason:
#   tools/, sound/          the tools and libdemosound.so are Linux programs
#   (player/entry_test builds here; its cases that run the Linux player as a
#   process are Linux's)
#   (demo/object_loader_test and demo/envelope_bounds_test build here; their
#   cases that bound the address space with fork and setrlimit are Linux's)
#   platform/ (SDL ones)    test the SDL layer; the Win32 layer has its own
#                           tests/platform/win32_*_test.cpp
file(GLOB WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/animation/*.cpp ${CMAKE_SOURCE_DIR}/tests/demo/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/geometry/*.cpp ${CMAKE_SOURCE_DIR}/tests/objects/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/texture/*.cpp ${CMAKE_SOURCE_DIR}/tests/player/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/platform/win32_*_test.cpp)
list(FILTER WINDOWS_TEST_SOURCES EXCLUDE REGEX
  "tests/(support/stb_image_write)\\.cpp$")
add_executable(demotests_windows ${WINDOWS_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/seed_demos.cpp)
target_link_libraries(demotests_windows PRIVATE demowriter_windows demoengine demoplatform_testing
  gtest gtest_main)
# OpenGL 1.2 names the tests use; opengl32.dll hands them to Mesa all the same.
target_compile_definitions(demotests_windows PRIVATE GL_CLAMP_TO_EDGE=0x812F GL_MIRRORED_REPEAT=0x8370)
# The Win32 layer's tests include windows.h themselves.
file(GLOB WIN32_LAYER_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/platform/win32_*_test.cpp)
target_link_libraries(demotests_windows PRIVATE user32 gdi32 winmm)
# One .exe that Wine runs without the compiler's DLLs beside it.
target_link_options(demotests_windows PRIVATE -static)

enable_testing()
set(WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run)
set_target_properties(demotests_windows PROPERTIES CROSSCOMPILING_EMULATOR ${WINE_RUN})
include(GoogleTest)
# Listed when ctest runs (inside the Wine session of scripts/test), not at
# build time, which has no Wine.
# Left out:
#   SeedDemos.EachPlaysItsClass... builds a model seed from an OBJ file,
#     which needs the tools' model import (assimp);
#   MatRotateAboutAxis.CosAndSinAreRoundedToFloatOnceFromDouble needs a C
#     library whose cosf and sinf differ from the double functions rounded,
#     and msvcrt's do not.
gtest_discover_tests(demotests_windows DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "-SeedDemos.EachPlaysItsClassWithoutAMessageAlsoOverTheSharedResources:MatRotateAboutAxis.CosAndSinAreRoundedToFloatOnceFromDouble")

# The packed Windows player, played under Wine as a user would, against the
# Linux tools' rendering of the same data.
# The player is the shipped one (scripts/build-windows, Release and
# stripped): this build's own is unstripped and too big for the offset.
set(DEMOPLAYER_LINUX_TOOLS ${CMAKE_SOURCE_DIR}/build/release CACHE PATH
  "Linux build holding demotool and libdemosound.so")
set(DEMOPLAYER_WINDOWS_PLAYER ${CMAKE_SOURCE_DIR}/build/windows/demoplayer.exe CACHE FILEPATH
  "the Release Windows player that scripts/build-windows makes")
# The stripped player fits before the data, needs only DLLs every Windows
# has, and keeps address randomisation and no-execute.
add_test(NAME windows_player_size_and_imports
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-player-size ${DEMOPLAYER_WINDOWS_PLAYER})
add_test(NAME windows_player_plays_packed_demo
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/play_packed.sh
    ${DEMOPLAYER_WINDOWS_PLAYER} ${DEMOPLAYER_LINUX_TOOLS}/demotool)

# ---- Sound ---------------------------------------------------------------------
# demosound.dll against libdemosound.so and as the packed player meets it. The
# DLL is the shipped one (scripts/build-windows), beside the player.
set(DEMOPLAYER_WINDOWS_SOUND ${CMAKE_SOURCE_DIR}/build/windows/demosound.dll CACHE FILEPATH
  "the Release demosound.dll that scripts/build-windows makes")
# The Windows decoder alone, to compare with the Linux one (decode_dump there).
add_executable(demosound_decode ${CMAKE_SOURCE_DIR}/tests/windows/decode_dump.cpp
  ${CMAKE_SOURCE_DIR}/sound/demosound/decoder_acm.cpp ${CMAKE_SOURCE_DIR}/sound/demosound/audio_reading.cpp)
target_link_libraries(demosound_decode PRIVATE msacm32)
target_link_options(demosound_decode PRIVATE -static)
add_test(NAME windows_sound_decoder_matches_linux
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/decoder_parity.sh
    ${DEMOPLAYER_LINUX_TOOLS}/demosound_decode $<TARGET_FILE:demosound_decode>)
# The recording stand-in as Windows DLLs, whole and lacking one name.
demosound_def(${CMAKE_BINARY_DIR}/sound_recorder.def sound_recorder.dll)
demosound_def(${CMAKE_BINARY_DIR}/sound_recorder_lacking.def sound_recorder_lacking.dll
  EXCEPT _FMUSIC_GetUserData@4)
add_library(sound_recorder SHARED ${CMAKE_SOURCE_DIR}/tests/sound/recorder/sound_recorder.c
  ${CMAKE_BINARY_DIR}/sound_recorder.def)
add_library(sound_recorder_lacking SHARED ${CMAKE_SOURCE_DIR}/tests/sound/recorder/sound_recorder.c
  ${CMAKE_BINARY_DIR}/sound_recorder_lacking.def)
target_compile_definitions(sound_recorder_lacking PRIVATE DEMOSOUND_RECORDER_LACKS_ONE)
set_target_properties(sound_recorder sound_recorder_lacking PROPERTIES PREFIX "")
target_link_options(sound_recorder PRIVATE -static-libgcc)
target_link_options(sound_recorder_lacking PRIVATE -static-libgcc)
add_test(NAME windows_sound_reaches_the_output
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/sound_output.sh
    ${DEMOPLAYER_WINDOWS_PLAYER} ${DEMOPLAYER_LINUX_TOOLS}/demotool ${DEMOPLAYER_WINDOWS_SOUND})
add_test(NAME windows_sound_binding
  COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/sound_binding.sh
    ${DEMOPLAYER_WINDOWS_PLAYER} ${DEMOPLAYER_LINUX_TOOLS}/demotool ${DEMOPLAYER_WINDOWS_SOUND}
    $<TARGET_FILE:sound_recorder> $<TARGET_FILE:sound_recorder_lacking>)
# The library's silent clock, with Wine's audio drivers off: no device at all.
add_executable(demosound_dll_tests ${CMAKE_SOURCE_DIR}/tests/windows/demosound_dll_test.cpp)
target_link_libraries(demosound_dll_tests PRIVATE demowriter_windows demoengine gtest gtest_main)
target_link_options(demosound_dll_tests PRIVATE -static)
add_test(NAME windows_sound_silent_clock_keeps_time COMMAND ${WINE_RUN} $<TARGET_FILE:demosound_dll_tests>)
# The packed players share Wine's temporary directory and the display's
# corner that the screenshots look at: one at a time.
set_tests_properties(windows_player_plays_packed_demo windows_sound_reaches_the_output
  windows_sound_binding PROPERTIES RESOURCE_LOCK wine_packed_player)
set_tests_properties(windows_sound_silent_clock_keeps_time PROPERTIES ENVIRONMENT
  "DEMOSOUND_DLL=Z:${DEMOPLAYER_WINDOWS_SOUND};WINEDLLOVERRIDES=winealsa.drv=d")

# The music sync benchmark (bench/music_sync_bench.cpp) over demosound.dll, run
# by hand under Wine (docs/measurements.md); not a test.
add_executable(music_sync_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/music_sync_bench.cpp)
target_link_libraries(music_sync_bench PRIVATE demowriter_windows demoengine)
target_compile_definitions(music_sync_bench PRIVATE DEMOSOUND_LIBRARY="Z:${DEMOPLAYER_WINDOWS_SOUND}")
target_link_options(music_sync_bench PRIVATE -static)
