#include "locale_format.h"

namespace tarnwick {

TimeFormat localeTimeFormat(const QLocale& locale) {
    TimeFormat format;
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 128)
        format.decimalSeparator = static_cast<char>(point.front().unicode());
    const QString pattern = locale.timeFormat(QLocale::LongFormat);
    auto isHour = [&](qsizetype k) { return pattern[k] == u'h' || pattern[k] == u'H'; };
    qsizetype at = 0;
    while (at < pattern.size() && !isHour(at))
        ++at;
    while (at < pattern.size() && isHour(at))
        ++at;
    if (at > 0 && at < pattern.size() && !pattern[at].isLetter() && pattern[at] != u'\'' &&
        !pattern[at].isSpace())
        format.timeSeparator = pattern.mid(at, 1).toStdString();
    return format;
}

} // namespace tarnwick
