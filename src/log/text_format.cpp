#include "log/text_format.h"

#include <cmath>
#include <cstdio>

namespace tarnwick {

std::string hex(uint64_t value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string formatReal(double value, const TimeFormat& locale) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : value > 0 ? "INF" : "-INF";
    char text[64];
    std::snprintf(text, sizeof text, "%.15G", value);
    std::string out = text;
    // snprintf follows the C locale; the separator is the user's.
    for (char& c : out)
        if (c == '.') c = locale.decimalSeparator;
    return out;
}

std::string formatTimeOfDay(double days, TimePattern pattern, const TimeFormat& locale) {
    constexpr int64_t MillisPerDay = 86400000;
    if (!std::isfinite(days)) days = 0;
    int64_t millis = std::llround(days * static_cast<double>(MillisPerDay)) % MillisPerDay;
    if (millis < 0) millis += MillisPerDay;
    const int64_t h = millis / 3600000;
    const int64_t m = millis / 60000 % 60;
    const int64_t s = millis / 1000 % 60;
    const int64_t z = millis % 1000;
    const std::string& sep = locale.timeSeparator;
    char mm[8], ss[8], zz[8];
    std::snprintf(mm, sizeof mm, "%02d", static_cast<int>(m));
    std::snprintf(ss, sizeof ss, "%02d", static_cast<int>(s));
    std::snprintf(zz, sizeof zz, "%03d", static_cast<int>(z));
    std::string out = std::to_string(h) + sep + mm + sep + ss;
    if (pattern == TimePattern::HMSDotMillis) out += std::string(".") + zz;
    if (pattern == TimePattern::HMSColonMillis) out += sep + zz;
    return out;
}

std::string remainingTimeText(double startTime, double now, int64_t position, int64_t size,
                              const TimeFormat& locale) {
    constexpr double OneSecond = 1.0 / 86400.0; // in days
    const double elapsed = now - startTime;
    const double remaining =
        position > 0 ? elapsed * double(size) / double(position) - elapsed + OneSecond : 0;
    return formatTimeOfDay(remaining, TimePattern::HMS, locale);
}

} // namespace tarnwick
