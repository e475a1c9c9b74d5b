#include "commands/read_evo.h"

#include "commands/command_errors.h"
#include "commands/frame_summary.h"
#include "commands/scan_reporter.h"
#include "commands/stream_kinds.h"
#include "engine/clip_parser.h"
#include "log/text_format.h"
#include "model/file_names.h"

namespace tarnwick {

namespace {

// Each stream found gets the caption of its kind and slot.
void captionStreams(ScanReport& report) {
    for (int k = 0; k < UsedVideoSlots; ++k)
        if (StreamReport& s = report.video[size_t(k)]; s.found()) s.caption = videoCaption(s.id, k);
    for (int k = 0; k < AudioSlots; ++k)
        if (StreamReport& s = report.audio[size_t(k)]; s.found()) s.caption = audioCaption(s.id, k);
    for (int k = 0; k < SubSlots; ++k)
        if (StreamReport& s = report.subpicture[size_t(k)]; s.found())
            s.caption = subpictureCaption(s.id, k);
}

// The frame counts of the summary, as data.
void reportFrames(ScanReport& report, const FrameSummary& frames, bool counted) {
    for (int v = 0; v < UsedVideoSlots; ++v) {
        StreamReport& stream = report.video[size_t(v)];
        if (!stream.found()) continue;
        if (counted) stream.countedFrames = frames.counted[size_t(v)];
        // Without navigation packs the playing time is unknown, and so are
        // the frames it would give.
        if (frames.rate[size_t(v)] > 0 && frames.totalSeconds > 0)
            stream.calculatedFrames = calculatedFrames(frames, v);
    }
}

void logClipStart(RunContext& run, const Clip& clip, size_t index, int64_t size) {
    const std::string name = fileNamePart(clip.path());
    if (index > 0) {
        run.log.log("");
        run.log.log("Continue on [b]" + name + "[/b]");
    }
    for (size_t part = 1; part < clip.files.size(); ++part)
        run.log.log("Followed by [b]" + fileNamePart(clip.files[part]) + "[/b] as one stream");
    run.log.log("Reading...");
    if (index == 0) {
        run.log.slog("Reading " + name + " ", 0);
        run.log.log("File size: " + std::to_string(mebibytes(size)) + " Mbytes.");
    } else {
        run.log.slog("Reading " + name, 0);
    }
}

} // namespace

ScanResult readEvo(const ScanRequest& request, RunContext& run) {
    ScanResult result;
    result.title = request.title;
    Title& title = result.title;
    const ScanOptions& options = request.options;
    ScanReport& report = title.scan;
    report = ScanReport{};
    report.audioObject = !title.empty() && upperExtension(title.firstFile()) == ".AOB";
    RunControl& control = run.host.run;
    control.cancelRequested = false;
    control.writingOutput = false;

    ScanReporter reporter(report, run, options.logDetails);
    FrameTally tally(options.countFrames);
    ParseListeners listeners{&reporter, &tally};
    TitleSlots slots;
    ClipRead read = ScanReading;
    read.fastCheckBytes = options.fastCheckBytes;
    const bool ok = guarded(result.errors, [&] {
        for (size_t k = 0; k < title.clips.size() && !control.cancelRequested; ++k) {
            const Clip& clip = title.clips[k];
            if (k == 0) run.log.log("Opening file [b]" + fileNamePart(clip.path()) + "[/b]");
            SourceFile source(clip.files);
            ClipReport clipReport;
            clipReport.path = clip.path();
            clipReport.size = source.size();
            report.clips.push_back(clipReport);
            logClipStart(run, clip, k, source.size());
            reporter.startClip(k);
            listeners.clipStarts(k);
            const ClipEnd end = parseClip(source, slots, listeners, run, read);
            report.clips.back().complete = end == ClipEnd::Complete;
            reporter.endClip(end);
        }
    });
    result.cancelled = control.cancelRequested;
    if (!ok) {
        // The window stays usable after a failed open or read.
        showReady(run.log);
        return result;
    }
    captionStreams(report);
    result.frames = tally.summary(report.frameRates, result.cancelled);
    reportFrames(report, result.frames, options.countFrames);
    logDone(run.log);
    logFrameSummary(result.frames, run.log, run.locale, titleFiles(title).size() > 1);
    return result;
}

} // namespace tarnwick
