#include "playlist/chapter_lines.h"

#include "playlist/attributes.h"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr int FramesPerSecond = 60;

int frameField(std::string_view begin) {
    if (begin.size() <= 9) return 0;
    const std::string_view field = begin.substr(9, 2);
    for (char c : field)
        if (c < '0' || c > '9') return 0;
    return decimalValue(field);
}

} // namespace

std::string chapterTime(std::string_view begin) {
    const int milliseconds = frameField(begin) * 1000 / FramesPerSecond;
    return std::string(begin.substr(0, 8)) + "." + ZeroPad(milliseconds, 3);
}

std::string chapterNumber(int counter) {
    return (counter < 10 ? "0" : "") + std::to_string(counter);
}

void addChapterLines(std::vector<std::string>& memo, int counter, std::string_view begin,
                     std::string_view name) {
    const std::string n = chapterNumber(counter);
    memo.push_back("CHAPTER" + n + "=" + chapterTime(begin));
    memo.push_back("CHAPTER" + n + "NAME=" + std::string(name));
}

std::string chapterTimeOfTicks(int64_t ticks) {
    const int64_t ms = std::max<int64_t>(ticks, 0) / 90;
    const int64_t seconds = ms / 1000;
    return ZeroPad(seconds / 3600, 2) + ":" + ZeroPad(seconds / 60 % 60, 2) + ":" +
           ZeroPad(seconds % 60, 2) + "." + ZeroPad(ms % 1000, 3);
}

} // namespace tarnwick
