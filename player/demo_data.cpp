#include "player/demo_data.h"

#include "demo/format.h"
#include "demo/object_loader.h"
#include "player/player.h"
#include "player/settings.h"
#include "player/window.h"

namespace {

class PlayerLoader : public ContainerVisitor {
public:
    PlayerLoader(Player& player, WindowSettingsHook hook, void* user) : player_(player), hook_(hook), user_(user) {}

    bool openWindow() override
    {
        // One player, one window: a window that is already open (a second
        // 2103 chunk, or one handed in by a fuzzer) is kept, not replaced
        // by a second one that would leak the first.
        if (player_.window.context)
            return true;
        PlayerSettings& s = player_.settings;
        if (hook_)
            hook_(user_, s);
        return createGLWindow(player_.window, s.title, s.width, s.height, 16, s.fullscreen != 0);
    }

    void chunk(int16_t id, const uint8_t* payload, int32_t size) override
    {
        switch (id) {
        case format::kWindowSettings:
            readWindowSettings(player_.settings, payload, size);
            break;
        case format::kPlaybackSettings:
            readPlaybackSettings(player_.settings, payload, size);
            break;
        case format::kRenderState:
            runRenderStateScript(payload, size);
            break;
        case format::kResources: {
            // A second resource chunk gets a loader of its own; the first one
            // stays, since its resources may use its sound library.
            if (player_.resourceLoader)
                player_.retiredLoaders.emplace_back(player_.resourceLoader);
            player_.resourceLoader = new ObjectLoader(payload, size);
            LoadContext context = player_.loadContext(false);
            player_.resourceLoader->load(player_.resources, &context);
            break;
        }
        case format::kTimeline: {
            ObjectLoader loader(payload, size);
            LoadContext context = player_.loadContext(true);
            loader.load(player_.timeline, &context);
            break;
        }
        }
    }

private:
    Player& player_;
    WindowSettingsHook hook_;
    void* user_;
};

}  // namespace

bool readContainer(Player& player, const char* path, uint32_t offset)
{
    return readContainer(player, path, offset, nullptr, nullptr);
}

bool readContainer(Player& player, const char* path, uint32_t offset, WindowSettingsHook hook, void* user)
{
    PlayerLoader loader(player, hook, user);
    return walkContainer(path, offset, loader);
}
