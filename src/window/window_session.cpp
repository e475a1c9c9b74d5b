#include "window/window_session.h"

#include "commands/output_folder.h"
#include "commands/read_evo.h"
#include "commands/title_files.h"
#include "engine/files.h"
#include "matroska/mkv_command.h"
#include "model/file_names.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "playlist/title_choice.h"
#include "rebuild/rebuild.h"
#include "window/stream_boxes.h"

#include <cctype>
#include <chrono>

namespace tarnwick {

double WindowUi::now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count() / 86400.0;
}

void WindowRunHost::pump() {
    s_.ui.pump();
}

void WindowRunHost::repaint() {
    s_.ui.repaint();
}

double WindowRunHost::now() {
    return s_.ui.now();
}

void WindowRunHost::runChanged() {
    s_.window.buttons.bCancel = run.cancellable;
    s_.ui.stateChanged();
}

ScanOptions windowScanOptions(const Options& o) {
    ScanOptions scan;
    if (o.cbFastCheck)
        scan.fastCheckBytes = int64_t(intEditValue(o.ieFastSize)) * 1048576;
    else
        scan.fastCheckBytes.reset();
    scan.countFrames = o.cbCountFr;
    scan.logDetails = o.cbDetails;
    return scan;
}

namespace {

// The title the source field and "Continue with second  EVO" name, with the
// last scan's findings; the output base name follows it.
Title currentTitle(WindowSession& s) {
    WindowState& w = s.window;
    Title title = titleOfSource(w.eEVOfile, w.options.cbContinue);
    if (s.scanned) title.scan = s.scanned->scan;
    w.paths.EVObase = title.baseName;
    return title;
}

// The ticked boxes' streams with their captions, in box order.
std::vector<DemuxStream> tickedStreams(const StreamBoxes& b) {
    std::vector<DemuxStream> streams;
    for (int k = 0; k < UsedVideoSlots; ++k)
        if (b.cbVideo[size_t(k)].ticked)
            streams.push_back({StreamKind::Video, k, b.cbVideo[size_t(k)].caption});
    for (int k = 0; k < AudioSlots; ++k)
        if (b.cbAudio[size_t(k)].ticked)
            streams.push_back({StreamKind::Audio, k, b.cbAudio[size_t(k)].caption});
    for (int k = 0; k < SubSlots; ++k)
        if (b.cbSub[size_t(k)].ticked)
            streams.push_back({StreamKind::Subpicture, k, b.cbSub[size_t(k)].caption});
    return streams;
}

OutputNaming outputNaming(const Options& o) {
    return {o.eWorkdir, o.eVideoExt, o.eAudioExt, o.eSubExt};
}

// A missing output folder is created with its parents, as the CLI does;
// what stands in the way is shown and the command does not start.
bool outputFolderReady(WindowSession& s) {
    std::string error = prepareOutputFolder(s.window.options.eWorkdir);
    if (error.empty()) return true;
    error[0] = char(std::toupper(static_cast<unsigned char>(error[0])));
    s.ui.stateChanged();
    s.ui.showError(error);
    return false;
}

} // namespace

bool bReadEVOClick(WindowSession& s) {
    WindowState& w = s.window;
    Buttons& buttons = w.buttons;
    if (w.cbAutoClear) s.log.clear();
    buttons.bReadEVO = false;
    const bool readXplWasEnabled = buttons.bReadXPL;
    buttons.bReadXPL = buttons.bDemux = buttons.bRebuild = false;
    buttons.bbEVO = buttons.bbXPL = false;
    Resetcbs(w);
    w.page = Page::Status;
    s.scanned.reset();
    s.demuxed.reset();
    Title title = currentTitle(s);
    s.ui.stateChanged();

    RunContext run = s.run();
    ScanResult result = readEvo({std::move(title), windowScanOptions(w.options)}, run);
    // The window stays usable after a failed open.
    buttons.bReadEVO = !w.eEVOfile.empty();
    buttons.bReadXPL = readXplWasEnabled;
    buttons.bbEVO = buttons.bbXPL = true;
    if (!result.ok()) {
        cbVideoClick(w);
        s.ui.stateChanged();
        s.ui.showError(result.errors.front());
        return false;
    }
    fillStreamBoxes(w.boxes, result.title.scan);
    s.scanned = std::move(result.title);
    cbVideoClick(w);
    s.ui.stateChanged();
    return true;
}

bool bReadXPLClick(WindowSession& s, int titleNumber) {
    WindowState& w = s.window;
    Buttons& buttons = w.buttons;
    Resetcbs(w);
    buttons.bReadXPL = false;
    const bool readEvoWasEnabled = buttons.bReadEVO;
    buttons.bReadEVO = false;
    buttons.bbEVO = buttons.bbXPL = false;
    w.page = Page::XPL;
    s.ui.stateChanged();

    RunContext run = s.run();
    const PlaylistResult result =
        readPlaylist({w.eXPLfile, w.eEVOfile, titleNumber, w.playlist.codecs}, run);
    w.playlist.codecs = result.codecs;
    // A playlist that could not be opened leaves the page as it was; one
    // that failed while it was read shows what was read.
    if (result.ok() || !result.tagLines.empty()) {
        w.playlist.mXPL = result.tagLines;
        w.playlist.mChapter = result.chapterLines;
        w.playlist.streams = result.streams;
    }
    if (result.titleShown) {
        w.playlist.tvXPL = result.tree;
        fillPlaylistBoxes(w.boxes, result.streams);
        cbVideoClick(w);
    }
    buttons.bReadXPL = true;
    buttons.bReadEVO = readEvoWasEnabled;
    buttons.bbEVO = buttons.bbXPL = true;
    buttons.bWriteChaps = !w.playlist.mChapter.empty();
    s.ui.stateChanged();
    if (!result.ok()) {
        s.ui.showError(result.errors.front());
        return false;
    }
    return true;
}

bool bDemuxClick(WindowSession& s) {
    if (!outputFolderReady(s)) return false;
    WindowState& w = s.window;
    w.buttons.bDemux = w.buttons.bRebuild = false;
    w.page = Page::Status;
    s.demuxed.reset();
    s.index.reset();
    const Title title = currentTitle(s);
    const BoxSelection selection(w.boxes);
    DemuxRequest request{title,
                         tickedStreams(w.boxes),
                         selection,
                         outputNaming(w.options),
                         w.options.cbCountFr,
                         {w.eXPLfile},
                         nullptr};
    // The Matroska step after it muxes these very files: their frames are
    // indexed as they are written.
    if (w.options.cbMuxMKV) {
        s.index = std::make_unique<FrameIndex>(indexedStreams(request.streams), selection);
        request.listener = s.index.get();
    }
    s.ui.stateChanged();
    RunContext run = s.run();
    DemuxResult result = demuxTitle(request, run);
    if (s.index) s.index->finish();
    const bool ok = result.ok();
    s.demuxed = std::move(result);
    w.buttons.bDemux = w.buttons.bRebuild = true;
    s.ui.stateChanged();
    return ok;
}

bool bRebuildClick(WindowSession& s) {
    if (!outputFolderReady(s)) return false;
    WindowState& w = s.window;
    w.buttons.bDemux = w.buttons.bRebuild = false;
    w.page = Page::Status;
    const Title title = currentTitle(s);
    const BoxSelection selection(w.boxes);
    s.ui.stateChanged();
    RunContext run = s.run();
    const RebuildResult result = rebuildTitle(
        {title, selection, w.options.cbRBAdvanced, w.options.eWorkdir, {w.eXPLfile}}, run);
    // The buttons come back after a failure too, so the window stays usable.
    w.buttons.bRebuild = true;
    w.buttons.bDemux = true;
    s.ui.stateChanged();
    if (!result.ok()) {
        s.ui.showError(result.errors.front());
        return false;
    }
    return true;
}

bool bWriteChapsClick(WindowSession& s) {
    WindowState& w = s.window;
    w.buttons.bWriteChaps = false;
    if (!outputFolderReady(s)) return false;
    ChaptersRequest request;
    request.lines = w.playlist.mChapter;
    request.path = chapterFilePath(w.options.eWorkdir, w.paths.EVObase);
    request.playlist = w.eXPLfile;
    request.sources = featureParts(w.eEVOfile, fileExists);
    RunContext run = s.run();
    const ChaptersResult result = writeChapters(request, run);
    if (!result.ok()) {
        // The button stays disabled until a Read XPL run finds chapters again.
        s.ui.stateChanged();
        s.ui.showError(result.errors.front());
        return false;
    }
    w.buttons.bWriteChaps = true;
    s.ui.stateChanged();
    return true;
}

void bCancelClick(WindowSession& s) {
    RunControl& run = s.host.run;
    if (!run.writingOutput) {
        run.cancelRequested = true;
        return;
    }
    if (s.ui.confirm("Are you sure to stop demuxing?")) {
        run.cancelRequested = true;
        s.log.log("Cancelled.");
    }
}

bool muxAfterDemux(WindowSession& s) {
    // A cancelled Demux ends there: Cancel stops the whole run.
    if (s.control().cancelRequested || !s.demuxed || !s.index) return false;
    const WindowState& w = s.window;
    Title title = currentTitle(s);
    // The names, languages and chapters come from the playlist of the
    // source's own disc, when one of its titles plays exactly these files.
    std::string error;
    if (auto chosen =
            chooseTitle({w.eEVOfile, std::nullopt, std::nullopt, w.options.cbContinue}, error)) {
        if (chosen->title.number != 0 && titleFiles(chosen->title) == titleFiles(title)) {
            for (const std::string& warning : chosen->warnings)
                s.log.log(warning);
            ScanReport scan = std::move(title.scan);
            const std::string baseName = title.baseName;
            title = std::move(chosen->title);
            title.scan = std::move(scan);
            title.baseName = baseName;
        } else if (chosen->title.number != 0) {
            s.log.log("Title " + std::to_string(chosen->title.number) +
                      " of the disc's playlist plays other files; the MKV has no names from it.");
        }
    } else if (!error.empty()) {
        s.log.log(error + " The MKV has no names from the playlist.");
    }
    const BoxSelection selection(w.boxes);
    MatroskaRequest request{.title = title,
                            .streams = tickedStreams(w.boxes),
                            .selection = selection,
                            .outputFolder = w.options.eWorkdir};
    request.mkvmerge = s.mkvmerge;
    request.playlists = {w.eXPLfile};
    request.demuxed = &*s.demuxed;
    request.index = s.index.get();
    RunContext run = s.run();
    const MatroskaResult result = muxTitle(request, run);
    s.ui.stateChanged();
    return result.ok() && !result.cancelled;
}

bool demuxAndMux(WindowSession& s) {
    const bool mux = s.window.options.cbMuxMKV;
    if (mux && !mkvmergeFound(s.mkvmerge)) {
        s.ui.showError(mkvmergeMissingMessage(s.mkvmerge));
        return false;
    }
    return bDemuxClick(s) && (!mux || muxAfterDemux(s));
}

} // namespace tarnwick
