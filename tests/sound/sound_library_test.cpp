#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "demo/chunk_stream.h"
#include "platform/platform.h"
#include "sound/music_track.h"
#include "sound/sound_library.h"
#include "tests/sound/sound_fixture.h"
#include "tools/writer/writer.h"

using namespace soundtest;
using Lines = std::vector<std::string>;

namespace {

Bytes musicSettings(const std::string& name)
{
    return tools::writer::StreamWriter()
        .add(4, Bytes(name.begin(), name.end()))
        .add(17, tools::writer::s16(20))
        .add(8, tools::writer::s16(255))
        .bytes();
}

}  // namespace

TEST(SoundLibrary, WritesThePayloadBindsTheLibraryAndInitialisesIt)
{
    TempDir dir;
    CallLog log(dir.path() + "calls.log");
    const Bytes image = readFile(DEMOSOUND_RECORDER);
    ASSERT_FALSE(image.empty());
    // The library's bytes sit inside a larger stream: exactly length bytes are taken.
    Bytes stream = {9, 9};
    stream.insert(stream.end(), image.begin(), image.end());
    stream.insert(stream.end(), {7, 7, 7});
    ChunkStream chunks(stream.data(), int32_t(stream.size()));
    chunks.skip(2);
    std::string path;
    {
        SoundLibrary library(chunks, uint32_t(image.size()));
        EXPECT_EQ(int32_t(2 + image.size()), chunks.position());
        path = library.dllPath;
        // In a directory of its own inside the temporary directory.
        const std::string own = library.directory;
        EXPECT_EQ(own + "fmod.dll", path);
        EXPECT_EQ(dir.path(), own.substr(0, dir.path().size()));
        EXPECT_NE(dir.path(), own);
        EXPECT_EQ(image, readFile(path));
        ASSERT_NE(nullptr, library.api);
        EXPECT_TRUE(isLoaded(path));
        EXPECT_EQ((Lines{"FSOUND_SetOutput 1", "FSOUND_SetDriver 0", "FSOUND_Init 44100 32 0"}), log.take());
    }
    EXPECT_EQ((Lines{"FSOUND_Close"}), log.take());
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(fileExists(path.substr(0, path.rfind('/'))));  // the directory went with it
}

TEST(SoundLibrary, EveryNameIsBoundToItsOwnEntryPoint)
{
    TempDir dir;
    std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_RECORDER));
    ASSERT_NE(nullptr, library->api);
    void* module = library->api->module();
    for (int slot = 1; slot < kSoundApiSlots; ++slot) {
        std::string name = platform::undecorateName(kSoundApiNames[slot - 1]);
        EXPECT_EQ(dlsym(module, name.c_str()), library->api->slots[slot]) << kSoundApiNames[slot - 1];
    }
}

TEST(SoundLibrary, ALibraryLackingOneNameIsRefusedAndTheMusicRunsSilently)
{
    TempDir dir;
    CallLog log(dir.path() + "calls.log");
    std::string musicPath, dllPath;
    {
        std::unique_ptr<SoundLibrary> library(libraryFromFile(DEMOSOUND_RECORDER_LACKING));
        musicPath = library->directory + std::string("pista.mp3");
        dllPath = library->dllPath;
        EXPECT_EQ(nullptr, library->api);
        EXPECT_TRUE(fileExists(library->dllPath));
        EXPECT_FALSE(isLoaded(library->dllPath));  // unloaded again at once

        MusicTrack resource(library.get());
        const Bytes settings = musicSettings("pista.mp3");
        resource.loadExtra(settings.data(), int32_t(settings.size()));
        const Bytes body = {1, 2, 3};
        resource.load(body.data(), int32_t(body.size()));
        EXPECT_EQ(body, readFile(musicPath));
        std::unique_ptr<SceneObject> instance(resource.clone());
        instance->skipFrames(40);
        EXPECT_EQ(1, instance->step(false));
        static_cast<MusicTrack*>(instance.get())->volume = 12;
        EXPECT_EQ(1, instance->step(false));
        EXPECT_EQ(0, static_cast<MusicTrack*>(instance.get())->channel);
    }
    EXPECT_FALSE(fileExists(musicPath));
    EXPECT_FALSE(fileExists(dllPath));
    EXPECT_TRUE(log.lines().empty());
}

TEST(SoundLibrary, APayloadCutShortIsNeitherWrittenNorLoaded)
{
    TempDir dir;
    const Bytes image = readFile(DEMOSOUND_RECORDER);
    ChunkStream chunks(image.data(), int32_t(image.size()));
    SoundLibrary library(chunks, uint32_t(image.size() + 1));
    EXPECT_EQ(nullptr, library.api);
    EXPECT_FALSE(fileExists(library.dllPath));
}

TEST(SoundLibrary, PlayersKeepToDirectoriesOfTheirOwnAndLeaveTheUsersFilesAlone)
{
    // Files of the user's under the names the data chooses, one of them a
    // link, sit in the temporary directory while two players run at once.
    TempDir dir;
    const std::string victim = dir.path() + "victim";
    writeFile(victim, {'k', 'e', 'e', 'p'});
    ASSERT_EQ(0, symlink(victim.c_str(), (dir.path() + "fmod.dll").c_str()));
    writeFile(dir.path() + "pista.mp3", {'m', 'i', 'n', 'e'});
    std::string directories[2];
    {
        std::unique_ptr<SoundLibrary> first(libraryFromFile(DEMOSOUND_RECORDER));
        std::unique_ptr<SoundLibrary> second(libraryFromFile(DEMOSOUND_RECORDER));
        ASSERT_NE(nullptr, first->api);
        ASSERT_NE(nullptr, second->api);
        directories[0] = first->directory;
        directories[1] = second->directory;
        EXPECT_NE(directories[0], directories[1]);
        for (const std::string& own : directories) {
            EXPECT_EQ(dir.path(), own.substr(0, dir.path().size()));
            struct stat info{};
            ASSERT_EQ(0, stat(own.c_str(), &info));
            EXPECT_EQ(0700u, info.st_mode & 0777u) << own;
        }
        EXPECT_EQ(readFile(DEMOSOUND_RECORDER), readFile(first->dllPath));
        MusicTrack track(first.get());
        const Bytes settings = musicSettings("pista.mp3");
        track.loadExtra(settings.data(), int32_t(settings.size()));
        const Bytes body = {1, 2, 3};
        track.load(body.data(), int32_t(body.size()));
        EXPECT_EQ(directories[0] + "pista.mp3", track.filePath);
        EXPECT_EQ(body, readFile(track.filePath));
    }
    EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), readFile(victim));
    EXPECT_EQ((Bytes{'m', 'i', 'n', 'e'}), readFile(dir.path() + "pista.mp3"));
    for (const std::string& own : directories)
        EXPECT_FALSE(fileExists(own)) << own;
}
