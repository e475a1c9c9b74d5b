// VobSub tracks: units become 2048-byte packs of private stream 1 that give
// the units back, the index lists each unit's time and first pack, and a
// title's demuxed subpicture file becomes a track that mkvmerge muxes and
// ffprobe shows at the cue times.

#include "matroska/vobsub.h"
#include "matroska/vobsub_from_records.h"
#include "matroska/vobsub_test_units.h"
#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

struct Packet {
    int64_t pack = 0; // offset of its pack
    std::optional<uint64_t> pts;
    uint8_t subStream = 0;
    Bytes payload;
};

uint64_t readPts(const uint8_t* p) {
    return uint64_t(p[0] & 0x0E) << 29 | uint64_t(p[1]) << 22 | uint64_t(p[2] >> 1) << 15 |
           uint64_t(p[3]) << 7 | uint64_t(p[4] >> 1);
}

// The private-stream-1 packets of a .sub file, each pack checked to be 2048
// bytes of a pack header, the packet and padding to the end.
std::vector<Packet> subPackets(const Bytes& sub) {
    std::vector<Packet> packets;
    EXPECT_EQ(sub.size() % VobSubPackBytes, 0u);
    for (size_t p = 0; p + VobSubPackBytes <= sub.size(); p += VobSubPackBytes) {
        const uint8_t* pack = sub.data() + p;
        EXPECT_EQ(Bytes(pack, pack + 4), (Bytes{0, 0, 1, 0xBA}));
        const uint8_t* pes = pack + 14 + (pack[13] & 7);
        EXPECT_EQ(Bytes(pes, pes + 4), (Bytes{0, 0, 1, 0xBD}));
        const size_t end = size_t(pes - pack) + 6 + size_t(pes[4] << 8 | pes[5]);
        Packet packet;
        packet.pack = int64_t(p);
        if (pes[7] & 0x80) packet.pts = readPts(pes + 9);
        const uint8_t* data = pes + 9 + pes[8];
        packet.subStream = data[0];
        packet.payload.assign(data + 1, pack + end);
        if (end < VobSubPackBytes) {
            const uint8_t* padding = pack + end;
            EXPECT_EQ(Bytes(padding, padding + 4), (Bytes{0, 0, 1, 0xBE}));
            EXPECT_EQ(end + 6 + size_t(padding[4] << 8 | padding[5]), VobSubPackBytes);
        }
        EXPECT_LE(end, VobSubPackBytes);
        packets.push_back(packet);
    }
    return packets;
}

// The units of a .sub file: a packet with a PTS starts a unit.
struct SubUnit {
    int64_t pack;
    uint64_t pts;
    Bytes bytes;
};
std::vector<SubUnit> subUnits(const Bytes& sub) {
    std::vector<SubUnit> units;
    for (const Packet& p : subPackets(sub)) {
        if (p.pts)
            units.push_back({p.pack, *p.pts, p.payload});
        else if (!units.empty())
            units.back().bytes.insert(units.back().bytes.end(), p.payload.begin(), p.payload.end());
    }
    return units;
}

std::string readText(const std::string& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(VobSubWriter, UnitsFillPacksOfTheirOwnAndComeBackWhole) {
    // 2019 bytes fill a first pack (29 bytes of headers), 2024 a later one.
    struct Case {
        size_t unitBytes;
        size_t packs;
    };
    for (const Case c : {Case{20, 1}, Case{2013, 1}, Case{2014, 1}, Case{2018, 1}, Case{2019, 1},
                         Case{2020, 2}, Case{4043, 2}, Case{4044, 3}, Case{65535, 33}}) {
        SCOPED_TRACE(c.unitBytes);
        const Bytes unit = dvdUnit(c.unitBytes - 20);
        ASSERT_EQ(unit.size(), c.unitBytes);
        const Bytes sub = vobSubPacks(unit, 3723004, 5);
        EXPECT_EQ(sub.size(), c.packs * VobSubPackBytes);
        const std::vector<Packet> packets = subPackets(sub);
        ASSERT_EQ(packets.size(), c.packs);
        Bytes back;
        for (size_t k = 0; k < packets.size(); ++k) {
            EXPECT_EQ(packets[k].subStream, 0x25);
            EXPECT_EQ(packets[k].pts,
                      k == 0 ? std::optional<uint64_t>(3723004ull * 90) : std::nullopt);
            back.insert(back.end(), packets[k].payload.begin(), packets[k].payload.end());
        }
        EXPECT_EQ(back, unit);
    }
}

TEST(VobSubWriter, TimestampLinesGiveTimeAndFirstPack) {
    struct Case {
        int64_t ms;
        int64_t position;
        const char* line;
    };
    for (const Case& c :
         {Case{0, 0, "timestamp: 00:00:00:000, filepos: 000000000\n"},
          Case{3723004, 0x1800, "timestamp: 01:02:03:004, filepos: 000001800\n"},
          Case{59999, 2048, "timestamp: 00:00:59:999, filepos: 000000800\n"},
          Case{360000000, 0xABCDEF012, "timestamp: 100:00:00:000, filepos: abcdef012\n"}}) {
        EXPECT_EQ(vobSubTimestampLine(c.ms, c.position), c.line);
    }
}

TEST(VobSubWriter, IndexHeaderGivesSizePaletteAndLanguage) {
    struct Case {
        const char* language;
        int index;
        const char* id;
    };
    for (const Case& c : {Case{"en", 0, "id: en, index: 0"}, Case{"GER", 3, "id: ger, index: 3"},
                          Case{"", 0, "id: --, index: 0"}, Case{"e1", 0, "id: --, index: 0"},
                          Case{"english", 0, "id: --, index: 0"}}) {
        SCOPED_TRACE(c.language);
        VobSubTrack track;
        track.frame = {720, 576};
        track.palette[0] = 0x102030;
        track.palette[15] = 0xABCDEF;
        track.language = c.language;
        track.streamIndex = c.index;
        const std::string header = vobSubIndexHeader(track);
        EXPECT_EQ(header.rfind("# VobSub index file, v7 (do not modify this line!)\n", 0), 0u);
        EXPECT_EQ(linesStartingWith(header, "size:"), std::vector<std::string>{"size: 720x576"});
        EXPECT_EQ(linesStartingWith(header, "palette:"),
                  std::vector<std::string>{
                      "palette: 102030, ffffff, 808080, 404040, 000000, ffffff, 808080, 404040, "
                      "000000, ffffff, 808080, 404040, 000000, ffffff, 808080, abcdef"});
        EXPECT_EQ(linesStartingWith(header, "id:"), std::vector<std::string>{c.id});
        EXPECT_EQ(linesStartingWith(header, "langidx:"),
                  std::vector<std::string>{"langidx: " + std::to_string(c.index)});
    }
}

TEST(VobSubWriter, WritesDvdUnitsOnlyAndNamesTheFilesAtClose) {
    const std::string folder = scratchFolder("writer");
    const Bytes a = dvdUnit(100);
    const Bytes b = dvdUnit(5000);
    {
        VobSubWriter unclosed(folder + "gone.idx", folder + "gone.sub", {});
        EXPECT_TRUE(unclosed.add(10, a));
    }
    EXPECT_FALSE(fs::exists(folder + "gone.idx"));
    EXPECT_FALSE(fs::exists(folder + "gone.sub"));
    VobSubTrack outOfRange;
    outOfRange.streamIndex = 32;
    EXPECT_THROW(VobSubWriter(folder + "x.idx", folder + "x.sub", outOfRange),
                 std::invalid_argument);

    VobSubWriter writer(folder + "t.idx", folder + "t.sub", {});
    EXPECT_TRUE(writer.add(500, a));
    EXPECT_FALSE(writer.add(600, extendedUnit(300)));
    EXPECT_FALSE(writer.add(600, firstBytes(b, 100)));
    EXPECT_FALSE(writer.add(-1, a));
    EXPECT_TRUE(writer.add(1800, b));
    EXPECT_TRUE(writer.add(1800, a));
    EXPECT_EQ(writer.units(), 3);
    EXPECT_FALSE(fs::exists(folder + "t.idx"));
    writer.close();
    EXPECT_EQ(linesStartingWith(readText(folder + "t.idx"), "timestamp:"),
              (std::vector<std::string>{"timestamp: 00:00:00:500, filepos: 000000000",
                                        "timestamp: 00:00:01:800, filepos: 000000800",
                                        "timestamp: 00:00:01:800, filepos: 000002000"}));
    const std::vector<SubUnit> units = subUnits(readFile(folder + "t.sub"));
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].bytes, a);
    EXPECT_EQ(units[1].bytes, b);
    EXPECT_EQ(units[1].pts, 1800u * 90);
    EXPECT_EQ(units[2].pack, 0x2000);
}

TEST(VobSubFromRecords, RecordsBecomeATrackAndFaultyUnitsAreLeftOut) {
    const Bytes ntsc = dvdUnit(50, 0, 719, 400, 470);
    const Bytes pal = dvdUnit(50, 0, 719, 500, 560);
    struct Case {
        const char* name;
        Bytes records;
        std::optional<FrameSize> video;
        int height;
        int units;
        int cut;
        int other;
        int untimed;
    };
    const std::vector<Case> cases = {
        {"NTSC units", joined({spRecord(90, ntsc), spRecord(180, ntsc)}), std::nullopt, 480, 2, 0,
         0, 0},
        {"a PAL unit among them", joined({spRecord(90, ntsc), spRecord(180, pal)}), std::nullopt,
         576, 2, 0, 0, 0},
        {"the video's size", joined({spRecord(90, pal)}), FrameSize{720, 480}, 480, 1, 0, 0, 0},
        {"a cut unit and an extended one",
         joined({spRecord(90, firstBytes(pal, 30)), spRecord(180, extendedUnit(64)),
                 spRecord(270, ntsc)}),
         std::nullopt, 480, 1, 1, 1, 0},
        {"a unit before the title", joined({spRecord(0xFFFFFF00u, ntsc), spRecord(90, ntsc)}),
         std::nullopt, 480, 1, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder("from_records");
        writeFile(folder + "t.sup", c.records);
        VobSubRequest request;
        request.records = folder + "t.sup";
        request.idxPath = folder + "t.idx";
        request.subPath = folder + "t.sub";
        request.videoSize = c.video;
        request.language = "fr";
        // Record times past 2^31 stand for units before the title's origin.
        request.titleTimeMs = [](const SubpictureRecord& r) -> std::optional<int64_t> {
            if (r.time >= 0x80000000u) return std::nullopt;
            return int64_t(r.time) / 90;
        };
        const VobSubResult result = writeVobSubFromRecords(request);
        EXPECT_EQ(result.frame.height, c.height);
        EXPECT_EQ(result.units, c.units);
        EXPECT_EQ(result.cutUnits, c.cut);
        EXPECT_EQ(result.otherUnits, c.other);
        EXPECT_EQ(result.untimedUnits, c.untimed);
        const std::string idx = readText(folder + "t.idx");
        EXPECT_EQ(linesStartingWith(idx, "size:"),
                  std::vector<std::string>{"size: 720x" + std::to_string(c.height)});
        EXPECT_EQ(linesStartingWith(idx, "timestamp:").size(), size_t(c.units));
        EXPECT_EQ(subUnits(readFile(folder + "t.sub")).size(), size_t(c.units));
    }
    EXPECT_THROW(writeVobSubFromRecords({}), std::invalid_argument);
}

namespace {

struct Cue {
    int startMs;
    int endMs;
};

void put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putSegment(Bytes& out, uint8_t type, uint32_t pts, const Bytes& data) {
    out.insert(out.end(), {'P', 'G', uint8_t(pts >> 24), uint8_t(pts >> 16), uint8_t(pts >> 8),
                           uint8_t(pts), 0, 0, 0, 0, type});
    put16(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// A bitmap subtitle stream for ffmpeg to encode as DVD subtitles (it encodes
// bitmaps only): Blu-ray presentation graphics, one display set per cue
// showing a white box at (x, y) and one that clears it.
Bytes presentationGraphics(int width, int height, int x, int y, const std::vector<Cue>& cues) {
    const int boxWidth = 200;
    const int boxHeight = 40;
    Bytes line = {0x00, uint8_t(0xC0 | boxWidth >> 8), uint8_t(boxWidth), 0x01, 0x00, 0x00};
    Bytes pixels;
    for (int k = 0; k < boxHeight; ++k)
        pixels.insert(pixels.end(), line.begin(), line.end());
    Bytes window = {1, 0};
    put16(window, uint32_t(x));
    put16(window, uint32_t(y));
    put16(window, boxWidth);
    put16(window, boxHeight);
    Bytes out;
    int number = 0;
    for (const Cue& cue : cues) {
        for (const bool show : {true, false}) {
            const uint32_t pts = uint32_t((show ? cue.startMs : cue.endMs) * 90);
            Bytes composition;
            put16(composition, uint32_t(width));
            put16(composition, uint32_t(height));
            composition.push_back(0x10); // frame rate
            put16(composition, uint32_t(number++));
            composition.insert(composition.end(), {uint8_t(show ? 0x80 : 0x00), 0, 0});
            composition.push_back(show ? 1 : 0); // objects
            if (show) {
                composition.insert(composition.end(), {0, 0, 0, 0});
                put16(composition, uint32_t(x));
                put16(composition, uint32_t(y));
            }
            putSegment(out, 0x16, pts, composition);
            putSegment(out, 0x17, pts, window);
            if (show) {
                putSegment(out, 0x14, pts, {0, 0, 0, 16, 128, 128, 0, 1, 235, 128, 128, 255});
                Bytes object = {0, 0, 0, 0xC0};
                const uint32_t length = uint32_t(pixels.size() + 4);
                object.insert(object.end(),
                              {uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)});
                put16(object, boxWidth);
                put16(object, boxHeight);
                object.insert(object.end(), pixels.begin(), pixels.end());
                putSegment(out, 0x15, pts, object);
            }
            putSegment(out, 0x80, pts, {});
        }
    }
    return out;
}

std::string findFile(const std::string& folder, const std::string& extension) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) return entry.path().string();
    return {};
}

std::vector<std::string> outputLines(const ProgramResult& r) {
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

} // namespace

TEST(VobSubEndToEnd, FfmpegDvdSubtitlesBecomeATrackMkvmergeMuxesAtTheCueTimes) {
    struct Case {
        const char* name;
        int width;
        int height;
        const char* rate;
        int boxLine;
        std::vector<Cue> cues;
        const char* language;
        const char* matroskaLanguage;
        bool titleSetInfo; // an IFO beside the VOB gives the palette
    };
    const std::vector<Case> cases = {
        {"NTSC",
         720,
         480,
         "30000/1001",
         400,
         {{500, 1200}, {1800, 2400}, {2600, 3000}},
         "en",
         "eng",
         false},
        {"PAL", 720, 576, "25", 500, {{700, 1500}, {2120, 2900}}, "de", "ger", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder(std::string("e2e_") + c.name);
        const std::string vob = folder + "VTS_01_1.VOB";
        writeFile(folder + "cues.sup",
                  presentationGraphics(c.width, c.height, 260, c.boxLine, c.cues));
        // -copyts keeps the cue times against the video's start;
        // -fix_sub_duration ends each cue at its clearing display set.
        const std::string video = "color=black:s=" + std::to_string(c.width) + "x" +
                                  std::to_string(c.height) + ":r=" + c.rate + ":d=4";
        std::vector<std::string> encode = {"-v", "error", "-y", "-f", "lavfi", "-i", video};
        encode.insert(encode.end(), {"-fix_sub_duration", "-f", "sup", "-i", folder + "cues.sup"});
        encode.insert(encode.end(),
                      {"-map", "0:v", "-map", "1:s", "-copyts", "-c:v", "mpeg2video"});
        encode.insert(encode.end(), {"-c:s", "dvdsub", "-f", "vob", vob});
        const ProgramResult made = runProgram("/usr/bin/ffmpeg", encode);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const ProgramResult demux =
            runProgram(TARNWICK_CLI, {"demux", vob, "-q", "-o", folder + "demux/"});
        ASSERT_EQ(demux.exitCode, 0) << demux.out << demux.err;
        const std::string records = findFile(folder + "demux", ".sup");
        ASSERT_FALSE(records.empty());

        // The size from the units (the video's is not given), the palette
        // from the IFO when there is one, else the default palette.
        if (c.titleSetInfo) writeFile(folder + "VTS_01_0.IFO", titleSetInfo({{235, 128, 128}}));
        const PaletteChoice palette = titleSetPalette(vob);
        EXPECT_EQ(palette.source, c.titleSetInfo ? folder + "VTS_01_0.IFO" : "");
        VobSubRequest request;
        request.records = records;
        request.idxPath = folder + "t.idx";
        request.subPath = folder + "t.sub";
        request.palette = palette.colours;
        request.language = c.language;
        request.titleTimeMs = [](const SubpictureRecord& r) -> std::optional<int64_t> {
            return (int64_t(r.time) + 45) / 90;
        };
        const VobSubResult result = writeVobSubFromRecords(request);
        EXPECT_EQ(result.units, int(c.cues.size()));
        EXPECT_EQ(result.cutUnits + result.otherUnits + result.untimedUnits, 0);
        EXPECT_EQ(result.frame.width, c.width);
        EXPECT_EQ(result.frame.height, c.height);

        const std::string mkv = folder + "t.mkv";
        const ProgramResult merged = runProgram("/usr/bin/mkvmerge", {"-o", mkv, folder + "t.idx"});
        ASSERT_EQ(merged.exitCode, 0) << merged.out << merged.err;
        const ProgramResult stream =
            runProgram("/usr/bin/ffprobe", {"-v", "error", "-show_entries",
                                            "stream=codec_name,width,height:stream_tags=language",
                                            "-of", "default=noprint_wrappers=1", mkv});
        EXPECT_EQ(
            outputLines(stream),
            (std::vector<std::string>{"codec_name=dvd_subtitle", "width=" + std::to_string(c.width),
                                      "height=" + std::to_string(c.height),
                                      std::string("TAG:language=") + c.matroskaLanguage}));
        const ProgramResult events = runProgram(
            "/usr/bin/ffprobe", {"-v", "error", "-show_entries", "packet=pts_time,duration_time",
                                 "-of", "csv=p=0", mkv});
        const std::vector<std::string> times = outputLines(events);
        ASSERT_EQ(times.size(), c.cues.size()) << events.out << events.err;
        // The start from the index, the length from the unit's stop command.
        const double frame = c.height == 576 ? 0.040 : 1001.0 / 30000;
        for (size_t k = 0; k < times.size(); ++k) {
            SCOPED_TRACE(times[k]);
            const size_t comma = times[k].find(',');
            ASSERT_NE(comma, std::string::npos);
            EXPECT_NEAR(std::stod(times[k]), c.cues[k].startMs / 1000.0, frame);
            EXPECT_NEAR(std::stod(times[k].substr(comma + 1)),
                        (c.cues[k].endMs - c.cues[k].startMs) / 1000.0, frame);
        }
        // ffmpeg decodes every unit back to a picture.
        const ProgramResult pictures =
            runProgram("/usr/bin/ffprobe", {"-v", "error", "-show_entries", "subtitle=num_rects",
                                            "-of", "csv=p=0", mkv});
        EXPECT_EQ(outputLines(pictures), std::vector<std::string>(c.cues.size(), "1"))
            << pictures.err;

        const ProgramResult extracted =
            runProgram("/usr/bin/mkvextract", {mkv, "tracks", "0:" + folder + "back.idx"});
        ASSERT_EQ(extracted.exitCode, 0) << extracted.out << extracted.err;
        const std::string idx = readText(folder + "back.idx");
        EXPECT_EQ(linesStartingWith(idx, "size:"),
                  std::vector<std::string>{"size: " + std::to_string(c.width) + "x" +
                                           std::to_string(c.height)});
        const std::string palettes = c.titleSetInfo ? "palette: ffffff, 000000, 000000, 000000"
                                                    : "palette: 000000, ffffff, 808080, 404040";
        ASSERT_EQ(linesStartingWith(idx, "palette:").size(), 1u);
        EXPECT_EQ(linesStartingWith(idx, "palette:")[0].rfind(palettes, 0), 0u);
        EXPECT_EQ(linesStartingWith(idx, "timestamp:"),
                  linesStartingWith(readText(folder + "t.idx"), "timestamp:"));
        const std::vector<SubUnit> back = subUnits(readFile(folder + "back.sub"));
        const std::vector<SubUnit> ours = subUnits(readFile(folder + "t.sub"));
        ASSERT_EQ(back.size(), ours.size());
        for (size_t k = 0; k < back.size(); ++k)
            EXPECT_EQ(back[k].bytes, ours[k].bytes) << k;
    }
}

TEST(VobSubEndToEnd, MkvmergeGivesBackUnitsOfAnySize) {
    // Units that fill a pack, leave too little room for a padding packet,
    // and run over several packs.
    struct Case {
        int64_t ms;
        Bytes unit;
    };
    const std::vector<Case> cases = {{100, dvdUnit(1999)},
                                     {900, dvdUnit(1995)},
                                     {1500, dvdUnit(20)},
                                     {2000, dvdUnit(4980)},
                                     {3000, dvdUnit(65000)}};
    const std::string folder = scratchFolder("sizes");
    VobSubWriter writer(folder + "t.idx", folder + "t.sub", {});
    for (const Case& c : cases)
        ASSERT_TRUE(writer.add(c.ms, c.unit));
    writer.close();
    const ProgramResult merged =
        runProgram("/usr/bin/mkvmerge", {"-o", folder + "t.mkv", folder + "t.idx"});
    ASSERT_EQ(merged.exitCode, 0) << merged.out << merged.err;
    const ProgramResult extracted =
        runProgram("/usr/bin/mkvextract", {folder + "t.mkv", "tracks", "0:" + folder + "b.idx"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.out << extracted.err;
    const std::vector<SubUnit> back = subUnits(readFile(folder + "b.sub"));
    ASSERT_EQ(back.size(), cases.size());
    for (size_t k = 0; k < back.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(back[k].bytes, cases[k].unit);
        EXPECT_EQ(back[k].pts, uint64_t(cases[k].ms) * 90);
    }
}
