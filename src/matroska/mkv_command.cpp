#include "matroska/mkv_command.h"

#include "commands/command_errors.h"
#include "commands/stream_kinds.h"
#include "engine/file_identity.h"
#include "engine/files.h"
#include "engine/leftovers.h"
#include "engine/work_folder.h"
#include "matroska/dvd_palette.h"
#include "matroska/language_codes.h"
#include "matroska/mkv_outputs.h"
#include "matroska/mkv_work_files.h"
#include "matroska/mkvmerge_run.h"
#include "matroska/title_timeline.h"
#include "matroska/vobsub_from_records.h"
#include "matroska/wave_file.h"
#include "model/file_names.h"
#include "model/utf8_text.h"
#include "playlist/chapter_lines.h"
#include "playlist/chapter_writer.h"
#include "playlist/title_list.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

// Bytes; names stay well under the 255 of common file systems with
// ".mkv" and a temporary suffix added.
constexpr size_t MaxNameBytes = 200;
// The names mkvmerge sees: its option file, its output and the chapter file,
// in the work folder it runs in.
constexpr const char* OptionsName = "options.json";
constexpr const char* MuxedName = "muxed.mkv";
constexpr const char* ChaptersName = "chapters.txt";
// The MKV's name when neither the request nor the title gives one.
constexpr const char* FallbackName = "title";

std::optional<int64_t> detail(const StreamReport& stream, const std::string& key) {
    if (const int64_t* value = integerField(stream.details, key)) return *value;
    return std::nullopt;
}

std::optional<double> realDetail(const StreamReport& stream, const std::string& key) {
    for (const Field& f : stream.details)
        if (f.key == key) {
            if (const double* d = std::get_if<double>(&f.value)) return *d;
            if (const int64_t* i = std::get_if<int64_t>(&f.value)) return double(*i);
        }
    return std::nullopt;
}

// Whether the program can be started, found as the shell would find it; the
// check spares demuxing a whole disc for a muxer that is not there.
bool programFound(const std::string& program) {
    auto runnable = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
               ::access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos) return runnable(program);
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = folders.find(':', start);
        std::string folder = folders.substr(start, colon - start);
        if (folder.empty()) folder = ".";
        if (runnable(folder + "/" + program)) return true;
        if (colon == std::string::npos) return false;
        start = colon + 1;
    }
}

std::string codecOf(const ScanReport& scan, StreamKind kind, int slot) {
    const StreamReport& s = scan.stream(kind, slot);
    switch (kind) {
    case StreamKind::Video: return videoCodecName(s.id);
    case StreamKind::Audio: return audioCodecName(s.id, scan.audioObject);
    default: return subpictureCodecName(s.id);
    }
}

// The MKV's name: the name asked for, else the title's name, else its base
// name, made a file name.
std::string matroskaName(const Title& title, const std::string& name) {
    std::string safe = safeFileName(name);
    if (safe.empty()) safe = safeFileName(title.name);
    if (safe.empty()) safe = safeFileName(title.baseName);
    if (safe.empty()) safe = FallbackName;
    return safe;
}

class MkvRun {
public:
    MkvRun(const MatroskaRequest& request, RunContext& run) : r_(request), run_(run) {}

    MatroskaResult run() {
        if (!programFound(r_.mkvmerge)) {
            fail(mkvmergeMissingMessage(r_.mkvmerge));
            return std::move(result_);
        }
        name_ = matroskaName(r_.title, r_.name);
        final_ = matroskaPath(r_.title, r_.outputFolder, r_.name);
        std::vector<std::string> errors;
        guarded(errors, [&] {
            clearLeftovers(r_.outputFolder, run_.log);
            checkMatroskaOutputs(r_, name_, final_);
            work_.emplace(r_.outputFolder, name_);
            DemuxResult files;
            const FrameIndex* index = r_.index;
            std::unique_ptr<FrameIndex> ownIndex;
            if (r_.demuxed && index) {
                files = linkDemuxed(*r_.demuxed);
            } else {
                ownIndex = std::make_unique<FrameIndex>(indexedStreams(r_.streams), r_.selection);
                files = demuxIntoWorkFolder(*ownIndex);
                ownIndex->finish();
                index = ownIndex.get();
            }
            if (result_.ok() && !stopped()) {
                const CancellableSpan cancellable(run_.host);
                mux(files, *index);
            }
        });
        for (const std::string& e : errors)
            fail(e);
        if (work_ && r_.keepStreams) run_.log.log("Streams kept in " + work_->keep());
        work_.reset(); // removed with every file in it, unless kept
        result_.cancelled = run_.host.run.cancelRequested;
        showReady(run_.log);
        return std::move(result_);
    }

private:
    // A track on its way into the MKV.
    struct Track {
        DemuxStream stream;
        MkvTrack job;
        TitleTime start = 0;
        std::vector<TitleTime> frames; // for a timestamp file
        double step = 0;
        int64_t lpcmSilence = 0; // samples in front of a WAV's first run
    };

    void fail(const std::string& message) {
        run_.log.log("[re]" + message + "[/re]");
        result_.errors.push_back(message);
    }

    // Cancel, asked between the long steps and inside them.
    bool stopped() {
        run_.host.pump();
        return run_.host.run.cancelRequested;
    }

    DemuxResult demuxIntoWorkFolder(FrameIndex& index) {
        DemuxRequest demux{r_.title, r_.streams, r_.selection, {}, false, r_.playlists, &index};
        demux.output.folder = work_->path();
        demux.output.slotNames = true;
        DemuxResult d = demuxTitle(demux, run_);
        // Demux logged its errors already.
        result_.errors.insert(result_.errors.end(), d.errors.begin(), d.errors.end());
        return d;
    }

    // The files a Demux has just written, reached from the work folder under
    // names of their own: mkvmerge never sees a name of the user's.
    DemuxResult linkDemuxed(const DemuxResult& demuxed) {
        DemuxResult linked = demuxed;
        for (DemuxedFile& f : linked.files) {
            const std::string name = slotName(f.kind, f.slot) + extensionOf(f.path);
            work_->link(f.path, name);
            f.path = work_->file(name);
        }
        return linked;
    }

    std::string workFile(const std::string& file, const std::string& extension) const {
        return work_->file(withoutExtension(fileNamePart(file)) + extension);
    }

    // The title's first video stream: the clock the clips are placed by.
    const StreamIndex* clockStream(const FrameIndex& index) const {
        for (const DemuxStream& s : r_.streams)
            if (s.kind == StreamKind::Video)
                if (const StreamIndex* i = index.stream(s.kind, s.slot); i && !i->frames.empty())
                    return i;
        return nullptr;
    }

    void mux(const DemuxResult& files, const FrameIndex& index) {
        const StreamIndex* video = clockStream(index);
        std::vector<const StreamIndex*> others;
        for (const DemuxStream& s : r_.streams)
            if (const StreamIndex* i = index.stream(s.kind, s.slot); i && i != video)
                others.push_back(i);
        double frameTicks = 3003;
        if (video)
            if (const auto rate =
                    realDetail(r_.title.scan.stream(video->kind, video->slot), "frame_rate");
                rate && *rate > 0)
                frameTicks = 90000.0 / *rate;
        const TitleTimeline timeline(r_.title, video, others, frameTicks);

        std::vector<Track> tracks;
        for (const DemuxStream& stream : r_.streams) {
            if (stream.kind == StreamKind::Subpicture) continue;
            const DemuxedFile* file = files.file(stream.kind, stream.slot);
            const StreamIndex* s = index.stream(stream.kind, stream.slot);
            const StreamReport& report = r_.title.scan.stream(stream.kind, stream.slot);
            if (!file || !s || !report.found() || file->bytes == 0) {
                run_.log.log("No data for " + stream.caption + ", left out of the MKV");
                result_.warnings.push_back("No data for " + stream.caption + ".");
                continue;
            }
            if (std::optional<Track> t = placeTrack(stream, *file, *s, report, timeline))
                tracks.push_back(std::move(*t));
            if (run_.host.run.cancelRequested) return;
        }
        if (tracks.empty()) return fail("No stream to put into " + name_ + ".mkv.");

        // A track that starts before the title (audio ahead of the first
        // picture) moves everything later by as much, chapters included: the
        // muxer would cut what lies before zero.
        TitleTime earliest = 0;
        for (const Track& t : tracks)
            earliest = std::min(earliest, t.start);
        const TitleTime shift = -earliest;

        MkvJob job;
        job.output = work_->file(MuxedName);
        job.title = r_.title.name;
        bool firstAudio = true;
        for (Track& t : tracks) {
            if (!t.frames.empty()) {
                t.job.timestamps = workFile(t.job.file, ".timestamps.txt");
                writeTimestamps(t.job.timestamps, t.frames, shift, t.step);
            } else if (!finishWave(t, shift)) {
                return;
            }
            t.job.isDefault = job.tracks.empty() || (t.stream.kind == StreamKind::Audio &&
                                                     std::exchange(firstAudio, false));
            result_.tracks.push_back({t.stream.kind, t.stream.slot,
                                      codecOf(r_.title.scan, t.stream.kind, t.stream.slot),
                                      t.job.name, t.job.language,
                                      std::llround((t.start + shift) / 90.0), t.job.isDefault});
            job.tracks.push_back(t.job);
        }
        std::vector<DemuxStream> besides;
        for (const DemuxStream& stream : r_.streams)
            if (stream.kind == StreamKind::Subpicture &&
                !addSubtitles(job, stream, files, index, timeline, shift, video))
                besides.push_back(stream);
        if (stopped()) return;
        const TitleTime titleEnd =
            r_.title.duration ? TitleTime(*r_.title.duration) : timeline.end();
        if (!addChapters(job, shift, titleEnd)) return;
        if (!runJob(job, "Muxing ")) return;

        // Put in place by the output rules, checked again now.
        work_->place(MuxedName, final_, matroskaReads(r_), r_.overwrite);
        result_.path = final_;
        result_.durationMs = std::llround((titleEnd + shift) / 90.0);
        run_.log.log("Muxed into [b]" + final_ + "[/b]");
        keepSubpictures(files, besides);
    }

    // A stream of DVD subpicture units as a VobSub track on the title's
    // timeline; false when its units are of another layout (or none), which
    // stay beside the MKV.
    bool addSubtitles(MkvJob& job, const DemuxStream& stream, const DemuxResult& files,
                      const FrameIndex& index, const TitleTimeline& timeline, TitleTime shift,
                      const StreamIndex* video) {
        const DemuxedFile* file = files.file(stream.kind, stream.slot);
        const StreamIndex* s = index.stream(stream.kind, stream.slot);
        if (!file || !s || file->bytes == 0) return true; // nothing to keep either
        const std::vector<TitleTime> times = recordTimes(*s, timeline);
        VobSubRequest request;
        request.records = file->path;
        request.idxPath = workFile(file->path, ".idx");
        request.subPath = workFile(file->path, ".sub");
        if (video) {
            const StreamReport& v = r_.title.scan.stream(video->kind, video->slot);
            const int64_t width = detail(v, "width").value_or(0);
            const int64_t height = detail(v, "height").value_or(0);
            if (width > 0 && height > 0) request.videoSize = FrameSize{int(width), int(height)};
        }
        if (!r_.title.empty()) request.palette = titleSetPalette(r_.title.firstFile()).colours;
        MkvTrack track;
        nameTrack(track, stream);
        request.language = track.language == UnknownLanguage ? std::string() : track.language;
        request.streamIndex = stream.slot;
        size_t next = 0;
        request.titleTimeMs = [&](const SubpictureRecord&) -> std::optional<int64_t> {
            if (next >= times.size()) return std::nullopt;
            return std::llround((times[next++] + shift) / 90.0);
        };
        request.stopped = [this] { return stopped(); };
        const VobSubResult written = writeVobSubFromRecords(request);
        if (written.stopped) return true;
        if (written.units == 0) return false;
        if (written.cutUnits + written.otherUnits + written.untimedUnits > 0) {
            const std::string note =
                stream.caption + ": " +
                std::to_string(written.cutUnits + written.otherUnits + written.untimedUnits) +
                " subpicture units could not be put into the MKV.";
            run_.log.log(note);
            result_.warnings.push_back(note);
        }
        track.file = request.idxPath;
        job.tracks.push_back(track);
        result_.tracks.push_back(
            {stream.kind, stream.slot, "VobSub", track.name, track.language, 0, false});
        return true;
    }

    // The playlist's name and language of a stream; none without one.
    void nameTrack(MkvTrack& track, const DemuxStream& stream) {
        const StreamName* named = streamName(r_.title, stream.kind, stream.slot);
        if (named && !named->description.empty()) track.name = named->description;
        if (named) {
            if (languages_.empty()) languages_ = loadLanguageTable();
            track.language = trackLanguage(languages_, named->langcode, named->description);
        }
    }

    // The track of a stream: its frames placed on the timeline; LPCM as a WAV
    // on the same timeline.
    std::optional<Track> placeTrack(const DemuxStream& stream, const DemuxedFile& file,
                                    const StreamIndex& s, const StreamReport& report,
                                    const TitleTimeline& timeline) {
        Track t{stream, {}, 0, {}, 0, 0};
        t.job.file = file.path;
        nameTrack(t.job, stream);
        if (s.codec == StreamCodec::LPCM && !s.mlp) {
            if (!placeLpcm(t, s, report, timeline)) return std::nullopt;
            return t;
        }
        const TrackTimes times = stream.kind == StreamKind::Video
                                     ? videoTrackTimes(s, timeline, file.bytes)
                                     : audioTrackTimes(s, timeline, file.bytes);
        if (times.frames.empty()) {
            run_.log.log("No frame found in " + stream.caption + ", left out of the MKV");
            result_.warnings.push_back("No frame found in " + stream.caption + ".");
            return std::nullopt;
        }
        if (!times.dropped.empty()) {
            // The frames that would overlap at a join are left out of a copy.
            const std::string kept = workFile(file.path, ".kept" + extensionOf(file.path));
            if (!copyKept(file.path, times.dropped, kept, [this] { return stopped(); }))
                return std::nullopt;
            fs::remove(file.path); // a file or a link of the work folder's
            t.job.file = kept;
        }
        t.start = times.first;
        t.frames = times.frames;
        t.step = times.frames.size() > 1 ? (times.end - times.first) / double(times.frames.size())
                                         : 3003;
        return t;
    }

    bool placeLpcm(Track& t, const StreamIndex& s, const StreamReport& report,
                   const TitleTimeline& timeline) {
        const LpcmFormat format{int(detail(report, "sample_rate").value_or(0)),
                                int(detail(report, "bits_per_sample").value_or(0)),
                                int(detail(report, "channels").value_or(0))};
        const std::vector<SampleRun> runs = lpcmRuns(s, timeline);
        if (!isLpcmFormat(format) || runs.empty()) {
            run_.log.log("LPCM " + t.stream.caption + " has no format or time stamp to place it, " +
                         "left out of the MKV");
            result_.warnings.push_back("LPCM " + t.stream.caption + " left out.");
            return false;
        }
        t.start = runs.front().start;
        lpcm_.push_back({format, runs});
        t.lpcmSilence = int64_t(lpcm_.size() - 1); // which runs, until the shift is known
        return true;
    }

    // The WAV of an LPCM track, once the title's shift is known: the whole
    // milliseconds of its start as the track's delay, the rest as silence in
    // front, so that it starts to the sample. False after Cancel.
    bool finishWave(Track& t, TitleTime shift) {
        const auto& [format, runs] = lpcm_[size_t(t.lpcmSilence)];
        const double startMs = (runs.front().start + shift) / 90.0;
        const int64_t delay = int64_t(std::floor(startMs));
        const double origin = double(delay) * 90.0 - shift; // title time of the WAV's first sample
        std::vector<LpcmRun> placed;
        for (const SampleRun& run : runs)
            placed.push_back({run.begin, run.end,
                              std::llround((run.start - origin) * format.sampleRate / 90000.0)});
        const std::string wave = workFile(t.job.file, ".wav");
        const WaveResult w =
            writeWaveFromLpcmRuns(t.job.file, format, placed, wave, [this] { return stopped(); });
        if (w.stopped) return false;
        run_.log.log("LPCM " + t.stream.caption + " wrapped as " +
                     (w.container == WaveContainer::Wave64 ? "W64" : "WAV"));
        fs::remove(t.job.file); // a file or a link of the work folder's
        t.job.file = wave;
        t.job.syncMs = delay;
        return true;
    }

    // The chosen title's chapters on the MKV's timeline, none at or past the
    // title's end, at most as many as a title may have, their names as
    // valid UTF-8 (the chapter file's character set).
    bool addChapters(MkvJob& job, TitleTime shift, TitleTime titleEnd) {
        std::vector<std::string> lines;
        int counter = 1;
        if (r_.title.chapters.size() > MaxChaptersPerTitle) {
            const std::string note = "The title has " + std::to_string(r_.title.chapters.size()) +
                                     " chapters; only the first " +
                                     std::to_string(MaxChaptersPerTitle) + " go into the MKV.";
            run_.log.log(note);
            result_.warnings.push_back(note);
        }
        for (const Chapter& c : r_.title.chapters) {
            if (size_t(counter) > MaxChaptersPerTitle) break;
            if (TitleTime(c.begin) >= titleEnd) {
                const std::string note =
                    "Chapter \"" + c.name + "\" lies past the title's end; " + "it is left out.";
                run_.log.log(note);
                result_.warnings.push_back(note);
                continue;
            }
            const std::string n = chapterNumber(counter++);
            lines.push_back("CHAPTER" + n + "=" +
                            chapterTimeOfTicks(std::llround(TitleTime(c.begin) + shift)));
            lines.push_back("CHAPTER" + n + "NAME=" + validUtf8(c.name));
        }
        if (lines.empty()) return true;
        const std::string chapters = work_->file(ChaptersName);
        const ChaptersResult written = tarnwick::writeChapters(
            ChaptersRequest{lines, chapters, r_.title.playlist, titleFiles(r_.title)}, run_);
        if (!written.ok()) {
            fail(written.errors.front());
            return false;
        }
        job.chapterFile = chapters;
        result_.chapters = lines.size() / 2;
        return true;
    }

    // mkvmerge runs in the work folder and reads only names of its files:
    // no byte of a name of the user's reaches it, nor a "+", "=", "-" or "@"
    // that it would read as its own syntax.
    bool runJob(const MkvJob& job, const std::string& status) {
        writeMkvmergeOptions(inWorkFolder(job), work_->file(OptionsName));
        return runMuxer(OptionsName, status + name_ + ".mkv");
    }

    bool runMuxer(const std::string& optionsFile, const std::string& status) {
        run_.log.log(status + "...");
        run_.log.slog(status, 0);
        MkvmergeCallbacks callbacks;
        callbacks.progress = [&](int percent) {
            run_.log.slog(status, 0);
            run_.log.slog(std::to_string(percent) + "%", 1);
        };
        callbacks.warning = [&](const std::string& text) {
            run_.log.log("[b]mkvmerge warning:[/b] " + text);
            result_.warnings.push_back(text);
        };
        std::string lastError;
        callbacks.error = [&](const std::string& text) {
            run_.log.log("[re]mkvmerge error: " + text + "[/re]");
            lastError = text;
        };
        callbacks.cancelled = [this] { return stopped(); };
        MkvmergePlace place;
        place.folder = work_->descriptor();
        place.stopGraceMilliseconds = r_.mkvmergeStopGraceMilliseconds;
        const MkvmergeResult r = runMkvmerge(optionsFile, callbacks, r_.mkvmerge, place);
        switch (r.outcome) {
        case MkvmergeOutcome::Done: return true;
        case MkvmergeOutcome::DoneWithWarnings: run_.log.log(r.message); return true;
        case MkvmergeOutcome::Cancelled: run_.log.log("Muxing cancelled."); return false;
        default: fail(r.message + (lastError.empty() ? "" : " " + lastError)); return false;
        }
    }

    // Subpicture streams of another layout stay beside the MKV (a Demux's
    // files are there already), put in place by the output rules.
    void keepSubpictures(const DemuxResult& files, const std::vector<DemuxStream>& besides) {
        for (const DemuxStream& stream : besides) {
            const DemuxedFile* file = files.file(stream.kind, stream.slot);
            if (!file || file->bytes == 0 || r_.demuxed) continue;
            const std::string beside = besideName(r_, name_, stream);
            work_->place(fileNamePart(file->path), beside, matroskaReads(r_));
            run_.log.log("Subpicture " + stream.caption +
                         " is not put into the MKV; kept beside it as " + beside);
        }
    }

    const MatroskaRequest& r_;
    RunContext& run_;
    MatroskaResult result_;
    std::string name_;
    std::string final_; // the MKV's path
    std::optional<WorkFolder> work_;
    LanguageTable languages_;
    std::vector<std::pair<LpcmFormat, std::vector<SampleRun>>> lpcm_;
};

} // namespace

std::vector<std::pair<StreamKind, int>> indexedStreams(const std::vector<DemuxStream>& streams) {
    std::vector<std::pair<StreamKind, int>> out;
    for (const DemuxStream& s : streams)
        out.emplace_back(s.kind, s.slot);
    return out;
}

bool mkvmergeFound(const std::string& program) {
    return programFound(program);
}

MatroskaResult muxTitle(const MatroskaRequest& request, RunContext& run) {
    MatroskaResult result;
    std::vector<std::string> errors;
    guarded(errors, [&] { result = MkvRun(request, run).run(); });
    for (const std::string& e : errors) {
        run.log.log("[re]" + e + "[/re]");
        result.errors.push_back(e);
    }
    return result;
}

std::string matroskaPath(const Title& title, const std::string& outputFolder,
                         const std::string& name) {
    return joinOutputPath(outputFolder, matroskaName(title, name) + ".mkv");
}

std::string safeFileName(const std::string& name) {
    std::string safe;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || c == '/' || c == '\\';
        safe.push_back(unsafe ? '_' : c);
    }
    safe.erase(0, std::min(safe.find_first_not_of(". "), safe.size()));
    safe = cutAtCharacter(safe, MaxNameBytes);
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.'))
        safe.pop_back();
    return safe;
}

} // namespace tarnwick
