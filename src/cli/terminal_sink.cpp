#include "cli/terminal_sink.h"

#include "cli/terminal_text.h"
#include "log/log_line.h"

namespace tarnwick {

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
    std::fwrite(text.data(), 1, text.size(), out_);
}

void TerminalSink::slog(const std::string& text, int panel) {
    panels_[panel == 0 ? 0 : 1] = terminalText(text);
    if (!options_.progress) return;
    if (panels_[1].empty()) {
        endProgress();
        return;
    }
    std::fflush(out_);
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
