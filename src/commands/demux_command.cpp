#include "commands/demux_command.h"

#include "app/paths.h"
#include "commands/frame_summary.h"
#include "engine/demux.h"
#include "engine/feature_plan.h"
#include "log/text_format.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

namespace {

// Write buffers by stream kind: big enough that each write call moves a large
// block, small enough that a run with every slot ticked stays within a few
// mebibytes.
constexpr size_t VideoBuffer = size_t(1) << 20;
constexpr size_t AudioBuffer = size_t(256) << 10;
constexpr size_t SubpictureBuffer = size_t(64) << 10;

void createOne(Session& s, std::unique_ptr<OutputFile>& slot, const std::string& pathBase,
               const StreamBox& box, const std::string& extension, size_t bufferSize) {
    if (!box.ticked) return;
    slot =
        std::make_unique<OutputFile>(outputFileName(pathBase, box.caption, extension), bufferSize);
    s.log.log("Creating " + slot->path());
}

// One file per ticked box, in box order; the set stays fixed for the run.
void createOutputFiles(Session& s, const std::string& pathBase) {
    StreamTable& t = s.table;
    const StreamBoxes& b = s.window.boxes;
    const Options& o = s.window.options;
    for (size_t k = 0; k < t.VideoOut.size(); ++k)
        createOne(s, t.VideoOut[k], pathBase, b.cbVideo[k], o.eVideoExt, VideoBuffer);
    for (size_t k = 0; k < t.AudioOut.size(); ++k)
        createOne(s, t.AudioOut[k], pathBase, b.cbAudio[k], o.eAudioExt, AudioBuffer);
    for (size_t k = 0; k < t.SubOut.size(); ++k)
        createOne(s, t.SubOut[k], pathBase, b.cbSub[k], o.eSubExt, SubpictureBuffer);
}

} // namespace

std::string outputFileName(const std::string& pathBase, const std::string& caption,
                           const std::string& extension) {
    std::string name = caption;
    std::replace(name.begin(), name.end(), PathDelimiter, '_');
    return pathBase + "." + name + "." + extension;
}

bool bDemuxClick(Session& s, std::vector<std::string>* errors) {
    WindowState& w = s.window;
    StreamTable& t = s.table;
    w.buttons.bDemux = w.buttons.bRebuild = false;
    w.page = Page::Status;
    const std::string outputFolder = w.options.eWorkdir;
    t.FrameCount = {0, 0};
    t.TotalSeconds = 0;
    const FeaturePlan plan = planFeature(w);
    const bool continueFlag = plan.continues();
    const std::string& second = plan.second;
    t.OutputBusy = true;
    const std::string pathBase = joinOutputPath(outputFolder, w.paths.EVObase);
    s.log.log("Opening file " + w.paths.EVOname);
    s.log.slog("Opening", 0);
    s.ui.stateChanged();

    bool ok = true;
    auto logError = [&](const std::string& message) {
        s.log.log("[re]" + message + "[/re]");
        if (errors) errors->push_back(message);
        ok = false;
    };
    try {
        t.InputFile = std::make_unique<SourceFile>(w.eEVOfile);
        s.log.log("File size: " + std::to_string(mebibytes(t.InputFile->size())) + " Mbytes.");
        createOutputFiles(s, pathBase);
        s.log.log("Demuxing...");
        s.log.slog("Demuxing " + fileNamePart(w.eEVOfile), 0);
        demux(EngineMode::Demux, s);
        if (w.options.cbContinue && !t.CancelRequested && continueFlag) {
            t.InputFile.reset();
            t.InputFile = std::make_unique<SourceFile>(second);
            s.log.log("");
            s.log.log(continueOnLine(second));
            s.log.log("Demuxing...");
            s.log.slog("Demuxing " + fileNamePart(second), 0);
            demux(EngineMode::Demux, s);
        }
    } catch (const std::exception& e) {
        logError(e.what());
    }
    t.InputFile.reset();
    // The last buffered bytes reach the disk only now, so a full disk may
    // show itself here rather than during the run.
    const std::string closeError = closeOutputFiles(t);
    if (!closeError.empty()) logError(closeError);

    logDone(s.log);
    logframes(t, s.log, continueFlag);
    w.buttons.bDemux = w.buttons.bRebuild = true;
    t.OutputBusy = false;
    s.ui.stateChanged();
    return ok;
}

} // namespace tarnwick
