#include "matroska/mkv_command.h"

#include "commands/command_errors.h"
#include "commands/report_json.h"
#include "commands/stream_kinds.h"
#include "engine/file_identity.h"
#include "engine/files.h"
#include "matroska/language_codes.h"
#include "matroska/mkvmerge_run.h"
#include "matroska/wave_file.h"
#include "model/file_names.h"
#include "playlist/chapter_lines.h"
#include "playlist/chapter_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

// Bytes; names stay well under the 255 of common file systems with
// ".mkv" and a temporary suffix added.
constexpr size_t MaxNameBytes = 200;

std::optional<int64_t> detail(const StreamReport& stream, const std::string& key) {
    if (const int64_t* value = integerField(stream.details, key)) return *value;
    return std::nullopt;
}

// A fresh folder of our own in the output folder: no earlier file is reused.
std::string makeWorkFolder(const std::string& outputFolder, const std::string& name) {
    std::string pattern = joinOutputPath(outputFolder, name + ".streams-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        throw FileError("Cannot create a work folder in " +
                        (outputFolder.empty() ? std::string(".") : outputFolder) + ". " +
                        std::strerror(errno));
    return pattern;
}

// Whether the program can be started, found as the shell would find it; the
// check spares demuxing a whole disc for a muxer that is not there.
bool programFound(const std::string& program) {
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = folders.find(':', start);
        std::string folder = folders.substr(start, colon - start);
        if (folder.empty()) folder = ".";
        if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
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

class MkvRun {
public:
    MkvRun(const MatroskaRequest& request, RunContext& run) : r_(request), run_(run) {}

    MatroskaResult run() {
        if (!programFound(r_.mkvmerge)) {
            fail(mkvmergeMissingMessage(r_.mkvmerge));
            return std::move(result_);
        }
        name_ = safeFileName(r_.name);
        if (name_.empty()) name_ = safeFileName(r_.title.name);
        if (name_.empty()) name_ = r_.title.baseName;
        std::vector<std::string> errors;
        guarded(errors, [&] {
            work_ = makeWorkFolder(r_.outputFolder, name_);
            const DemuxResult* files = r_.demuxed;
            DemuxResult demuxed;
            if (!files) {
                demuxed = demuxIntoWorkFolder();
                files = &demuxed;
            }
            if (result_.ok() && !run_.host.run.cancelRequested) mux(*files);
        });
        for (const std::string& e : errors)
            fail(e);
        if (!work_.empty() && !r_.keepStreams) {
            std::error_code ec;
            fs::remove_all(work_, ec);
        } else if (!work_.empty()) {
            run_.log.log("Streams kept in " + work_);
        }
        result_.cancelled = run_.host.run.cancelRequested;
        showReady(run_.log);
        return std::move(result_);
    }

private:
    void fail(const std::string& message) {
        run_.log.log("[re]" + message + "[/re]");
        result_.errors.push_back(message);
    }

    DemuxResult demuxIntoWorkFolder() {
        DemuxRequest demux{r_.title, r_.streams, r_.selection, {}, false, r_.playlists, nullptr};
        demux.output.folder = work_;
        DemuxResult d = demuxTitle(demux, run_);
        // Demux logged its errors already.
        result_.errors.insert(result_.errors.end(), d.errors.begin(), d.errors.end());
        return d;
    }

    void mux(const DemuxResult& files) {
        MkvJob job;
        job.output = joinOutputPath(work_, name_ + ".mkv");
        job.title = r_.title.name;
        addTracks(job, files);
        if (job.tracks.empty()) return fail("No stream to put into " + name_ + ".mkv.");
        startAtZero(job);
        if (!r_.title.chapters.empty()) {
            std::vector<std::string> lines;
            int counter = 1;
            for (const Chapter& c : r_.title.chapters) {
                const std::string n = chapterNumber(counter++);
                lines.push_back("CHAPTER" + n + "=" + chapterTimeOfTicks(c.begin));
                lines.push_back("CHAPTER" + n + "NAME=" + c.name);
            }
            const std::string chapters = chapterFilePath(work_, name_);
            const ChaptersResult written =
                writeChapters({lines, chapters, r_.title.playlist, titleFiles(r_.title)}, run_);
            if (!written.ok()) return fail(written.errors.front());
            job.chapterFile = chapters;
            result_.chapters = r_.title.chapters.size();
        }
        if (!runJob(job, "Muxing ")) return;

        const std::string final = joinOutputPath(r_.outputFolder, name_ + ".mkv");
        if (std::rename(job.output.c_str(), final.c_str()) != 0)
            return fail("Cannot name the MKV " + final + ". " + std::strerror(errno));
        result_.path = final;
        run_.log.log("Muxed into [b]" + final + "[/b]");
        keepSubpictures(files);
    }

    bool runJob(const MkvJob& job, const std::string& status) {
        const std::string optionsFile = withoutExtension(job.output) + ".json";
        writeMkvmergeOptions(job, optionsFile);
        return runMuxer(optionsFile, status + name_ + ".mkv");
    }

    // mkvmerge drops what a negative delay moves before zero, so a track
    // that starts before the video would lose its first frames: every track
    // moves later by the earliest start instead, which keeps the offsets.
    void startAtZero(MkvJob& job) {
        int64_t earliest = 0;
        for (const MkvTrack& t : job.tracks)
            earliest = std::min(earliest, t.syncMs);
        for (MkvTrack& t : job.tracks)
            t.syncMs -= earliest;
        for (size_t k = 0; k < job.tracks.size() && k < result_.tracks.size(); ++k)
            result_.tracks[k].startMs = job.tracks[k].syncMs;
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
        callbacks.cancelled = [&] {
            run_.host.pump();
            return run_.host.run.cancelRequested;
        };
        const CancellableSpan cancellable(run_.host);
        const MkvmergeResult r = runMkvmerge(optionsFile, callbacks, r_.mkvmerge);
        switch (r.outcome) {
        case MkvmergeOutcome::Done: return true;
        case MkvmergeOutcome::DoneWithWarnings: run_.log.log(r.message); return true;
        case MkvmergeOutcome::Cancelled: run_.log.log("Muxing cancelled."); return false;
        default: fail(r.message + (lastError.empty() ? "" : " " + lastError)); return false;
        }
    }

    void addTracks(MkvJob& job, const DemuxResult& files) {
        bool firstAudio = true;
        for (const DemuxStream& stream : r_.streams) {
            if (stream.kind == StreamKind::Subpicture) continue;
            const DemuxedFile* file = files.file(stream.kind, stream.slot);
            const StreamReport& report = r_.title.scan.stream(stream.kind, stream.slot);
            if (!file || !report.found()) continue;
            if (file->bytes == 0) {
                run_.log.log("No data for " + stream.caption + ", left out of the MKV");
                continue;
            }
            std::string path = file->path;
            const std::string codec = codecOf(r_.title.scan, stream.kind, stream.slot);
            if (codec == "LPCM") path = toWave(path, report);
            const StreamName* named = streamName(r_.title, stream.kind, stream.slot);
            MkvTrack track;
            track.file = path;
            if (named && !named->description.empty()) track.name = named->description;
            if (named) {
                if (languages_.empty()) languages_ = loadLanguageTable();
                track.language = trackLanguage(languages_, named->langcode, named->description);
            }
            track.syncMs = delayMilliseconds(r_.title.scan, report).value_or(0);
            track.isDefault = job.tracks.empty() ||
                              (stream.kind == StreamKind::Audio && std::exchange(firstAudio, false));
            job.tracks.push_back(track);
            result_.tracks.push_back({stream.kind, stream.slot, codec, track.name, track.language,
                                      track.syncMs, track.isDefault});
        }
    }

    std::string toWave(const std::string& lpcmFile, const StreamReport& stream) {
        const LpcmFormat format{int(detail(stream, "sample_rate").value_or(0)),
                                int(detail(stream, "bits_per_sample").value_or(0)),
                                int(detail(stream, "channels").value_or(0))};
        if (!isLpcmFormat(format)) return lpcmFile;
        const std::string wave = joinOutputPath(work_, withoutExtension(fileNamePart(lpcmFile)) + ".wav");
        const WaveResult w = writeWaveFromLpcm(lpcmFile, format, wave);
        run_.log.log("LPCM " + fileNamePart(lpcmFile) + " wrapped as " +
                     (w.container == WaveContainer::Wave64 ? "W64 " : "WAV ") + fileNamePart(wave));
        return wave;
    }

    // Subpicture streams stay beside the MKV.
    void keepSubpictures(const DemuxResult& files) {
        for (const DemuxStream& stream : r_.streams) {
            if (stream.kind != StreamKind::Subpicture) continue;
            const DemuxedFile* file = files.file(stream.kind, stream.slot);
            if (!file || file->bytes == 0) continue;
            const std::string beside =
                outputFileName(joinOutputPath(r_.outputFolder, name_), stream.caption, "sup");
            if (r_.demuxed) continue; // Demux's own file stays where Demux wrote it
            if (std::rename(file->path.c_str(), beside.c_str()) != 0)
                return fail("Cannot keep " + stream.caption + " as " + beside + ". " +
                            std::strerror(errno));
            run_.log.log("Subpicture " + stream.caption +
                         " is not put into the MKV; kept beside it as " + beside);
        }
    }

    const MatroskaRequest& r_;
    RunContext& run_;
    MatroskaResult result_;
    std::string name_;
    std::string work_;
    LanguageTable languages_;
};

} // namespace

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

std::string safeFileName(const std::string& name) {
    std::string safe;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || c == '/' || c == '\\';
        safe.push_back(unsafe ? '_' : c);
    }
    safe.erase(0, std::min(safe.find_first_not_of(". "), safe.size()));
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.'))
        safe.pop_back();
    if (safe.size() > MaxNameBytes) {
        safe.resize(MaxNameBytes);
        // Not in the middle of a UTF-8 sequence.
        while (!safe.empty() && (static_cast<unsigned char>(safe.back()) & 0xC0) == 0x80)
            safe.pop_back();
        if (!safe.empty() && static_cast<unsigned char>(safe.back()) >= 0xC0) safe.pop_back();
    }
    return safe;
}

} // namespace tarnwick
