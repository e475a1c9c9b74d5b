#pragma once
// Runs the engine over files built in a test, clip after clip of one title,
// with the listeners of a scan (the scan report and the frame tally) or of a
// demux (its copy-control lines and the frame tally); each file is written
// to a scratch folder under the given name, whose extension picks the
// navigation-pack layout.

#include "commands/frame_summary.h"
#include "commands/read_evo.h"
#include "commands/scan_reporter.h"
#include "engine/clip_parser.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

enum class Pass { Scan, Demux };

struct EngineRun {

    // One clip; a later call reads the title's next clip, whose streams keep
    // their slots and go on being counted.
    const std::vector<std::string>& run(const Bytes& file, const std::string& name,
                                        Pass pass = Pass::Scan);
    // The same over a file already on disc.
    const std::vector<std::string>& runFile(const std::string& path, Pass pass = Pass::Scan);

    size_t count(const std::string& line) const;
    std::vector<std::string> startingWith(const std::string& head) const;
    std::vector<std::string> visibleLines() const;
    // The frames counted so far, the playing time and the rates the logged
    // descriptions gave.
    FrameSummary frames() const;

    ScanOptions options;
    // The first video time that an earlier clip's navigation pack gave, when
    // the test stands for one.
    std::optional<uint32_t> firstVideoPtm;
    ScanReport report;
    RecordingSink sink;
    ScriptedHost host;
    TimeFormat locale;
    int64_t position = 0; // where the last clip's reading stopped
    ClipEnd end = ClipEnd::Complete;

private:
    RunContext run_{sink, host, locale};
    // Made at the first clip, with the options as the test set them.
    std::optional<ScanReporter> reporter_;
    std::optional<FrameTally> tally_;
    TitleSlots slots_;
    size_t clips_ = 0;
};

// Packs holding only a padding packet, up to `size` bytes.
inline void padTo(PackWriter& w, size_t size) {
    while (w.bytes().size() + PackSize <= size)
        w.pack({});
}

} // namespace tarnwick::testing
