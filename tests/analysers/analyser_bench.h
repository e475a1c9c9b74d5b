#pragma once
// Runs one analyser on bytes placed in the chunk buffer, as the engine would
// hand them over, and keeps its log lines.

#include "analysers/analysers.h"
#include "engine/clip_parser.h"
#include "log/log_sink.h"
#include "support/ps_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct AnalyserBench {
    // Copies the bytes to index `at` of the chunk buffer; the chunk's valid
    // data ends right after them unless `validEnd` says otherwise. Returns
    // the index.
    int place(const std::vector<uint8_t>& bytes, int at = 100, int validEnd = -1) {
        std::fill(chunk.begin(), chunk.end(), uint8_t(0));
        std::copy(bytes.begin(), bytes.end(), chunk.begin() + at);
        valid = validEnd >= 0 ? validEnd : at + int(bytes.size());
        return at;
    }
    const std::vector<std::string>& lines() const { return sink.lines; }
    void clear() { sink.lines.clear(); }

    std::vector<uint8_t> chunk = std::vector<uint8_t>(ChunkSize + ChunkSlack, 0);
    int valid = 0;
    // The frame rate a video slot takes from its description.
    std::array<double, 2> frameRate{};
    TimeFormat locale;
    RecordingSink sink;
};

// The chunk's valid bytes, the piece [position, position + count) in them.
inline AnalyserInput analyserInput(const AnalyserBench& b, int position, int count) {
    const size_t valid = size_t(std::clamp(b.valid, 0, int(b.chunk.size())));
    return {std::span<const uint8_t>(b.chunk.data(), valid), position, count, b.locale};
}

// Logs the description's lines as a scan does; a video slot takes its rate.
inline void logDescription(AnalyserBench& b, const Description& d, int videoSlot = -1) {
    for (const std::string& line : descriptionLines(d))
        b.sink.log(line);
    if (d.frameRate && videoSlot >= 0 && videoSlot < 2) b.frameRate[size_t(videoSlot)] = *d.frameRate;
}

// The lines of `all` from the first line equal to `first`, `n` lines long
// (fewer when the log ends sooner).
inline std::vector<std::string> linesFrom(const std::vector<std::string>& all,
                                          const std::string& first, size_t n) {
    auto at = std::find(all.begin(), all.end(), first);
    std::vector<std::string> out;
    for (; at != all.end() && out.size() < n; ++at)
        out.push_back(*at);
    return out;
}

} // namespace tarnwick::testing
