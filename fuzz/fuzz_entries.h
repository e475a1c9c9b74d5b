#pragma once
// What each fuzz target does with one input. The libFuzzer targets in this
// folder and the regression test that replays the checked-in corpora call
// the same functions, so a finding replays under any compiler.
//
// Each entry returns an empty text when the run held together, else what
// went wrong (a broken invariant or an exception that should not escape).

#include "memory_file.h"

#include "analysers/analysers.h"
#include "commands/demux_command.h"
#include "commands/frame_summary.h"
#include "commands/read_evo.h"
#include "commands/report_json.h"
#include "commands/title_files.h"
#include "engine/clip_parser.h"
#include "log/log_line.h"
#include "log/log_sink.h"
#include "model/file_names.h"
#include "model/run_host.h"
#include "model/utf8_text.h"
#include "playlist/chapter_lines.h"
#include "playlist/chapter_writer.h"
#include "playlist/disc_titles.h"
#include "playlist/read_xpl.h"
#include "playlist/title_choice.h"
#include "playlist/title_list.h"
#include "rebuild/rebuild.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tarnwick::fuzz {

// A run host that never waits, with a fixed clock.
class QuietHost : public RunHost {
public:
    double now() override { return 46000.5; }
};

struct Context {
    RunContext run() { return {sink, host, {}}; }
    RecordingSink sink;
    QuietHost host;
};

// A folder on tmpfs for the files a command writes, one per process.
inline std::string scratchFolder() {
    const std::string folder = "/dev/shm/tarnwick-fuzz-" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(folder);
    return folder;
}

inline MemoryFile& sourceFile() {
    static MemoryFile file;
    return file;
}

// The first byte of an engine or Rebuild input chooses how the rest is read.
struct SourceFlags {
    explicit SourceFlags(uint8_t b) : bits(b) {}
    // DSI layout and MLP reporting follow the extension of the source field.
    std::string extension() const {
        static const char* const names[] = {".EVO", ".VOB", ".AOB", ".EVO"};
        return names[bits & 3];
    }
    bool details() const { return bits & 0x04; }
    bool countFrames() const { return bits & 0x08; }
    // The data lies across the boundary of the first and second chunk.
    bool straddle() const { return bits & 0x10; }
    bool fastCheck() const { return bits & 0x20; }
    bool tickAll() const { return bits & 0x40; }
    bool advanced() const { return bits & 0x80; }
    uint8_t bits;
};

// Writes the input behind its flag byte into the memory file; returns the flags.
inline SourceFlags placeSource(const uint8_t* data, size_t size) {
    const SourceFlags flags(size > 0 ? data[0] : 0);
    const uint8_t* body = size > 0 ? data + 1 : data;
    const size_t length = size > 0 ? size - 1 : 0;
    const int64_t at = flags.straddle() ? ChunkSize - int64_t(length / 2) : 0;
    sourceFile().assign(body, length, std::max<int64_t>(at, 0));
    return flags;
}

// Video identifiers sit in the slot their value selects. A sub-stream whose
// own slot is taken moves to a free one, so audio and subpicture identifiers
// need only be of their kind, each in one slot.
inline bool videoIdFits(int32_t id, int slot) {
    const bool mpeg = id >= 0xE0 && id <= 0xE3 && (id & 1) == slot;
    const bool vc1 = (id == 0x55 || id == 0x56) && id - 0x55 == slot;
    return slot < 2 && (mpeg || vc1);
}
inline bool audioIdFits(int32_t id, int) {
    return (id >= 0x80 && id <= 0x8F) || (id >= 0xA0 && id <= 0xA7) || (id >= 0xB0 && id <= 0xB7) ||
           (id >= 0xC0 && id <= 0xCF);
}
inline bool subIdFits(int32_t id, int) {
    return (id & 0xE0) == 0x20 || (id & 0xE0) == 0x60;
}

// Every stream the scan found sits in a slot its identifier fits, once; the
// frame summary's numbers are in range.
inline std::string checkScan(const ScanReport& scan, const FrameSummary& frames) {
    auto check = [](const auto& streams, auto fits, const char* kind) -> std::string {
        for (int k = 0; k < int(streams.size()); ++k) {
            const int32_t id = streams[size_t(k)].id;
            if (id == -1) continue;
            const auto same = std::count_if(streams.begin(), streams.end(),
                                            [&](const StreamReport& s) { return s.id == id; });
            if (!fits(id, k) || same != 1)
                return std::string(kind) + " identifier " + std::to_string(id) + " in slot " +
                       std::to_string(k);
        }
        return {};
    };
    std::string problem = check(scan.video, videoIdFits, "video");
    if (problem.empty()) problem = check(scan.audio, audioIdFits, "audio");
    if (problem.empty()) problem = check(scan.subpicture, subIdFits, "subpicture");
    for (int v = 0; v < 2 && problem.empty(); ++v)
        if (frames.counted[size_t(v)] < 0 || !std::isfinite(frames.rate[size_t(v)]) ||
            frames.rate[size_t(v)] < 0)
            problem = "frame count or rate out of range in video stream " + std::to_string(v);
    return problem;
}

inline ScanOptions scanOptions(const SourceFlags& flags) {
    ScanOptions o;
    o.logDetails = flags.details();
    o.countFrames = flags.countFrames();
    if (flags.fastCheck())
        o.fastCheckBytes = 0;
    else
        o.fastCheckBytes.reset();
    return o;
}

// The memory file as a one-clip title whose name gives the DSI layout and MLP
// reporting of the flags.
inline Title fuzzTitle(const SourceFlags& flags) {
    const std::string folder = scratchFolder();
    const std::string named = folder + "FUZZ" + flags.extension();
    std::error_code error;
    std::filesystem::remove(named, error);
    std::filesystem::create_symlink(sourceFile().path(), named, error);
    Title title = titleOfSource(error ? sourceFile().path() : named, false);
    return title;
}

// The engine in scan mode over arbitrary bytes.
inline std::string engineScan(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    RunContext run = c.run();
    const ScanResult result = readEvo({fuzzTitle(flags), scanOptions(flags)}, run);
    if (!result.ok()) return "scan failed: " + result.errors.front();
    if (c.host.run.cancellable) return "Cancel left enabled after the scan";
    return checkScan(result.title.scan, result.frames);
}

// A scan (for the streams and the subpicture time origin) and a demux into
// one output per selected stream.
inline std::string engineDemux(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    RunContext run = c.run();
    const ScanResult scan = readEvo({fuzzTitle(flags), scanOptions(flags)}, run);
    if (!scan.ok()) return "scan failed: " + scan.errors.front();
    SelectionSet selection;
    std::vector<DemuxStream> streams;
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio, StreamKind::Subpicture})
        for (int k = 0; k < slotCount(kind); ++k) {
            const bool found = scan.title.scan.stream(kind, k).found();
            if (!found && !(flags.tickAll() && (kind != StreamKind::Video || k < 2))) continue;
            selection.select(kind, k);
            streams.push_back({kind, k, slotName(kind, k)});
        }
    DemuxRequest request{scan.title, streams, selection, {}, flags.countFrames(), {}, nullptr};
    request.output.folder = scratchFolder();
    const DemuxResult result = demuxTitle(request, run);
    for (const DemuxedFile& file : result.files) {
        std::error_code error;
        std::filesystem::remove(file.path, error);
    }
    if (!result.ok()) return "demux failed: " + result.errors.front();
    if (c.host.run.cancellable || c.host.run.writingOutput)
        return "Cancel left enabled after the demux";
    return checkScan(scan.title.scan, result.frames);
}

// Read EVO, some streams left out by the flags, then Rebuild: the output
// holds only whole packs of the source, never more bytes than it.
inline std::string rebuild(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    RunContext run = c.run();
    ScanOptions options = scanOptions(flags);
    options.fastCheckBytes.reset();
    Title title = titleOfSource(sourceFile().path(), false);
    const ScanResult scan = readEvo({title, options}, run);
    if (!scan.ok()) return "Read EVO failed: " + scan.errors.front();
    const int pattern = flags.bits >> 2 & 3; // 0: all kept, 1: odd, 2: even, 3: all dropped
    SelectionSet selection;
    for (const StreamKind kind : {StreamKind::Video, StreamKind::Audio, StreamKind::Subpicture})
        for (int k = 0; k < slotCount(kind); ++k) {
            const bool dropped =
                pattern == 3 || (pattern == 1 && k % 2 == 1) || (pattern == 2 && k % 2 == 0);
            if (scan.title.scan.stream(kind, k).found() && !dropped) selection.select(kind, k);
        }
    const RebuildResult result =
        rebuildTitle({scan.title, selection, flags.advanced(), scratchFolder(), {}}, run);
    if (!result.ok()) return "Rebuild failed: " + result.errors.front();
    std::error_code error;
    const auto written = std::filesystem::file_size(result.path, error);
    std::filesystem::remove(result.path, error);
    if (c.host.run.writingOutput || c.host.run.cancellable) return "run state not restored";
    const size_t source = size > 0 ? size - 1 : 0;
    if (written > source) return "the rebuilt EVO is larger than its source";
    return {};
}

// Read XPL on arbitrary text as the playlist of FEATURE_1.EVO, then Write
// chapters when it found any.
inline std::string playlist(const uint8_t* data, size_t size) {
    sourceFile().assign(data, size);
    Context c;
    RunContext run = c.run();
    PlaylistRequest request;
    request.path = sourceFile().path();
    request.source = "/DISC/HVDVD_TS/FEATURE_1.EVO";
    const PlaylistResult result = readPlaylist(request, run);
    if (!result.ok()) return "Read XPL failed: " + result.errors.front();
    for (const PlaylistStreamName& s : result.streams)
        if (s.slot < 0 || s.slot >= (s.kind == StreamKind::Video ? 16 : slotCount(s.kind)))
            return "a playlist stream outside the slots";
    if (!result.titleShown && !result.streams.empty()) return "streams without a title shown";
    if (result.chapterLines.empty()) return {};
    ChaptersRequest chapters;
    chapters.lines = result.chapterLines;
    chapters.path = chapterFilePath(scratchFolder(), "FEATURE_1");
    chapters.playlist = request.path;
    const ChaptersResult written = writeChapters(chapters, run);
    if (!written.ok()) return "Write chapters failed: " + written.errors.front();
    size_t expected = 0;
    for (const std::string& line : result.chapterLines)
        expected += line.size() + 2;
    std::error_code error;
    const auto bytes = std::filesystem::file_size(chapters.path, error);
    std::filesystem::remove(chapters.path, error);
    if (bytes != expected) return "the chapter file does not hold the chapter lines";
    return {};
}

// The JSON report of a scan whose source path is the input's first line and
// whose streams the rest names, read as a playlist: whatever bytes the names
// and the path hold, the report is one valid JSON document (invalid UTF-8
// replaced), never an exception.
inline std::string reportJsonOf(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t line = std::min(input.find('\n'), input.size());
    const std::string path(input.substr(0, line));
    const std::string_view rest = input.substr(std::min(line + 1, input.size()));
    sourceFile().assign(reinterpret_cast<const uint8_t*>(rest.data()), rest.size());
    Context c;
    RunContext run = c.run();
    PlaylistRequest request;
    request.path = sourceFile().path();
    request.source = path;
    const PlaylistResult result = readPlaylist(request, run);
    if (!result.ok()) return "Read XPL failed: " + result.errors.front();
    ScanReport report;
    report.clips.push_back({path, int64_t(size), std::nullopt, std::nullopt, true});
    for (const PlaylistStreamName& s : result.streams) {
        if (s.kind == StreamKind::Video && s.slot >= VideoSlots) continue;
        StreamReport& stream = report.stream(s.kind, s.slot);
        stream.id = s.kind == StreamKind::Video   ? 0xE0 + (s.slot & 1)
                    : s.kind == StreamKind::Audio ? 0x80 + s.slot
                                                  : 0x20 + s.slot;
        stream.caption = s.label;
        stream.details.push_back({s.description, s.language, s.label});
        stream.firstPts = {std::nullopt};
        stream.firstPesPts = {std::nullopt};
        stream.lastPesPts = {std::nullopt};
    }
    std::string document;
    try {
        // The tool's name and version are text of any bytes too.
        document = reportJson({report, path, std::string(rest.substr(0, 16)), &result.streams});
    } catch (const std::exception& e) {
        return std::string("the report raised: ") + e.what();
    }
    const nlohmann::json parsed = nlohmann::json::parse(document, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return "the report is no JSON object";
    if (parsed["sources"].size() != 1) return "the report lost its source";
    return {};
}

// The titles of a playlist with their chapters, as `titles` lists them and
// as the Matroska step takes a title: bounded, every chapter kept has a time,
// and no text of the playlist can break a line of the listing or of the
// chapter file.
inline std::string titleList(const uint8_t* data, size_t size) {
    sourceFile().assign(data, size);
    const PlaylistTitles read = readTitleList(sourceFile().path(), {});
    size_t kept = 0;
    const auto breaks = [](const std::string& text) {
        return std::any_of(text.begin(), text.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    };
    for (const PlaylistTitle& t : read.titles) {
        if (t.chapterList.size() > MaxChaptersPerTitle) return "more chapters kept than the cap";
        if (int64_t(t.chapterList.size()) > int64_t(t.chapters)) return "chapters miscounted";
        kept += t.name.size() + t.duration.size();
        for (const PlaylistChapter& ch : t.chapterList)
            kept += ch.name.size() + ch.titleTimeBegin.size();
        for (const std::string& clip : t.clips)
            kept += clip.size();
        const DiscTitle disc = discTitle(t, scratchFolder(), sourceFile().path());
        if (disc.title.chapters.size() > t.chapterList.size()) return "chapters made up";
        for (const Chapter& ch : disc.title.chapters) {
            if (ch.begin < 0) return "a chapter before the title";
            const std::string line = "CHAPTER" + chapterNumber(1) + "NAME=" + validUtf8(ch.name);
            if (breaks(line) || breaks(chapterTimeOfTicks(ch.begin)))
                return "a chapter line that breaks";
            if (validUtf8(validUtf8(ch.name)) != validUtf8(ch.name)) return "UTF-8 not settled";
        }
        const std::string summary = titleSummary(t);
        if (std::count(summary.begin(), summary.end(), '\t') != 5)
            return "a title summary of other fields";
    }
    if (kept > MaxTitleListBytes) return "the titles keep more than their bound";
    for (const std::string& line : titleListing(read))
        if (breaks(line)) return "a listing line that breaks";
    return {};
}

// The log markup: runs stay inside the visible text, in order, without overlap.
inline std::string markup(const uint8_t* data, size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    const LogLine line = parseMarkup(message);
    if (line.visible != visibleText(message)) return "visible text differs from visibleText";
    size_t end = 0;
    for (const TextRun& run : line.runs) {
        if (run.start < end || run.length == 0 || run.start + run.length > line.visible.size())
            return "a run overlaps, is empty or leaves the visible text";
        end = run.start + run.length;
    }
    return {};
}

enum class Analyser { AC3, DTS, MLP, LPCM, MPEG2, H264, VC1 };

// One analyser over the input, once at the start of the chunk buffer and once
// ending at the end of a full chunk; for LPCM the first seven bytes are the
// sub-stream header in front of the payload.
inline std::string analyse(Analyser kind, const uint8_t* data, size_t size) {
    const size_t length = std::min<size_t>(size, ChunkSize);
    const int header = kind == Analyser::LPCM ? int(std::min<size_t>(length, 7)) : 0;
    // One buffer for the process: a fresh one per run costs more than the
    // analyser itself.
    static std::vector<uint8_t> buffer(ChunkSize + ChunkSlack);
    for (const bool atEnd : {false, true}) {
        std::fill(buffer.begin(), buffer.end(), uint8_t(0));
        RecordingSink sink;
        const int start = atEnd ? ChunkSize - int(length) : 0;
        if (length > 0) std::memcpy(buffer.data() + start, data, length);
        const size_t valid = atEnd ? size_t(ChunkSize) : length;
        const AnalyserInput in{std::span<const uint8_t>(buffer.data(), valid),
                               start + header,
                               int(length) - header,
                               {}};
        const int slot = int(size % 16);
        Description d;
        switch (kind) {
        case Analyser::AC3: d = describeAC3(in, slot); break;
        case Analyser::DTS: d = describeDTS(in); break;
        case Analyser::MLP: d = describeMLP(in); break;
        case Analyser::LPCM: d = describeLPCM(in); break;
        case Analyser::MPEG2: d = describeMPEG2(in, 0x12345678); break;
        case Analyser::H264: d = describeH264(in); break;
        case Analyser::VC1: d = describeVC1(in); break;
        }
        for (const std::string& line : descriptionLines(d))
            sink.log(line);
        // The frame summary turns the rate the video analysers found into
        // durations and frame numbers.
        FrameSummary frames;
        frames.counted = {1000, 1000};
        frames.totalSeconds = 7200;
        const double rate = d.frameRate.value_or(0);
        if (!std::isfinite(rate) || rate < 0) return "frame rate " + std::to_string(rate);
        frames.rate[size_t(slot & 1)] = rate;
        logFrameSummary(frames, sink, {}, true);
        for (const std::string& message : sink.lines)
            parseMarkup(message);
        if (std::any_of(buffer.begin() + ChunkSize, buffer.end(), [](uint8_t b) { return b != 0; }))
            return "the slack behind the chunk was written";
    }
    return {};
}

inline std::string analyseAC3(const uint8_t* d, size_t n) {
    return analyse(Analyser::AC3, d, n);
}
inline std::string analyseDTS(const uint8_t* d, size_t n) {
    return analyse(Analyser::DTS, d, n);
}
inline std::string analyseMLP(const uint8_t* d, size_t n) {
    return analyse(Analyser::MLP, d, n);
}
inline std::string analyseLPCM(const uint8_t* d, size_t n) {
    return analyse(Analyser::LPCM, d, n);
}
inline std::string analyseMPEG2(const uint8_t* d, size_t n) {
    return analyse(Analyser::MPEG2, d, n);
}
inline std::string analyseH264(const uint8_t* d, size_t n) {
    return analyse(Analyser::H264, d, n);
}
inline std::string analyseVC1(const uint8_t* d, size_t n) {
    return analyse(Analyser::VC1, d, n);
}

} // namespace tarnwick::fuzz
