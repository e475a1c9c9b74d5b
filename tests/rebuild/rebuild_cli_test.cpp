// tarnwick-cli rebuild: the output name and the exit status.

#include "engine/files.h"
#include "rebuild/rebuild_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace tarnwick::testing {
namespace {

int run(const std::string& arguments, const std::string& errorFile) {
    const std::string command =
        std::string(TARNWICK_CLI) + " " + arguments + " >/dev/null 2>" + errorFile;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RebuildCli, WritesTheRebuiltEvoAndFailsWithStatusOne) {
    const std::string dir = scratchFolder("RebuildCli");
    writeFile(dir + "FEATURE_1.EVO", muxEvo({videoSpec(0xE0, 30000), subStreamSpec(0x80, 6000),
                                             subStreamSpec(0x81, 6000)}));
    writeFile(dir + "FEATURE_2.EVO", muxEvo({videoSpec(0xE0, 30000), subStreamSpec(0x80, 6000),
                                             subStreamSpec(0x81, 6000)}));
    std::filesystem::create_directory(dir + "out");
    const std::string errors = dir + "stderr.txt";
    EXPECT_EQ(run("rebuild " + dir + "FEATURE_1.EVO --streams v0,DD.stream.01 -q -o " + dir + "out",
                  errors),
              0);
    const Bytes out = readFile(dir + "out/FEATURE_1_FEATURE_2.rebuilt.EVO");
    CoreRebuild back;
    back.read(dir + "out/FEATURE_1_FEATURE_2.rebuilt.EVO", false);
    EXPECT_EQ(back.selectedCaptions(),
              (std::vector<std::string>{"MPEG-2.stream.0", "DD.stream.00"}));

    // A missing folder is made; one that cannot be made fails before the scan.
    EXPECT_EQ(
        run("rebuild " + dir + "FEATURE_1.EVO --no-continue -q -o " + dir + "missing/too", errors),
        0);
    EXPECT_TRUE(fileExists(dir + "missing/too/FEATURE_1.rebuilt.EVO"));
    EXPECT_EQ(
        run("rebuild " + dir + "FEATURE_1.EVO --no-continue -q -o " + dir + "FEATURE_2.EVO/out",
            errors),
        1);
    const Bytes message = readFile(errors);
    EXPECT_NE(std::string(message.begin(), message.end())
                  .find("cannot create the output folder \"" + dir + "FEATURE_2.EVO/out\""),
              std::string::npos);
}

} // namespace
} // namespace tarnwick::testing
