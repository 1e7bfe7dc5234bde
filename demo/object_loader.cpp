#include "demo/object_loader.h"

#include <cstdio>
#include <cstring>

#include "demo/envelope.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "geometry/box.h"
#include "geometry/grid.h"
#include "geometry/model.h"
#include "objects/camera.h"
#include "objects/color.h"
#include "objects/scale.h"
#include "geometry/quad.h"
#include "geometry/transform.h"
#include "demo/messages.h"
#include "demo/settings_record.h"
#include "sound/music_track.h"
#include "texture/texture.h"
#include "objects/blend_mode.h"
#include "geometry/polygon_mode.h"
#include "geometry/quadric.h"
#include "sound/sound_library.h"

namespace {

enum class Path {
    Generic,       // envelope: tag and body
    WithExtra,     // envelope with an extra block, loaded after the body
    TextureCopy,   // envelope with a source tag and an extra block
    Music,         // extra block first, then the body; needs the sound library
    Timeline,      // timeline entry (25)
    Sound,         // the sound library image (463)
    SettingsImage  // bytes copied onto the settings record (2101)
};

// What a constructor may need: the target list (for classes that look up
// other resources), the loader's sound library, and for texture copies the
// source and the extra block.
struct FactoryArgs {
    ObjectList* target;
    SoundLibrary* sound;
    SceneObject* source;
    const uint8_t* extra;
    int32_t extraSize;
};
using Factory = SceneObject* (*)(const FactoryArgs& args);

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

SceneObject* makeMusic(const FactoryArgs& args)
{
    return new MusicTrack(args.sound);
}

struct ResourceClass {
    int16_t id;
    Path path;
    int16_t extraId;
    Factory create;
};

// The one place where a chunk id meets its class.
const ResourceClass kClasses[] = {
    {3, Path::Generic, 0, &make<Color>},
    {25, Path::Timeline, 0, nullptr},
    {109, Path::WithExtra, 110, &makeModel},
    {150, Path::Generic, 0, &make<Scale>},
    {160, Path::Generic, 0, &make<Quad>},
    {170, Path::Generic, 0, &make<Grid>},
    {200, Path::WithExtra, 201, &make<Texture>},
    {202, Path::TextureCopy, 201, &makeTextureCopy},
    {250, Path::Generic, 0, &make<Box>},
    {275, Path::Generic, 0, &make<Transform>},
    {300, Path::Generic, 0, &make<Camera>},
    {340, Path::Generic, 0, &make<BlendMode>},
    {341, Path::Generic, 0, &make<MotionTrail>},
    {345, Path::Generic, 0, &make<PolygonMode>},
    {400, Path::Generic, 0, &make<Quadric>},
    {461, Path::Music, 462, &makeMusic},
    {463, Path::Sound, 0, nullptr},
    {2101, Path::SettingsImage, 0, nullptr},
};

const ResourceClass* findClass(int16_t id)
{
    for (const ResourceClass& c : kClasses)
        if (c.id == id)
            return &c;
    return nullptr;
}

}  // namespace

ObjectLoader::ObjectLoader(const void* data, int32_t size)
{
    if (size > 0 && data) {
        data_ = new uint8_t[size_t(size)];
        std::memcpy(data_, data, size_t(size));
        size_ = size;
    }
}

ObjectLoader::~ObjectLoader()
{
    delete[] data_;
    delete soundLibrary_;
}

void ObjectLoader::load(ObjectList* target, const LoadContext* context)
{
    if (!data_ || !target)
        return;
    // Resources and timeline entries go to different lists whose owners treat
    // their items as one kind; a chunk that does not belong to the pass is
    // skipped so that no list ever holds an item of the other kind.
    bool timelinePass = context && context->instances && target != context->resources;

    ChunkStream stream(data_, size_);
    forEachChunk(stream, [&](int16_t id, uint32_t length) {
        const ResourceClass* c = findClass(id);
        if (!c) {
            char text[32];
            std::snprintf(text, sizeof text, "ID %i Desconeguda!!", int(id));
            showError(text);
            stream.skip(length);
            return;
        }
        switch (c->path) {
        case Path::Timeline: {
            if (!timelinePass) {
                stream.skip(length);
                return;
            }
            if (int64_t(length) > stream.remaining()) {
                stream.skip(length);  // cut short by the end of the stream
                return;
            }
            TimelineEntry* entry = new TimelineEntry(context->resources, context->active, context->instances);
            // An empty entry is written as a single byte.
            if (length > 1)
                entry->load(stream.data() + stream.position(), int32_t(length));
            stream.skip(length);
            target->add(entry);
            return;
        }
        case Path::SettingsImage:
            if (context && context->settings && int64_t(length) <= stream.remaining())
                applySettingsImage(*context->settings, stream.data() + stream.position(), length);
            stream.skip(length);
            return;
        case Path::Sound:
            if (soundLibrary_ || timelinePass) {
                stream.skip(length);
                return;
            }
            soundLibrary_ = new SoundLibrary(stream, length);
            return;
        default:
            break;
        }

        EnvelopeContents envelope;
        readEnvelope(stream, length, c->extraId, envelope);
        if (timelinePass)
            return;
        FactoryArgs args{target, soundLibrary_, nullptr, envelope.extra, envelope.extraSize};
        SceneObject* object = nullptr;
        switch (c->path) {
        case Path::Music:
            if (!soundLibrary_)
                return;
            object = c->create(args);
            object->loadExtra(envelope.extra, envelope.extraSize);
            object->load(envelope.body, envelope.bodySize);
            break;
        case Path::TextureCopy:
            args.source = envelope.hasSource ? static_cast<SceneObject*>(target->find(envelope.sourceTag.text)) : nullptr;
            object = c->create(args);
            break;
        case Path::WithExtra:
            object = c->create(args);
            object->load(envelope.body, envelope.bodySize);
            object->loadExtra(envelope.extra, envelope.extraSize);
            break;
        default:
            object = c->create(args);
            object->load(envelope.body, envelope.bodySize);
            break;
        }
        target->append(envelope.tag.text, object);
    });
}
