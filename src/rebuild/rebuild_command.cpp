#include "rebuild/rebuild.h"

#include "app/paths.h"
#include "engine/feature_plan.h"
#include "engine/file_identity.h"
#include "log/text_format.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"

#include <memory>

namespace tarnwick {

namespace {

// A chunk's kept packs go from the chunk buffer straight to the file when they
// are 16 packs or more; fewer (a chunk mostly dropped, a short last chunk)
// are gathered first.
constexpr size_t OutputBufferSize = 16 * PackSize;

void startRebuilding(Session& s, const std::string& sourcePath) {
    s.log.log("Rebuilding...");
    s.log.slog("Rebuilding " + fileNamePart(sourcePath), 0);
}

// The buttons and the busy flag as after a normal end, so that the window
// stays usable after a failure too.
void restoreButtons(Session& s) {
    s.window.buttons.bRebuild = true;
    s.window.buttons.bDemux = true;
    s.run.OutputBusy = false;
    s.ui.stateChanged();
}

} // namespace

bool bRebuildClick(Session& s) {
    WindowState& w = s.window;
    StreamTable& t = s.table;
    w.buttons.bDemux = w.buttons.bRebuild = false;
    w.page = Page::Status;
    const std::string outputFolder = w.options.eWorkdir;
    s.run.OutputBusy = true;
    // One numbering for the whole command: the streams of a second file keep
    // the numbers given in the first.
    StreamNumbers numbers;
    std::unique_ptr<OutputFile> out; // the rebuilt EVO

    const FeaturePlan plan = planFeature(w);
    const bool continueFlag = plan.continues();
    const std::string& second = plan.second;
    const std::string pathBase = joinOutputPath(outputFolder, w.paths.EVObase);
    s.ui.stateChanged();

    try {
        s.log.log("Opening file [b]" + w.paths.EVOname + "[/b]");
        s.log.slog("Opening", 0);
        t.InputFile = std::make_unique<SourceFile>(w.eEVOfile);
        s.log.log("File size: " + std::to_string(mebibytes(t.InputFile->size())) + " Mbytes.");
        const std::string outputPath = pathBase + ".rebuilt.EVO";
        const std::string conflict = outputConflict(
            {outputPath}, {{"source", w.eEVOfile}, {"source", second}, {"playlist", w.eXPLfile}});
        if (!conflict.empty()) throw FileError(conflict);
        out = std::make_unique<OutputFile>(outputPath, OutputBufferSize);
        s.log.log("Creating " + out->path());
        startRebuilding(s, w.eEVOfile);
        Rebuild(s, numbers, *out);
        if (w.options.cbContinue && !s.run.CancelRequested && continueFlag) {
            t.InputFile.reset();
            t.InputFile = std::make_unique<SourceFile>(second);
            s.log.log(continueOnLine(second));
            startRebuilding(s, second);
            Rebuild(s, numbers, *out);
        }
        t.InputFile.reset();
        out->close();
        out.reset();
    } catch (const FileError& e) {
        // Whatever was written stays in the output; its last buffered bytes
        // go out as the file is closed.
        t.InputFile.reset();
        out.reset();
        showReady(s.log);
        restoreButtons(s);
        s.ui.showError(e.what());
        return false;
    }

    logDone(s.log);
    restoreButtons(s);
    return true;
}

} // namespace tarnwick
