// What the description compiler reads every value with: the value readers,
// which fail with the place and what was wanted, and the field checker.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tools/common/frame_time.h"
#include "tools/description/json.h"
#include "tools/writer/geometry_payloads.h"

namespace tools::description {

using namespace tools::writer;
using json::Value;

struct Problem {
    json::Position where;
    std::string place;
    std::string message;
};

// Ends the compilation with `message` about the value at `at`.
[[noreturn]] void fail(const Value& at, const std::string& place, const std::string& message);
size_t editDistance(const std::string& a, const std::string& b);
std::string megabytes(size_t bytes);
std::string suggestion(const std::string& word, const std::vector<std::string>& candidates);
std::string quoted(const std::string& text);

double number(const Value& v, const std::string& place, const std::string& what);
float real(const Value& v, const std::string& place, const std::string& what);
int32_t integer(const Value& v, const std::string& place, const std::string& what, int32_t min, int32_t max);
// Frames written as a number or as a time ("10s", "1:05.5", "64b"). A time
// out of range is told with the frame it comes to; `last`, when not 0, is the
// demo's last frame, named when a point in time falls past it.
int32_t frames(const Value& v, const std::string& place, const std::string& what, common::TimeUse use,
               const common::TimeScale& scale, int32_t min, int32_t max, int32_t last = 0);
bool boolean(const Value& v, const std::string& place, const std::string& what);
const std::string& stringValue(const Value& v, const std::string& place, const std::string& what);
std::string tagText(const Value& v, const std::string& place, const std::string& what);
std::array<float, 4> rgba(const Value& v, const std::string& place, const std::string& what);

template <size_t N>
std::array<float, N> floats(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isArray() || v.items.size() != N)
        fail(v, place, what + " must be a list of " + std::to_string(N) + " numbers");
    std::array<float, N> out{};
    for (size_t i = 0; i < N; ++i)
        out[i] = real(v.items[i], place, what);
    return out;
}

// The members of one JSON object, read by name. Every name asked for is
// known; a member nobody asked for is an error, so typos do not pass.
class Fields {
public:
    Fields(const Value& object, std::string place) : object_(object), place_(std::move(place))
    {
        if (!object.isObject())
            fail(object, place_, "must be an object, not " + std::string(json::typeName(object.type)));
    }

    const std::string& place() const { return place_; }
    const Value& object() const { return object_; }
    // Once the object's own name (a tag, a frame) is known, errors use it.
    void rename(std::string place) { place_ = std::move(place); }

    const Value* optional(const std::string& key)
    {
        known_.push_back(key);
        return object_.find(key);
    }
    const Value& required(const std::string& key)
    {
        const Value* v = optional(key);
        if (!v)
            fail(object_, place_, "needs " + quoted(key));
        return *v;
    }
    // Names handled elsewhere.
    void allow(std::initializer_list<const char*> keys) { known_.insert(known_.end(), keys.begin(), keys.end()); }

    float real(const std::string& key, float fallback)
    {
        const Value* v = optional(key);
        return v ? description::real(*v, place_, quoted(key)) : fallback;
    }
    int16_t int16(const std::string& key, int16_t fallback, int32_t min = -32768, int32_t max = 32767)
    {
        const Value* v = optional(key);
        return v ? int16_t(integer(*v, place_, quoted(key), min, max)) : fallback;
    }
    int16_t frames(const std::string& key, int16_t fallback, common::TimeUse use, const common::TimeScale& scale,
                   int32_t min = -32768, int32_t max = 32767)
    {
        const Value* v = optional(key);
        return v ? int16_t(description::frames(*v, place_, quoted(key), use, scale, min, max)) : fallback;
    }
    bool flag(const std::string& key, bool fallback)
    {
        const Value* v = optional(key);
        return v ? boolean(*v, place_, quoted(key)) : fallback;
    }
    std::string text(const std::string& key, const std::string& fallback)
    {
        const Value* v = optional(key);
        return v ? stringValue(*v, place_, quoted(key)) : fallback;
    }
    std::string tag(const std::string& key, const std::string& fallback)
    {
        const Value* v = optional(key);
        return v ? tagText(*v, place_, quoted(key)) : fallback;
    }
    Vec3 vec3(const std::string& key, const Vec3& fallback)
    {
        const Value* v = optional(key);
        return v ? floats<3>(*v, place_, quoted(key)) : fallback;
    }
    std::array<float, 4> color(const std::string& key, const std::array<float, 4>& fallback)
    {
        const Value* v = optional(key);
        return v ? rgba(*v, place_, quoted(key)) : fallback;
    }

    void finish() const
    {
        for (size_t i = 0; i < object_.members.size(); ++i) {
            const std::string& key = object_.members[i].first;
            if (std::find(known_.begin(), known_.end(), key) != known_.end())
                continue;
            throw Problem{object_.keyPositions[i], place_, "unknown field " + quoted(key) + suggestion(key, known_)};
        }
    }

private:
    const Value& object_;
    std::string place_;
    std::vector<std::string> known_;
};

}  // namespace tools::description
