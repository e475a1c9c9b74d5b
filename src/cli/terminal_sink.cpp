#include "cli/terminal_sink.h"

#include "cli/terminal_text.h"
#include "log/log_line.h"

#include <cerrno>

namespace tarnwick {

namespace {

// Standard output is the only stream whose failures are asked for.
int standardOutputErrno = 0;

} // namespace

void writeText(std::FILE* stream, const std::string& text) {
    errno = 0;
    const size_t written = std::fwrite(text.data(), 1, text.size(), stream);
    if (written == text.size() && !std::ferror(stream)) return;
    if (stream == stdout && standardOutputErrno == 0) standardOutputErrno = errno ? errno : EIO;
}

void flushText(std::FILE* stream) {
    errno = 0;
    if (std::fflush(stream) == 0 && !std::ferror(stream)) return;
    if (stream == stdout && standardOutputErrno == 0) standardOutputErrno = errno ? errno : EIO;
}

int firstWriteError(std::FILE* stream) {
    return stream == stdout ? standardOutputErrno : 0;
}

TerminalSink::TerminalSink(TerminalSinkOptions options, std::FILE* out, std::FILE* err)
    : options_(options), out_(out), err_(err) {}

TerminalSink::~TerminalSink() {
    endProgress();
}

bool colourWanted(const std::string& when, bool onTerminal, const char* noColour) {
    if (when == "always") return true;
    if (when == "never") return false;
    return onTerminal && !(noColour && *noColour);
}

std::string ansiLine(const std::string& message) {
    const LogLine line = parseMarkup(message);
    std::string out;
    size_t at = 0;
    for (const TextRun& run : line.runs) {
        out += line.visible.substr(at, run.start - at);
        std::string codes;
        const CharAttributes& a = run.attributes;
        if (a.bold) codes += ";1";
        if (a.italic) codes += ";3";
        if (a.underline) codes += ";4";
        if (a.colour == BlueColour) codes += ";34";
        if (a.colour == RedColour) codes += ";31";
        const std::string text = line.visible.substr(run.start, run.length);
        out += codes.empty() ? text : "\033[" + codes.substr(1) + "m" + text + "\033[0m";
        at = run.start + run.length;
    }
    out += line.visible.substr(at);
    return out;
}

void TerminalSink::log(const std::string& logged) {
    endProgress();
    if (!options_.messages) return;
    // Playlist texts and file names reach the terminal through log lines.
    const std::string message = terminalText(logged);
    std::string text;
    if (options_.markup)
        text = message;
    else if (options_.colours)
        text = ansiLine(message);
    else
        text = visibleText(message);
    text += '\n';
    writeText(out_, text);
}

void TerminalSink::slog(const std::string& text, int panel) {
    panels_[panel == 0 ? 0 : 1] = terminalText(text);
    if (!options_.progress) return;
    if (panels_[1].empty()) {
        endProgress();
        return;
    }
    flushText(out_);
    std::fprintf(err_, "\r\033[K%s %s", panels_[0].c_str(), panels_[1].c_str());
    std::fflush(err_);
    progressShown_ = true;
}

void TerminalSink::endProgress() {
    if (!progressShown_) return;
    std::fprintf(err_, "\r\033[K");
    std::fflush(err_);
    progressShown_ = false;
}

} // namespace tarnwick
