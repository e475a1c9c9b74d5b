// Streams encoded by ffmpeg with known parameters, muxed into EVO, VOB and
// AOB files: Read EVO reports what follows from those parameters, and the
// frame summary turns the counted frames into time with the analysers'
// frame rates.

#include "analyser_bench.h"
#include "codec_headers.h"
#include "commands/read_evo.h"
#include "encoded_streams.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr uint32_t Start = 90000; // first PTS of every stream and of the DSI

StreamSpec videoSpec(uint8_t streamId, const Bytes& data) {
    StreamSpec s;
    s.streamId = streamId;
    s.data = data;
    s.firstPts = Start;
    s.withDts = true;
    return s;
}

StreamSpec audioSpec(const Bytes& subStreamHeader, const Bytes& data) {
    StreamSpec s;
    s.streamId = 0xBD;
    s.subStreamId = subStreamHeader[0];
    s.subStreamHeader = subStreamHeader;
    s.data = data;
    s.firstPts = Start;
    return s;
}

NavigationPackInfo navigation(MuxRate layout, uint8_t audioBound, uint32_t duration) {
    NavigationPackInfo nav;
    nav.layout = layout;
    nav.videoBound = 1;
    nav.audioBound = audioBound;
    nav.firstPtm = Start;
    nav.lastPtm = Start + duration;
    return nav;
}

// MPEG-2 with Dolby Digital, LPCM and DTS in DVD packs.
Bytes vobFile() {
    PackWriter w(MuxRate::Dvd);
    muxStreams(w,
               {videoSpec(0xE0, mpeg2Stream()), audioSpec(audioSubStreamHeader(0x80), ac3Stream()),
                audioSpec(lpcmSubStreamHeader(0xA1, 0x01, 0x80), pcm16Stream()),
                audioSpec(audioSubStreamHeader(0x8A), dtsStream())},
               16, navigation(MuxRate::Dvd, 3, 90000));
    return w.bytes();
}

// H.264 with Dolby Digital Plus and TrueHD in HD DVD packs.
Bytes evoFile() {
    NavigationPackInfo nav = navigation(MuxRate::HdDvd, 2, 90090);
    nav.copyControl = true;
    nav.validity = 0x80;
    nav.values = 4 << 5;
    PackWriter w;
    muxStreams(w,
               {videoSpec(0xE2, h264Stream()), audioSpec(audioSubStreamHeader(0xC0), eac3Stream()),
                audioSpec(trueHdSubStreamHeader(0xB0), trueHdStream())},
               32, nav);
    return w.bytes();
}

// A VC-1 stream: sequence header, entry point, then `frames` frames.
Bytes vc1Stream(int frames) {
    Vc1SequenceHeader h;
    h.frameRateNr = 2; // 25000
    h.frameRateDr = 1; // 1000
    Bytes out = vc1SequenceHeader(h);
    const Bytes entryPoint = {0x00, 0x00, 0x01, 0x0E, 0x48, 0x82, 0x88, 0x00, 0x80};
    out.insert(out.end(), entryPoint.begin(), entryPoint.end());
    for (int k = 0; k < frames; ++k) {
        out.insert(out.end(), {0x00, 0x00, 0x01, 0x0D});
        const Bytes picture = noiseWithoutStartCodes(9000, uint32_t(k + 1));
        out.insert(out.end(), picture.begin(), picture.end());
        out.push_back(0x80); // no start code prefix across the join
    }
    return out;
}

// VC-1 with Dolby Digital in HD DVD packs.
Bytes vc1EvoFile() {
    StreamSpec video = videoSpec(0xFD, vc1Stream(24));
    video.streamIdExtension = 0x55;
    PackWriter w;
    muxStreams(w, {video, audioSpec(audioSubStreamHeader(0x81), ac3Stream())}, 32,
               navigation(MuxRate::HdDvd, 1, 90000));
    return w.bytes();
}

// MLP (sub-stream 0xA1 of an audio object) with 24-bit 96 kHz LPCM.
Bytes aobFile() {
    PackWriter w(MuxRate::Dvd);
    muxStreams(w,
               {audioSpec(lpcmSubStreamHeader(0xA1, 0x00, 0x80), mlpStream()),
                audioSpec(lpcmSubStreamHeader(0xA0, 0x91, 0x80), pcm24Stream())},
               32, navigation(MuxRate::Dvd, 2, 90000));
    return w.bytes();
}

struct ReadEvo {
    explicit ReadEvo(const Bytes& file, const std::string& name) {
        const std::string folder = scratchFolder(
            "analysers-read-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        path = folder + name;
        writeFile(path, file);
        t.chooseSource(path);
        ok = bReadEVOClick(t.session);
    }
    const Lines& lines() const { return t.sink.lines; }
    // The block of lines that starts with `first`.
    Lines block(const Lines& expected) const {
        return linesFrom(lines(), expected.front(), expected.size());
    }
    bool has(const std::string& line) const {
        return std::find(lines().begin(), lines().end(), line) != lines().end();
    }

    std::string path;
    TestSession t;
    bool ok = false;
};

std::string logText(const Lines& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

TEST(EncodedStreams, VobWithMpeg2DolbyDigitalLpcmAndDts) {
    ReadEvo read(vobFile(), "VTS_01_1.VOB");
    ASSERT_TRUE(read.ok);
    SCOPED_TRACE(logText(read.lines()));
    EXPECT_TRUE(read.has("It contains [b]1[/b] video stream and [b]3[/b] audio streams."));
    const Lines video = {"[b]MPEG-2[/b] video stream 0 found!",
                         "   First PTS = [re]00015F90[/re]",
                         "   Substream id = E0",
                         "   Sequence Header found",
                         "   size = [bl]720[/bl]x[bl]576[/bl]",
                         "   Aspect ratio = [bl]16:9[/bl]",
                         "   Frame rate = [bl]25[/bl] fps",
                         "  Sequence header bitrate = [bl]6000[/bl] kbps",
                         "   Progressive Sequence = 1"};
    EXPECT_EQ(read.block(video), video);
    const Lines ac3 = {"[b]Dolby Digital[/b] audio stream 0 found!",
                       "   First PTS = [re]00015F90[/re]",
                       "   Substream id = 80",
                       "   Stream 0 is [b]Dolby Digital[/b]",
                       "   Sampling frequency = [bl]48[/bl] kHz",
                       "   Transmission bitrate = [bl]384[/bl] kbit/s",
                       "   Channel arrangement = [bl]L + R + C + Ls + Rs[/bl], bsid = 8, bsmod =0"};
    EXPECT_EQ(read.block(ac3), ac3);
    const Lines lpcm = {"[b]LPCM[/b] audio stream 1 found!",
                        "   First PTS = [re]00015F90[/re]",
                        "   Substream id = A1",
                        "   Number of frame headers = 1",
                        "   First acces unit pointer = 0001",
                        "   Emphasis = off, mute = off",
                        "   Frame number = 0",
                        "   Quantization length = [bl]16[/bl] bits",
                        "   Sampling frequency = [bl]48[/bl] kHz",
                        "   Number of audio channels = [bl]2[/bl]"};
    EXPECT_EQ(read.block(lpcm), lpcm);
    const Lines dts = {"[b]DTS HD (DTS)[/b] audio stream 2 found!",
                       "   First PTS = [re]00015F90[/re]",
                       "   Substream id = 8A",
                       "   PCM core samples = 32",
                       "   PCM sample blocks = 16",
                       "   Primary frame byte size = 2047",
                       "   Channel arrangement = [bl]C + L + R + Ls + Rs[/bl]",
                       "   Sampling frequency = [bl]48[/bl] kHz",
                       "   Transmission bitrate = [bl]1536[/bl] kbit/s",
                       "   LFE channel = [bl]present[/bl] (IF:64)",
                       "   Encoder software rev. = 7, Current",
                       "   Source PCM resolution = [bl]16[/bl] bits"};
    EXPECT_EQ(read.block(dts), dts);
    EXPECT_EQ(read.t.scan().frameRates[0], 25.0);
    EXPECT_TRUE(read.has("25 counted frames ([b]0:00:01.000[/b]) in video stream 0."));
    EXPECT_TRUE(read.has("25 calculated frames in video stream 0."));
}

TEST(EncodedStreams, EvoWithH264DolbyDigitalPlusAndTrueHd) {
    ReadEvo read(evoFile(), "MOVIE.EVO");
    ASSERT_TRUE(read.ok);
    SCOPED_TRACE(logText(read.lines()));
    EXPECT_TRUE(read.has("It contains [b]1[/b] video stream and [b]2[/b] audio streams."));
    EXPECT_TRUE(read.has("[b]Copy One Generation[/b]"));
    const Lines video = {"[b]H.264 (AVC)[/b] video stream 0 found!",
                         "   First PTS = [re]00015F90[/re]",
                         "   Substream id = E2",
                         "   Profile = High",
                         "   Level = 4.1",
                         "   Chroma format = [bl]4:2:0[/bl]  (l, c) = 8, 8 bit",
                         "   Size = [bl]1920[/bl]x[bl]1080[/bl]",
                         "   Aspect ratio = [bl]1:1[/bl] (square samples)",
                         "   Time scale = 0 MHz",
                         "   Frame rate = 23.976 fps"};
    EXPECT_EQ(read.block(video), video);
    const Lines eac3 = {"[b]Dolby Digital[/b] Plus audio stream 0 found!",
                        "   First PTS = [re]00015F90[/re]",
                        "   Substream id = C0",
                        "   Stream 0 is [b]Dolby Digital Plus[/b]",
                        "   frame size = 768 bytes, number of blocks per frame = 6",
                        "   Sampling frequency = [bl]48[/bl] kHz",
                        "   Transmission bitrate = [bl]192[/bl] kbit/s",
                        "   Channel arrangement = [bl]L + R[/bl], bsid = 16",
                        "   LFE channel = [bl]not present[/bl]"};
    EXPECT_EQ(read.block(eac3), eac3);
    const Lines truehd = {"   [b]TrueHD[/b] stream (up to 8 channels)",
                          "   Sampling frequency = [bl]48[/bl] kHz"};
    EXPECT_EQ(read.block(truehd), truehd);
    EXPECT_TRUE(read.has("      channel arrangement = [bl]Main (Left,Right), Centre, LFE, "
                         "Surrounds (Ls/Rs)[/bl]"));
    EXPECT_DOUBLE_EQ(read.t.scan().frameRates[0], 24000.0 / 1001.0);
    EXPECT_TRUE(read.has("24 counted frames ([b]0:00:01.001[/b]) in video stream 0."));
    EXPECT_TRUE(read.has("24 calculated frames in video stream 0."));
}

TEST(EncodedStreams, EvoWithVc1AndDolbyDigital) {
    ReadEvo read(vc1EvoFile(), "MOVIE.EVO");
    ASSERT_TRUE(read.ok);
    SCOPED_TRACE(logText(read.lines()));
    const Lines video = {"[b]VC-1[/b] video stream 0 found!",
                         "   First PTS = [re]00015F90[/re]",
                         "   Substream id = 55",
                         "   Profile = Advanced",
                         "   Level = 3",
                         "   Chroma Format = [bl]4:2:0[/bl]",
                         "   Size = [bl]1920[/bl]x[bl]1080[/bl]",
                         "   Display size = [bl]1920[/bl]x[bl]1080[/bl]",
                         "   Aspect ratio = [bl]1:1[/bl] (square samples)",
                         "   Frame Rate = [bl]25[/bl] (25000/1000)"};
    EXPECT_EQ(read.block(video), video);
    EXPECT_TRUE(read.has("   Stream 1 is [b]Dolby Digital[/b]"));
    EXPECT_EQ(read.t.scan().frameRates[0], 25.0);
    EXPECT_TRUE(read.has("24 counted frames ([b]0:00:00.960[/b]) in video stream 0."));
    EXPECT_TRUE(read.has("25 calculated frames in video stream 0."));
}

TEST(EncodedStreams, AobWithMlpAndLpcm) {
    ReadEvo read(aobFile(), "ATS_01_1.AOB");
    ASSERT_TRUE(read.ok);
    SCOPED_TRACE(logText(read.lines()));
    for (const std::string& line : read.lines())
        EXPECT_NE(line.rfind("It contains", 0), 0u);
    const Lines mlp = {"[b]MLP[/b] audio stream 1 found!",
                       "   First PTS = [re]00015F90[/re]",
                       "   Substream id = A1",
                       "   [b]Standard MLP[/b] stream (up to 6 channels) ",
                       "   Quantization length = [bl]16[/bl] bits",
                       "   Sampling frequency = [bl]48[/bl] kHz",
                       "   Channel arrangement = [bl]L + R[/bl]"};
    EXPECT_EQ(read.block(mlp), mlp);
    const Lines lpcm = {"[b]LPCM[/b] audio stream 0 found!",
                        "   First PTS = [re]00015F90[/re]",
                        "   Substream id = A0",
                        "   Number of frame headers = 1",
                        "   First acces unit pointer = 0001",
                        "   Emphasis = off, mute = off",
                        "   Frame number = 0",
                        "   Quantization length = [bl]24[/bl] bits",
                        "   Sampling frequency = [bl]96[/bl] kHz",
                        "   Number of audio channels = [bl]2[/bl]"};
    EXPECT_EQ(read.block(lpcm), lpcm);
}

TEST(EncodedStreams, CommandLineReadUnderADecimalCommaLocale) {
    const std::string folder = scratchFolder("analysers-cli");
    const std::string path = folder + "MOVIE.EVO";
    writeFile(path, evoFile());
    const ProgramResult plain = runProgram(TARNWICK_CLI, {"read", path, "--markup"}, {"LC_ALL=C"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.out.find("\n   Frame rate = 23.976 fps\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("\n   Size = [bl]1920[/bl]x[bl]1080[/bl]\n"), std::string::npos);
    EXPECT_NE(plain.out.find("\n24 counted frames ([b]0:00:01.001[/b]) in video stream 0.\n"),
              std::string::npos);

    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    std::setlocale(LC_ALL, "C");
    const ProgramResult german =
        runProgram(TARNWICK_CLI, {"read", path, "--markup"}, {"LC_ALL=de_DE.UTF-8"});
    ASSERT_EQ(german.exitCode, 0) << german.err;
    EXPECT_NE(german.out.find("\n   Frame rate = 23,976 fps\n"), std::string::npos) << german.out;
    // Fixed texts keep their point.
    EXPECT_NE(german.out.find("\n   Sampling frequency = [bl]48[/bl] kHz\n"), std::string::npos);
}

} // namespace
} // namespace tarnwick::testing
