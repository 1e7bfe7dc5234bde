#include "demo/object_loader.h"

#include <cstdio>
#include <cstring>

#include "demo/class_table.h"
#include "demo/envelope.h"
#include "demo/scene_object.h"
#include "demo/timeline.h"
#include "demo/messages.h"
#include "demo/settings_record.h"

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
    destroySoundLibrary(soundLibrary_);
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
        // Classes made by timeline commands have no chunk of their own.
        if (!c || c->path == LoadPath::TimelineCommand) {
            char text[32];
            std::snprintf(text, sizeof text, "ID %i Desconeguda!!", int(id));
            showError(text);
            stream.skip(length);
            return;
        }
        switch (c->path) {
        case LoadPath::Timeline: {
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
        case LoadPath::SettingsImage:
            if (context && context->settings && int64_t(length) <= stream.remaining())
                applySettingsImage(*context->settings, stream.data() + stream.position(), length);
            stream.skip(length);
            return;
        case LoadPath::Sound:
            if (soundLibrary_ || timelinePass) {
                stream.skip(length);
                return;
            }
            soundLibrary_ = createSoundLibrary(stream, length);
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
        case LoadPath::Music:
            if (!soundLibrary_)
                return;
            object = c->create(args);
            object->loadExtra(envelope.extra, envelope.extraSize);
            object->load(envelope.body, envelope.bodySize);
            break;
        case LoadPath::TextureCopy:
            args.source = envelope.hasSource ? static_cast<SceneObject*>(target->find(envelope.sourceTag.text)) : nullptr;
            object = c->create(args);
            break;
        case LoadPath::WithExtra:
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
