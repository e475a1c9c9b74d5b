#include "commands/read_evo.h"

#include "app/paths.h"
#include "app/stream_selection.h"
#include "commands/frame_summary.h"
#include "commands/stream_kinds.h"
#include "engine/demux.h"
#include "engine/feature_plan.h"
#include "log/text_format.h"

#include <memory>

namespace tarnwick {

void fillStreamBoxes(Session& s) {
    StreamTable& t = s.table;
    StreamBoxes& b = s.window.boxes;
    auto fill = [](StreamBox& box, StreamReport& report, int32_t id, const std::string& caption) {
        box.enabled = id >= 0;
        box.ticked = box.enabled;
        if (!box.ticked) return;
        box.caption = caption;
        report.id = id;
        report.caption = caption;
    };
    for (int k = 0; k < 2; ++k)
        fill(b.cbVideo[k], t.Report.video[k], t.VideoIds[k], videoCaption(t.VideoIds[k], k));
    for (int k = 0; k < AudioSlots; ++k)
        fill(b.cbAudio[k], t.Report.audio[k], t.AudioIds[k], audioCaption(t.AudioIds[k], k));
    for (int k = 0; k < SubSlots; ++k)
        fill(b.cbSub[k], t.Report.subpicture[k], t.SubIds[k], subpictureCaption(t.SubIds[k], k));
}

namespace {

SourceReport sourceReport(const std::string& path, int64_t size) {
    SourceReport source;
    source.path = path;
    source.size = size;
    return source;
}

// The frame counts of the summary, as data.
void reportFrames(StreamTable& t, bool counted) {
    for (int v = 0; v < 2; ++v) {
        StreamReport& report = t.Report.video[v];
        if (report.id < 0) continue;
        if (counted) report.countedFrames = t.FrameCount[v];
        if (t.FrameRate[v] > 0) report.calculatedFrames = calculatedFrames(t, v);
    }
}

} // namespace

bool bReadEVOClick(Session& s) {
    WindowState& w = s.window;
    StreamTable& t = s.table;
    Buttons& buttons = w.buttons;
    if (w.cbAutoClear) s.log.clear();
    buttons.bReadEVO = false;
    const bool readXplWasEnabled = buttons.bReadXPL;
    buttons.bReadXPL = buttons.bDemux = buttons.bRebuild = false;
    buttons.bbEVO = buttons.bbXPL = false;
    Resetcbs(w);
    w.page = Page::Status;
    t.FrameCount = {0, 0};
    t.MinFirstPts = 0xFFFFFFFF;
    t.FirstVideoPtm = 0;
    t.TotalSeconds = 0;
    t.Report = ScanReport{};
    t.Report.audioObject = upperExtension(w.eEVOfile) == ".AOB";
    const FeaturePlan plan = planFeature(w);
    const bool continueFlag = plan.continues();
    const std::string& second = plan.second;
    s.ui.stateChanged();

    auto restoreButtons = [&] {
        buttons.bReadEVO = !w.eEVOfile.empty();
        buttons.bReadXPL = readXplWasEnabled;
        buttons.bbEVO = buttons.bbXPL = true;
    };
    try {
        s.log.log("Opening file [b]" + w.paths.EVOname + "[/b]");
        t.InputFile = std::make_unique<SourceFile>(w.eEVOfile);
        t.Report.sources.push_back(sourceReport(w.eEVOfile, t.InputFile->size()));
        s.log.log("Reading...");
        s.log.slog("Reading " + fileNamePart(w.eEVOfile) + " ", 0);
        s.log.log("File size: " + std::to_string(mebibytes(t.InputFile->size())) + " Mbytes.");
        demux(EngineMode::Scan, s);
        if (w.options.cbContinue && !s.run.CancelRequested && continueFlag) {
            t.InputFile.reset();
            t.InputFile = std::make_unique<SourceFile>(second);
            t.Report.sources.push_back(sourceReport(second, t.InputFile->size()));
            s.log.log("");
            s.log.log(continueOnLine(second));
            s.log.log("Reading...");
            s.log.slog("Reading " + fileNamePart(second), 0);
            demux(EngineMode::Scan, s, true);
        }
        t.InputFile.reset();
    } catch (const FileError& e) {
        t.InputFile.reset();
        // The window stays usable after a failed open.
        restoreButtons();
        cbVideoClick(w);
        showReady(s.log);
        s.ui.stateChanged();
        s.ui.showError(e.what());
        return false;
    }

    fillStreamBoxes(s);
    reportFrames(t, w.options.cbCountFr);
    logDone(s.log);
    logframes(t, s.log, continueFlag);
    restoreButtons();
    cbVideoClick(w);
    s.ui.stateChanged();
    return true;
}

} // namespace tarnwick
