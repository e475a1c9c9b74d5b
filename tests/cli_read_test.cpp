#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

const std::string Cli = TARNWICK_CLI;
const std::string Sample1 = std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO";

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(CliRead, SampleFeatureListsTheTickedStreams) {
    const ProgramResult r = runProgram(Cli, {"read", Sample1});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Opening file FEATURE_1.EVO\nReading...\nFile size: 0 Mbytes.\n", 0), 0u);
    EXPECT_NE(r.out.find("\nContinue on FEATURE_2.EVO\n"), std::string::npos);
    EXPECT_TRUE(endsWith(r.out, "v0\tH.264.stream.0\na00\tDD.stream.00\na03\tDD+.stream.03\n"
                                "s00\tSubpicture.00\n"))
        << r.out;
    EXPECT_EQ(r.err, ""); // no progress line when standard error is not a terminal

    const ProgramResult marked = runProgram(Cli, {"read", Sample1, "--markup", "--no-continue"});
    EXPECT_NE(marked.out.find("[b]H.264 (AVC)[/b] video stream 0 found!"), std::string::npos);
    EXPECT_EQ(marked.out.find("Continue on"), std::string::npos);

    const ProgramResult some = runProgram(Cli, {"read", Sample1, "--streams", "A03,Subpicture.00"});
    EXPECT_EQ(some.exitCode, 0);
    EXPECT_TRUE(
        endsWith(some.out, "calculated frames in video stream 0.\n\n"
                           "a03\tDD+.stream.03\ns00\tSubpicture.00\n") ||
        endsWith(some.out, "in video stream 0.\n\na03\tDD+.stream.03\ns00\tSubpicture.00\n"))
        << some.out;
}

TEST(CliRead, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runProgram(Cli, {}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"read"}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"read", Sample1, "--bogus"}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"scan", Sample1}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"read", Sample1, "--fast-check"}).exitCode, 2);
    EXPECT_EQ(runProgram(Cli, {"read", Sample1, "--fast-check", "12a"}).exitCode, 2);
    const ProgramResult wrong = runProgram(Cli, {"read", Sample1, "--streams", "a05"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("'a05' names no stream found"), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.err.find("a03 DD+.stream.03"), std::string::npos) << wrong.err;
    EXPECT_EQ(runProgram(Cli, {"--version"}).out, "tarnwick-cli 0.626\n");
    EXPECT_EQ(runProgram(Cli, {"--help"}).exitCode, 0);
}

TEST(CliRead, FilesThatCannotBeOpenedExitWithOne) {
    const std::string folder = scratchFolder("cli-open");
    ProgramResult r = runProgram(Cli, {"read", folder + "missing.EVO"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
    r = runProgram(Cli, {"read", folder});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
}

TEST(CliRead, BadInputEndsWithWhatWasFound) {
    const std::string folder = scratchFolder("cli-bad");
    const Bytes sample = readFile(Sample1);

    writeFile(folder + "empty.EVO", {});
    // No program stream: the log as far as it went, then a distinct status.
    ProgramResult r = runProgram(Cli, {"read", folder + "empty.EVO"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "Opening file empty.EVO\nReading...\nFile size: 0 Mbytes.\nDone.\n\n");

    writeFile(folder + "random.EVO", noiseWithoutStartCodes(3 << 20, 5));
    EXPECT_EQ(runProgram(Cli, {"read", folder + "random.EVO"}).exitCode, 3);

    // A truncated last pack, garbage before the first pack.
    writeFile(folder + "cut.EVO", Bytes(sample.begin(), sample.end() - 1000));
    r = runProgram(Cli, {"read", folder + "cut.EVO"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("a03\tDD+.stream.03"), std::string::npos);
    Bytes garbage = noiseWithoutStartCodes(777, 3);
    garbage.insert(garbage.end(), sample.begin(), sample.end());
    writeFile(folder + "garbage.EVO", garbage);
    r = runProgram(Cli, {"read", folder + "garbage.EVO"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("s00\tSubpicture.00"), std::string::npos);
    EXPECT_EQ(r.out.find("It contains"), std::string::npos); // no system header at byte 14

    // A PES length running past the end of the file.
    Bytes past = packHeader(MuxRate::HdDvd);
    PesHeader h;
    h.pts = 9000;
    Bytes packet = pesPacket(0xE0, h, Bytes(50, 1));
    packet[4] = 0xFF;
    past.insert(past.end(), packet.begin(), packet.end());
    writeFile(folder + "past.EVO", past);
    r = runProgram(Cli, {"read", folder + "past.EVO"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("v0\tMPEG-2.stream.0"), std::string::npos);
}

} // namespace
} // namespace tarnwick
