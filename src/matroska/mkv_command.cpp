#include "matroska/mkv_command.h"

#include "app/paths.h"
#include "commands/demux_command.h"
#include "commands/report_json.h"
#include "commands/stream_kinds.h"
#include "engine/files.h"
#include "matroska/language_codes.h"
#include "matroska/mkvmerge_run.h"
#include "matroska/wave_file.h"
#include "playlist/chapter_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

std::optional<int64_t> detail(const StreamReport& stream, const std::string& key) {
    for (const Field& f : stream.details)
        if (f.key == key && std::holds_alternative<int64_t>(f.value))
            return std::get<int64_t>(f.value);
    return std::nullopt;
}

const TitleStream* titleStream(const std::vector<TitleStream>& streams, int slot) {
    for (const TitleStream& s : streams)
        if (s.streamNumber == slot + 1) return &s;
    return nullptr;
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

bool hasData(const std::string& path) {
    std::error_code ec;
    return fs::file_size(path, ec) > 0 && !ec;
}

// One source file of the feature and where its streams are demuxed to.
struct Part {
    std::string source;
    std::string folder;
    std::string base; // the stream files' name base
    size_t index = 0; // in the report's sources; the first holding a stream when concatenated
    bool concatenated = false;
};

// The delay of a stream against the first video stream in one source file.
std::optional<int64_t> partDelay(const ScanReport& report, const StreamReport& stream,
                                 size_t part) {
    for (const StreamReport& v : report.video) {
        if (v.id < 0) continue;
        if (part >= v.firstPts.size() || part >= stream.firstPts.size() || !v.firstPts[part] ||
            !stream.firstPts[part])
            return std::nullopt;
        const int64_t ticks = int64_t(*stream.firstPts[part]) - int64_t(*v.firstPts[part]);
        return static_cast<int64_t>(std::lround(double(ticks) / 90.0));
    }
    return std::nullopt;
}

class MkvRun {
public:
    MkvRun(Session& s, const MkvSource& source, const MkvSettings& settings,
           std::vector<std::string>* errors)
        : s_(s), source_(source), settings_(settings), errors_(errors), report_(s.table.Report) {}

    bool run() {
        Options& o = s_.window.options;
        const std::string outputFolder = o.eWorkdir;
        if (!programFound(settings_.mkvmerge)) {
            fail(mkvmergeMissingMessage(settings_.mkvmerge));
            return false;
        }
        name_ = source_.title ? safeFileName(source_.title->name) : std::string();
        if (name_.empty()) name_ = s_.window.paths.EVObase;
        try {
            work_ = makeWorkFolder(outputFolder, name_);
            planParts();
            for (const Part& part : parts_)
                if (ok_ && !s_.run.CancelRequested) demuxPart(part);
            if (ok_ && !s_.run.CancelRequested) mux(outputFolder);
        } catch (const std::exception& e) {
            fail(e.what());
        }
        o.eWorkdir = outputFolder;
        if (!work_.empty() && !settings_.keepStreams) {
            std::error_code ec;
            fs::remove_all(work_, ec);
        } else if (!work_.empty()) {
            s_.log.log("Streams kept in " + work_);
        }
        s_.log.slog("Ready", 0);
        s_.log.slog("", 1);
        s_.ui.stateChanged();
        return ok_;
    }

private:
    void fail(const std::string& message) {
        s_.log.log("[re]" + message + "[/re]");
        if (errors_) errors_->push_back(message);
        ok_ = false;
    }

    // Whether every ticked video and audio stream has a first time stamp in
    // each source file, so each part can be muxed in sync on its own.
    bool everyStreamInEachPart() const {
        const StreamBoxes& b = s_.window.boxes;
        auto inAll = [&](const StreamReport& r) {
            for (size_t k = 0; k < report_.sources.size(); ++k)
                if (k >= r.firstPts.size() || !r.firstPts[k]) return false;
            return true;
        };
        for (size_t k = 0; k < b.cbVideo.size(); ++k)
            if (b.cbVideo[k].ticked && report_.video[k].id >= 0 && !inAll(report_.video[k]))
                return false;
        for (size_t k = 0; k < b.cbAudio.size(); ++k)
            if (b.cbAudio[k].ticked && report_.audio[k].id >= 0 && !inAll(report_.audio[k]))
                return false;
        return true;
    }

    // A two-part feature is muxed part by part: each part's audio ends where
    // it ends, not where the other part's stream happens to begin.
    void planParts() {
        const WindowState& w = s_.window;
        const std::string second =
            w.options.cbContinue ? getsecond(w.eEVOfile, fileExists) : std::string();
        if (second.empty() || report_.sources.size() != 2 || !everyStreamInEachPart()) {
            if (!second.empty())
                s_.log.log("Not every stream is in both parts: the parts are joined as one "
                           "stream each");
            parts_ = {{w.eEVOfile, work_, w.paths.EVObase, 0, true}};
            return;
        }
        for (size_t k = 0; k < 2; ++k) {
            const std::string file = k == 0 ? w.eEVOfile : second;
            const std::string folder = joinOutputPath(work_, std::to_string(k + 1));
            fs::create_directory(folder);
            parts_.push_back({file, folder, CutExt(fileNamePart(file)), k, false});
        }
    }

    void demuxPart(const Part& part) {
        WindowState& w = s_.window;
        const std::string source = w.eEVOfile;
        const PathState paths = w.paths;
        const bool continueFlag = w.options.cbContinue;
        w.options.eWorkdir = part.folder;
        if (!part.concatenated) {
            w.eEVOfile = part.source;
            w.paths.EVOname = fileNamePart(part.source);
            w.options.cbContinue = false;
        }
        if (!bDemuxClick(s_, errors_)) ok_ = false;
        w.eEVOfile = source;
        w.paths = paths;
        w.options.cbContinue = continueFlag;
    }

    std::string streamFile(const Part& part, const StreamBox& box,
                           const std::string& extension) const {
        return outputFileName(joinOutputPath(part.folder, part.base), box.caption, extension);
    }

    void mux(const std::string& outputFolder) {
        MkvJob job;
        job.output = joinOutputPath(work_, name_ + ".mkv");
        if (source_.title) job.title = source_.title->name;
        if (parts_.size() == 1) {
            addTracks(job, parts_[0]);
            if (job.tracks.empty()) return fail("No stream to put into " + name_ + ".mkv.");
            startAtZero(job);
        } else {
            for (const Part& part : parts_) {
                MkvJob partJob;
                partJob.output =
                    joinOutputPath(work_, "part" + std::to_string(part.index + 1) + ".mkv");
                addTracks(partJob, part);
                if (partJob.tracks.empty()) return fail("No stream to put into " + name_ + ".mkv.");
                startAtZero(partJob);
                if (!runJob(partJob, "Muxing part " + std::to_string(part.index + 1) + " of "))
                    return;
                job.parts.push_back(partJob.output);
            }
        }
        if (!s_.window.playlist.mChapter.empty()) {
            s_.window.options.eWorkdir = work_;
            if (!bWriteChapsClick(s_)) return fail("Cannot write the chapters.");
            job.chapterFile = joinOutputPath(work_, s_.window.paths.EVObase + ".chapters.txt");
        }
        if (!runJob(job, "Muxing ")) return;

        // rename() replaces a file or link at the final name and never
        // writes through a link.
        const std::string final = joinOutputPath(outputFolder, name_ + ".mkv");
        if (std::rename(job.output.c_str(), final.c_str()) != 0)
            return fail("Cannot name the MKV " + final + ". " + std::strerror(errno));
        s_.log.log("Muxed into [b]" + final + "[/b]");
        keepSubpictures(outputFolder);
    }

    bool runJob(const MkvJob& job, const std::string& status) {
        const std::string optionsFile = CutExt(job.output) + ".json";
        writeMkvmergeOptions(job, optionsFile);
        return runMuxer(optionsFile, status + name_ + ".mkv");
    }

    // mkvmerge drops what a negative delay moves before zero, so a track
    // that starts before the video would lose its first frames: every track
    // moves later by the earliest start instead, which keeps the offsets.
    static void startAtZero(MkvJob& job) {
        int64_t earliest = 0;
        for (const MkvTrack& t : job.tracks)
            earliest = std::min(earliest, t.syncMs);
        for (MkvTrack& t : job.tracks)
            t.syncMs -= earliest;
    }

    bool runMuxer(const std::string& optionsFile, const std::string& status) {
        s_.log.log(status + "...");
        s_.log.slog(status, 0);
        MkvmergeCallbacks callbacks;
        callbacks.progress = [&](int percent) {
            s_.log.slog(status, 0);
            s_.log.slog(std::to_string(percent) + "%", 1);
        };
        callbacks.warning = [&](const std::string& text) {
            s_.log.log("[b]mkvmerge warning:[/b] " + text);
        };
        std::string lastError;
        callbacks.error = [&](const std::string& text) {
            s_.log.log("[re]mkvmerge error: " + text + "[/re]");
            lastError = text;
        };
        callbacks.cancelled = [&] {
            s_.ui.pump();
            return s_.run.CancelRequested;
        };
        const MkvmergeResult r = runMkvmerge(optionsFile, callbacks, settings_.mkvmerge);
        switch (r.outcome) {
        case MkvmergeOutcome::Done: return true;
        case MkvmergeOutcome::DoneWithWarnings: s_.log.log(r.message); return true;
        case MkvmergeOutcome::Cancelled:
            s_.log.log("Muxing cancelled.");
            ok_ = false;
            return false;
        default: fail(r.message + (lastError.empty() ? "" : " " + lastError)); return false;
        }
    }

    void addTracks(MkvJob& job, const Part& part) {
        const StreamBoxes& b = s_.window.boxes;
        const ScanReport& report = report_;
        const Options& o = s_.window.options;
        for (size_t k = 0; k < b.cbVideo.size(); ++k) {
            if (!b.cbVideo[k].ticked || report.video[k].id < 0) continue;
            add(job, part, streamFile(part, b.cbVideo[k], o.eVideoExt), report.video[k],
                b.cbVideo[k].caption, nullptr);
        }
        bool firstAudio = true;
        for (size_t k = 0; k < b.cbAudio.size(); ++k) {
            const StreamReport& stream = report.audio[k];
            if (!b.cbAudio[k].ticked || stream.id < 0) continue;
            std::string file = streamFile(part, b.cbAudio[k], o.eAudioExt);
            if (audioCodecName(stream.id, report.audioObject) == "LPCM")
                file = toWave(file, stream);
            const TitleStream* named =
                source_.title ? titleStream(source_.title->audio, int(k)) : nullptr;
            if (add(job, part, file, stream, b.cbAudio[k].caption, named) && firstAudio) {
                job.tracks.back().isDefault = true;
                firstAudio = false;
            }
        }
    }

    // Adds the track of a stream file; false when the file holds nothing.
    bool add(MkvJob& job, const Part& part, const std::string& file, const StreamReport& stream,
             const std::string& caption, const TitleStream* named) {
        if (!hasData(file)) {
            s_.log.log("No data for " + caption + ", left out of the MKV");
            return false;
        }
        MkvTrack track;
        track.file = file;
        track.name = named && !named->description.empty() ? named->description : caption;
        if (named) {
            if (languages_.empty()) languages_ = loadLanguageTable();
            track.language = trackLanguage(languages_, named->langcode, named->description);
        }
        track.syncMs = (part.concatenated ? delayMilliseconds(report_, stream)
                                          : partDelay(report_, stream, part.index))
                           .value_or(0);
        track.isDefault = job.tracks.empty(); // the first video track
        job.tracks.push_back(std::move(track));
        return true;
    }

    std::string toWave(const std::string& lpcmFile, const StreamReport& stream) {
        const LpcmFormat format{int(detail(stream, "sample_rate").value_or(0)),
                                int(detail(stream, "bits_per_sample").value_or(0)),
                                int(detail(stream, "channels").value_or(0))};
        if (!isLpcmFormat(format) || !hasData(lpcmFile)) return lpcmFile;
        const std::string wave = CutExt(lpcmFile) + ".wav";
        const WaveResult r = writeWaveFromLpcm(lpcmFile, format, wave);
        s_.log.log("LPCM " + fileNamePart(lpcmFile) + " wrapped as " +
                   (r.container == WaveContainer::Wave64 ? "W64 " : "WAV ") + fileNamePart(wave));
        if (!settings_.keepStreams) fs::remove(lpcmFile);
        return wave;
    }

    // The parts' subpicture streams, one after the other, as Demux of the
    // whole feature writes them.
    void keepSubpictures(const std::string& outputFolder) {
        const StreamBoxes& b = s_.window.boxes;
        for (const StreamBox& box : b.cbSub) {
            if (!box.ticked) continue;
            const std::string beside =
                outputFileName(joinOutputPath(outputFolder, name_), box.caption, "sup");
            std::vector<std::string> files;
            for (const Part& part : parts_) {
                const std::string file = streamFile(part, box, s_.window.options.eSubExt);
                if (hasData(file)) files.push_back(file);
            }
            if (files.empty()) continue;
            if (files.size() > 1) {
                std::ofstream joined(files[0], std::ios::binary | std::ios::app);
                for (size_t k = 1; k < files.size(); ++k)
                    joined << std::ifstream(files[k], std::ios::binary).rdbuf();
                if (!joined.flush()) return fail("Cannot join the parts of " + box.caption + ".");
            }
            if (std::rename(files[0].c_str(), beside.c_str()) != 0)
                return fail("Cannot keep " + box.caption + " as " + beside + ". " +
                            std::strerror(errno));
            s_.log.log("Subpicture " + box.caption +
                       " is not put into the MKV; kept beside it as " + beside);
        }
    }

    Session& s_;
    const MkvSource& source_;
    const MkvSettings& settings_;
    std::vector<std::string>* errors_;
    const ScanReport report_; // as scanned: Demux runs change the first time stamps
    std::vector<Part> parts_;
    std::string name_;
    std::string work_;
    LanguageTable languages_;
    bool ok_ = true;
};

} // namespace

bool muxMkv(Session& s, const MkvSource& source, const MkvSettings& settings,
            std::vector<std::string>* errors) {
    return MkvRun(s, source, settings, errors).run();
}

bool muxAfterDemux(Session& s, const MkvSettings& settings, std::vector<std::string>* errors) {
    // A cancelled Demux ends there: Cancel stops the whole run.
    if (s.run.CancelRequested) return false;
    const WindowState& w = s.window;
    MkvSource source{w.eEVOfile, {}, std::nullopt};
    if (!w.playlist.mXPL.empty()) {
        std::string error;
        if (auto shown = resolveMkvSource({w.eEVOfile, std::nullopt, w.eXPLfile}, error))
            source = *shown;
        else
            s.log.log(error + " The MKV tracks keep the stream captions.");
    }
    return muxMkv(s, source, settings, errors);
}

} // namespace tarnwick
