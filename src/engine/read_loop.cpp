// The engine's chunk loop: reads, progress with remaining time, message
// pumping, fast check, cancel, and the system-header report.

#include "app/paths.h"
#include "engine/chunk_reader.h"
#include "engine/engine_call.h"
#include "log/text_format.h"

#include <algorithm>
#include <string>

namespace tarnwick {

namespace {

constexpr int64_t ProgressStep = 4194304; // 4 MiB
constexpr int64_t RepaintStep = 67108864; // 64 MiB
// Read ahead: chunks and reading threads. See the reader's construction.
constexpr int ScanDepth = 8, ScanReaders = 2;
constexpr int DemuxDepth = 4, DemuxReaders = 1;

void systemHeaderReport(EngineCall& c) {
    const uint8_t* chunk = c.chunk();
    if (chunk[16] != 0x01 || chunk[17] != 0xBB) return;
    NavigationState& nav = c.p.nav;
    nav.videoCount = chunk[24] & 0x1F; // video_bound
    nav.audioCount = chunk[23] >> 2;   // audio_bound
    if (c.p.isAob) return;
    std::string line = "It contains";
    if (nav.videoCount > 0)
        line += " [b]" + std::to_string(nav.videoCount) + "[/b] video stream and";
    line += " [b]" + std::to_string(nav.audioCount) + "[/b] audio stream" +
            (nav.audioCount > 1 ? "s." : ".");
    c.host.log.log(line);
}

void resetForCall(EngineCall& c, bool continuesFeature) {
    StreamTable& t = c.t;
    c.host.cancelEnabled = true;
    c.host.run.CancelRequested = false;
    c.host.run.OutputBusy = c.mode == EngineMode::Demux;
    c.p = ParserState{};
    c.p.startTime = c.host.ui.now();
    // The kind of file read: the parts of a feature share their extension.
    const std::string ext = upperExtension(t.InputFile->path());
    c.p.isAob = ext == ".AOB";
    c.p.isVob = ext == ".VOB";
    t.VideoIds.fill(-1);
    t.AudioIds.fill(-1);
    t.SubIds.fill(-1);
    if (!continuesFeature) {
        t.FeatureAudioIds.fill(-1);
        t.FeatureSubIds.fill(-1);
        t.FrameWindow.fill(NoFrameWindow);
    }
    c.host.ui.stateChanged();
}

} // namespace

void demux(EngineMode mode, Session& s, bool continuesFeature, StreamOutputs* outputs) {
    StreamOutputs none; // a scan, or a demux without files, writes nothing
    EngineCall c{s.engineHost(), s.table, outputs ? *outputs : none, mode, {}};
    resetForCall(c, continuesFeature);
    StreamTable& t = c.t;
    const RunControl& run = c.host.run;
    LogSink& log = c.host.log;
    FrontEnd& ui = c.host.ui;
    const Options& options = c.host.options;
    SourceFile& in = *t.InputFile;
    // The end-of-call steps run also when a read or write error ends the call.
    struct EndOfCall {
        EngineCall& c;
        ~EndOfCall() {
            c.host.cancelEnabled = false;
            c.host.ui.stateChanged();
        }
    } endOfCall{c};

    // The reader stops at every way out of the loop: Cancel, the fast check,
    // an error. A scan reads with two threads and eight chunks ahead, which
    // keep ahead of the parse where one thread does not; a demux reads with
    // one, as its writing thread needs the other processor.
    ChunkReader reader(in, ChunkSize, t.ChunkBuffer.size(), c.scanning() ? ScanDepth : DemuxDepth,
                       c.scanning() ? ScanReaders : DemuxReaders);
    ChunkReader::Chunk chunk;
    bool fastCheckReached = false;
    while (!run.CancelRequested && !fastCheckReached && reader.next(t.ChunkBuffer, chunk)) {
        const size_t got = chunk.length;
        c.p.n = static_cast<int>(got);
        t.ChunkLength = c.p.n;
        const int64_t position = chunk.end();
        if (position % ProgressStep == 0) {
            log.slog(std::to_string(mebibytes(position)) + "/" +
                         std::to_string(mebibytes(in.size())) + " Mbytes, Remaining time: " +
                         remainingTimeText(c.p.startTime, ui.now(), position, in.size(),
                                           t.TimeFormatSettings),
                     1);
            ui.pump();
        }
        if (c.scanning() && options.cbFastCheck &&
            position > int64_t(intEditValue(options.ieFastSize)) * 1048576)
            fastCheckReached = true;
        if (position % RepaintStep == 0) ui.repaint();
        if (c.scanning() && position == ChunkSize) systemHeaderReport(c);
        parseChunk(c);
    }
    if (c.scanning() && options.cbDetails && !run.CancelRequested) reportUndescribedStreams(c);
    if (run.CancelRequested) t.FrameCount = {0, 0};
}

} // namespace tarnwick
