#include "matroska/mkv_work_files.h"

#include "engine/files.h"
#include "model/file_names.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick {

namespace {

constexpr int SpareTimestamps = 16;

// Milliseconds as a timestamp file writes them.
std::string milliseconds(TitleTime ticks) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ticks / 90.0);
    return text;
}

} // namespace

void writeTimestamps(const std::string& path, const std::vector<TitleTime>& frames, TitleTime shift,
                     double step) {
    OutputFile file(path, 1 << 16);
    auto line = [&](const std::string& text) {
        file.write(text.data(), text.size());
        file.write("\n", 1);
    };
    line("# timestamp format v2");
    for (TitleTime t : frames)
        line(milliseconds(t + shift));
    const TitleTime last = frames.empty() ? 0 : frames.back() + shift;
    for (int k = 1; k <= SpareTimestamps; ++k)
        line(milliseconds(last + k * step));
    file.close();
}

bool copyKept(const std::string& from, const std::vector<std::pair<int64_t, int64_t>>& dropped,
              const std::string& to, const std::function<bool()>& stopped) {
    SourceFile source(from);
    OutputFile out(to);
    std::vector<uint8_t> buffer(1 << 20);
    bool stop = false;
    auto copy = [&](int64_t begin, int64_t end) {
        while (begin < end && !(stop = stop || stopped())) {
            const size_t n = size_t(std::min<int64_t>(end - begin, int64_t(buffer.size())));
            const size_t got = source.readAt(buffer.data(), n, begin);
            if (got == 0) break;
            out.copyFrom(source, begin, buffer.data(), got);
            begin += int64_t(got);
        }
    };
    int64_t at = 0;
    for (const auto& [begin, end] : dropped) {
        copy(at, begin);
        at = std::max(at, end);
    }
    copy(at, source.size());
    if (stop) {
        out.discard();
        return false;
    }
    out.close();
    return true;
}

MkvJob inWorkFolder(MkvJob job) {
    job.output = fileNamePart(job.output);
    if (!job.chapterFile.empty()) job.chapterFile = fileNamePart(job.chapterFile);
    for (MkvTrack& t : job.tracks) {
        t.file = fileNamePart(t.file);
        if (!t.timestamps.empty()) t.timestamps = fileNamePart(t.timestamps);
    }
    return job;
}

} // namespace tarnwick
