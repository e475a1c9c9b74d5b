// A run killed with SIGKILL while mkvmerge runs leaves its work folder, with
// the demuxed streams in it; the next run that writes into the folder removes
// it and says so.

#include "support/run_program.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

// Starts the program without waiting for it; its output goes nowhere.
pid_t start(const std::string& program, const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits (a minute at most) until the file exists.
bool appears(const std::string& path) {
    for (int k = 0; k < 3000 && !fs::exists(path); ++k)
        ::usleep(20000);
    return fs::exists(path);
}

} // namespace

TEST(KilledRun, TheNextRunRemovesTheWorkFolderAKilledRunLeft) {
    const std::string folder = scratchFolder("killed_run");
    const std::string out = folder + "out";
    fs::create_directory(out);
    const std::string mkvmerge = standInMkvmerge(
        folder + "mkvmerge", "echo $$ > \"$0.pid\"\ntouch \"$0.ready\"\nexec sleep 600\n");
    const pid_t cli =
        start(TARNWICK_CLI, {"mkv", TARNWICK_SAMPLE_DISC, "-o", out, "-q", "--mkvmerge", mkvmerge});
    ASSERT_TRUE(appears(mkvmerge + ".ready"));
    ::kill(cli, SIGKILL);
    ::waitpid(cli, nullptr, 0);
    const pid_t muxer = std::stoi(fileText(mkvmerge + ".pid"));
    ::kill(-muxer, SIGKILL); // its process group of its own

    const std::vector<std::string> left = ownEntries(out);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(folderEntries(out + "/" + left[0]),
              (std::vector<std::string>{
                  "a00.mpa", "a00.timestamps.txt", "a03.mpa", "a03.timestamps.txt", "chapters.txt",
                  "options.json", "s00.idx", "s00.sub", "s00.sup", "v0.mpv", "v0.timestamps.txt"}));

    const ProgramResult r = runProgram(
        TARNWICK_CLI, {"demux", std::string(TARNWICK_SAMPLE_DISC) + "/HVDVD_TS/FEATURE_1.EVO", "-o",
                       out, "--no-continue"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\nRemoved " + out + "/" + left[0] +
                         ", left behind by a run that was stopped before it could clean up.\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(ownEntries(out).empty());
}
