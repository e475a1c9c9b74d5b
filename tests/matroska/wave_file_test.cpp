// LPCM elementary files as Demux writes them become WAV files whose samples
// are ffmpeg's decoding of the same LPCM.

#include "matroska/wave_file.h"
#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

Bytes ffmpegDecode(const std::vector<std::string>& input, const std::string& format,
                   const std::string& path) {
    std::vector<std::string> args = {"-v", "error", "-y"};
    args.insert(args.end(), input.begin(), input.end());
    args.insert(args.end(), {"-map", "0:a:0", "-f", format, path});
    const ProgramResult r = runProgram("/usr/bin/ffmpeg", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return readFile(path);
}

std::string demuxedLpcm(const std::string& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".LPCM.stream.") != std::string::npos)
            return entry.path().string();
    return {};
}

} // namespace

TEST(WaveFile, DemuxedDvdLpcmGivesFfmpegsSamples) {
    struct Case {
        int bits;
        int channels;
    };
    for (const Case c : {Case{16, 2}, Case{24, 2}, Case{16, 1}, Case{24, 1}, Case{24, 6}}) {
        const std::string name = std::to_string(c.bits) + "_" + std::to_string(c.channels);
        SCOPED_TRACE(name);
        const std::string folder = scratchFolder("wave_" + name) + "/";
        const std::string vob = folder + "lpcm.vob";
        // Full-precision samples, so that the low byte of 24-bit LPCM is used;
        // one expression per channel.
        const char* channels[] = {"0.6*sin(440*2*PI*t)+0.01*random(0)",
                                  "0.3*sin(660*2*PI*t)-0.02*random(1)",
                                  "0.2*random(2)",
                                  "0.1*sin(50*2*PI*t)",
                                  "0.3*random(4)",
                                  "-0.4*random(5)"};
        std::string source = "aevalsrc=";
        for (int k = 0; k < c.channels; ++k)
            source += std::string(k ? "|" : "") + channels[k];
        const ProgramResult made =
            runProgram("/usr/bin/ffmpeg",
                       {"-v", "error", "-y", "-f", "lavfi", "-i", source + ":s=48000:d=1.5", "-c:a",
                        "pcm_dvd", "-sample_fmt", c.bits == 16 ? "s16" : "s32", "-f", "vob", vob});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const ProgramResult demux = runProgram(TARNWICK_CLI, {"demux", vob, "-q", "-o", folder});
        ASSERT_EQ(demux.exitCode, 0) << demux.out << demux.err;
        const std::string lpcm = demuxedLpcm(folder);
        ASSERT_FALSE(lpcm.empty());

        const LpcmFormat format{48000, c.bits, c.channels};
        const WaveResult result = writeWaveFromLpcm(lpcm, format, folder + "out.wav");
        EXPECT_EQ(result.container, WaveContainer::Riff);
        EXPECT_EQ(result.droppedBytes, 0u);
        EXPECT_EQ(result.dataBytes, fs::file_size(lpcm) / (c.bits / 8) * (c.bits == 16 ? 2 : 3));

        const std::string raw = c.bits == 16 ? "s16le" : "s32le";
        const Bytes expected = ffmpegDecode({"-i", vob}, raw, folder + "ref.raw");
        EXPECT_GT(expected.size(), 100000u);
        EXPECT_EQ(ffmpegDecode({"-i", folder + "out.wav"}, raw, folder + "got.raw"), expected);
        const ProgramResult probe = runProgram(
            "/usr/bin/ffprobe", {"-v", "error", "-show_entries", "stream=channels,sample_rate",
                                 "-of", "compact=p=0:nk=1", folder + "out.wav"});
        EXPECT_EQ(probe.out, "48000|" + std::to_string(c.channels) + "\n");
    }
}

TEST(WaveFile, TwentyAndTwentyFourBitGroupsAreReorderedToLittleEndian) {
    // Stereo, a pair of frames: L0 R0 L1 R1 upper halves, then the low bits.
    const Bytes upper = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    Bytes in24 = upper;
    in24.insert(in24.end(), {0x01, 0x02, 0x03, 0x04});
    Bytes in20 = upper;
    in20.insert(in20.end(), {0xA5, 0x3C});
    const Bytes want24 = {0x01, 0x34, 0x12, 0x02, 0x78, 0x56, 0x03, 0xBC, 0x9A, 0x04, 0xF0, 0xDE};
    const Bytes want20 = {0xA0, 0x34, 0x12, 0x50, 0x78, 0x56, 0x30, 0xBC, 0x9A, 0xC0, 0xF0, 0xDE};
    Bytes out(12);
    convertLpcmUnits({48000, 24, 2}, in24.data(), 1, out.data());
    EXPECT_EQ(out, want24);
    convertLpcmUnits({48000, 20, 2}, in20.data(), 1, out.data());
    EXPECT_EQ(out, want20);
    // Mono: pairs of samples.
    const Bytes mono = {0x12, 0x34, 0x56, 0x78, 0x01, 0x02, 0x9A, 0xBC, 0xDE, 0xF0, 0x03, 0x04};
    convertLpcmUnits({48000, 24, 1}, mono.data(), 1, out.data());
    EXPECT_EQ(out, want24);
    EXPECT_EQ(lpcmUnitBytes({96000, 20, 6}), 60u); // four frames
    EXPECT_EQ(waveUnitBytes({96000, 20, 6}), 72u);
}

TEST(WaveFile, ContainerAndHeaderFollowSizeAndFormat) {
    const LpcmFormat stereo16{48000, 16, 2}, surround24{48000, 24, 6};
    // The RIFF size field holds the whole file but its first 8 bytes: the
    // chunk headers (60 bytes extensible, 36 plain) and the even data.
    EXPECT_EQ(waveContainerFor(surround24, 0xFFFFFFFFull - 61), WaveContainer::Riff);
    EXPECT_EQ(waveContainerFor(surround24, 0xFFFFFFFFull - 59), WaveContainer::Wave64);
    EXPECT_EQ(waveContainerFor(stereo16, 0xFFFFFFFFull - 37), WaveContainer::Riff);
    EXPECT_EQ(waveContainerFor(stereo16, 0xFFFFFFFFull - 36), WaveContainer::Wave64);

    const Bytes plain = waveHeader(stereo16, 1000, WaveContainer::Riff);
    EXPECT_EQ(plain.size(), 44u);
    const Bytes ext = waveHeader(surround24, 1001, WaveContainer::Riff);
    ASSERT_EQ(ext.size(), 68u);
    EXPECT_EQ(ext[20], 0xFE);                        // WAVE_FORMAT_EXTENSIBLE
    EXPECT_EQ(ext[40], 0x3F);                        // 5.1 channel mask
    EXPECT_EQ(ext[4] + 256 * ext[5], 60 + 1001 + 1); // padded to an even size
    EXPECT_EQ(wavePaddingBytes(1001, WaveContainer::Wave64), 7u);

    // A Wave64 file that ffmpeg reads back sample for sample.
    const std::string folder = scratchFolder("wave64") + "/";
    const LpcmFormat format{48000, 24, 1};
    Bytes samples(3 * 4801);
    for (size_t k = 0; k < samples.size(); ++k)
        samples[k] = uint8_t(k * 7);
    Bytes file = waveHeader(format, samples.size(), WaveContainer::Wave64);
    file.insert(file.end(), samples.begin(), samples.end());
    file.resize(file.size() + wavePaddingBytes(samples.size(), WaveContainer::Wave64));
    writeFile(folder + "x.w64", file);
    Bytes expected;
    for (size_t k = 0; k < samples.size(); k += 3)
        expected.insert(expected.end(), {0, samples[k], samples[k + 1], samples[k + 2]});
    EXPECT_EQ(ffmpegDecode({"-f", "w64", "-i", folder + "x.w64"}, "s32le", folder + "w.raw"),
              expected);
}

TEST(WaveFile, CutUnitIsDroppedAndUnusableFormatRefused) {
    const std::string folder = scratchFolder("wave_cut") + "/";
    writeFile(folder + "a.lpcm", Bytes(12 * 3 + 5, 0x11));
    const WaveResult r = writeWaveFromLpcm(folder + "a.lpcm", {48000, 24, 2}, folder + "a.wav");
    EXPECT_EQ(r.dataBytes, 36u);
    EXPECT_EQ(r.droppedBytes, 5u);
    EXPECT_EQ(readFile(folder + "a.wav").size(), 68u + 36u);
    EXPECT_THROW(writeWaveFromLpcm(folder + "a.lpcm", {48000, 18, 2}, folder + "b.wav"),
                 std::invalid_argument);
    EXPECT_FALSE(fs::exists(folder + "b.wav"));
}
