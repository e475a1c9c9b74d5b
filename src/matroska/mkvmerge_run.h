#pragma once
// One mkvmerge run: the JSON option file that names the tracks (so that
// names and paths with any characters pass unchanged), and mkvmerge run as a
// program in its GUI mode, whose progress, warning and error lines are handed
// to callbacks.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// An elementary stream or WAV file, which mkvmerge reads as track 0.
struct MkvTrack {
    std::string file;
    std::string name;
    std::string language = "und"; // ISO 639-2
    int64_t syncMs = 0;           // moves the whole track later, in milliseconds
    std::string timestamps;       // a timestamp file, one time per frame; empty: none
    bool isDefault = false;
};

struct MkvJob {
    std::string output;
    std::string title;       // the segment title; empty: none
    std::string chapterFile; // UTF-8 chapter text; empty: no chapters
    std::vector<MkvTrack> tracks;
};

// The arguments of the option file, in mkvmerge's order (global options,
// then each track's options in front of its file).
std::vector<std::string> mkvmergeArguments(const MkvJob& job);

// The option file: a JSON array of the arguments. Raises FileError.
void writeMkvmergeOptions(const MkvJob& job, const std::string& path);

struct MkvmergeCallbacks {
    std::function<void(int percent)> progress;
    std::function<void(const std::string& text)> warning;
    std::function<void(const std::string& text)> error;
    std::function<bool()> cancelled; // polled while mkvmerge runs
};

// Hands one line of GUI-mode output ("#GUI#progress 45%", "#GUI#warning
// ...", "#GUI#error ...") to its callback; other lines are ignored.
void handleMkvmergeLine(std::string_view line, const MkvmergeCallbacks& callbacks);

enum class MkvmergeOutcome { Done, DoneWithWarnings, Failed, Missing, Cancelled };

struct MkvmergeResult {
    MkvmergeOutcome outcome = MkvmergeOutcome::Failed;
    int exitCode = -1;
    std::string message; // for every outcome but Done
};

// The message when the program cannot be started.
std::string mkvmergeMissingMessage(const std::string& program);

// Where and how mkvmerge runs.
struct MkvmergePlace {
    // A descriptor of the folder it runs in (-1: the current one): the
    // relative paths of the option file, and the option file's own, are
    // names in it.
    int folder = -1;
    // After Cancel it is asked to stop (SIGTERM); when it has not ended
    // after this long, it is killed (SIGKILL).
    int stopGraceMilliseconds = 5000;
};

// Runs `program --gui-mode @optionsFile` without a shell, in a process group
// of its own (a Ctrl-C at the terminal reaches this program, which stops
// it), and waits for it.
MkvmergeResult runMkvmerge(const std::string& optionsFile, const MkvmergeCallbacks& callbacks,
                           const std::string& program = "mkvmerge",
                           const MkvmergePlace& place = {});

} // namespace tarnwick
