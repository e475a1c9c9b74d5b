#include "matroska/mkvmerge_run.h"

#include "engine/files.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
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
// Once it closed its output it is about to end: asked after more often.
constexpr int EndingPollMilliseconds = 20;

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

// The status of a child whose end the system did not keep for us.
constexpr int UnknownEnd = -1;

// Whether the child has ended; its status then in `status`.
bool ended(pid_t pid, int& status) {
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {
            status = UnknownEnd; // not ours to wait for any more
            return true;
        }
        return false;
    }
}

int64_t nowMilliseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Asks the child's process group to stop; kills it when it has not ended
// within the grace time. Returns once it has ended.
void stop(pid_t pid, int graceMilliseconds) {
    ::kill(-pid, SIGTERM);
    const int64_t deadline = nowMilliseconds() + graceMilliseconds;
    int status = 0;
    while (!ended(pid, status)) {
        if (nowMilliseconds() >= deadline) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            return;
        }
        ::poll(nullptr, 0, 20);
    }
}

// The child's start: its input from /dev/null, its output into the pipe,
// its own process group, the signals a front end handles or ignores back to
// their defaults, and the folder it runs in.
struct SpawnSetup {
    SpawnSetup(int output, int folder) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
        if (folder >= 0) posix_spawn_file_actions_addfchdir_np(&actions, folder);
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, signal);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                                  POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

MkvmergeResult resultOf(int status, const std::string& program) {
    MkvmergeResult r;
    if (status == UnknownEnd) {
        r.message = program + " ended, but how it ended could not be learnt.";
        return r;
    }
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
                           const std::string& program, const MkvmergePlace& place) {
    Pipe pipe;
    SpawnSetup setup(pipe.writeEnd(), place.folder);
    std::vector<std::string> args = {program, "--gui-mode", "@" + optionsFile};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attributes,
                                       argv.data(), environ);
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
    bool open = true;
    int status = 0;
    for (;;) {
        if (callbacks.cancelled && callbacks.cancelled()) {
            // Its lines after Cancel are not shown.
            stop(pid, place.stopGraceMilliseconds);
            MkvmergeResult r;
            r.outcome = MkvmergeOutcome::Cancelled;
            r.message = program + " was stopped.";
            return r;
        }
        if (open) {
            pollfd fd{pipe.readEnd(), POLLIN, 0};
            const int ready = ::poll(&fd, 1, PollMilliseconds);
            if (ready > 0) {
                const ssize_t got = ::read(pipe.readEnd(), buffer, sizeof buffer);
                if (got < 0 && errno == EINTR) continue;
                if (got > 0) {
                    lines.add(buffer, size_t(got));
                    continue;
                }
                open = false; // it closed its output: it is ending
                lines.finish();
            } else if (ready < 0 && errno != EINTR) {
                open = false;
            }
        }
        // Waited for without blocking, so that Cancel still reaches a
        // program that closed its output and goes on.
        if (ended(pid, status)) break;
        if (!open) ::poll(nullptr, 0, EndingPollMilliseconds);
    }
    lines.finish();
    return resultOf(status, program);
}

} // namespace tarnwick
