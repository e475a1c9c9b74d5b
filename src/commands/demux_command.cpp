#include "commands/demux_command.h"

#include "app/paths.h"
#include "commands/frame_summary.h"
#include "engine/demux.h"
#include "engine/feature_plan.h"
#include "engine/file_identity.h"
#include "engine/write_behind.h"
#include "log/text_format.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tarnwick {

namespace {

// Write buffers by stream kind: big enough that each write call moves a large
// block, small enough that a run with every slot ticked stays within a few
// mebibytes.
constexpr size_t VideoBuffer = size_t(1) << 20;
constexpr size_t AudioBuffer = size_t(256) << 10;
constexpr size_t SubpictureBuffer = size_t(64) << 10;

// One ticked box's output, named before any file is created.
struct PlannedOutput {
    std::unique_ptr<OutputFile>* slot;
    std::string path;
    size_t bufferSize;
};

// The short name of a stream box, as the command line's stream list has it.
std::string shortBoxName(char page, size_t slot) {
    char text[8];
    std::snprintf(text, sizeof text, page == 'v' ? "%c%zu" : "%c%02zu", page, slot);
    return text;
}

// One file per ticked box, in box order. Captions from a playlist can give
// two boxes the same file name; the later one then gets its box name added,
// so that no stream writes over another.
std::vector<PlannedOutput> planOutputFiles(Session& s, StreamOutputs& files,
                                           const std::string& pathBase) {
    const StreamBoxes& b = s.window.boxes;
    const Options& o = s.window.options;
    std::vector<PlannedOutput> plan;
    auto add = [&](std::unique_ptr<OutputFile>& slot, const StreamBox& box, char page, size_t index,
                   const std::string& extension, size_t bufferSize) {
        if (!box.ticked) return;
        auto taken = [&](const std::string& path) {
            return std::any_of(plan.begin(), plan.end(),
                               [&](const PlannedOutput& p) { return p.path == path; });
        };
        const std::string wanted = outputFileName(pathBase, box.caption, extension);
        std::string path = wanted;
        const std::string boxName = shortBoxName(page, index);
        for (int k = 1; taken(path); ++k)
            path = outputFileName(pathBase,
                                  box.caption + "." + boxName + (k > 1 ? std::to_string(k) : ""),
                                  extension);
        if (path != wanted)
            s.log.log("Two streams would share the file " + wanted + "; stream " + boxName +
                      " is written to " + path + " instead.");
        plan.push_back({&slot, path, bufferSize});
    };
    for (size_t k = 0; k < files.VideoOut.size(); ++k)
        add(files.VideoOut[k], b.cbVideo[k], 'v', k, o.eVideoExt, VideoBuffer);
    for (size_t k = 0; k < files.AudioOut.size(); ++k)
        add(files.AudioOut[k], b.cbAudio[k], 'a', k, o.eAudioExt, AudioBuffer);
    for (size_t k = 0; k < files.SubOut.size(); ++k)
        add(files.SubOut[k], b.cbSub[k], 's', k, o.eSubExt, SubpictureBuffer);
    return plan;
}

// Refuses the run, before any file exists, when an output would be one of
// the files read or another output.
void checkOutputFiles(const Session& s, const std::vector<PlannedOutput>& plan,
                      const std::string& second) {
    std::vector<std::string> outputs;
    for (const PlannedOutput& p : plan)
        outputs.push_back(p.path);
    const std::string conflict = outputConflict(
        outputs,
        {{"source", s.window.eEVOfile}, {"source", second}, {"playlist", s.window.eXPLfile}});
    if (!conflict.empty()) throw FileError(conflict);
}

// The outputs share one thread that writes their full buffers while the
// source is parsed; it ends when the last of them is closed.
void createOutputFiles(Session& s, const std::vector<PlannedOutput>& plan) {
    const auto writer = std::make_shared<WriteBehind>();
    for (const PlannedOutput& p : plan) {
        *p.slot = std::make_unique<OutputFile>(p.path, p.bufferSize);
        (*p.slot)->writeBehind(writer);
        s.log.log("Creating " + p.path);
    }
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
    s.run.OutputBusy = true;
    // The files of the ticked streams; every one is closed before the end.
    StreamOutputs outputs;
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
        const std::vector<PlannedOutput> plan = planOutputFiles(s, outputs, pathBase);
        checkOutputFiles(s, plan, second);
        createOutputFiles(s, plan);
        s.log.log("Demuxing...");
        s.log.slog("Demuxing " + fileNamePart(w.eEVOfile), 0);
        demux(EngineMode::Demux, s, false, &outputs);
        if (w.options.cbContinue && !s.run.CancelRequested && continueFlag) {
            t.InputFile.reset();
            t.InputFile = std::make_unique<SourceFile>(second);
            s.log.log("");
            s.log.log(continueOnLine(second));
            s.log.log("Demuxing...");
            s.log.slog("Demuxing " + fileNamePart(second), 0);
            demux(EngineMode::Demux, s, true, &outputs);
        }
    } catch (const std::exception& e) {
        logError(e.what());
    }
    t.InputFile.reset();
    // The last buffered bytes reach the disk only now, so a full disk may
    // show itself here rather than during the run.
    const std::string closeError = closeOutputFiles(outputs, !ok);
    if (!closeError.empty()) logError(closeError);

    logDone(s.log);
    logframes(t, s.log, continueFlag);
    w.buttons.bDemux = w.buttons.bRebuild = true;
    s.run.OutputBusy = false;
    s.ui.stateChanged();
    return ok;
}

} // namespace tarnwick
