// tarnwick-cli: the commands of the window without a window. The arguments
// become requests; the results are printed.

#include "cli/cli_arguments.h"
#include "cli/cli_front_end.h"
#include "commands/output_folder.h"
#include "cli/terminal_text.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/report_json.h"
#include "commands/title_files.h"
#include "engine/files.h"
#include "matroska/mkv_command.h"
#include "model/file_names.h"
#include "playlist/chapter_writer.h"
#include "playlist/disc_titles.h"
#include "playlist/read_xpl.h"
#include "playlist/title_choice.h"
#include "playlist/title_list.h"
#include "rebuild/rebuild.h"

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
    std::fprintf(stderr, "tarnwick-cli: %s\nTry 'tarnwick-cli --help'.\n",
                 terminalText(message).c_str());
    return ExitUsage;
}

int failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(message).c_str());
    return ExitFailure;
}

// The messages of a command's errors on standard error.
void printErrors(const std::vector<std::string>& errors, TerminalSink& sink) {
    sink.endProgress();
    std::fflush(stdout);
    for (const std::string& e : errors)
        std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(e).c_str());
}

bool writesFiles(const CliArguments& args) {
    return args.command == "demux" || args.command == "rebuild" || args.command == "mkv" ||
           (args.command == "xpl" && args.chapters);
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

int interruptedStatus() {
    return ExitSignalBase + InterruptRequested;
}

struct Cli {
    const CliArguments& args;
    TerminalSink& sink;
    CliHost& host;
    RunContext run;
};

int runXpl(Cli& c) {
    const CliArguments& args = c.args;
    PlaylistRequest request;
    request.path = args.input;
    request.source = args.xplSource;
    request.titleNumber = args.title;
    const PlaylistResult result = readPlaylist(request, c.run);
    if (!result.ok()) {
        printErrors(result.errors, c.sink);
        return ExitFailure;
    }
    const std::vector<PlaylistTitle> titles = listTitles(result.tagLines);
    // The chapter file is named like the source; with a title and no
    // source, like the source that plays the title's first clip.
    std::string baseName = withoutExtension(fileNamePart(args.xplSource));
    if (args.title != 0) {
        if (titles.size() != 1 || titles[0].number != args.title) {
            std::string numbers;
            for (const PlaylistTitle& title : titles)
                numbers += (numbers.empty() ? "" : ", ") + std::to_string(title.number);
            return usageError("--title " + std::to_string(args.title) +
                              ": the playlist has no such title (titles: " +
                              (numbers.empty() ? "none" : numbers) + ")");
        }
        if (args.xplSource.empty() && !titles[0].clips.empty()) baseName = titles[0].clips[0];
    }
    const bool titleChosen = args.title != 0 || !args.xplSource.empty();
    if (args.chapters) {
        if (result.chapterLines.empty() && !args.quiet) {
            c.sink.endProgress();
            std::fflush(stdout);
            std::fprintf(stderr, "tarnwick-cli: %s, no chapter file written\n",
                         titleChosen ? "no chapter found"
                                     : "no title chosen (--title N or --source SOURCE)");
        } else if (!result.chapterLines.empty()) {
            ChaptersRequest chapters;
            chapters.lines = result.chapterLines;
            chapters.path = chapterFilePath(args.output.value_or(std::string()), baseName);
            chapters.playlist = args.input;
            if (!args.xplSource.empty())
                chapters.sources = featureParts(args.xplSource, fileExists);
            const ChaptersResult written = writeChapters(chapters, c.run);
            if (!written.ok()) {
                printErrors(written.errors, c.sink);
                return ExitFailure;
            }
        }
    }
    if (titleChosen) {
        printLines(result.tagLines, args.quiet);
    } else {
        std::vector<std::string> summaries;
        for (const PlaylistTitle& title : titles)
            summaries.push_back(titleSummary(title));
        printLines(summaries, args.quiet, true);
    }
    return 0;
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

// The report as JSON: the only text on standard output. The playlist, when
// given, is read after the scan and names the streams.
bool printJson(Cli& c, const Title& title) {
    std::vector<PlaylistStreamName> named;
    if (c.args.playlist) {
        PlaylistRequest request;
        request.path = *c.args.playlist;
        request.source = title.empty() ? std::string() : title.firstFile();
        const PlaylistResult result = readPlaylist(request, c.run);
        if (!result.ok()) {
            printErrors(result.errors, c.sink);
            return false;
        }
        named = result.streams;
    }
    const std::string document =
        reportJson({title.scan, "tarnwick-cli", Version, c.args.playlist ? &named : nullptr});
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
    if (!error.empty()) return failure(error);
    try {
        printLines(titleListing(readPlaylistTitles(disc->playlist)), false, true);
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    return 0;
}

// The selected streams to write, in slot order, with their captions.
std::vector<DemuxStream> selectedStreams(const std::vector<NamedStream>& found,
                                         const SelectionSet& selection) {
    std::vector<DemuxStream> streams;
    for (const NamedStream& s : found)
        if (selection.selected(s.kind, s.slot)) streams.push_back({s.kind, s.slot, s.caption});
    return streams;
}

int runSourceCommand(Cli& c) {
    const CliArguments& args = c.args;
    Title title;
    ScanOptions options = scanOptions(args);
    if (args.command == "mkv") {
        std::string error;
        const std::optional<int> number =
            args.title > 0 ? std::optional<int>(args.title) : std::nullopt;
        auto chosen = chooseTitle({args.input, number, args.playlist, !args.noContinue}, error);
        if (!chosen) return failure(error);
        for (const std::string& warning : chosen->warnings)
            c.run.log.log(warning);
        title = std::move(chosen->title);
        // The scan finds the streams and their formats; their time stamps
        // come from the Matroska step's own pass, so the fast check holds.
    } else {
        title = titleOfSource(args.input, !args.noContinue);
    }

    ScanResult scan = readEvo({title, options}, c.run);
    if (!scan.ok()) {
        printErrors(scan.errors, c.sink);
        return ExitFailure;
    }
    if (InterruptRequested) return interruptedStatus();
    if (args.json && !printJson(c, scan.title)) return ExitFailure;
    if (!scan.title.scan.anyStream()) {
        c.sink.endProgress();
        std::fflush(stdout);
        std::fprintf(stderr, "tarnwick-cli: no program stream found in %s\n",
                     terminalText(args.input).c_str());
        return ExitNoProgramStream;
    }
    if (args.json) return 0;
    const std::vector<NamedStream> found = foundStreams(scan.title.scan);
    SelectionSet selection;
    for (const NamedStream& s : found)
        selection.select(s.kind, s.slot);
    if (args.streams) {
        const std::string streamError = selectStreams(*args.streams, found, selection);
        if (!streamError.empty()) return usageError(streamError);
    }
    std::vector<std::string> errors;
    if (args.command == "read") {
        printLines(selectedStreamLines(found, selection), args.quiet, true);
    } else if (args.command == "demux") {
        DemuxRequest request{scan.title, selectedStreams(found, selection), selection,
                             outputNaming(args), options.countFrames, {}, nullptr};
        errors = demuxTitle(request, c.run).errors;
    } else if (args.command == "mkv") {
        MatroskaRequest request{.title = scan.title,
                                .streams = selectedStreams(found, selection),
                                .selection = selection,
                                .outputFolder = args.output.value_or(std::string())};
        request.keepStreams = args.keepStreams;
        request.mkvmerge = args.mkvmerge;
        if (!scan.title.playlist.empty()) request.playlists = {scan.title.playlist};
        errors = muxTitle(request, c.run).errors;
    } else if (args.command == "rebuild") {
        RebuildRequest request{scan.title, selection, args.adv,
                               args.output.value_or(std::string()), {}};
        errors = rebuildTitle(request, c.run).errors;
    }
    printErrors(errors, c.sink);
    if (InterruptRequested) return interruptedStatus();
    return errors.empty() ? 0 : ExitFailure;
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
    if (args.command == "titles") return runTitles(args);

    TerminalSinkOptions sinkOptions;
    sinkOptions.markup = args.markup;
    sinkOptions.colours =
        !args.markup && colourWanted(args.color, isatty(STDOUT_FILENO), std::getenv("NO_COLOR"));
    sinkOptions.progress = !args.quiet && isatty(STDERR_FILENO);
    sinkOptions.messages = !args.quiet && !args.json;
    TerminalSink sink(sinkOptions);
    CliHost host(sink);
    Cli cli{args, sink, host, {sink, host, environmentLocale()}};
    installInterruptHandler();

    int status = 0;
    try {
        status = args.command == "xpl" ? runXpl(cli) : runSourceCommand(cli);
    } catch (const std::exception& e) {
        // Every command has its own error boundary; this one catches what a
        // front end's own step might raise.
        status = failure(e.what());
    }
    std::fflush(stdout);
    return InterruptRequested ? interruptedStatus() : status;
}
