#include "support/engine_run.h"

#include "log/log_line.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick::testing {


const std::vector<std::string>& EngineRun::run(const Bytes& file, const std::string& name,
                                               Pass pass) {
    const std::string folder = scratchFolder(
        std::string("engine-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string path = folder + name;
    writeFile(path, file);
    return runFile(path, pass);
}

const std::vector<std::string>& EngineRun::runFile(const std::string& path, Pass pass) {
    if (!reporter_) {
        reporter_.emplace(report, run_, options.logDetails);
        tally_.emplace(options.countFrames);
        if (firstVideoPtm) {
            // As an earlier clip's navigation pack would have told the
            // report; its lines are not this run's.
            DsiReport earlier;
            earlier.firstVideoPtm = *firstVideoPtm;
            const size_t lines = sink.lines.size();
            reporter_->dataSearchInfo(earlier);
            sink.lines.resize(lines);
        }
    }
    SourceFile source(path);
    ClipReport clip;
    clip.path = path;
    clip.size = source.size();
    report.clips.push_back(clip);
    reporter_->startClip(clips_);
    CopyControlLog copyControl(sink);
    ParseListeners scan{&*reporter_, &*tally_};
    ParseListeners demux{&copyControl, &*tally_};
    ClipRead read = pass == Pass::Scan ? ScanReading : DemuxReading;
    read.fastCheckBytes = pass == Pass::Scan ? options.fastCheckBytes : std::nullopt;
    host.run.cancelRequested = false;
    end = parseClip(source, slots_, pass == Pass::Scan ? static_cast<ParseListener&>(scan) : demux,
                    run_, read);
    position = source.position();
    if (pass == Pass::Scan) reporter_->endClip(end);
    ++clips_;
    return sink.lines;
}

size_t EngineRun::count(const std::string& line) const {
    return size_t(std::count(sink.lines.begin(), sink.lines.end(), line));
}

std::vector<std::string> EngineRun::startingWith(const std::string& head) const {
    std::vector<std::string> out;
    for (const std::string& l : sink.lines)
        if (l.rfind(head, 0) == 0) out.push_back(l);
    return out;
}

std::vector<std::string> EngineRun::visibleLines() const {
    std::vector<std::string> out;
    for (const auto& line : sink.lines)
        out.push_back(visibleText(line));
    return out;
}

FrameSummary EngineRun::frames() const {
    if (!tally_) return {};
    return tally_->summary(report.frameRates, end == ClipEnd::Cancelled);
}

} // namespace tarnwick::testing
