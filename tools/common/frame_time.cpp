#include "tools/common/frame_time.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace tools::common {

namespace {

// A decimal number "12" or "12.25" as mantissa / 10^decimals, exactly, so
// that halves of a frame are seen as halves. Bounded to nine digits before the point and six
// after it, which keeps minutes x 60 x 10^6 within 64 bits.
bool decimal(const std::string& text, int64_t& mantissa, int64_t& scale)
{
    size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (whole.empty() || whole.size() > 9 || fraction.size() > 6 || (point != std::string::npos && fraction.empty()))
        return false;
    mantissa = 0;
    scale = 1;
    for (char c : whole + fraction) {
        if (c < '0' || c > '9')
            return false;
        mantissa = mantissa * 10 + (c - '0');
    }
    for (size_t i = 0; i < fraction.size(); ++i)
        scale *= 10;
    return true;
}

bool fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

}  // namespace

bool isTimeText(const std::string& text)
{
    return !text.empty() && (text.back() == 's' || text.back() == 'b' || text.find(':') != std::string::npos);
}

bool framesOfTime(const std::string& text, TimeUse use, const TimeScale& scale, int64_t& frames, std::string* error)
{
    const std::string shown = "'" + text + "'";
    if (!isTimeText(text)) {
        char* end = nullptr;
        long long n = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != 0 || text.find_first_of(" \t") != std::string::npos || n < INT32_MIN ||
            n > INT32_MAX)
            return fail(error, shown + " is not a time: give frames (120), seconds (10s, 1:05.5) or beats (64b)");
        frames = n;
        return true;
    }
    const bool beats = text.back() == 'b';
    const size_t colon = text.find(':');
    int64_t mantissa = 0, denominator = 1;
    if (colon != std::string::npos) {
        // minutes:seconds, seconds below 60
        int64_t minutes = 0, minuteScale = 1, seconds = 0;
        const std::string secondsText = text.substr(colon + 1);
        if (!decimal(text.substr(0, colon), minutes, minuteScale) || minuteScale != 1 ||
            !decimal(secondsText, seconds, denominator) || seconds >= 60 * denominator)
            return fail(error, shown + " is not minutes:seconds such as 1:05.5 (seconds below 60)");
        mantissa = minutes * 60 * denominator + seconds;
    } else if (!decimal(text.substr(0, text.size() - 1), mantissa, denominator)) {
        return fail(error, shown + " is not a time: give frames (120), seconds (10s, 1:05.5) or beats (64b)");
    }
    if (scale.frameRate <= 0)
        return fail(error, shown + ": the demo has no frame rate (0 plays unpaced), so a time has no frame; give "
                                   "a frame number");
    // t x rate, rounded half away from zero: exactly for seconds (a whole
    // fraction), through doubles for beats, whose quotients are exact for a
    // whole tempo whenever they are halves.
    if (beats) {
        if (!(scale.bpm > 0))
            return fail(error, shown + ": beats need a tempo, a top-level \"bpm\" in the description");
        const double exact = double(mantissa) * 60.0 * scale.frameRate / (double(denominator) * scale.bpm);
        if (exact > 4e9)
            return fail(error, shown + " is too far off");
        frames = int64_t(std::llround(exact));
    } else {
        const __int128 numerator = __int128(mantissa) * scale.frameRate;
        const __int128 rounded = (2 * numerator + denominator) / (2 * __int128(denominator));
        if (rounded > INT32_MAX)
            return fail(error, shown + " is too far off");
        frames = int64_t(rounded);
    }
    if (use == TimeUse::point)
        frames += 1;
    if (frames > INT32_MAX)
        return fail(error, shown + " is too far off");
    return true;
}

}  // namespace tools::common
