// VobSub tracks: a demuxed subpicture file becomes an index and 2048-byte
// packs that mkvmerge reads back unit for unit, and ffmpeg's DVD subtitles
// of a VOB, demuxed, become a track that ffprobe shows at the cue times.

#include "matroska/vobsub_from_records.h"
#include "matroska/vobsub_test_units.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

struct SubUnit {
    uint64_t pts;
    Bytes bytes;
};

// The units of a .sub file, each pack checked to be a pack header, one packet
// of sub-stream 0x20 and padding to 2048 bytes; a packet with a PTS starts a
// unit.
std::vector<SubUnit> subUnits(const std::string& path) {
    const Bytes sub = readFile(path);
    std::vector<SubUnit> units;
    EXPECT_EQ(sub.size() % VobSubPackBytes, 0u);
    for (size_t p = 0; p + VobSubPackBytes <= sub.size(); p += VobSubPackBytes) {
        const uint8_t* pes = &sub[p + 14 + (sub[p + 13] & 7)];
        const uint8_t* end = pes + 6 + (pes[4] << 8 | pes[5]);
        const uint8_t* data = pes + 9 + pes[8];
        EXPECT_EQ(Bytes(pes, pes + 4), (Bytes{0, 0, 1, 0xBD}));
        EXPECT_EQ(data[0], 0x20);
        const uint8_t* padded = end <= &sub[p + 2042] ? end + 6 + (end[4] << 8 | end[5]) : end;
        EXPECT_EQ(padded, &sub[p] + VobSubPackBytes);
        const uint8_t* t = pes + 9;
        if (pes[7] & 0x80)
            units.push_back({uint64_t(t[0] & 0x0E) << 29 | uint64_t(t[1]) << 22 |
                                 uint64_t(t[2] >> 1) << 15 | uint64_t(t[3]) << 7 | t[4] >> 1,
                             {}});
        if (!units.empty()) units.back().bytes.insert(units.back().bytes.end(), data + 1, end);
    }
    return units;
}

std::vector<std::string> lines(const std::string& text, const std::string& start = "") {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.rfind(start, 0) == 0) out.push_back(line);
    return out;
}

std::string readText(const std::string& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

// Converts the records with their times taken as title times (90 kHz to ms;
// past 2^31: before the title) and muxes the track with mkvmerge, whose
// extracted .sub must give the same units.
VobSubResult convertAndMux(const std::string& folder, const VobSubRequest& base) {
    VobSubRequest request = base;
    request.idxPath = folder + "t.idx";
    request.subPath = folder + "t.sub";
    request.titleTimeMs = [](const SubpictureRecord& r) -> std::optional<int64_t> {
        if (r.time >= 0x80000000u) return std::nullopt;
        return (int64_t(r.time) + 45) / 90;
    };
    const VobSubResult result = writeVobSubFromRecords(request);
    const ProgramResult mux =
        runProgram("/usr/bin/mkvmerge", {"-o", folder + "t.mkv", folder + "t.idx"});
    EXPECT_EQ(mux.exitCode, 0) << mux.out;
    const ProgramResult extract =
        runProgram("/usr/bin/mkvextract", {folder + "t.mkv", "tracks", "0:" + folder + "b.idx"});
    EXPECT_EQ(extract.exitCode, 0) << extract.out;
    const std::vector<SubUnit> ours = subUnits(folder + "t.sub"), back = subUnits(folder + "b.sub");
    EXPECT_EQ(ours.size(), back.size());
    for (size_t k = 0; k < ours.size() && k < back.size(); ++k)
        EXPECT_TRUE(ours[k].bytes == back[k].bytes && ours[k].pts == back[k].pts) << k;
    EXPECT_EQ(lines(readText(folder + "b.idx"), "timestamp:"),
              lines(readText(folder + "t.idx"), "timestamp:"));
    return result;
}

} // namespace

TEST(VobSubFromRecords, RecordsBecomeATrackAndFaultyUnitsAreLeftOut) {
    // 2019 bytes fill a unit's first pack; 2015 leave 4 bytes stuffed into
    // the packet's header, 2013 an empty padding packet; 4997 take 3 packs.
    const Bytes fill = dvdUnit(2002), stuffed = dvdUnit(1998), padded = dvdUnit(1996),
                three = dvdUnit(4980), pal = dvdUnit(50, 500, 560);
    struct Case {
        const char* name;
        Bytes records;
        std::optional<FrameSize> video;
        const char* language;
        std::vector<std::string> index; // size, id and timestamp lines
        std::vector<int> counts;        // written, cut, other, untimed
    };
    const std::vector<Case> cases = {
        {"pack fills",
         joined({spRecord(9000, fill), spRecord(81000, stuffed), spRecord(135000, padded),
                 spRecord(335070360, three), spRecord(335070900, dvdUnit(65000))}),
         {},
         "en",
         {"size: 720x480", "id: en, index: 0", "timestamp: 00:00:00:100, filepos: 000000000",
          "timestamp: 00:00:00:900, filepos: 000000800",
          "timestamp: 00:00:01:500, filepos: 000001000",
          "timestamp: 01:02:03:004, filepos: 000001800",
          "timestamp: 01:02:03:010, filepos: 000003000"},
         {5, 0, 0, 0}},
        {"a PAL unit",
         joined({spRecord(90, fill), spRecord(180, pal)}),
         {},
         "GER",
         {"size: 720x576", "id: ger, index: 0", "timestamp: 00:00:00:001, filepos: 000000000",
          "timestamp: 00:00:00:002, filepos: 000000800"},
         {2, 0, 0, 0}},
        {"the video's size",
         spRecord(90, pal),
         FrameSize{704, 480},
         "",
         {"size: 704x480", "id: --, index: 0", "timestamp: 00:00:00:001, filepos: 000000000"},
         {1, 0, 0, 0}},
        {"faulty units",
         joined({spRecord(90, firstBytes(pal, 30)), spRecord(1, extendedUnit(64)),
                 spRecord(0xFFFFFF00u, pal), spRecord(270, fill)}),
         {},
         "english",
         {"size: 720x480", "id: --, index: 0", "timestamp: 00:00:00:003, filepos: 000000000"},
         {1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder("from_records");
        writeFile(folder + "t.sup", c.records);
        VobSubRequest request;
        request.records = folder + "t.sup";
        request.videoSize = c.video;
        request.language = c.language;
        const VobSubResult r = convertAndMux(folder, request);
        EXPECT_EQ(std::vector<int>({r.units, r.cutUnits, r.otherUnits, r.untimedUnits}), c.counts);
        const std::string idx = readText(folder + "t.idx");
        EXPECT_EQ(lines(idx)[0], "# VobSub index file, v7 (do not modify this line!)");
        std::vector<std::string> index = lines(idx, "size:");
        for (const char* start : {"id:", "timestamp:"})
            for (const std::string& line : lines(idx, start))
                index.push_back(line);
        EXPECT_EQ(index, c.index);
    }
    EXPECT_THROW(writeVobSubFromRecords({}), std::invalid_argument);
}

namespace {

struct Cue {
    int startMs, endMs;
};

Bytes segment(uint8_t type, int ms, const Bytes& data) {
    const uint32_t pts = uint32_t(ms * 90);
    return joined(
        {{'P', 'G', uint8_t(pts >> 24), uint8_t(pts >> 16), uint8_t(pts >> 8), uint8_t(pts), 0, 0,
          0, 0, type, uint8_t(data.size() >> 8), uint8_t(data.size())},
         data});
}

// Bitmap subtitles for ffmpeg to encode as DVD subtitles (it encodes bitmaps
// only): Blu-ray presentation graphics, per cue a display set that shows a
// white 200x40 box at (260, y) and one that clears it.
Bytes presentationGraphics(int width, int height, int y, const std::vector<Cue>& cues) {
    Bytes pixels;
    for (int k = 0; k < 40; ++k) // 200 pixels of colour 1, end of line
        pixels.insert(pixels.end(), {0x00, 0xC0, 200, 0x01, 0x00, 0x00});
    const Bytes at = {1, 4, uint8_t(y >> 8), uint8_t(y)},
                window = joined({{1, 0}, at, {0, 200, 0, 40}});
    const Bytes screen = {uint8_t(width >> 8), uint8_t(width), uint8_t(height >> 8),
                          uint8_t(height),     0x10,           0};
    const Bytes colours = {0, 0, 0, 16, 128, 128, 0, 1, 235, 128, 128, 255};
    const Bytes object = joined({{0, 0, 0, 0xC0, 0, 0, 244, 0, 200, 0, 40}, pixels});
    Bytes out;
    uint8_t n = 0;
    for (const Cue& c : cues) {
        const Bytes show = joined({screen, {n++, 0x80, 0, 0, 1, 0, 0, 0, 0}, at}),
                    hide = joined({screen, {n++, 0, 0, 0, 0}});
        out = joined({out, segment(0x16, c.startMs, show), segment(0x17, c.startMs, window),
                      segment(0x14, c.startMs, colours), segment(0x15, c.startMs, object),
                      segment(0x80, c.startMs, {}), segment(0x16, c.endMs, hide),
                      segment(0x17, c.endMs, window), segment(0x80, c.endMs, {})});
    }
    return out;
}

} // namespace

TEST(VobSubEndToEnd, FfmpegDvdSubtitlesBecomeATrackMkvmergeMuxesAtTheCueTimes) {
    struct Case {
        const char* name;
        int height;
        const char* rate;
        std::vector<Cue> cues;
        const char* language;
        const char* stored;
        bool ifo; // an IFO beside the VOB gives the palette
    };
    const std::vector<Case> cases = {
        {"NTSC", 480, "30000/1001", {{500, 1200}, {1800, 2400}, {2600, 3000}}, "en", "eng", false},
        {"PAL", 576, "25", {{700, 1500}, {2120, 2900}}, "de", "ger", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder(std::string("e2e_") + c.name);
        const std::string vob = folder + "VTS_01_1.VOB", size = "720x" + std::to_string(c.height);
        writeFile(folder + "cues.sup", presentationGraphics(720, c.height, c.height - 80, c.cues));
        // -copyts keeps the cue times against the video's start;
        // -fix_sub_duration ends each cue at the display set that clears it.
        std::vector<std::string> args;
        std::istringstream words("-v error -y -f lavfi -i color=s=" + size + ":r=" + c.rate +
                                 ":d=4 -fix_sub_duration -f sup -i " + folder +
                                 "cues.sup -map 0:v -map 1:s -copyts -c:v mpeg2video -c:s dvdsub "
                                 "-f vob " +
                                 vob);
        for (std::string word; words >> word;)
            args.push_back(word);
        const ProgramResult made = runProgram("/usr/bin/ffmpeg", args);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const ProgramResult demux = runProgram(TARNWICK_CLI, {"demux", vob, "-q", "-o", folder});
        ASSERT_EQ(demux.exitCode, 0) << demux.out << demux.err;
        if (c.ifo) writeFile(folder + "VTS_01_0.IFO", titleSetInfo({{235, 128, 128}}));
        VobSubRequest request; // the picture size from the units
        request.records = folder + "VTS_01_1.Subpicture.00.sup";
        request.palette = titleSetPalette(vob).colours;
        request.language = c.language;
        const VobSubResult result = convertAndMux(folder, request);
        EXPECT_EQ(result.units, int(c.cues.size()));

        const auto probe = [&](const std::string& entries) {
            return lines(runProgram("/usr/bin/ffprobe", {"-v", "error", "-show_entries", entries,
                                                         "-of", "csv=p=0", folder + "t.mkv"})
                             .out);
        };
        EXPECT_EQ(probe("stream=codec_name,width,height:stream_tags=language"),
                  std::vector<std::string>{"dvd_subtitle,720," + std::to_string(c.height) + "," +
                                           c.stored});
        // Starts from the index, lengths from the units' stop commands.
        const std::vector<std::string> events = probe("packet=pts_time,duration_time");
        ASSERT_EQ(events.size(), c.cues.size());
        const double frame = c.height == 576 ? 0.040 : 1001.0 / 30000;
        for (size_t k = 0; k < events.size(); ++k) {
            EXPECT_NEAR(std::stod(events[k]), c.cues[k].startMs / 1000.0, frame) << events[k];
            EXPECT_NEAR(std::stod(events[k].substr(events[k].find(',') + 1)),
                        (c.cues[k].endMs - c.cues[k].startMs) / 1000.0, frame)
                << events[k];
        }
        // ffmpeg decodes each unit to a picture.
        EXPECT_EQ(probe("subtitle=num_rects"), std::vector<std::string>(c.cues.size(), "1"));
        const std::string back = readText(folder + "b.idx");
        EXPECT_EQ(lines(back, "size:"), std::vector<std::string>{"size: " + size});
        EXPECT_EQ(lines(back, "palette:")[0].substr(0, 17),
                  c.ifo ? "palette: ffffff, " : "palette: 000000, ");
    }
}
