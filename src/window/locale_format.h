#pragma once
// The user's locale settings that times and real numbers are written with.

#include "log/time_format.h"

#include <QLocale>

namespace tarnwick {

// The decimal separator and the separator that follows the hour in the
// locale's long time format; the hour itself is written without a leading
// zero whatever the locale's pattern.
TimeFormat localeTimeFormat(const QLocale& locale);

} // namespace tarnwick
