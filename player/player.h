// The player's whole state: one object that the entry point owns and the
// loaders receive, so that a test or a tool can make a fresh player.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "demo/instance_list.h"
#include "demo/object_list.h"
#include "player/settings.h"
#include "player/window.h"

class ObjectLoader;
class TimelineEntry;
struct LoadContext;

struct Player {
    Player();
    ~Player();

    PlayerSettings settings;
    // Created in this order: resources, active, instances, timeline.
    ObjectList* resources;
    ObjectList* active;
    InstanceList* instances;  // borrowing: instances found by their tags
    ObjectList* timeline;
    ObjectLoader* resourceLoader = nullptr;
    std::vector<std::unique_ptr<ObjectLoader>> retiredLoaders;
    TimelineEntry* cursor = nullptr;
    WindowState window;

    LoadContext loadContext(bool withInstances);
    // Releases the context, the window and the long-lived objects. Safe to
    // call more than once.
    void shutdown();
    // Everything but the window and the settings: scene, timeline and loaders
    // go, and empty lists come back as a new player has them. For tools that
    // load demo data again into the window they have.
    void clearScene();

    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

private:
    void createLists();
    void destroyLists();
    void destroyLoaders();
};
