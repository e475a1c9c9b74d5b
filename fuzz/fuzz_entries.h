#pragma once
// What each fuzz target does with one input. The libFuzzer targets in this
// folder and the regression test that replays the checked-in corpora call
// the same functions, so a finding replays under any compiler.
//
// Each entry returns an empty text when the run held together, else what
// went wrong (a broken invariant or an exception that should not escape).

#include "memory_file.h"

#include "app/paths.h"
#include "app/stream_selection.h"
#include "commands/frame_summary.h"
#include "commands/read_evo.h"
#include "engine/analysis.h"
#include "engine/demux.h"
#include "engine/session.h"
#include "log/log_line.h"
#include "log/log_sink.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "rebuild/rebuild.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace tarnwick::fuzz {

// A front end that never waits: Yes to every question, a fixed clock.
class QuietFrontEnd : public FrontEnd {
public:
    bool confirm(const std::string&) override { return true; }
    void showError(const std::string& message) override { errors += message + "\n"; }
    double now() override { return 46000.5; }
    std::string errors;
};

struct Context {
    Context() {
        Resetcbs(window);
        window.options.cbContinue = false;
    }
    StreamTable table;
    WindowState window;
    RecordingSink sink;
    QuietFrontEnd ui;
    Session session{table, window, sink, ui};
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

inline void openSource(Context& c) {
    c.table.InputFile.reset();
    c.table.InputFile = std::make_unique<SourceFile>(sourceFile().path());
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

inline std::string checkIdentifierTables(const StreamTable& t) {
    auto check = [](const auto& ids, auto fits, const char* kind) -> std::string {
        for (int k = 0; k < int(ids.size()); ++k) {
            if (ids[k] == -1) continue;
            if (!fits(ids[k], k) || std::count(ids.begin(), ids.end(), ids[k]) != 1)
                return std::string(kind) + " identifier " + std::to_string(ids[k]) + " in slot " +
                       std::to_string(k);
        }
        return {};
    };
    std::string problem = check(t.VideoIds, videoIdFits, "video");
    if (problem.empty()) problem = check(t.AudioIds, audioIdFits, "audio");
    if (problem.empty()) problem = check(t.SubIds, subIdFits, "subpicture");
    for (int v = 0; v < 2 && problem.empty(); ++v)
        if (t.FrameCount[v] < 0 || !std::isfinite(t.FrameRate[v]) || t.FrameRate[v] < 0)
            problem = "frame count or rate out of range in video stream " + std::to_string(v);
    return problem;
}

inline void applySourceOptions(Context& c, const SourceFlags& flags) {
    Options& o = c.window.options;
    o.cbDetails = flags.details();
    o.cbCountFr = flags.countFrames();
    o.cbFastCheck = flags.fastCheck();
    o.ieFastSize = "0";
}

// The engine in scan mode over arbitrary bytes.
inline std::string engineScan(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    c.window.eEVOfile = "FUZZ" + flags.extension();
    applySourceOptions(c, flags);
    c.table.MinFirstPts = 0xFFFFFFFF;
    try {
        openSource(c);
        demux(EngineMode::Scan, c.session);
    } catch (const std::exception& e) {
        return std::string("scan threw: ") + e.what();
    }
    if (c.window.buttons.bCancel) return "Cancel left enabled after the scan";
    logframes(c.table, c.sink, true);
    return checkIdentifierTables(c.table);
}

// A scan (for the boxes and the subpicture time origin) and the engine in
// demux mode into one output per ticked box.
inline std::string engineDemux(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    c.window.eEVOfile = "FUZZ" + flags.extension();
    applySourceOptions(c, flags);
    c.table.MinFirstPts = 0xFFFFFFFF;
    try {
        openSource(c);
        demux(EngineMode::Scan, c.session);
        fillStreamBoxes(c.session);
        StreamBoxes& b = c.window.boxes;
        const std::string folder = scratchFolder();
        StreamOutputs files;
        int outputs = 0;
        auto output = [&](std::unique_ptr<OutputFile>& slot, StreamBox& box) {
            if (flags.tickAll()) box.ticked = true;
            if (box.ticked)
                slot = std::make_unique<OutputFile>(folder + std::to_string(outputs++), 4096);
        };
        for (int k = 0; k < 2; ++k)
            output(files.VideoOut[k], b.cbVideo[k]);
        for (int k = 0; k < AudioSlots; ++k)
            output(files.AudioOut[k], b.cbAudio[k]);
        for (int k = 0; k < SubSlots; ++k)
            output(files.SubOut[k], b.cbSub[k]);
        openSource(c);
        demux(EngineMode::Demux, c.session, false, &files);
        const std::string closeError = closeOutputFiles(files);
        if (!closeError.empty()) return "closing the outputs failed: " + closeError;
    } catch (const std::exception& e) {
        return std::string("demux threw: ") + e.what();
    }
    if (c.window.buttons.bCancel) return "Cancel left enabled after the demux";
    return checkIdentifierTables(c.table);
}

// Read EVO, some boxes unticked by the flags, then Rebuild: the output holds
// only whole packs of the source, never more bytes than it.
inline std::string rebuild(const uint8_t* data, size_t size) {
    const SourceFlags flags = placeSource(data, size);
    Context c;
    c.window.eEVOfile = sourceFile().path();
    EVOadj(c.window);
    applySourceOptions(c, flags);
    c.window.options.cbFastCheck = false;
    c.window.options.cbRBAdvanced = flags.advanced();
    c.window.options.eWorkdir = scratchFolder();
    if (!bReadEVOClick(c.session)) return "Read EVO failed: " + c.ui.errors;
    StreamBoxes& b = c.window.boxes;
    const int pattern = flags.bits >> 2 & 3; // 0: all kept, 1: odd, 2: even, 3: all dropped
    auto untick = [&](StreamBox& box, int k) {
        if (pattern == 3 || (pattern == 1 && k % 2 == 1) || (pattern == 2 && k % 2 == 0))
            box.ticked = false;
    };
    for (int k = 0; k < 2; ++k)
        untick(b.cbVideo[k], k);
    for (int k = 0; k < AudioSlots; ++k)
        untick(b.cbAudio[k], k);
    for (int k = 0; k < SubSlots; ++k)
        untick(b.cbSub[k], k);
    if (!bRebuildClick(c.session)) return "Rebuild failed: " + c.ui.errors;
    const std::string output =
        joinOutputPath(c.window.options.eWorkdir, c.window.paths.EVObase + ".rebuilt.EVO");
    std::error_code error;
    const auto written = std::filesystem::file_size(output, error);
    std::filesystem::remove(output, error);
    if (c.session.run.OutputBusy || !c.window.buttons.bRebuild) return "buttons not restored";
    const size_t source = size > 0 ? size - 1 : 0;
    if (written > source) return "the rebuilt EVO is larger than its source";
    return {};
}

// Read XPL on arbitrary text as the playlist of FEATURE_1.EVO, then Write
// chapters when it found any.
inline std::string playlist(const uint8_t* data, size_t size) {
    sourceFile().assign(data, size);
    Context c;
    c.window.eEVOfile = "/DISC/HVDVD_TS/FEATURE_1.EVO";
    EVOadj(c.window);
    c.window.eXPLfile = sourceFile().path();
    XPLadj(c.window);
    c.window.options.eWorkdir = scratchFolder();
    if (!bReadXPLClick(c.session)) return "Read XPL failed: " + c.ui.errors;
    const auto mark = [](int32_t id) { return id == -1 || id == 1; };
    if (!std::all_of(c.table.VideoIds.begin(), c.table.VideoIds.end(), mark) ||
        !std::all_of(c.table.AudioIds.begin(), c.table.AudioIds.end(), mark) ||
        !std::all_of(c.table.SubIds.begin(), c.table.SubIds.end(), mark))
        return "an identifier table holds something other than a playlist mark";
    if (c.window.buttons.bWriteChaps != !c.window.playlist.mChapter.empty())
        return "Write chapters enabled without chapter lines, or the other way round";
    if (c.window.playlist.mChapter.empty()) return {};
    if (!bWriteChapsClick(c.session)) return "Write chapters failed: " + c.ui.errors;
    const std::string name =
        joinOutputPath(c.window.options.eWorkdir, c.window.paths.EVObase + ".chapters.txt");
    size_t expected = 0;
    for (const std::string& line : c.window.playlist.mChapter)
        expected += line.size() + 2;
    std::error_code error;
    const auto written = std::filesystem::file_size(name, error);
    std::filesystem::remove(name, error);
    if (written != expected) return "the chapter file does not hold the chapter lines";
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
    // One table for the process: a fresh one per run costs more than the
    // analyser itself.
    static StreamTable table;
    for (const bool atEnd : {false, true}) {
        std::fill(table.ChunkBuffer.begin(), table.ChunkBuffer.end(), uint8_t(0));
        table.FrameRate = {0, 0};
        RecordingSink sink;
        Analysis a{table, sink};
        const int start = atEnd ? ChunkSize - int(length) : 0;
        if (length > 0) std::memcpy(table.ChunkBuffer.data() + start, data, length);
        table.ChunkLength = atEnd ? ChunkSize : int(length);
        const int position = start + header;
        const int count = int(length) - header;
        const int slot = int(size % 16);
        switch (kind) {
        case Analyser::AC3:
            logDescription(a, describeAC3(analyserInput(a.table, position, count), slot));
            break;
        case Analyser::DTS:
            logDescription(a, describeDTS(analyserInput(a.table, position, count)));
            break;
        case Analyser::MLP:
            logDescription(a, describeMLP(analyserInput(a.table, position, count)));
            break;
        case Analyser::LPCM:
            logDescription(a, describeLPCM(analyserInput(a.table, position, count)));
            break;
        case Analyser::MPEG2:
            logDescription(a, describeMPEG2(analyserInput(a.table, position, count), 0x12345678),
                           slot & 1);
            break;
        case Analyser::H264:
            logDescription(a, describeH264(analyserInput(a.table, position, count)), slot & 1);
            break;
        case Analyser::VC1:
            logDescription(a, describeVC1(analyserInput(a.table, position, count)), slot & 1);
            break;
        }
        // The frame summary turns the rate the video analysers found into
        // durations and frame numbers.
        table.FrameCount = {1000, 1000};
        table.TotalSeconds = 7200;
        logframes(table, sink, true);
        for (const std::string& message : sink.lines)
            parseMarkup(message);
        for (int v = 0; v < 2; ++v)
            if (!std::isfinite(table.FrameRate[v]) || table.FrameRate[v] < 0)
                return "frame rate " + std::to_string(table.FrameRate[v]);
        if (std::any_of(table.ChunkBuffer.begin() + ChunkSize, table.ChunkBuffer.end(),
                        [](uint8_t b) { return b != 0; }))
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
