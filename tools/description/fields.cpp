#include "tools/description/fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace tools::description {

[[noreturn]] void fail(const Value& at, const std::string& place, const std::string& message)
{
    throw Problem{at.where, place, message};
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "6.3 MB" (millions of bytes): sizes in the author's warnings.
std::string megabytes(size_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

// " (did you mean 'x'?)" when one of the candidates is close to `word`.
std::string suggestion(const std::string& word, const std::vector<std::string>& candidates)
{
    // Accented letters count as one letter and as their plain one, so that
    // 'Rotation 2' is near 'Rotació 2'.
    auto folded = [](const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t c = uint8_t(text[i]);
            if (c == 0xc3 && i + 1 < text.size() && uint8_t(text[i + 1]) == 0xb3) {
                out += 'o';
                ++i;
            } else {
                out += c == 0xf3 ? 'o' : char(c);
            }
        }
        return out;
    };
    std::string best;
    size_t bestDistance = 3;
    const std::string plainWord = folded(word);
    for (const std::string& candidate : candidates) {
        size_t distance = editDistance(plainWord, folded(candidate));
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best.empty() ? "" : " (did you mean '" + best + "'?)";
}

std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

// ---- Values

double number(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isNumber())
        fail(v, place, what + " must be a number, not " + json::typeName(v.type));
    return v.number;
}

float real(const Value& v, const std::string& place, const std::string& what)
{
    double value = number(v, place, what);
    if (std::fabs(value) > 3.4e38)
        fail(v, place, what + " is too large for a float");
    return float(value);
}

int32_t integer(const Value& v, const std::string& place, const std::string& what, int32_t min, int32_t max)
{
    double value = number(v, place, what);
    if (value != std::floor(value))
        fail(v, place, what + " must be a whole number");
    if (value < min || value > max) {
        fail(v, place,
             what + " must be from " + std::to_string(min) + " to " + std::to_string(max) + ", not " +
                 std::to_string(int64_t(value)));
    }
    return int32_t(value);
}

int32_t frames(const Value& v, const std::string& place, const std::string& what, common::TimeUse use,
               const common::TimeScale& scale, int32_t min, int32_t max, int32_t last)
{
    if (!v.isString())
        return integer(v, place, what, min, max);
    int64_t value = 0;
    std::string error;
    if (!common::framesOfTime(v.text, use, scale, value, &error))
        fail(v, place, what + " " + error);
    const std::string came = what + " " + quoted(v.text) + " comes to " +
                             (use == common::TimeUse::point ? "frame " : "") + std::to_string(value) +
                             (use == common::TimeUse::point ? "" : " frames");
    if (last > 0 && value > last)
        fail(v, place, came + ", past the last frame (" + std::to_string(last) + ")");
    if (value < min || value > max)
        fail(v, place, came + ", out of the range " + std::to_string(min) + " to " + std::to_string(max));
    return int32_t(value);
}

bool boolean(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isBool())
        fail(v, place, what + " must be true or false, not " + json::typeName(v.type));
    return v.boolean;
}

const std::string& stringValue(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isString())
        fail(v, place, what + " must be a string, not " + json::typeName(v.type));
    return v.text;
}

// Tags are 1 to 4 bytes: the data holds them in 4 bytes, zero-padded.
std::string tagText(const Value& v, const std::string& place, const std::string& what)
{
    const std::string& text = stringValue(v, place, what);
    if (text.empty())
        fail(v, place, what + " must not be empty");
    if (text.size() > 4)
        fail(v, place, what + " " + quoted(text) + " is longer than 4 characters");
    if (text.find('\0') != std::string::npos)
        fail(v, place, what + " must not hold a zero character");
    return text;
}

// 3 numbers (alpha 1) or 4.
std::array<float, 4> rgba(const Value& v, const std::string& place, const std::string& what)
{
    if (!v.isArray() || (v.items.size() != 3 && v.items.size() != 4))
        fail(v, place, what + " must be a list of 3 or 4 numbers (red, green, blue[, alpha])");
    std::array<float, 4> out{0, 0, 0, 1};
    for (size_t i = 0; i < v.items.size(); ++i)
        out[i] = real(v.items[i], place, what);
    return out;
}

}  // namespace tools::description
