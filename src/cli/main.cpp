// tarnwick-cli: the commands of the window without a window.

#include "app/paths.h"
#include "app/stream_selection.h"
#include "cli/cli_arguments.h"
#include "cli/cli_front_end.h"
#include "cli/output_folder.h"
#include "cli/terminal_text.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/report_json.h"
#include "matroska/disc_titles.h"
#include "matroska/mkv_command.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "playlist/title_list.h"
#include "rebuild/rebuild.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace tarnwick;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr const char* Version = "0.626";
constexpr int ExitNoProgramStream = 3;
constexpr int ExitSignalBase = 128;

int usageError(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwick-cli: %s\nTry 'tarnwick-cli --help'.\n", message.c_str());
    return ExitUsage;
}

int failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwick-cli: %s\n", message.c_str());
    return ExitFailure;
}

bool writesFiles(const CliArguments& args) {
    return args.command == "demux" || args.command == "rebuild" || args.command == "mkv" ||
           (args.command == "xpl" && args.chapters);
}

bool anyStreamFound(const StreamBoxes& b) {
    for (const auto& box : b.cbVideo)
        if (box.enabled) return true;
    for (const auto& box : b.cbAudio)
        if (box.enabled) return true;
    for (const auto& box : b.cbSub)
        if (box.enabled) return true;
    return false;
}

// Text from files reaches the terminal with its control bytes made visible;
// the tabs between the fields of a list are the list's own.
void printLines(const std::vector<std::string>& lines, bool quiet, bool tabbedFields = false) {
    std::fflush(stdout);
    if (quiet) return;
    for (const std::string& line : lines) {
        if (!tabbedFields) {
            std::printf("%s\n", terminalText(line).c_str());
            continue;
        }
        std::string shown;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            shown += terminalText(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            shown += '\t';
            start = tab + 1;
        }
        std::printf("%s\n", shown.c_str());
    }
}

int runXpl(const CliArguments& args, Session& s, TerminalSink& sink, CliFrontEnd& ui) {
    WindowState& w = s.window;
    w.eEVOfile = args.xplSource;
    EVOadj(w);
    w.eXPLfile = args.input;
    XPLadj(w);
    Resetcbs(w);
    if (!bReadXPLClick(s, args.title)) return ExitFailure;
    const std::vector<PlaylistTitle> titles = listTitles(w.playlist.mXPL);
    if (args.title != 0) {
        if (titles.size() != 1 || titles[0].number != args.title) {
            std::string numbers;
            for (const PlaylistTitle& title : titles)
                numbers += (numbers.empty() ? "" : ", ") + std::to_string(title.number);
            return usageError("--title " + std::to_string(args.title) +
                              ": the playlist has no such title (titles: " +
                              (numbers.empty() ? "none" : numbers) + ")");
        }
        // Named like the source that plays the title's first clip.
        if (args.xplSource.empty() && !titles[0].clips.empty())
            w.paths.EVObase = titles[0].clips[0];
    }
    const bool titleChosen = args.title != 0 || !args.xplSource.empty();
    if (args.chapters) {
        if (w.playlist.mChapter.empty() && !args.quiet) {
            sink.endProgress();
            std::fflush(stdout);
            std::fprintf(stderr, "tarnwick-cli: %s, no chapter file written\n",
                         titleChosen ? "no chapter found"
                                     : "no title chosen (--title N or --source SOURCE)");
        } else if (!w.playlist.mChapter.empty() && !bWriteChapsClick(s)) {
            return ExitFailure;
        }
    }
    if (titleChosen) {
        printLines(w.playlist.mXPL, args.quiet);
    } else {
        std::vector<std::string> summaries;
        for (const PlaylistTitle& title : titles)
            summaries.push_back(titleSummary(title));
        printLines(summaries, args.quiet, true);
    }
    return ui.failed() ? ExitFailure : 0;
}

// The checks that need no scan, so that a mistake shows at once and not after
// minutes of reading.
int checkBeforeScan(const CliArguments& args) {
    if (args.command == "rebuild" && upperExtension(args.input) != ".EVO")
        return usageError("rebuild: " + fileNamePart(args.input) +
                          " is not an HD DVD EVO file; only EVO files can be rebuilt");
    if (writesFiles(args)) {
        const std::string error = prepareOutputFolder(args.output.value_or(std::string()));
        if (!error.empty()) return failure(error);
    }
    return 0;
}

int interruptedStatus() {
    return ExitSignalBase + InterruptRequested;
}

// The report as JSON: the only text on standard output. The playlist, when
// given, is read after the scan and names the streams.
bool printJson(const CliArguments& args, Session& s) {
    WindowState& w = s.window;
    if (args.playlist) {
        w.eXPLfile = *args.playlist;
        XPLadj(w);
        if (!bReadXPLClick(s)) return false;
    }
    const std::string document = reportJson(
        {s.table.Report, "tarnwick-cli", Version, args.playlist ? &w.playlist.streams : nullptr});
    std::fputs(document.c_str(), stdout);
    std::fflush(stdout);
    return true;
}

// The titles of a disc's playlist.
int runTitles(const CliArguments& args) {
    const auto disc = discFolders(args.input);
    std::string error;
    if (!disc)
        error = args.input + " is not a disc folder (one that holds HVDVD_TS).";
    else if (disc->playlist.empty())
        error = "The disc " + args.input + " has no playlist ADV_OBJ/VPLST000.XPL.";
    if (!error.empty()) return failure(terminalText(error));
    try {
        printLines(titleListing(readPlaylistTitles(disc->playlist)), false, true);
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
    const std::optional<int> title = args.title > 0 ? std::optional<int>(args.title) : std::nullopt;
    auto source = resolveMkvSource({args.input, title, args.playlist}, error);
    if (!source) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(error).c_str());
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
        std::puts("tarnwick-cli 0.626");
        return 0;
    }
    if (const int status = checkBeforeScan(args); status != 0) return status;

    TerminalSinkOptions sinkOptions;
    sinkOptions.markup = args.markup;
    sinkOptions.colours =
        !args.markup && colourWanted(args.color, isatty(STDOUT_FILENO), std::getenv("NO_COLOR"));
    sinkOptions.progress = !args.quiet && isatty(STDERR_FILENO);
    sinkOptions.messages = !args.quiet && !args.json;
    TerminalSink sink(sinkOptions);
    CliFrontEnd ui(sink);
    StreamTable table;
    table.TimeFormatSettings = environmentLocale();
    WindowState window;
    applyOptions(args, window.options);
    Session session{table, window, sink, ui};
    ui.attach(session);
    installInterruptHandler();

    if (args.command == "xpl") {
        const int status = runXpl(args, session, sink, ui);
        return InterruptRequested ? interruptedStatus() : status;
    }
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
    if (InterruptRequested) return interruptedStatus();
    if (args.json && !printJson(args, session)) return ExitFailure;
    if (!anyStreamFound(window.boxes)) {
        sink.endProgress();
        std::fflush(stdout);
        std::fprintf(stderr, "tarnwick-cli: no program stream found in %s\n", args.input.c_str());
        return ExitNoProgramStream;
    }
    if (args.streams) {
        const std::string streamError = selectStreams(*args.streams, window.boxes);
        if (!streamError.empty()) return usageError(streamError);
        cbVideoClick(window);
    }
    bool ok = true;
    if (args.json) {
        return ui.failed() ? ExitFailure : 0;
    } else if (args.command == "read") {
        printLines(tickedStreamLines(window.boxes), args.quiet, true);
    } else if (args.command == "demux") {
        // Demux logs its errors and finishes; they go to standard error too.
        std::vector<std::string> errors;
        ok = bDemuxClick(session, &errors);
        sink.endProgress();
        std::fflush(stdout);
        for (const std::string& e : errors)
            std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(e).c_str());
    } else if (args.command == "mkv") {
        std::vector<std::string> errors;
        ok = muxMkv(session, *mkvSource, {args.keepStreams, args.mkvmerge}, &errors);
        sink.endProgress();
        std::fflush(stdout);
        for (const std::string& e : errors)
            std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(e).c_str());
    } else if (args.command == "rebuild") {
        ok = bRebuildClick(session);
    }
    std::fflush(stdout);
    if (InterruptRequested) return interruptedStatus();
    return ok && !ui.failed() ? 0 : ExitFailure;
}
