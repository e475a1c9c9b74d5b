#pragma once
// The locale settings used for times and real numbers.

#include <string>

namespace tarnwick {

struct TimeFormat {
    std::string timeSeparator = ":";
    char decimalSeparator = '.';
};

} // namespace tarnwick
