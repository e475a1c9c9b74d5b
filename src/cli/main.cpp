// tarnwick-cli: the commands of the window without a window.

#include "app/paths.h"
#include "app/stream_selection.h"
#include "cli/cli_arguments.h"
#include "cli/cli_front_end.h"
#include "cli/terminal_text.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "playlist/chapter_writer.h"
#include "playlist/read_xpl.h"
#include "rebuild/rebuild.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace tarnwick;

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitInterrupted = 130;

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
        std::printf("%s\n", terminalText(line).c_str());
    return ui.failed() ? ExitFailure : 0;
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

    TerminalSinkOptions sinkOptions;
    sinkOptions.markup = args.markup;
    sinkOptions.colours = !args.markup && isatty(STDOUT_FILENO);
    sinkOptions.progress = !args.quiet && isatty(STDERR_FILENO);
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

    window.eEVOfile = args.input;
    EVOadj(window);
    Resetcbs(window);
    if (!bReadEVOClick(session)) return ExitFailure;
    if (InterruptRequested) return ExitInterrupted;
    if (args.streams) {
        const std::string streamError = selectStreams(*args.streams, window.boxes);
        if (!streamError.empty()) return usageError(streamError);
        cbVideoClick(window);
    }
    bool ok = true;
    if (args.command == "read") {
        std::fflush(stdout);
        // Box name, tab, caption: the tab is the list's own.
        for (const std::string& line : tickedStreamLines(window.boxes)) {
            const size_t tab = std::min(line.find('\t'), line.size());
            std::printf("%s%s\n", terminalText(line.substr(0, tab)).c_str(),
                        tab < line.size() ? ("\t" + terminalText(line.substr(tab + 1))).c_str()
                                          : "");
        }
    } else if (args.command == "demux") {
        // Demux logs its errors and finishes; they go to standard error too.
        std::vector<std::string> errors;
        ok = bDemuxClick(session, &errors);
        sink.endProgress();
        std::fflush(stdout);
        for (const std::string& e : errors)
            std::fprintf(stderr, "tarnwick-cli: %s\n", terminalText(e).c_str());
    } else if (args.command == "rebuild") {
        ok = bRebuildClick(session);
    }
    std::fflush(stdout);
    if (InterruptRequested) return ExitInterrupted;
    return ok && !ui.failed() ? 0 : ExitFailure;
}
