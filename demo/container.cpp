#include "demo/container.h"

#include <cstdio>
#include <memory>

#include "demo/object_loader.h"
#include "player/messages.h"
#include "player/player.h"
#include "player/settings.h"
#include "player/window.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The payload of a chunk, or none when the file ends before it does.
std::unique_ptr<uint8_t[]> readPayload(FILE* file, uint32_t length, int64_t remaining)
{
    if (int64_t(length) > remaining)
        return nullptr;
    std::unique_ptr<uint8_t[]> payload(new uint8_t[size_t(length) + 1]);
    if (std::fread(payload.get(), 1, length, file) != length)
        return nullptr;
    return payload;
}

}  // namespace

bool readContainer(Player& player, const char* path, uint32_t offset)
{
    return readContainer(player, path, offset, nullptr, nullptr);
}

bool readContainer(Player& player, const char* path, uint32_t offset, WindowSettingsHook hook, void* user)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return true;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return true;
    long fileSize = std::ftell(file.get());
    if (fileSize < 0 || std::fseek(file.get(), long(offset), SEEK_SET) != 0)
        return true;

    for (;;) {
        int16_t id;
        uint32_t length;
        if (std::fread(&id, 1, 2, file.get()) != 2)
            break;
        // A chunk cut short by the end of the file ends the walk.
        if (std::fread(&length, 1, 4, file.get()) != 4)
            break;
        int64_t remaining = int64_t(fileSize) - std::ftell(file.get());

        if (id < 2100 || id > 2104) {
            showErrorId(id);
            if (int64_t(length) > remaining)
                return true;
            std::fseek(file.get(), long(length), SEEK_CUR);
            continue;
        }

        if (id == 2103) {
            PlayerSettings& s = player.settings;
            if (hook)
                hook(user, s);
            if (!createGLWindow(player.window, s.title, s.width, s.height, 16, s.fullscreen != 0))
                return false;
        }
        std::unique_ptr<uint8_t[]> payload = readPayload(file.get(), length, remaining);
        if (!payload)
            break;
        int32_t size = int32_t(length);
        switch (id) {
        case 2100:
            readWindowSettings(player.settings, payload.get(), size);
            break;
        case 2101:
            readPlaybackSettings(player.settings, payload.get(), size);
            break;
        case 2103:
            runRenderStateScript(payload.get(), size);
            break;
        case 2102: {
            // A second resource chunk gets a loader of its own; the first one
            // stays, since its resources may use its sound library.
            if (player.resourceLoader)
                player.retiredLoaders.emplace_back(player.resourceLoader);
            player.resourceLoader = new ObjectLoader(payload.get(), size);
            LoadContext context = player.loadContext(false);
            player.resourceLoader->load(player.resources, &context);
            break;
        }
        case 2104: {
            ObjectLoader loader(payload.get(), size);
            LoadContext context = player.loadContext(true);
            loader.load(player.timeline, &context);
            break;
        }
        }
    }
    return true;
}
