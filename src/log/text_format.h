#pragma once
// Numbers and times as the log writes them.

#include "log/time_format.h"

#include <cstdint>
#include <string>

namespace tarnwick {

// Upper-case hexadecimal, zero-padded to at least `width` digits.
std::string hex(uint64_t value, int width);
// A 90 kHz time stamp as 8 hexadecimal digits.
inline std::string hex8(uint32_t value) {
    return hex(value, 8);
}

// Shortest general form, up to 15 significant digits, the locale's decimal
// separator.
std::string formatReal(double value, const TimeFormat& locale);

// A fraction of a day as a time of day, rounded to the millisecond, the hour
// wrapping at 24: "h:mm:ss", "h:mm:ss.zzz" (point) or "h:mm:ss:zzzz" (the
// locale's separator before three-digit milliseconds).
enum class TimePattern { HMS, HMSDotMillis, HMSColonMillis };
std::string formatTimeOfDay(double days, TimePattern pattern, const TimeFormat& locale);

// The estimate of the progress line, formatted "h:mm:ss": the time left at
// the pace so far, plus a second.
std::string remainingTimeText(double startTime, double now, int64_t position, int64_t size,
                              const TimeFormat& locale);

// Whole mebibytes of a byte count.
inline int64_t mebibytes(int64_t bytes) {
    return bytes / 1048576;
}

} // namespace tarnwick
