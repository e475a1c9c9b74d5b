// The whole road through tarnwick-cli on a disc-like folder tree: a feature
// in two parts with its playlist is read, demuxed and rebuilt, the rebuilt
// EVO is read and demuxed again, and the playlist gives the chapter file.

#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
namespace fs = std::filesystem;

// A playlist laid out as on a retail disc: attribute items, a main title
// that plays FEATURE_1 and FEATURE_2, a trailer title of its own, chapters
// that cross into the second clip.
const char* const Playlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- authored for the end-to-end test -->
<Playlist majorVersion="1" minorVersion="0"
    xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist">
    <Configuration>
        <StreamingBuffer size="0"/>
        <Aperture size="1920x1080"/>
    </Configuration>
    <MediaAttributeList>
        <VideoAttributeItem index="1" codec="VC-1"/>
        <AudioAttributeItem index="1" codec="DD+" channels="6"/>
        <AudioAttributeItem index="2" codec="AC-3" channels="2"/>
        <SubpictureAttributeItem index="1" codec="8bitRLC"/>
    </MediaAttributeList>
    <TitleSet timeBase="60fps" tickBase="24fps" defaultLanguage="en">
        <Title titleNumber="1" titleDuration="00:00:20:00" id="Trailer" displayName="Trailer" onEnd="NEXT">
            <PrimaryAudioVideoClip titleTimeBegin="00:00:00:00" titleTimeEnd="00:00:20:00" src="file:///dvddisc/HVDVD_TS/TRAILER.MAP" dataSource="Disc">
                <Video track="1" mediaAttr="1"/>
                <Audio track="1" streamNumber="3" mediaAttr="2" description="Trailer"/>
            </PrimaryAudioVideoClip>
        </Title>
        <Title titleNumber="2" titleDuration="01:43:53:24" id="MainMovie" displayName="Main Movie" onEnd="NEXT">
            <PrimaryAudioVideoClip titleTimeBegin="00:00:00:00" titleTimeEnd="01:03:21:10" src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" dataSource="Disc">
                <Video track="1" mediaAttr="1"/>
                <Audio track="1" streamNumber="1" mediaAttr="1" description="English 5.1"/>
                <Audio track="2" streamNumber="2" mediaAttr="2" description="Commentary"/>
                <Subtitle track="1" streamNumber="1" mediaAttr="1" description="English"/>
            </PrimaryAudioVideoClip>
            <PrimaryAudioVideoClip titleTimeBegin="01:03:21:10" titleTimeEnd="01:43:53:24" src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP" dataSource="Disc" seamless="true">
                <Video track="1" mediaAttr="1"/>
                <Audio track="1" streamNumber="1" mediaAttr="1" description="English 5.1"/>
                <Audio track="2" streamNumber="2" mediaAttr="2" description="Commentary"/>
                <Subtitle track="1" streamNumber="1" mediaAttr="1" description="English"/>
            </PrimaryAudioVideoClip>
            <ChapterList>
                <Chapter displayName="Opening" titleTimeBegin="00:00:00:00" />
                <Chapter displayName="The Road" titleTimeBegin="00:01:30:30" />
                <Chapter displayName="Night" titleTimeBegin="00:12:05:59" />
                <Chapter displayName="Second Reel" titleTimeBegin="01:03:21:10" />
            </ChapterList>
        </Title>
    </TitleSet>
</Playlist>
)";

struct Part {
    Bytes file, video, ddPlus, commentary, subtitle;
    size_t subtitleUnits = 0;
};

StreamSpec stream(uint8_t streamId, int subId, size_t size, uint32_t seed, uint32_t firstPts) {
    StreamSpec s;
    s.streamId = streamId;
    s.subStreamId = subId;
    if (subId >= 0) s.subStreamHeader = audioSubStreamHeader(uint8_t(subId));
    s.data = noiseWithoutStartCodes(size, seed);
    s.firstPts = firstPts;
    s.ptsEvery = 3;
    return s;
}

// VC-1 video, Dolby Digital Plus (0xC0), Dolby Digital commentary (0x81) and
// a subpicture stream (0x20), as one part of the feature.
Part makePart(uint32_t seed, uint32_t firstPtm, uint32_t lastPtm) {
    StreamSpec video = stream(0xFD, -1, 400000, seed, firstPtm);
    video.streamIdExtension = 0x55;
    const StreamSpec ddPlus = stream(0xBD, 0xC0, 60000, seed + 1, firstPtm);
    const StreamSpec commentary = stream(0xBD, 0x81, 30000, seed + 2, firstPtm + 3000);
    StreamSpec subtitle = stream(0xBD, 0x20, 12000, seed + 3, firstPtm + 9000);
    subtitle.subStreamHeader = {0x20};
    subtitle.unitStarts = {0, 4000, 8000};
    subtitle.ptsEvery = 0;
    NavigationPackInfo nav;
    nav.audioBound = 2;
    nav.firstPtm = firstPtm;
    nav.lastPtm = lastPtm;
    nav.audioEntries = {1, 1};
    nav.subpictureEntries = {1};
    nav.copyControl = true;
    PackWriter writer;
    muxStreams(writer, {video, ddPlus, commentary, subtitle}, 24, nav);
    return {writer.bytes(),  video.data,    ddPlus.data,
            commentary.data, subtitle.data, subtitle.unitStarts.size()};
}

Bytes joined(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::string text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool hasLine(const std::string& out, const std::string& line) {
    return ("\n" + out).find("\n" + line + "\n") != std::string::npos;
}

// The lines after the last empty line: the ticked streams that `read` lists.
std::string streamList(const std::string& out) {
    const size_t at = out.rfind("\n\n");
    return at == std::string::npos ? out : out.substr(at + 2);
}

TEST(EndToEnd, AFeatureOnADiscIsReadDemuxedRebuiltAndGetsItsChapters) {
    const std::string disc = scratchFolder("e2e");
    const std::string root = disc + "DISC/";
    const std::string evo = root + "HVDVD_TS/";
    const std::string out = scratchFolder("e2e_out");
    fs::create_directories(evo);
    fs::create_directories(root + "ADV_OBJ");
    const uint32_t middle = 90000 + 90000 * 3801; // 01:03:21
    const Part one = makePart(10, 90000, middle - 3003);
    const Part two = makePart(20, middle, middle + 90000 * 2432);
    writeFile(evo + "FEATURE_1.EVO", one.file);
    writeFile(evo + "FEATURE_2.EVO", two.file);
    std::ofstream(root + "ADV_OBJ/VPLST000.XPL", std::ios::binary) << Playlist;
    const std::string source = evo + "FEATURE_1.EVO";
    const std::string cli = TARNWICK_CLI;

    // Read EVO over both parts lists every stream.
    const ProgramResult read = runProgram(cli, {"read", source});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_TRUE(hasLine(read.out, "Continue on FEATURE_2.EVO"));
    EXPECT_TRUE(hasLine(read.out, "VC-1 video stream 0 found!"));
    EXPECT_TRUE(hasLine(read.out, "Dolby Digital Plus audio stream 0 found!"));
    EXPECT_TRUE(hasLine(read.out, "Dolby Digital audio stream 1 found!"));
    EXPECT_TRUE(hasLine(read.out, "Subpicture stream 0 found!"));
    EXPECT_EQ(streamList(read.out),
              "v0\tVC-1.stream.0\na00\tDD+.stream.00\na01\tDD.stream.01\ns00\tSubpicture.00\n");

    // Demux: one file per stream, both parts in each.
    const ProgramResult demux = runProgram(cli, {"demux", source, "-q", "-o", out});
    ASSERT_EQ(demux.exitCode, 0) << demux.err;
    const std::string base = out + "FEATURE_1_FEATURE_2.";
    EXPECT_EQ(readFile(base + "VC-1.stream.0.mpv"), joined(one.video, two.video));
    EXPECT_EQ(readFile(base + "DD+.stream.00.mpa"), joined(one.ddPlus, two.ddPlus));
    EXPECT_EQ(readFile(base + "DD.stream.01.mpa"), joined(one.commentary, two.commentary));
    const Bytes subtitle = readFile(base + "Subpicture.00.sup");
    EXPECT_EQ(subtitle.size(), one.subtitle.size() + two.subtitle.size() +
                                   10 * (one.subtitleUnits + two.subtitleUnits));

    // Rebuild without the commentary: one EVO with the packs of both parts.
    const ProgramResult rebuild =
        runProgram(cli, {"rebuild", source, "-q", "-o", out, "--streams", "v0,a00,s00"});
    ASSERT_EQ(rebuild.exitCode, 0) << rebuild.err;
    const std::string rebuilt = base + "rebuilt.EVO";
    size_t commentaryPacks = 0;
    for (const Bytes* file : {&one.file, &two.file})
        for (size_t at = 0; at < file->size(); at += PackSize)
            commentaryPacks +=
                (*file)[at + 0x11] == 0xBD && (*file)[at + 0x17 + (*file)[at + 0x16]] == 0x81;
    EXPECT_EQ(fs::file_size(rebuilt),
              one.file.size() + two.file.size() - commentaryPacks * PackSize);

    // The rebuilt EVO reads back with the kept streams, and demuxes into the
    // same bytes as the two parts did.
    const std::string again = scratchFolder("e2e_again");
    const ProgramResult readBack = runProgram(cli, {"demux", rebuilt, "-o", again});
    ASSERT_EQ(readBack.exitCode, 0) << readBack.err;
    EXPECT_FALSE(hasLine(readBack.out, "Dolby Digital audio stream 1 found!"));
    const std::string rebase = again + "FEATURE_1_FEATURE_2.rebuilt.";
    EXPECT_EQ(readFile(rebase + "VC-1.stream.0.mpv"), readFile(base + "VC-1.stream.0.mpv"));
    EXPECT_EQ(readFile(rebase + "DD+.stream.00.mpa"), readFile(base + "DD+.stream.00.mpa"));
    EXPECT_EQ(readFile(rebase + "Subpicture.00.sup"), subtitle);
    EXPECT_EQ(std::distance(fs::directory_iterator(again), fs::directory_iterator()), 3);

    // The playlist names the main title's streams and gives its chapters.
    const ProgramResult xpl = runProgram(
        cli, {"xpl", root + "ADV_OBJ/VPLST000.XPL", "--source", source, "--chapters", "-o", out});
    ASSERT_EQ(xpl.exitCode, 0) << xpl.err;
    const std::string log = "Open VPLST000.XPL\nFilesize: " +
                            std::to_string(text(root + "ADV_OBJ/VPLST000.XPL").size()) +
                            " bytes\nVC-1.s0 found!\nDD+.6ch.s00.English 5.1 found!\n"
                            "AC-3.2ch.s01.Commentary found!\n8bitRLC.s00.English found!\nDone.\n\n"
                            "Chapters info writed to " +
                            out + "FEATURE_1.chapters.txt\n";
    EXPECT_EQ(xpl.out.substr(0, log.size()), log);
    EXPECT_NE(xpl.out.find("<Title titleNumber=\"2\""), std::string::npos);
    EXPECT_EQ(xpl.out.find("Trailer"), std::string::npos);
    EXPECT_EQ(text(out + "FEATURE_1.chapters.txt"),
              "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Opening\r\n"
              "CHAPTER02=00:01:30.500\r\nCHAPTER02NAME=The Road\r\n"
              "CHAPTER03=00:12:05.983\r\nCHAPTER03NAME=Night\r\n"
              "CHAPTER04=01:03:21.166\r\nCHAPTER04NAME=Second Reel\r\n");
    fs::remove_all(disc);
    fs::remove_all(out);
    fs::remove_all(again);
}

} // namespace
} // namespace tarnwick
