#include "matroska/mkvmerge_run.h"

#include "engine/files.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tarnwick {

namespace {

constexpr std::string_view GuiProgress = "#GUI#progress ";
constexpr std::string_view GuiWarning = "#GUI#warning ";
constexpr std::string_view GuiError = "#GUI#error ";
// mkvmerge prints short lines; a longer one is cut, not kept whole.
constexpr size_t MaxLineLength = 64 * 1024;
constexpr int PollMilliseconds = 200;

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

// The read end of a pipe whose write end becomes the child's output.
class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0)
            throw FileError(std::string("Cannot start mkvmerge. ") + std::strerror(errno));
    }
    ~Pipe() {
        closeWriteEnd();
        if (fds_[0] >= 0) ::close(fds_[0]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeWriteEnd() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }

private:
    int fds_[2] = {-1, -1};
};

// Splits the child's output into lines as it arrives.
class LineSplitter {
public:
    explicit LineSplitter(const MkvmergeCallbacks& callbacks) : callbacks_(callbacks) {}
    void add(const char* bytes, size_t count) {
        for (size_t k = 0; k < count; ++k) {
            if (bytes[k] == '\n' || bytes[k] == '\r') {
                finish();
            } else if (line_.size() < MaxLineLength) {
                line_.push_back(bytes[k]);
            }
        }
    }
    void finish() {
        if (!line_.empty()) handleMkvmergeLine(line_, callbacks_);
        line_.clear();
    }

private:
    const MkvmergeCallbacks& callbacks_;
    std::string line_;
};

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

MkvmergeResult resultOf(int status, const std::string& program) {
    MkvmergeResult r;
    if (!WIFEXITED(status)) {
        r.message = program + " ended by signal " + std::to_string(WTERMSIG(status)) + ".";
        return r;
    }
    r.exitCode = WEXITSTATUS(status);
    switch (r.exitCode) {
    case 0: r.outcome = MkvmergeOutcome::Done; break;
    case 1:
        r.outcome = MkvmergeOutcome::DoneWithWarnings;
        r.message = program + " finished with warnings.";
        break;
    case 127: // the child could not run the program after all
        r.outcome = MkvmergeOutcome::Missing;
        r.message = mkvmergeMissingMessage(program);
        break;
    default: r.message = program + " failed (exit status " + std::to_string(r.exitCode) + ").";
    }
    return r;
}

} // namespace

std::vector<std::string> mkvmergeArguments(const MkvJob& job) {
    // Each frame keeps the time of its own timestamp line: frames laced into
    // one block would share the block's spacing instead.
    std::vector<std::string> args = {"--output", job.output, "--disable-lacing"};
    if (!job.title.empty()) args.insert(args.end(), {"--title", job.title});
    if (!job.chapterFile.empty())
        args.insert(args.end(), {"--chapter-charset", "UTF-8", "--chapters", job.chapterFile});
    for (const MkvTrack& t : job.tracks) {
        args.insert(args.end(), {"--language", "0:" + t.language});
        if (!t.name.empty()) args.insert(args.end(), {"--track-name", "0:" + t.name});
        if (t.syncMs != 0) args.insert(args.end(), {"--sync", "0:" + std::to_string(t.syncMs)});
        if (!t.timestamps.empty()) args.insert(args.end(), {"--timestamps", "0:" + t.timestamps});
        args.insert(args.end(), {"--default-track-flag", t.isDefault ? "0:yes" : "0:no"});
        args.push_back(t.file);
    }
    return args;
}

void writeMkvmergeOptions(const MkvJob& job, const std::string& path) {
    // Replaces bytes that are not UTF-8 rather than failing on a name.
    const std::string text = nlohmann::json(mkvmergeArguments(job))
                                 .dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    OutputFile file(path);
    file.write(text.data(), text.size());
    file.write("\n", 1);
    file.close();
}

void handleMkvmergeLine(std::string_view line, const MkvmergeCallbacks& c) {
    if (startsWith(line, GuiProgress)) {
        const std::string_view value = line.substr(GuiProgress.size());
        int percent = 0;
        size_t k = 0;
        for (; k < value.size() && k < 3 && value[k] >= '0' && value[k] <= '9'; ++k)
            percent = percent * 10 + (value[k] - '0');
        if (k > 0 && k < value.size() && value[k] == '%' && percent <= 100 && c.progress)
            c.progress(percent);
    } else if (startsWith(line, GuiWarning)) {
        if (c.warning) c.warning(std::string(line.substr(GuiWarning.size())));
    } else if (startsWith(line, GuiError)) {
        if (c.error) c.error(std::string(line.substr(GuiError.size())));
    }
}

std::string mkvmergeMissingMessage(const std::string& program) {
    return "Cannot run " + program +
           ": it is not installed. Install mkvtoolnix (on Debian: apt-get install mkvtoolnix).";
}

MkvmergeResult runMkvmerge(const std::string& optionsFile, const MkvmergeCallbacks& callbacks,
                           const std::string& program) {
    Pipe pipe;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe.writeEnd(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe.writeEnd(), STDERR_FILENO);
    std::vector<std::string> args = {program, "--gui-mode", "@" + optionsFile};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        MkvmergeResult r;
        r.outcome = spawned == ENOENT ? MkvmergeOutcome::Missing : MkvmergeOutcome::Failed;
        r.message = spawned == ENOENT ? mkvmergeMissingMessage(program)
                                      : "Cannot run " + program + ": " + std::strerror(spawned);
        return r;
    }
    pipe.closeWriteEnd();

    LineSplitter lines(callbacks);
    char buffer[4096];
    bool cancelled = false;
    for (;;) {
        if (callbacks.cancelled && callbacks.cancelled()) {
            cancelled = true;
            ::kill(pid, SIGTERM);
            break;
        }
        pollfd fd{pipe.readEnd(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, PollMilliseconds);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        const ssize_t got = ::read(pipe.readEnd(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break; // mkvmerge closed its output: it is ending
        lines.add(buffer, size_t(got));
    }
    lines.finish();
    const int status = waitFor(pid);
    if (cancelled) {
        MkvmergeResult r;
        r.outcome = MkvmergeOutcome::Cancelled;
        r.message = program + " was stopped.";
        return r;
    }
    return resultOf(status, program);
}

} // namespace tarnwick
