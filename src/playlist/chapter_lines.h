#pragma once
// The two lines a chapter gives in the chapter file:
// "CHAPTER01=00:05:24.950" and "CHAPTER01NAME=Chapter 2".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A playlist time HH:MM:SS:FF, whose frame field counts sixtieths of a
// second, as HH:MM:SS.mmm (milliseconds truncated). A frame field that is not
// a number counts as 0.
std::string chapterTime(std::string_view titleTimeBegin);

// The chapter counter with a "0" in front while it has one digit.
std::string chapterNumber(int counter);

void addChapterLines(std::vector<std::string>& memo, int counter, std::string_view titleTimeBegin,
                     std::string_view name);

// A title time in 90 kHz ticks as HH:MM:SS.mmm (milliseconds truncated).
std::string chapterTimeOfTicks(int64_t ticks);

} // namespace tarnwick
