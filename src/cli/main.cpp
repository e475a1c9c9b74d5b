// tarnwick-cli: the commands of the window without a window.

#include "app/paths.h"
#include "app/stream_selection.h"
#include "cli/cli_arguments.h"
#include "cli/cli_front_end.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/report_json.h"
#include "matroska/disc_titles.h"
#include "matroska/mkv_command.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "rebuild/rebuild.h"

#include <cstdio>
#include <unistd.h>

using namespace tarnwick;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitInterrupted = 130;
constexpr const char* Version = "0.626";

int usageError(const std::string& message) {
    std::fprintf(stderr, "tarnwick-cli: %s\n\n%s", message.c_str(), CliUsage);
    return ExitUsage;
}

int runXpl(const CliArguments& args, Session& s, TerminalSink& sink, CliFrontEnd& ui) {
    WindowState& w = s.window;
    w.eEVOfile = args.xplSource;
    EVOadj(w);
    w.eXPLfile = args.input;
    XPLadj(w);
    Resetcbs(w);
    if (!bReadXPLClick(s)) return ExitFailure;
    if (args.chapters) {
        if (w.playlist.mChapter.empty()) {
            sink.endProgress();
            std::fflush(stdout);
            std::fprintf(stderr, "tarnwick-cli: no chapter found, no chapter file written\n");
        } else if (!bWriteChapsClick(s)) {
            return ExitFailure;
        }
    }
    std::fflush(stdout);
    for (const std::string& line : w.playlist.mXPL)
        std::printf("%s\n", line.c_str());
    return ui.failed() ? ExitFailure : 0;
}

// The report as JSON: the only text on standard output. The playlist, when
// given, is read after the scan and names the streams.
int runJson(const CliArguments& args, Session& s, CliFrontEnd& ui) {
    WindowState& w = s.window;
    if (args.playlist) {
        w.eXPLfile = *args.playlist;
        XPLadj(w);
        if (!bReadXPLClick(s)) return ExitFailure;
    }
    const std::string document = reportJson(
        {s.table.Report, "tarnwick-cli", Version, args.playlist ? &w.playlist.streams : nullptr});
    std::fputs(document.c_str(), stdout);
    return ui.failed() ? ExitFailure : 0;
}

// The titles of a disc's playlist.
int runTitles(const CliArguments& args) {
    const auto disc = discFolders(args.input);
    std::string error;
    if (!disc)
        error = args.input + " is not a disc folder (one that holds HVDVD_TS).";
    else if (disc->playlist.empty())
        error = "The disc " + args.input + " has no playlist ADV_OBJ/VPLST000.XPL.";
    if (!error.empty()) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", error.c_str());
        return ExitFailure;
    }
    try {
        for (const std::string& line : titleListing(readDiscTitles(disc->playlist)))
            std::printf("%s\n", line.c_str());
    } catch (const FileError& e) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", e.what());
        return ExitFailure;
    }
    return 0;
}

// Resolves the source and its playlist; reads the playlist first, so that
// its chapters and names are there, then scans the whole source.
std::optional<MkvSource> prepareMkv(const CliArguments& args, Session& s) {
    std::string error;
    auto source = resolveMkvSource({args.input, args.title, args.playlist}, error);
    if (!source) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", error.c_str());
        return std::nullopt;
    }
    WindowState& w = s.window;
    // Every stream's first time stamp is needed, so the whole file is read.
    w.options.cbFastCheck = false;
    w.eEVOfile = source->source;
    EVOadj(w);
    if (!source->playlist.empty()) {
        w.eXPLfile = source->playlist;
        XPLadj(w);
        if (!bReadXPLClick(s)) return std::nullopt;
    }
    return source;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const CliArguments args =
        parseCliArguments(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!error.empty()) return usageError(error);
    if (args.command == "help") {
        std::fputs(CliUsage, stdout);
        return 0;
    }
    if (args.command == "version") {
        std::printf("tarnwick-cli %s\n", Version);
        return 0;
    }

    TerminalSinkOptions sinkOptions;
    sinkOptions.markup = args.markup;
    sinkOptions.colours = !args.markup && isatty(STDOUT_FILENO);
    sinkOptions.progress = !args.quiet && isatty(STDERR_FILENO);
    sinkOptions.lines = !args.json;
    TerminalSink sink(sinkOptions);
    CliFrontEnd ui(sink);
    StreamTable table;
    table.TimeFormatSettings = environmentLocale();
    WindowState window;
    applyOptions(args, window.options);
    Session session{table, window, sink, ui};
    ui.attach(session);
    installInterruptHandler();

    if (args.command == "xpl") return runXpl(args, session, sink, ui);
    if (args.command == "titles") return runTitles(args);
    std::optional<MkvSource> mkvSource;
    if (args.command == "mkv") {
        mkvSource = prepareMkv(args, session);
        if (!mkvSource) return ExitFailure;
    }

    if (!mkvSource) {
        window.eEVOfile = args.input;
        EVOadj(window);
    }
    Resetcbs(window);
    if (!bReadEVOClick(session)) return ExitFailure;
    if (InterruptRequested) return ExitInterrupted;
    if (args.json) return runJson(args, session, ui);
    if (args.streams) {
        const std::string streamError = selectStreams(*args.streams, window.boxes);
        if (!streamError.empty()) return usageError(streamError);
        cbVideoClick(window);
    }
    bool ok = true;
    if (args.command == "read") {
        std::fflush(stdout);
        for (const std::string& line : tickedStreamLines(window.boxes))
            std::printf("%s\n", line.c_str());
    } else if (args.command == "demux") {
        // Demux logs its errors and finishes; they go to standard error too.
        std::vector<std::string> errors;
        ok = bDemuxClick(session, &errors);
        sink.endProgress();
        std::fflush(stdout);
        for (const std::string& e : errors)
            std::fprintf(stderr, "tarnwick-cli: %s\n", e.c_str());
    } else if (args.command == "mkv") {
        std::vector<std::string> errors;
        ok = muxMkv(session, *mkvSource, {args.keepStreams, args.mkvmerge}, &errors);
        sink.endProgress();
        std::fflush(stdout);
        for (const std::string& e : errors)
            std::fprintf(stderr, "tarnwick-cli: %s\n", e.c_str());
    } else if (args.command == "rebuild") {
        ok = bRebuildClick(session);
    }
    std::fflush(stdout);
    if (InterruptRequested) return ExitInterrupted;
    return ok && !ui.failed() ? 0 : ExitFailure;
}
