#include "rebuild/rebuild.h"

#include "commands/command_errors.h"
#include "commands/title_files.h"
#include "engine/file_identity.h"
#include "engine/leftovers.h"
#include "log/text_format.h"
#include "model/file_names.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"

#include <memory>

namespace tarnwick {

namespace {

// A chunk's kept packs go from the chunk buffer straight to the file when they
// are 16 packs or more; fewer (a chunk mostly dropped, a short last chunk)
// are gathered first.
constexpr size_t OutputBufferSize = 16 * PackSize;

void startRebuilding(LogSink& log, const std::string& sourcePath) {
    log.log("Rebuilding...");
    log.slog("Rebuilding " + fileNamePart(sourcePath), 0);
}

} // namespace

RebuildResult rebuildTitle(const RebuildRequest& request, RunContext& run) {
    RebuildResult result;
    const Title& title = request.title;
    RunControl& control = run.host.run;
    control.cancelRequested = false;
    control.writingOutput = true;
    // One numbering for the whole command: the streams of a later clip keep
    // the numbers given in the first.
    StreamNumbers numbers;
    const RebuildStreams streams =
        rebuildStreams(title.scan, request.selection, request.advancedPacks);
    std::unique_ptr<OutputFile> out; // the rebuilt EVO
    clearLeftovers(request.outputFolder, run.log);

    const bool ok = guarded(result.errors, [&] {
        for (size_t k = 0; k < title.clips.size() && !control.cancelRequested; ++k) {
            const Clip& clip = title.clips[k];
            if (k == 0) {
                run.log.log("Opening file [b]" + fileNamePart(clip.path()) + "[/b]");
                run.log.slog("Opening", 0);
            }
            SourceFile source(clip.files);
            if (k == 0) {
                run.log.log("File size: " + std::to_string(mebibytes(source.size())) + " Mbytes.");
                result.path = joinOutputPath(request.outputFolder,
                                             fitFileName(title.baseName, ".rebuilt.EVO"));
                const std::string conflict = outputConflict(withPartialNames({result.path}),
                                                            titleReads(title, request.playlists));
                if (!conflict.empty()) throw FileError(conflict);
                out = std::make_unique<OutputFile>(result.path, OutputBufferSize);
                run.log.log("Creating " + out->path());
            } else {
                run.log.log("Continue on [b]" + fileNamePart(clip.path()) + "[/b]");
            }
            startRebuilding(run.log, clip.path());
            rebuildClip(source, numbers, streams, *out, run);
        }
        if (!out) throw FileError("Rebuild: the title has no clip to read.");
        out->close();
        out.reset();
    });
    // After a failure the rebuilt EVO never takes its name: what was written
    // is kept under its partial name. After Cancel it holds what was written.
    if (out) {
        out->closePartial(); // nothing more when a failed close kept it already
        const std::string kept = out->keptAs();
        out.reset();
        if (!kept.empty() && kept != result.path)
            run.log.log("Partial: " + kept + " holds what was written before the failure.");
    } else if (ok && control.cancelRequested && !result.path.empty()) {
        run.log.log("Partial: " + result.path + " holds what was written before Cancel.");
    }
    result.cancelled = control.cancelRequested;
    control.writingOutput = false;
    if (ok)
        logDone(run.log);
    else
        showReady(run.log);
    return result;
}

} // namespace tarnwick
