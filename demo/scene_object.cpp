#include "demo/scene_object.h"

#include "demo/instance_list.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

SceneObject::SceneObject()
    : children(new ObjectList(true)), parameters(new ObjectList(false))
{
    children->deleter = &SceneObject::destroy;
}

SceneObject::~SceneObject()
{
    if (instanceList)
        instanceList->unregister(this);
    delete children;
    delete parameters;
}

void SceneObject::destroy(void* object)
{
    delete static_cast<SceneObject*>(object);
}

void SceneObject::describeFloats(float* first, int count)
{
    const auto at = [](const float* p) { return reinterpret_cast<uintptr_t>(p); };
    for (int i = 0; i < floatRunCount_; ++i) {
        FloatRun& run = floatRuns_[i];
        if (at(run.first + run.count) == at(first)) {
            run.count += count;
            return;
        }
        if (at(first + count) == at(run.first)) {
            run.first = first;
            run.count += count;
            return;
        }
    }
    // A field left undescribed only refuses writes that would span it.
    if (floatRunCount_ < kMaxFloatRuns)
        floatRuns_[floatRunCount_++] = {first, count};
}

int SceneObject::floatsFrom(const float* p) const
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(p);
    for (int i = 0; i < floatRunCount_; ++i) {
        const FloatRun& run = floatRuns_[i];
        const uintptr_t first = reinterpret_cast<uintptr_t>(run.first);
        const uintptr_t end = reinterpret_cast<uintptr_t>(run.first + run.count);
        if (address >= first && address < end && (address - first) % sizeof(float) == 0)
            return int((end - address) / sizeof(float));
    }
    return 0;
}

void SceneObject::load(const void*, int32_t) {}

void SceneObject::loadExtra(const void*, int32_t) {}

int SceneObject::typeId() const
{
    return 0;
}

SceneObject* SceneObject::clone()
{
    return nullptr;
}

bool readWholeFile(const char* path, uint8_t*& data, int32_t& size)
{
    data = nullptr;
    size = 0;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        end = std::ftell(file);
    if (end < 0 || end > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return false;
    }
    data = new uint8_t[size_t(end) + 1];
    size = int32_t(std::fread(data, 1, size_t(end), file));
    std::fclose(file);
    return true;
}

void SceneObject::loadFile(const char* path)
{
    uint8_t* data;
    int32_t size;
    if (!readWholeFile(path, data, size))
        return;
    load(data, size);
    delete[] data;
    std::snprintf(this->path, sizeof this->path, "%s", path);
}

void SceneObject::loadExtraFile(const char* path)
{
    uint8_t* data;
    int32_t size;
    if (!readWholeFile(path, data, size))
        return;
    loadExtra(data, size);
    delete[] data;
}

int SceneObject::step(bool stepOnly)
{
    ++stepCount;
    for (SceneObject* child = static_cast<SceneObject*>(children->first()); child;) {
        SceneObject* following = static_cast<SceneObject*>(children->next());
        bool due = (frame >= child->start && !stepOnly) || (int32_t(start) + stepCount > child->start);
        if (due && child->step(stepOnly) == 0)
            children->remove(child);
        child = following;
    }
    return advanceLifetime();
}

int SceneObject::advanceLifetime()
{
    if (length <= 0)
        return 1;
    ++frame;
    if (stepCount >= length) {
        frame = 0;
        return 0;
    }
    return 1;
}

void SceneObject::copyInto(SceneObject* destination)
{
    std::memcpy(destination->path, path, sizeof path);
    std::memcpy(destination->dataPath, dataPath, sizeof dataPath);
    destination->isCopy = 1;
    destination->transformApplied = transformApplied;
    destination->stepCount = stepCount;
    destination->start = start;
    destination->length = length;
    destination->frame = frame;
    for (SceneObject* child = static_cast<SceneObject*>(children->first()); child;
         child = static_cast<SceneObject*>(children->next())) {
        if (SceneObject* copy = child->clone())
            destination->children->append(children->currentTag(), copy);
    }
}

void SceneObject::skipFrames(int count)
{
    for (int i = 0; i < count; ++i)
        step(true);
}
