// Streams made by real encoders come out of the demux unchanged, and
// ffmpeg's own demux of the DVD samples agrees byte for byte.

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "demux/demux_support.h"
#include "support/shared_samples.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

using Fields = std::map<std::string, std::string>;

// Encodes a lavfi source; returns the elementary stream.
Bytes encode(const std::string& folder, const std::string& name, const std::string& arguments) {
    const std::string path = folder + name;
    const int status =
        runCommand("ffmpeg -v error -y -bitexact " + arguments + " -t 2 '" + path + "' </dev/null");
    EXPECT_EQ(status, 0) << arguments;
    return fileBytes(path);
}

StreamSpec streamOf(uint8_t streamId, int subStreamId, Bytes header, Bytes data) {
    StreamSpec s;
    s.streamId = streamId;
    s.subStreamId = subStreamId;
    s.subStreamHeader = std::move(header);
    s.data = std::move(data);
    return s;
}

void expectProbe(const std::string& path, const Fields& expected) {
    const Fields got = probe(path);
    for (const auto& [key, value] : expected) {
        const auto it = got.find(key);
        EXPECT_TRUE(it != got.end() && it->second == value)
            << path << ": " << key << " is " << (it == got.end() ? "missing" : it->second)
            << ", expected " << value;
    }
}

const std::string Sine = "-f lavfi -i sine=frequency=440:sample_rate=48000 ";

// The frame markers (00 00 01 marker) in a demuxed video file.
int markers(const Bytes& video, uint8_t marker) {
    int found = 0;
    for (size_t k = 3; k < video.size(); ++k)
        found += video[k - 3] == 0 && video[k - 2] == 0 && video[k - 1] == 1 && video[k] == marker;
    return found;
}

} // namespace

TEST(RealStreams, EncodedStreamsComeBackByteForByteAndFfprobeKnowsThem) {
    const std::string folder = scratchFolder("demux_real_streams");
    const Bytes mpeg2 = encode(folder, "v.m2v",
                               "-f lavfi -i testsrc2=size=720x576:rate=25 -c:v mpeg2video -b:v 4M "
                               "-g 12 -threads 1 -f mpeg2video");
    const Bytes h264 = encode(folder, "v.h264",
                              "-f lavfi -i testsrc2=size=320x240:rate=24 -c:v libx264 -threads 1 "
                              "-f h264");
    const Bytes ac3 = encode(folder, "a.ac3", Sine + "-ac 2 -c:a ac3 -f ac3");
    const Bytes eac3 = encode(folder, "a.eac3", Sine + "-ac 6 -c:a eac3 -b:a 384k -f eac3");
    const Bytes dts = encode(folder, "a.dts", Sine + "-ac 2 -c:a dca -strict -2 -f dts");
    const Bytes truehd = encode(folder, "a.thd", Sine + "-ac 2 -c:a truehd -strict -2 -f truehd");
    const Bytes mlp = encode(folder, "a.mlp", Sine + "-ac 2 -c:a mlp -strict -2 -f mlp");
    const Bytes lpcm = encode(folder, "a.pcm", Sine + "-ac 2 -f s16be");
    ASSERT_FALSE(HasFailure());

    // A padding packet in front moves the chunk boundaries into the packs.
    PackWriter writer;
    writer.raw(paddingPacket(1000));
    muxStreams(writer, {streamOf(0xE0, -1, {}, mpeg2), streamOf(0xE3, -1, {}, h264),
                        streamOf(0xBD, 0x80, audioSubStreamHeader(0x80), ac3),
                        streamOf(0xBD, 0xC1, audioSubStreamHeader(0xC1), eac3),
                        streamOf(0xBD, 0x8A, audioSubStreamHeader(0x8A), dts),
                        streamOf(0xBD, 0xB3, trueHdSubStreamHeader(0xB3), truehd),
                        streamOf(0xBD, 0xA4, lpcmSubStreamHeader(0xA4), lpcm)});
    writeFile(folder + "R.EVO", writer.bytes());
    CoreRun core;
    const DemuxRun run = readAndDemux(core, folder + "R.EVO", folder);
    ASSERT_TRUE(run.readOk() && run.demuxOk());

    const std::string base = folder + "R.";
    EXPECT_EQ(fileBytes(base + "MPEG-2.stream.0.mpv"), mpeg2);
    EXPECT_EQ(fileBytes(base + "H.264.stream.1.mpv"), h264);
    EXPECT_EQ(fileBytes(base + "DD.stream.00.mpa"), ac3);
    EXPECT_EQ(fileBytes(base + "DD+.stream.01.mpa"), eac3);
    EXPECT_EQ(fileBytes(base + "DTSHD.stream.02.mpa"), dts);
    EXPECT_EQ(fileBytes(base + "MLP.stream.03.mpa"), truehd);
    EXPECT_EQ(fileBytes(base + "LPCM.stream.04.mpa"), lpcm);
    expectProbe(base + "MPEG-2.stream.0.mpv", {{"codec_name", "mpeg2video"},
                                               {"width", "720"},
                                               {"height", "576"},
                                               {"r_frame_rate", "25/1"}});
    expectProbe(
        base + "H.264.stream.1.mpv",
        {{"codec_name", "h264"}, {"width", "320"}, {"height", "240"}, {"r_frame_rate", "24/1"}});
    const Fields stereo = {{"sample_rate", "48000"}, {"channels", "2"}};
    auto with = [](Fields f, const std::string& codec) {
        f["codec_name"] = codec;
        return f;
    };
    expectProbe(base + "DD.stream.00.mpa", with(stereo, "ac3"));
    expectProbe(base + "DD+.stream.01.mpa",
                {{"codec_name", "eac3"}, {"sample_rate", "48000"}, {"channels", "6"}});
    expectProbe(base + "DTSHD.stream.02.mpa", with(stereo, "dts"));
    expectProbe(base + "MLP.stream.03.mpa", with(stereo, "truehd"));

    // MLP in a DVD-Audio file: sub-stream 0xA1 with the 7-byte header.
    PackWriter aob(MuxRate::Dvd);
    muxStreams(aob, {streamOf(0xBD, 0xA1, lpcmSubStreamHeader(0xA1), mlp)});
    writeFile(folder + "M.AOB", aob.bytes());
    CoreRun a;
    ASSERT_TRUE(readAndDemux(a, folder + "M.AOB", folder).demuxOk());
    EXPECT_TRUE(containsLine(a.visibleLines(), "MLP audio stream 1 found!"));
    EXPECT_EQ(fileBytes(folder + "M.LPCM.stream.01.mpa"), mlp);
    expectProbe(folder + "M.LPCM.stream.01.mpa", with(stereo, "mlp"));
}

TEST(RealStreams, DvdSamplesDemuxAsFfmpegCopiesThem) {
    struct Sample {
        std::string name;
        Fields video;
        std::string ac3Caption;
        Fields ac3;
    };
    const Sample samples[] = {
        {"dvd_mpeg2_ac3",
         {{"width", "720"}, {"height", "576"}, {"r_frame_rate", "25/1"}},
         "DD.stream.00",
         {{"sample_rate", "48000"}, {"channels", "2"}}},
        // LPCM 0xA0 holds audio slot 0, so the Dolby Digital stream 0x80
        // gets a slot of its own.
        {"dvd_ntsc_lpcm_ac3",
         {{"width", "720"}, {"height", "480"}, {"r_frame_rate", "30000/1001"}},
         "DD.stream.15",
         {{"sample_rate", "48000"}, {"channels", "6"}}},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        const std::string folder = scratchFolder("demux_dvd_" + s.name);
        const SampleFile sample = dvdSample(s.name + ".vob");
        if (sample.path.empty()) GTEST_SKIP() << sample.skipReason;
        const std::string source = sample.path;
        CoreRun core;
        const DemuxRun run = readAndDemux(core, source, folder);
        ASSERT_TRUE(run.readOk() && run.demuxOk());
        const std::string base = folder + s.name + ".";

        const std::string ffmpeg = "ffmpeg -v error -y -i '" + source + "' ";
        ASSERT_EQ(runCommand(ffmpeg + "-map 0:v -c copy -f mpeg2video '" + folder + "ref.m2v'"), 0);
        ASSERT_EQ(runCommand(ffmpeg + "-map 0:i:0x80 -c copy -f ac3 '" + folder + "ref.ac3'"), 0);
        const Bytes video = fileBytes(base + "MPEG-2.stream.0.mpv");
        const Bytes ac3 = fileBytes(base + s.ac3Caption + ".mpa");
        EXPECT_GT(video.size(), 100000u);
        EXPECT_EQ(video, fileBytes(folder + "ref.m2v"));
        EXPECT_GT(ac3.size(), 10000u);
        EXPECT_EQ(ac3, fileBytes(folder + "ref.ac3"));
        Fields video_fields = s.video;
        video_fields["codec_name"] = "mpeg2video";
        expectProbe(base + "MPEG-2.stream.0.mpv", video_fields);
        Fields ac3_fields = s.ac3;
        ac3_fields["codec_name"] = "ac3";
        expectProbe(base + s.ac3Caption + ".mpa", ac3_fields);

        if (s.name == "dvd_ntsc_lpcm_ac3") {
            // The samples after the 7-byte header, which ffmpeg decodes to the
            // same big-endian 16-bit samples.
            const Bytes lpcm = fileBytes(base + "LPCM.stream.00.mpa");
            EXPECT_EQ(lpcm, streamBytes(walkPackets(fileBytes(source)), 0xBD, 0xA0));
            ASSERT_EQ(runCommand(ffmpeg + "-map 0:i:0xa0 -f s16be '" + folder + "ref.pcm'"), 0);
            EXPECT_EQ(lpcm, fileBytes(folder + "ref.pcm"));
            EXPECT_EQ(lpcm.size(), 576000u); // 3 s of 48 kHz stereo 16-bit
        }
    }
}

TEST(RealStreams, CollidingSubStreamsOfATwoPartVobKeepOneFileEach) {
    // ffmpeg numbers each codec from its own base: Dolby Digital 0x80, DTS
    // 0x88 and LPCM 0xA0 all map to audio slot 0. The VOB is cut at a pack
    // where the first packets of the streams come in another order.
    const std::string folder = scratchFolder("demux_colliding_vob");
    const std::string whole = folder + "whole.vob";
    const std::string sine = "-f lavfi -i sine=frequency=440:sample_rate=48000 ";
    ASSERT_EQ(runCommand("ffmpeg -v quiet -y -bitexact -f lavfi -i "
                         "testsrc2=size=352x240:rate=30000/1001 " +
                         sine + sine + sine +
                         "-map 0 -map 1 -map 2 -map 3 -c:v mpeg2video -b:v 1M -threads 1 "
                         "-c:a:0 ac3 -ac 2 -c:a:1 dca -strict -2 -c:a:2 pcm_s16be -t 4 "
                         "-f vob '" +
                         whole + "' </dev/null"),
              0);
    const Bytes file = fileBytes(whole);
    const auto runs = walkPackets(file);
    auto firstSubStream = [&](int64_t from) {
        for (const PayloadRun& r : runs)
            if (r.offset >= from && r.streamId == 0xBD) return r.subStreamId;
        return -1;
    };
    int64_t cut = int64_t(file.size() / 2) / 2048 * 2048;
    while (cut < int64_t(file.size()) && firstSubStream(cut) == firstSubStream(0))
        cut += 2048;
    ASSERT_LT(cut, int64_t(file.size()));
    writeFile(folder + "VTS_01_1.VOB", Bytes(file.begin(), file.begin() + cut));
    writeFile(folder + "VTS_01_2.VOB", Bytes(file.begin() + cut, file.end()));

    CoreRun core;
    const std::string out = scratchFolder("demux_colliding_vob_out");
    const DemuxRun run = readAndDemux(core, folder + "VTS_01_1.VOB", out);
    ASSERT_TRUE(run.demuxOk());
    const ScanReport& scan = run.scan.title.scan;
    const std::string ffmpeg = "ffmpeg -v error -y -i '" + whole + "' ";
    const struct {
        int id;
        std::string copy; // ffmpeg's stream copy, or none for LPCM
    } streams[] = {
        {0x80, "-map 0:i:0x80 -c copy -f ac3"}, {0x88, "-map 0:i:0x88 -c copy -f dts"}, {0xA0, ""}};
    for (const auto& s : streams) {
        SCOPED_TRACE(s.id);
        const auto slot = std::find_if(scan.audio.begin(), scan.audio.end(),
                                       [&](const StreamReport& r) { return r.id == s.id; });
        ASSERT_NE(slot, scan.audio.end());
        const std::string& caption = slot->caption;
        const Bytes got = fileBytes(
            outputFileName(out + "VTS_01_1_VTS_01_2", caption, OutputNaming{}.audioExtension));
        // LPCM: the payload after its header, as ffmpeg's walk gives it.
        Bytes expected = streamBytes(runs, 0xBD, s.id);
        if (!s.copy.empty()) {
            ASSERT_EQ(runCommand(ffmpeg + s.copy + " '" + out + "ref'"), 0);
            expected = fileBytes(out + "ref");
        }
        EXPECT_GT(got.size(), 10000u);
        EXPECT_TRUE(got == expected)
            << caption << ": " << got.size() << " bytes, " << expected.size() << " expected";
    }
    // The counted pictures are those of the demuxed video file.
    ASSERT_EQ(runCommand(ffmpeg + "-map 0:v -c copy -f mpeg2video '" + out + "ref.m2v'"), 0);
    const int pictures = markers(fileBytes(out + "ref.m2v"), 0x00);
    EXPECT_EQ(run.demux.frames.counted[0], pictures);
    EXPECT_GT(pictures, 100);
}

TEST(RealStreams, BundledFeatureCountsTheAccessUnitsOfItsDemuxedVideo) {
    CoreRun core;
    const std::string out = scratchFolder("demux_bundled_feature");
    const DemuxRun run =
        readAndDemux(core, std::string(TARNWICK_SAMPLES) + "/DISC/HVDVD_TS/FEATURE_1.EVO", out);
    ASSERT_TRUE(run.demuxOk());
    const Bytes video = fileBytes(out + "FEATURE_1_FEATURE_2.H.264.stream.0.mpv");
    EXPECT_EQ(run.demux.frames.counted[0], markers(video, 0x09));
    EXPECT_EQ(run.demux.frames.counted[0], 96);
    // The second part begins at an IDR picture with its parameter sets.
    EXPECT_EQ(markers(video, 0x67), 4);
}
