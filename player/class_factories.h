// How the class table makes objects: the factories that the registry's rows
// name (demo/class_registry.h), with every class header they need.
#pragma once

#include "animation/collision_world.h"
#include "animation/dynamic.h"
#include "demo/class_table.h"
#include "geometry/box.h"
#include "geometry/grid.h"
#include "geometry/mesh.h"
#include "geometry/mesh_deformer.h"
#include "geometry/model.h"
#include "geometry/polygon_mode.h"
#include "geometry/quad.h"
#include "geometry/quad_splitter.h"
#include "geometry/quadric.h"
#include "geometry/replicator.h"
#include "geometry/transform.h"
#include "objects/blend_mode.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/force.h"
#include "objects/piece_assembly.h"
#include "objects/scale.h"
#include "sound/music_track.h"
#include "texture/texture.h"

namespace factories {

template <typename T>
SceneObject* make(const FactoryArgs&)
{
    return new T;
}

inline SceneObject* makeTextureCopy(const FactoryArgs& args)
{
    return new Texture(args.source, args.extra, args.extraSize);
}

// Classes that look up their sources in, and enter objects into, the target
// list (a model its meshes).
template <typename T>
SceneObject* makeWithTarget(const FactoryArgs& args)
{
    return new T(args.target);
}

inline SceneObject* makeMusic(const FactoryArgs& args)
{
    return new MusicTrack(args.sound);
}

// A dynamic animates the object it is placed under.
template <typename T>
SceneObject* makeDynamic(const FactoryArgs& args)
{
    T* dynamic = new T;
    dynamic->target = args.source;
    return dynamic;
}

}  // namespace factories
