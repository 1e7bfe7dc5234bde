#include "player/player.h"

#include "demo/object_loader.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"

Player::Player()
{
    clearSettings(settings);
    createLists();
}

void Player::createLists()
{
    resources = new ObjectList(true);
    resources->deleter = &SceneObject::destroy;
    active = new ObjectList(true);
    active->deleter = &SceneObject::destroy;
    instances = new InstanceList;
    timeline = new ObjectList(true);
    timeline->deleter = &TimelineEntry::destroy;
}

Player::~Player()
{
    shutdown();
}

LoadContext Player::loadContext(bool withInstances)
{
    LoadContext context;
    context.active = active;
    context.resources = resources;
    context.instances = withInstances ? instances : nullptr;
    context.settings = &settings;
    return context;
}

void Player::shutdown()
{
    // The objects go while the rendering context is still current: textures
    // and quadrics release GL names in their destructors. Everything goes
    // before the loader that owns the sound library.
    destroyLists();
    releaseGLContext(window);
    if (window.window || window.classRegistered)
        killGLWindow(window);
    destroyLoaders();
}

void Player::clearScene()
{
    destroyLists();
    destroyLoaders();
    createLists();
}

void Player::destroyLists()
{
    // Scene instances go before the resources whose buffers they share.
    delete instances;
    instances = nullptr;
    delete active;
    active = nullptr;
    delete resources;
    resources = nullptr;
    delete timeline;
    timeline = nullptr;
    cursor = nullptr;
}

void Player::destroyLoaders()
{
    delete resourceLoader;
    resourceLoader = nullptr;
    retiredLoaders.clear();
}
