// tarnwick-cli: the commands of the window without a window. The arguments
// become requests; the results are printed.

#include "cli/cli_arguments.h"
#include "cli/cli_front_end.h"
#include "cli/terminal_text.h"
#include "commands/demux_command.h"
#include "commands/output_folder.h"
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

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace tarnwick;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr const char* Version = "0.626";
// The file holds nothing of what was asked for: no program stream in a
// source, no title in a playlist.
constexpr int ExitNothingFound = 3;
constexpr int ExitSignalBase = 128;

int usageError(const std::string& message) {
    flushText(stdout);
    std::fprintf(stderr, "tarnwick-cli: %s\nTry 'tarnwick-cli --help'.\n",
                 terminalText(message).c_str());
    return ExitUsage;
}

int failure(const std::string& message, int status = ExitFailure) {
    flushText(stdout);
    std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(message).c_str());
    return status;
}

// A file given as a playlist that holds no title: not XML, or other XML.
int notAPlaylist(const std::string& path) {
    return failure(path + " is not an HD DVD playlist: it holds no Title.", ExitNothingFound);
}

// The messages of a command's errors on standard error.
void printErrors(const std::vector<std::string>& errors, TerminalSink& sink) {
    sink.endProgress();
    flushText(stdout);
    for (const std::string& e : errors)
        std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(e).c_str());
}

bool writesFiles(const CliArguments& args) {
    return args.command == "demux" || args.command == "rebuild" || args.command == "mkv" ||
           (args.command == "xpl" && args.chapters);
}

// The data a command exists to print: -q leaves it, as it only silences the
// log and the progress. Text from files reaches the terminal with its
// control bytes made visible; the tabs between the fields of a list are the
// list's own.
void printLines(const std::vector<std::string>& lines, bool tabbedFields = false) {
    flushText(stdout);
    for (const std::string& line : lines) {
        if (!tabbedFields) {
            writeText(stdout, terminalText(line) + "\n");
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
        writeText(stdout, shown + "\n");
    }
}

void printDocument(const std::string& document) {
    writeText(stdout, document);
    flushText(stdout);
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
    request.stop = interruptRequested;
    const PlaylistResult result = readPlaylist(request, c.run);
    if (!result.ok()) {
        printErrors(result.errors, c.sink);
        return ExitFailure;
    }
    if (InterruptRequested) return interruptedStatus();
    const std::vector<PlaylistTitle> titles = listTitles(result.tagLines);
    if (titles.empty()) {
        c.sink.endProgress();
        return notAPlaylist(args.input);
    }
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
            flushText(stdout);
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
        printLines(result.tagLines);
    } else {
        std::vector<std::string> summaries;
        for (const PlaylistTitle& title : titles)
            summaries.push_back(titleSummary(title));
        printLines(summaries, true);
    }
    return 0;
}

// The language table for the codes the MKV gives; nothing when iso-codes
// cannot be read (the codes are then null in the document).
std::optional<LanguageTable> languageTable() {
    try {
        return loadLanguageTable();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A playlist given to read --json: read before the scan, so that a file that
// is no playlist shows at once and not after minutes of reading.
int checkPlaylistFile(const std::string& path) {
    try {
        if (readPlaylistTitles(path, interruptRequested).empty() && !InterruptRequested)
            return notAPlaylist(path);
    } catch (const FileError& e) {
        return failure(e.what());
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
    if (args.command == "mkv" && !mkvmergeFound(args.mkvmerge))
        return failure(mkvmergeMissingMessage(args.mkvmerge));
    return 0;
}

// The playlist's title of a bare source: its number, name, playing time,
// streams and chapters; the files stay those of the source.
void takePlaylistTitle(Title& title, const PlaylistTitle& listed, const std::string& playlist) {
    const DiscTitle named =
        discTitle(listed, title.empty() ? std::string() : folderPart(title.firstFile()), playlist);
    title.number = named.title.number;
    title.name = named.title.name;
    title.playlist = named.title.playlist;
    title.duration = named.title.duration;
    title.streams = named.title.streams;
    title.chapters = named.title.chapters;
}

// The report as JSON: the only text on standard output. The playlist (the
// one given, else the title's own) is read after the scan and names the
// streams.
bool printJson(Cli& c, Title title) {
    std::vector<PlaylistStreamName> named;
    const std::string playlist = c.args.playlist.value_or(title.playlist);
    if (!playlist.empty()) {
        PlaylistRequest request;
        request.path = playlist;
        request.source = title.empty() ? std::string() : title.firstFile();
        request.titleNumber = title.number;
        request.stop = interruptRequested;
        const PlaylistResult result = readPlaylist(request, c.run);
        if (!result.ok()) {
            printErrors(result.errors, c.sink);
            return false;
        }
        if (InterruptRequested) return false;
        named = result.streams;
        if (title.number == 0 && result.titleShown)
            if (const std::vector<PlaylistTitle> shown = listTitles(result.tagLines);
                !shown.empty())
                takePlaylistTitle(title, shown.front(), playlist);
    }
    const std::optional<LanguageTable> languages =
        title.streams.empty() ? std::optional<LanguageTable>(LanguageTable{}) : languageTable();
    printDocument(
        reportJson({title.scan, "tarnwick-cli", Version, playlist.empty() ? nullptr : &named,
                    &title, languages ? &*languages : nullptr}));
    return true;
}

// The titles of a disc's playlist.
int runTitles(Cli& c) {
    const CliArguments& args = c.args;
    const auto disc = discFolders(args.input);
    std::string error;
    if (!disc)
        error = args.input + " is not a disc folder (one that holds HVDVD_TS).";
    else if (disc->playlist.empty())
        error = "The disc " + args.input + " has no playlist ADV_OBJ/VPLST000.XPL.";
    if (!error.empty()) return failure(error);
    PlaylistTitles list;
    try {
        list = readTitleList(disc->playlist, interruptRequested);
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    if (InterruptRequested) return interruptedStatus();
    if (list.titles.empty()) return notAPlaylist(disc->playlist);
    if (args.json) {
        if (!list.complete) c.run.log.log(TitleListCutNote);
        const std::optional<LanguageTable> languages = languageTable();
        printDocument(titlesJson(list.titles, disc->playlist, "tarnwick-cli", Version,
                                 languages ? &*languages : nullptr));
    } else {
        printLines(titleListing(list), true);
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

// Whether the command reads a title of a playlist: mkv always, read of a disc
// folder or with --title.
bool titleFromPlaylist(const CliArguments& args) {
    return args.command == "mkv" ||
           (args.command == "read" && (args.title != 0 || discFolders(args.input)));
}

// The title the command works on; 0, or the status to end with.
int chooseInputTitle(Cli& c, Title& title) {
    const CliArguments& args = c.args;
    if (!titleFromPlaylist(args)) {
        title = titleOfSource(args.input, !args.noContinue);
        return 0;
    }
    std::string error;
    ChoiceError kind = ChoiceError::None;
    const std::optional<int> number =
        args.title > 0 ? std::optional<int>(args.title) : std::nullopt;
    auto chosen = chooseTitle(
        {args.input, number, args.playlist, !args.noContinue, interruptRequested}, error, &kind);
    if (InterruptRequested) return interruptedStatus();
    if (!chosen && kind == ChoiceError::NoSuchTitle) return usageError(error);
    if (!chosen && kind == ChoiceError::NotAPlaylist) {
        const auto disc = discFolders(args.input);
        return notAPlaylist(args.playlist ? *args.playlist : disc ? disc->playlist : args.input);
    }
    if (!chosen) return failure(error);
    if (args.title != 0 && chosen->title.number == 0)
        return usageError("--title " + std::to_string(args.title) + ": " + args.input +
                          " has no playlist to take titles from (give the disc folder or "
                          "--playlist XPL)");
    for (const std::string& warning : chosen->warnings)
        c.run.log.log(warning);
    title = std::move(chosen->title);
    return 0;
}

// An MKV already there is replaced only when asked to: a second run into the
// same folder, or a second disc with the same title name, must not silently
// take the place of the first.
int checkMkvName(const CliArguments& args, const Title& title) {
    const std::string path = matroskaPath(title, args.output.value_or(std::string()), args.name);
    std::error_code ec;
    if (args.overwrite ||
        std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
        return 0;
    return failure("the MKV \"" + path +
                   "\" exists already; --overwrite replaces it, --name NAME writes another");
}

int runSourceCommand(Cli& c) {
    const CliArguments& args = c.args;
    if (args.playlist && args.command == "read" && !titleFromPlaylist(args))
        if (const int status = checkPlaylistFile(*args.playlist); status != 0) return status;
    Title title;
    if (const int status = chooseInputTitle(c, title); status != 0) return status;
    // mkv: the scan finds the streams and their formats; their time stamps
    // come from the Matroska step's own pass, so the fast check holds.
    if (args.command == "mkv")
        if (const int status = checkMkvName(args, title); status != 0) return status;

    ScanOptions options = scanOptions(args);
    ScanResult scan = readEvo({title, options}, c.run);
    if (!scan.ok()) {
        printErrors(scan.errors, c.sink);
        return ExitFailure;
    }
    if (InterruptRequested) return interruptedStatus();
    if (args.json && args.command == "read" && !printJson(c, scan.title))
        return InterruptRequested ? interruptedStatus() : ExitFailure;
    if (!scan.title.scan.anyStream()) {
        c.sink.endProgress();
        return failure("no program stream found in " + args.input, ExitNothingFound);
    }
    if (args.json && args.command == "read") return 0;
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
        printLines(selectedStreamLines(found, selection), true);
    } else if (args.command == "demux") {
        DemuxRequest request{scan.title,
                             selectedStreams(found, selection),
                             selection,
                             outputNaming(args),
                             options.countFrames,
                             {},
                             nullptr};
        errors = demuxTitle(request, c.run).errors;
    } else if (args.command == "mkv") {
        MatroskaRequest request{.title = scan.title,
                                .streams = selectedStreams(found, selection),
                                .selection = selection,
                                .outputFolder = args.output.value_or(std::string()),
                                .name = args.name};
        request.keepStreams = args.keepStreams;
        request.overwrite = args.overwrite;
        request.mkvmerge = args.mkvmerge;
        if (!scan.title.playlist.empty()) request.playlists = {scan.title.playlist};
        const MatroskaResult result = muxTitle(request, c.run);
        errors = result.errors;
        if (args.json && result.ok() && !InterruptRequested)
            printDocument(matroskaJson(result, scan.title, "tarnwick-cli", Version));
    } else if (args.command == "rebuild") {
        RebuildRequest request{
            scan.title, selection, args.adv, args.output.value_or(std::string()), {}};
        errors = rebuildTitle(request, c.run).errors;
    }
    printErrors(errors, c.sink);
    if (InterruptRequested) return interruptedStatus();
    return errors.empty() ? 0 : ExitFailure;
}

// Standard output that could not take everything (a closed pipe, a full
// disk, the file size limit) is a write error like any other file's.
int checkStandardOutput(int status) {
    flushText(stdout);
    if (!std::ferror(stdout)) return status;
    const std::string reason =
        std::strerror(firstWriteError(stdout) ? firstWriteError(stdout) : EIO);
    std::fprintf(stderr, "tarnwick-cli: cannot write to standard output: %s\n", reason.c_str());
    return status == 0 ? ExitFailure : status;
}

} // namespace

int main(int argc, char** argv) {
    installInterruptHandler();
    std::string error;
    const CliArguments args =
        parseCliArguments(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!error.empty()) return usageError(error);
    if (args.command == "help") {
        writeText(stdout, CliUsage);
        return checkStandardOutput(0);
    }
    if (args.command == "version") {
        writeText(stdout, "tarnwick-cli 0.626\n");
        return checkStandardOutput(0);
    }
    if (const int status = checkBeforeScan(args); status != 0) return status;

    TerminalSinkOptions sinkOptions;
    sinkOptions.markup = args.markup;
    sinkOptions.colours =
        !args.markup && colourWanted(args.color, isatty(STDOUT_FILENO), std::getenv("NO_COLOR"));
    sinkOptions.progress = !args.quiet && isatty(STDERR_FILENO);
    sinkOptions.messages = !args.quiet && !args.json;
    TerminalSink sink(sinkOptions);
    CliHost host(sink);
    Cli cli{args, sink, host, {sink, host, environmentLocale()}};

    int status = 0;
    try {
        status = args.command == "xpl"      ? runXpl(cli)
                 : args.command == "titles" ? runTitles(cli)
                                            : runSourceCommand(cli);
    } catch (const std::exception& e) {
        // Every command has its own error boundary; this one catches what a
        // front end's own step might raise.
        status = failure(e.what());
    }
    sink.endProgress();
    status = checkStandardOutput(status);
    // The files are closed; the signal that asked to stop now ends the
    // program, so that a shell loop around it stops too.
    if (InterruptRequested) endBySignal(InterruptRequested);
    return status;
}
