#pragma once
// Runs one analyser on bytes placed in the chunk buffer, as the engine would
// hand them over, and keeps its log lines.

#include "engine/analysis.h"
#include "engine/stream_table.h"
#include "log/log_sink.h"
#include "support/ps_writer.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct AnalyserBench {
    AnalyserBench() { table.FrameRate = {0, 0}; }

    // Copies the bytes to index `at` of the chunk buffer; the chunk's valid
    // data ends right after them unless `validEnd` says otherwise. Returns
    // the index.
    int place(const std::vector<uint8_t>& bytes, int at = 100, int validEnd = -1) {
        std::fill(table.ChunkBuffer.begin(), table.ChunkBuffer.end(), uint8_t(0));
        std::copy(bytes.begin(), bytes.end(), table.ChunkBuffer.begin() + at);
        table.ChunkLength = validEnd >= 0 ? validEnd : at + int(bytes.size());
        return at;
    }
    const std::vector<std::string>& lines() const { return sink.lines; }
    void clear() { sink.lines.clear(); }

    StreamTable table;
    RecordingSink sink;
    Analysis analysis{table, sink};
};

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
