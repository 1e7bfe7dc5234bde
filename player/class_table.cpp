// The one place where a chunk id meets its class.
#include "demo/class_table.h"

#include "animation/collision_world.h"
#include "animation/dynamic.h"
#include "geometry/box.h"
#include "geometry/grid.h"
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
#include "objects/piece_assembly.h"
#include "objects/scale.h"
#include "sound/music_track.h"
#include "sound/sound_library.h"
#include "texture/texture.h"

namespace {

template <typename T>
SceneObject* make(const FactoryArgs&)
{
    return new T;
}

SceneObject* makeTextureCopy(const FactoryArgs& args)
{
    return new Texture(args.source, args.extra, args.extraSize);
}

// Its meshes are entered in the target list as well.
SceneObject* makeModel(const FactoryArgs& args)
{
    return new Model(args.target);
}

// Classes that look up their sources in, and enter objects into, the target list.
template <typename T>
SceneObject* makeWithTarget(const FactoryArgs& args)
{
    return new T(args.target);
}

SceneObject* makeMusic(const FactoryArgs& args)
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

const ResourceClass kClasses[] = {
    {3, LoadPath::Generic, 0, &make<Color>},
    {25, LoadPath::Timeline, 0, nullptr},
    {109, LoadPath::WithExtra, 110, &makeModel},
    {150, LoadPath::Generic, 0, &make<Scale>},
    {160, LoadPath::Generic, 0, &make<Quad>},
    {170, LoadPath::Generic, 0, &make<Grid>},
    {200, LoadPath::WithExtra, 201, &make<Texture>},
    {202, LoadPath::TextureCopy, 201, &makeTextureCopy},
    {250, LoadPath::Generic, 0, &make<Box>},
    {275, LoadPath::Generic, 0, &make<Transform>},
    {300, LoadPath::Generic, 0, &make<Camera>},
    {325, LoadPath::Generic, 0, &makeWithTarget<Replicator>},
    {340, LoadPath::Generic, 0, &make<BlendMode>},
    {341, LoadPath::Generic, 0, &make<MotionTrail>},
    {345, LoadPath::Generic, 0, &make<PolygonMode>},
    {350, LoadPath::Generic, 0, &makeWithTarget<QuadSplitter>},
    {355, LoadPath::Generic, 0, &makeWithTarget<PieceAssembly>},
    {400, LoadPath::Generic, 0, &make<Quadric>},
    {420, LoadPath::Generic, 0, &makeWithTarget<CollisionWorld>},  // its forces and spawners go there too
    {450, LoadPath::Generic, 0, &make<Ripple>},
    {461, LoadPath::Music, 462, &makeMusic},
    {463, LoadPath::Sound, 0, nullptr},
    {1002, LoadPath::TimelineCommand, 0, &makeDynamic<ScalarDynamic>},
    {1003, LoadPath::TimelineCommand, 0, &makeDynamic<TranslationDynamic>},
    {1004, LoadPath::TimelineCommand, 0, &makeDynamic<RotationDynamic>},
    {1005, LoadPath::TimelineCommand, 0, &make<Transform>},  // transform-only copies
    {2101, LoadPath::SettingsImage, 0, nullptr},
};

}  // namespace

const ResourceClass* findClass(int16_t id)
{
    for (const ResourceClass& c : kClasses)
        if (c.id == id)
            return &c;
    return nullptr;
}

SoundLibrary* createSoundLibrary(ChunkStream& stream, uint32_t length)
{
    return new SoundLibrary(stream, length);
}

void destroySoundLibrary(SoundLibrary* library)
{
    delete library;
}
