#include "tools/description/description.h"

#include <cstring>
#include <map>

#include "tools/description/resources.h"

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

namespace {

// ---- The whole description

Bytes compile(const Value& root, const DescriptionOptions& options)
{
    Fields top(root, "description");
    top.allow({"window", "playback", "renderState", "totalFrames", "bpm", "resources", "timeline"});
    top.finish();

    DemoData demo;
    WindowSettings window;
    if (const Value* v = root.find("window")) {
        Fields f(*v, "window");
        window.title = f.text("title", "");
        if (window.title.size() > 255)
            fail(*v->find("title"), "window", "'title' is longer than 255 bytes");
        window.width = f.int16("width", window.width, 1);
        window.height = f.int16("height", window.height, 1);
        window.fullscreen = f.flag("fullscreen", false);
        f.finish();
    }
    demo.window = windowSettings(window);

    PlaybackSettings playback;
    if (const Value* v = root.find("playback")) {
        Fields f(*v, "playback");
        playback.frameRate = f.int16("frameRate", playback.frameRate, 0);
        playback.catchUp = f.flag("catchUp", playback.catchUp);
        playback.loop = f.flag("loop", playback.loop);
        f.finish();
    }
    demo.playback = playbackSettings(playback);

    if (const Value* v = root.find("renderState"))
        demo.renderState = renderState(*v);
    else
        demo.renderState = RenderStateWriter::standard().bytes();

    const Value* totalValue = root.find("totalFrames");
    if (!totalValue)
        fail(root, "description", "needs 'totalFrames', the number of frames the demo plays");
    // Times in seconds and beats become frames here; the tempo is the
    // author's and goes nowhere into the data.
    common::TimeScale time;
    time.frameRate = playback.hasFrameRate ? playback.frameRate : 0;
    if (const Value* v = root.find("bpm")) {
        time.bpm = number(*v, "description", "'bpm'");
        if (!(time.bpm > 0) || time.bpm > 10000)
            fail(*v, "description", "'bpm' must be a tempo above 0 and at most 10000 beats a minute");
    }
    if (options.tempo)
        *options.tempo = time.bpm;
    int32_t totalFrames =
        frames(*totalValue, "description", "'totalFrames'", common::TimeUse::span, time, 1, 32767);

    std::map<std::string, const ResourceClass*> tags;
    StreamWriter resources;
    // The loader makes music only once it holds a sound library, so the
    // library goes first in the data wherever the description lists it.
    Bytes soundLibrary;
    const Value* soundLibraryItem = nullptr;
    const Value* firstMusic = nullptr;
    std::string firstMusicPlace;
    std::vector<std::string> alsoTagged;
    const ResourceClass* alsoTaggedAs = nullptr;
    std::vector<const ResourceClass*> alsoTaggedClasses;
    const ResourceContext context{options, playback.hasFrameRate ? playback.frameRate : int16_t(0), tags,
                                  &alsoTagged, &alsoTaggedAs, &alsoTaggedClasses};
    if (const Value* list = root.find("resources")) {
        if (!list->isArray())
            fail(*list, "resources", "must be a list of resources {\"class\": ..., \"tag\": ...}");
        std::vector<std::string> classNames = resourceClassNames();
        for (size_t i = 0; i < list->items.size(); ++i) {
            const Value& item = list->items[i];
            std::string place = "resource " + std::to_string(i + 1);
            if (!item.isObject())
                fail(item, place, "must be an object {\"class\": ..., \"tag\": ...}");
            const Value* classField = item.find("class");
            if (classField && classField->isString() && classField->text == "soundLibrary") {
                place = "resource " + std::to_string(i + 1) + " (soundLibrary)";
                if (const Value* tagField = item.find("tag"))
                    fail(*tagField, place, "a sound library has no tag: the player keeps it for the music, unnamed");
                if (soundLibraryItem) {
                    fail(item, place, "a demo carries one sound library; another is listed at line " +
                                          std::to_string(soundLibraryItem->where.line));
                }
                Fields f(item, place);
                f.allow({"class"});
                if (const Value* file = f.optional("file")) {
                    soundLibrary = fileContents(*file, place, context);
                } else {
                    if (options.soundLibrary.empty())
                        fail(item, place, "needs 'file': no default sound library is known here");
                    Value path;
                    path.type = Value::Type::String;
                    path.text = options.soundLibrary;
                    path.where = item.where;
                    soundLibrary = fileContents(path, place + ", the default library", context);
                }
                f.finish();
                if (soundLibrary.empty())
                    fail(item, place, "the sound library file is empty");
                soundLibraryItem = &item;
                continue;
            }
            const Value* tagField = item.find("tag");
            if (!tagField)
                fail(item, place, "needs 'tag'");
            const Value& tagValue = *tagField;
            std::string tag = tagText(tagValue, place, "'tag'");
            place = "resource " + quoted(tag);
            Fields named(item, place);  // every error from here on names the tag
            named.allow({"tag"});
            const Value& classValue = named.required("class");
            const std::string& className = stringValue(classValue, place, "'class'");
            const ResourceClass* resourceClass = findClass(className);
            if (!resourceClass) {
                std::string known;
                for (const std::string& name : classNames)
                    known += (known.empty() ? "" : ", ") + name;
                fail(classValue, place,
                     "unknown class " + quoted(className) + suggestion(className, classNames) + "; known: " + known);
            }
            // Lookups by tag find the first resource: a second one would be dead.
            if (tags.count(tag))
                fail(tagValue, place, "a resource tagged " + quoted(tag) + " is already defined");
            if (resourceClass->chunkId == format::kMusicTrack && !firstMusic) {
                firstMusic = &item;
                firstMusicPlace = place;
            }
            Envelope envelope;
            envelope.tag = tag;
            alsoTagged.clear();
            alsoTaggedAs = nullptr;
            alsoTaggedClasses.clear();
            resourceClass->write(named, envelope, context);
            named.finish();
            tags[tag] = resourceClass;
            for (const std::string& meshTag : alsoTagged) {
                if (tags.count(meshTag))
                    fail(tagValue, place, "mesh tag " + quoted(meshTag) + " is already the tag of a resource");
                tags[meshTag] = alsoTaggedAs ? alsoTaggedAs : partClass(format::type::kTriangleMesh);
            }
            for (size_t i = 0; i < alsoTaggedClasses.size() && i < alsoTagged.size(); ++i)
                tags[alsoTagged[i]] = alsoTaggedClasses[i];
            resources.add(resource(resourceClass->chunkId, envelope));
        }
    }
    if (firstMusic && !soundLibraryItem) {
        fail(*firstMusic, firstMusicPlace,
             "music plays through the sound library: add {\"class\": \"soundLibrary\"} to the resources");
    }
    if (soundLibraryItem) {
        Bytes ordered = soundLibraryResource(soundLibrary);
        append(ordered, resources.bytes());
        demo.resources = ordered;
    } else {
        demo.resources = resources.bytes();
    }

    Value empty;
    empty.type = Value::Type::Array;
    const Value* entries = root.find("timeline");
    demo.timeline = compileTimeline(tags, totalFrames, time, entries ? *entries : empty, options.note);
    return demoData(demo);
}

}  // namespace

bool compileDescription(const std::string& text, Bytes& out, std::string* error)
{
    return compileDescription(text, DescriptionOptions{}, out, error);
}

bool compileDescription(const std::string& text, const DescriptionOptions& options, Bytes& out, std::string* error)
{
    Value root;
    if (!json::parse(text, root, error))
        return false;
    try {
        out = compile(root, options);
        if (out.size() > kLargeDemoBytes && options.note)
            options.note("warning: the demo data is " + megabytes(out.size()) + ", more than the " +
                         megabytes(kLargeDemoBytes) + " a release would want; textures carried as 24-bit BMP are "
                         "the usual cause: a texture's 'size' scales it down");
        return true;
    } catch (const Problem& problem) {
        if (error)
            *error = json::toString(problem.where) + ": " + problem.place + ": " + problem.message;
        return false;
    }
}

}  // namespace tools::description
