#include "commands/demux_command.h"

#include "commands/command_errors.h"
#include "commands/frame_summary.h"
#include "commands/scan_reporter.h"
#include "commands/title_files.h"
#include "engine/clip_parser.h"
#include "engine/demux_writer.h"
#include "engine/file_identity.h"
#include "engine/leftovers.h"
#include "engine/write_behind.h"
#include "log/text_format.h"
#include "model/file_names.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

namespace {

// Write buffers by stream kind: big enough that each write call moves a large
// block, small enough that a run with every slot selected stays within a few
// mebibytes.
size_t bufferSize(StreamKind kind) {
    switch (kind) {
    case StreamKind::Video: return size_t(1) << 20;
    case StreamKind::Audio: return size_t(256) << 10;
    default: return size_t(64) << 10;
    }
}

// One stream's output, named before any file is created.
struct PlannedOutput {
    StreamKind kind;
    int slot;
    std::string path;
};

// One file per stream, in the request's order. Captions from a playlist can
// give two streams the same file name; the later one then gets its slot name
// added, so that no stream writes over another.
std::vector<PlannedOutput> planOutputFiles(const DemuxRequest& request, const std::string& pathBase,
                                           LogSink& log) {
    std::vector<PlannedOutput> plan;
    for (const DemuxStream& stream : request.streams) {
        if (stream.kind == StreamKind::Video && stream.slot >= UsedVideoSlots) continue;
        auto taken = [&](const std::string& path) {
            return std::any_of(plan.begin(), plan.end(),
                               [&](const PlannedOutput& p) { return p.path == path; });
        };
        const std::string& extension = request.output.extension(stream.kind);
        const std::string name = slotName(stream.kind, stream.slot);
        const std::string wanted =
            request.output.slotNames
                ? joinOutputPath(request.output.folder, fitFileName(name, "." + extension))
                : outputFileName(pathBase, stream.caption, extension);
        std::string path = wanted;
        for (int k = 1; taken(path); ++k)
            path = outputFileName(pathBase, stream.caption, extension,
                                  "." + name + (k > 1 ? std::to_string(k) : ""));
        if (path != wanted)
            log.log("Two streams would share the file " + wanted + "; stream " + name +
                    " is written to " + path + " instead.");
        plan.push_back({stream.kind, stream.slot, path});
    }
    return plan;
}

// Refuses the run, before any file exists, when an output would be one of
// the files read or another output.
void checkOutputFiles(const DemuxRequest& request, const std::vector<PlannedOutput>& plan) {
    std::vector<std::string> outputs;
    for (const PlannedOutput& p : plan)
        outputs.push_back(p.path);
    const std::string conflict =
        outputConflict(withPartialNames(outputs), titleReads(request.title, request.playlists));
    if (!conflict.empty()) throw FileError(conflict);
}

// The outputs share one thread that writes their full buffers while the
// source is parsed; it ends when the last of them is closed.
void createOutputFiles(const std::vector<PlannedOutput>& plan, StreamOutputs& outputs,
                       LogSink& log) {
    const auto writer = std::make_shared<WriteBehind>();
    for (const PlannedOutput& p : plan) {
        std::unique_ptr<OutputFile>* entry = outputs.entry(p.kind, p.slot);
        *entry = std::make_unique<OutputFile>(p.path, bufferSize(p.kind));
        (*entry)->writeBehind(writer);
        log.log("Creating " + p.path);
    }
}

// Names the files that hold less than the whole title: those of a failed
// run, kept as partial, and after Cancel, those cut short at their names.
void logPartialFiles(const ClosedOutputs& closed, bool cancelled, LogSink& log) {
    for (const ClosedOutput& f : closed.files) {
        if (f.path.empty()) continue;
        if (f.partial)
            log.log("Partial: " + f.path + " holds what was written before the failure.");
        else if (cancelled)
            log.log("Partial: " + f.path + " holds what was written before Cancel.");
    }
}

// The time origin of subpicture records: the scan's earliest audio or video
// time, or 0 when the scan found none.
uint32_t subpictureOrigin(const ScanReport& scan) {
    return scan.minFirstPts == 0xFFFFFFFF ? 0 : scan.minFirstPts;
}

} // namespace

const std::string& OutputNaming::extension(StreamKind kind) const {
    switch (kind) {
    case StreamKind::Video: return videoExtension;
    case StreamKind::Audio: return audioExtension;
    default: return subpictureExtension;
    }
}

const DemuxedFile* DemuxResult::file(StreamKind kind, int slot) const {
    for (const DemuxedFile& f : files)
        if (f.kind == kind && f.slot == slot) return &f;
    return nullptr;
}

std::string outputFileName(const std::string& pathBase, const std::string& caption,
                           const std::string& extension, const std::string& suffix) {
    std::string name = caption;
    std::replace(name.begin(), name.end(), PathDelimiter, '_');
    return folderPart(pathBase) +
           fitFileName(fileNamePart(pathBase) + "." + name, suffix + "." + extension);
}

DemuxResult demuxTitle(const DemuxRequest& request, RunContext& run) {
    DemuxResult result;
    const Title& title = request.title;
    RunControl& control = run.host.run;
    control.cancelRequested = false;
    control.writingOutput = true;
    const std::string pathBase = joinOutputPath(request.output.folder, title.baseName);
    clearLeftovers(request.output.folder, run.log);
    // The files of the selected streams; every one is closed before the end.
    StreamOutputs outputs;
    std::vector<PlannedOutput> plan;
    std::vector<std::vector<int64_t>> clipStarts;
    if (!title.empty()) run.log.log("Opening file " + fileNamePart(title.firstFile()));
    run.log.slog("Opening", 0);

    auto logError = [&](const std::string& message) {
        run.log.log("[re]" + message + "[/re]");
        result.errors.push_back(message);
    };
    std::vector<std::string> errors;
    guarded(errors, [&] {
        FrameTally tally(request.countFrames, &request.selection);
        DemuxWriter writer(outputs, request.selection, subpictureOrigin(title.scan));
        CopyControlLog copyControl(run.log);
        ParseListeners listeners{&writer, &tally, &copyControl, request.listener};
        TitleSlots slots;
        try {
            for (size_t k = 0; k < title.clips.size() && !control.cancelRequested; ++k) {
                const Clip& clip = title.clips[k];
                SourceFile source(clip.files);
                const std::string name = fileNamePart(clip.path());
                if (k == 0) {
                    run.log.log("File size: " + std::to_string(mebibytes(source.size())) +
                                " Mbytes.");
                    plan = planOutputFiles(request, pathBase, run.log);
                    checkOutputFiles(request, plan);
                    createOutputFiles(plan, outputs, run.log);
                } else {
                    run.log.log("");
                    run.log.log("Continue on [b]" + name + "[/b]");
                }
                for (size_t part = 1; part < clip.files.size(); ++part)
                    run.log.log("Followed by [b]" + fileNamePart(clip.files[part]) +
                                "[/b] as one stream");
                std::vector<int64_t> starts;
                for (const PlannedOutput& p : plan)
                    starts.push_back(outputs.file(p.kind, p.slot)->written());
                clipStarts.push_back(std::move(starts));
                run.log.log("Demuxing...");
                run.log.slog("Demuxing " + name, 0);
                listeners.clipStarts(k);
                parseClip(source, slots, listeners, run, DemuxReading);
            }
        } catch (...) {
            result.frames = tally.summary(title.scan.frameRates, control.cancelRequested);
            throw;
        }
        result.frames = tally.summary(title.scan.frameRates, control.cancelRequested);
    });
    for (const std::string& e : errors)
        logError(e);
    result.cancelled = control.cancelRequested;
    // The last buffered bytes reach the disk only now, so a full disk may
    // show itself here rather than during the run. After a failure no file
    // takes its name: what was written is kept under its partial name.
    const bool failed = !result.errors.empty();
    const ClosedOutputs closed = closeOutputFiles(outputs, failed);
    for (const PlannedOutput& p : plan) {
        const auto c =
            std::find_if(closed.files.begin(), closed.files.end(), [&](const ClosedOutput& f) {
                return f.kind == p.kind && f.slot == p.slot;
            });
        if (c == closed.files.end() || c->path.empty()) continue;
        DemuxedFile file{p.kind, p.slot, c->path, c->bytes, {}};
        const size_t at = size_t(&p - plan.data());
        for (const auto& starts : clipStarts)
            file.clipStarts.push_back(starts[at]);
        result.files.push_back(std::move(file));
    }
    if (!closed.firstError.empty()) logError(closed.firstError);
    logPartialFiles(closed, result.cancelled, run.log);

    logDone(run.log);
    logFrameSummary(result.frames, run.log, run.locale, titleFiles(title).size() > 1);
    control.writingOutput = false;
    return result;
}

} // namespace tarnwick
