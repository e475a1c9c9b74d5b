// `tarnwick-cli demux`: options, exit status, messages and SIGINT.

#include "demux/demux_support.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

std::string cli(const std::string& arguments, const std::string& folder) {
    return std::string("'") + TARNWICK_CLI + "' " + arguments + " >'" + folder + "out.txt' 2>'" +
           folder + "err.txt'";
}

std::string text(const std::string& path) {
    const Bytes bytes = fileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<StreamSpec> twoStreams(size_t videoSize, uint32_t seed) {
    StreamSpec video;
    video.data = noiseWithoutStartCodes(videoSize, seed);
    StreamSpec audio;
    audio.streamId = 0xBD;
    audio.subStreamId = 0x81;
    audio.subStreamHeader = audioSubStreamHeader(0x81);
    audio.data = noiseWithoutStartCodes(videoSize / 6, seed + 1);
    StreamSpec sub;
    sub.streamId = 0xBD;
    sub.subStreamId = 0x20;
    sub.subStreamHeader = {0x20};
    sub.data = noiseWithoutStartCodes(5000, seed + 2);
    return {video, audio, sub};
}

Bytes muxed(const std::vector<StreamSpec>& streams) {
    PackWriter writer;
    muxStreams(writer, streams);
    return writer.bytes();
}

} // namespace

TEST(CliDemux, OptionsChooseStreamsFolderExtensionAndSecondFile) {
    const std::string folder = scratchFolder("demux_cli_options");
    const auto first = twoStreams(200000, 61), second = twoStreams(100000, 71);
    writeFile(folder + "FEATURE_1.EVO", muxed(first));
    writeFile(folder + "FEATURE_2.EVO", muxed(second));
    const std::string out = folder + "out";
    fs::create_directory(out);

    ASSERT_EQ(runCommand(cli("demux '" + folder + "FEATURE_1.EVO' -o '" + out +
                                 "' --streams v0,DD.stream.01 --video-ext m2v --no-continue",
                             folder)),
              0)
        << text(folder + "err.txt");
    EXPECT_EQ(fileBytes(out + "/FEATURE_1.MPEG-2.stream.0.m2v"), first[0].data);
    EXPECT_EQ(fileBytes(out + "/FEATURE_1.DD.stream.01.mpa"), first[1].data);
    EXPECT_FALSE(fs::exists(out + "/FEATURE_1.Subpicture.00.sup"));
    EXPECT_TRUE(
        contains(text(folder + "out.txt"), "Creating " + out + "/FEATURE_1.DD.stream.01.mpa\n"));
    EXPECT_EQ(text(folder + "err.txt"), "");

    ASSERT_EQ(runCommand(cli("demux '" + folder + "FEATURE_1.EVO' -o '" + out +
                                 "' --streams a01 --audio-ext ac3 -q",
                             folder)),
              0);
    Bytes both = first[1].data;
    both.insert(both.end(), second[1].data.begin(), second[1].data.end());
    EXPECT_EQ(fileBytes(out + "/FEATURE_1_FEATURE_2.DD.stream.01.ac3"), both);
    EXPECT_FALSE(fs::exists(out + "/FEATURE_1_FEATURE_2.MPEG-2.stream.0.mpv"));
}

TEST(CliDemux, AFileErrorExitsWithOneAndShowsTheMessageOnStandardError) {
    const std::string folder = scratchFolder("demux_cli_errors");
    writeFile(folder + "E.EVO", muxed(twoStreams(100000, 81)));

    // An output folder that cannot be made fails before the source is read.
    EXPECT_EQ(runCommand(cli("demux '" + folder + "E.EVO' -o '" + folder + "E.EVO/out'", folder)),
              1);
    EXPECT_TRUE(contains(text(folder + "err.txt"), "Not a directory"));
    EXPECT_EQ(text(folder + "out.txt"), "");

    // A disk too small for the video.
    fs::create_directory(folder + "small");
    ScratchMount small(folder + "small", "size=64k");
    if (!small.mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    EXPECT_EQ(runCommand(cli("demux '" + folder + "E.EVO' -o '" + folder + "small'", folder)), 1);
    EXPECT_TRUE(contains(text(folder + "err.txt"), "No space left on device"));
    EXPECT_TRUE(contains(text(folder + "out.txt"), "\nDone.\n"));
}

// Ctrl+C, a closing terminal and a stopping system all cancel the run.
class CliSignal : public ::testing::TestWithParam<int> {};

TEST_P(CliSignal, CancelsTheRunClosesTheFilesAndEndsByTheSignal) {
    // The demux runs at the lowest priority while this test watches its
    // output grow, so the signal surely arrives in the middle of the run.
    const std::string folder = scratchFolder("demux_cli_signal" + std::to_string(GetParam()));
    const Bytes block = noiseWithoutStartCodes(size_t(PackWriter::payloadRoom({}, 0)), 91);
    constexpr int Packs = (64 << 20) / PackSize;
    // Made once for the three signals.
    static const Bytes source = [&] {
        PackWriter writer;
        const Bytes pes = pesPacket(0xE0, {}, block);
        for (int k = 0; k < Packs; ++k)
            writer.pack(pes);
        return writer.bytes();
    }();
    writeFile(folder + "I.EVO", source);
    fs::create_directory(folder + "out");
    const std::string video = folder + "out/I.MPEG-2.stream.0.mpv";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int out = ::open((folder + "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        (void)::nice(19);
        ::execl(TARNWICK_CLI, TARNWICK_CLI, "demux", (folder + "I.EVO").c_str(), "-o",
                (folder + "out").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The file being written is the only one in the output folder.
    for (bool signalled = false; !signalled;) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder + "out", error))
            if (entry.file_size(error) >= (2u << 20)) signalled = true;
        if (::waitpid(child, nullptr, WNOHANG) != 0) FAIL() << "the demux ended early";
        ::usleep(200);
    }
    ::kill(child, GetParam());
    int status = 0;
    ::waitpid(child, &status, 0);
    // Ended by the signal itself, after the clean-up: a shell reports 128 + N
    // and stops a loop around the program.
    ASSERT_TRUE(WIFSIGNALED(status)) << text(folder + "out.txt");
    EXPECT_EQ(WTERMSIG(status), GetParam()) << text(folder + "out.txt");
    const std::string log = text(folder + "out.txt");
    EXPECT_TRUE(contains(log, "\nCancelled.\n"));
    EXPECT_TRUE(contains(log, "\nDone.\n"));
    // Every byte that reached the file is the stream's, up to a chunk
    // boundary after the signal; the file has its name.
    const Bytes got = fileBytes(video);
    EXPECT_GE(got.size(), 2u << 20);
    EXPECT_LT(got.size(), size_t(Packs) * block.size());
    EXPECT_EQ(got.size() % block.size(), 0u);
    for (size_t at = 0; at + block.size() <= got.size(); at += block.size())
        ASSERT_TRUE(std::equal(block.begin(), block.end(), got.begin() + long(at))) << at;
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(IntTermHup, CliSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP));
