// Demux's subpicture records come back one unit at a time; units that do not
// match their records are reported, and what DVD units say about themselves
// (their kind, their display area) is read within their bytes.

#include "matroska/subpicture_records.h"
#include "matroska/subpicture_unit.h"
#include "matroska/vobsub_test_units.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

struct Expected {
    uint32_t time;
    RecordFault fault;
    uint32_t declaredSize;
    Bytes unit;
};

std::vector<SubpictureRecord> readAll(const std::string& path, int64_t& skipped) {
    SubpictureRecordReader reader(path);
    std::vector<SubpictureRecord> records;
    SubpictureRecord record;
    while (reader.next(record) && records.size() < 100)
        records.push_back(record);
    skipped = reader.skippedBytes();
    return records;
}

} // namespace

TEST(VobSubRecords, RecordsGiveTheirUnitsAndReportUnitsThatDoNotMatch) {
    const Bytes a = dvdUnit(40);
    const Bytes b = dvdUnit(3000);
    const Bytes big = dvdUnit(65000);
    const Bytes ext = extendedUnit(300);
    const Bytes junk = {'x', 'S', 'P', 1, 2, 3, 4, 0, 0, 0};
    struct Case {
        const char* name;
        Bytes file;
        std::vector<Expected> records;
        int64_t skipped;
    };
    const std::vector<Case> cases = {
        {"whole units",
         joined({spRecord(45000, a), spRecord(162000, b), spRecord(7, big)}),
         {{45000, RecordFault::None, uint32_t(a.size()), a},
          {162000, RecordFault::None, uint32_t(b.size()), b},
          {7, RecordFault::None, uint32_t(big.size()), big}},
         0},
        {"a unit cut short by the next record",
         joined({spRecord(1, firstBytes(b, 1500)), spRecord(2, a)}),
         {{1, RecordFault::Cut, uint32_t(b.size()), firstBytes(b, 1500)},
          {2, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"a unit cut short by the end of the file",
         joined({spRecord(1, a), spRecord(2, firstBytes(b, 700))}),
         {{1, RecordFault::None, uint32_t(a.size()), a},
          {2, RecordFault::Cut, uint32_t(b.size()), firstBytes(b, 700)}},
         0},
        {"bytes in front of the first record",
         joined({junk, spRecord(3, a)}),
         {{3, RecordFault::None, uint32_t(a.size()), a}},
         int64_t(junk.size())},
        {"stray bytes behind a whole unit",
         joined({spRecord(3, a), junk, spRecord(4, a)}),
         {{3, RecordFault::None, uint32_t(a.size()), a},
          {4, RecordFault::None, uint32_t(a.size()), a}},
         int64_t(junk.size())},
        {"an empty record",
         joined({spRecord(5, {}), spRecord(6, a)}),
         {{5, RecordFault::NoSize, 0, {}}, {6, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"a record of one byte",
         joined({spRecord(5, {0x12}), spRecord(6, a)}),
         {{5, RecordFault::NoSize, 0, {}}, {6, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"a size field below a unit's header",
         joined({spRecord(5, {0, 3, 0, 0}), spRecord(6, a)}),
         {{5, RecordFault::NoSize, 3, {}}, {6, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"the extended layout",
         joined({spRecord(8, ext), spRecord(9, a)}),
         {{8, RecordFault::None, 300, ext}, {9, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"an extended unit above the limit",
         joined({spRecord(8, {0, 0, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 10, 1, 2}), spRecord(9, a)}),
         {{8, RecordFault::TooLarge, 0xFFFFFFF0u, {}},
          {9, RecordFault::None, uint32_t(a.size()), a}},
         0},
        {"a record header cut by the end of the file",
         joined({spRecord(1, a), firstBytes(spRecord(2, a), 7)}),
         {{1, RecordFault::None, uint32_t(a.size()), a}},
         7},
        {"no record at all", junk, {}, int64_t(junk.size())},
        {"an empty file", {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratchFolder("records") + "subs.sup";
        writeFile(path, c.file);
        int64_t skipped = 0;
        const std::vector<SubpictureRecord> got = readAll(path, skipped);
        ASSERT_EQ(got.size(), c.records.size());
        for (size_t k = 0; k < got.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(got[k].time, c.records[k].time);
            EXPECT_EQ(got[k].fault, c.records[k].fault);
            EXPECT_EQ(got[k].declaredSize, c.records[k].declaredSize);
            EXPECT_EQ(got[k].unit, c.records[k].unit);
        }
        EXPECT_EQ(skipped, c.skipped);
    }
}

TEST(VobSubRecords, RecordOffsetsPointAtTheirRecords) {
    const Bytes a = dvdUnit(40);
    const Bytes file = joined({spRecord(1, a), spRecord(2, a)});
    const std::string path = scratchFolder("offsets") + "subs.sup";
    writeFile(path, file);
    int64_t skipped = 0;
    const std::vector<SubpictureRecord> got = readAll(path, skipped);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].offset, 0);
    EXPECT_EQ(got[1].offset, int64_t(10 + a.size()));
}

TEST(VobSubUnit, DvdUnitsAreToldFromTheExtendedLayoutAndFromBrokenBytes) {
    const Bytes a = dvdUnit(40);
    Bytes controlOutside = a;
    controlOutside[3] = uint8_t(a.size() - 2);
    struct Case {
        const char* name;
        Bytes unit;
        bool dvd;
    };
    const std::vector<Case> cases = {
        {"a DVD unit", a, true},
        {"a large DVD unit", dvdUnit(60000), true},
        {"the extended layout", extendedUnit(300), false},
        {"a cut unit", firstBytes(a, a.size() - 1), false},
        {"bytes behind the unit", joined({a, {0}}), false},
        {"control sequence offset in the header", joined({{0, 4, 0, 2}}), false},
        {"control sequence beyond the unit", controlOutside, false},
        {"three bytes", {0, 3, 0}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isDvdSubpictureUnit(c.unit), c.dvd);
    }
}

TEST(VobSubUnit, DisplayAreaIsReadFromTheControlSequences) {
    // A first sequence without an area (start display only) that leads to a
    // second one with it.
    Bytes chained = {0, 0, 0, 8, 0x11, 0x11, 0x11, 0x11, 0, 0, 0, 14, 0x01, 0xFF};
    chained.insert(chained.end(), {0, 50, 0, 14, 0x05, 0x01, 0x02, 0xCF, 0x1E, 0x02, 0x3F, 0xFF});
    chained[1] = uint8_t(chained.size());
    Bytes loop = chained;
    loop[10] = 0; // the first sequence names itself: the chain ends
    loop[11] = 8;
    Bytes backwards = chained;
    backwards[10] = 0; // the first names a place before itself
    backwards[11] = 4;
    Bytes unknownCommand = dvdUnit(4);
    unknownCommand[4 + 8] = 0x09;
    Bytes colourChange = {0,    0,    0,    4, 0, 0,    0, 4,    0x07, 0,   4,
                          0xAA, 0xBB, 0x05, 0, 0, 0x20, 0, 0x10, 0x30, 0xFF};
    colourChange[1] = uint8_t(colourChange.size());
    Bytes cutArea = firstBytes(dvdUnit(4), 17); // the area's arguments run out of the unit
    cutArea[1] = uint8_t(cutArea.size());
    struct Case {
        const char* name;
        Bytes unit;
        std::optional<DisplayArea> area;
    };
    const std::vector<Case> cases = {
        {"one sequence", dvdUnit(20, 16, 703, 420, 475), DisplayArea{16, 703, 420, 475}},
        {"twelve-bit values", dvdUnit(20, 0xABC, 0xDEF, 0x123, 0x456),
         DisplayArea{0xABC, 0xDEF, 0x123, 0x456}},
        {"the second sequence", chained, DisplayArea{16, 719, 480, 575}},
        {"a sequence that names itself", loop, std::nullopt},
        {"a sequence that names an earlier place", backwards, std::nullopt},
        {"an unknown command before the area", unknownCommand, std::nullopt},
        {"a colour change passed over", colourChange, DisplayArea{0, 32, 1, 48}},
        {"area cut by the unit's end", cutArea, std::nullopt},
        {"the extended layout", extendedUnit(64), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto area = displayArea(c.unit);
        ASSERT_EQ(area.has_value(), c.area.has_value());
        if (!area) continue;
        EXPECT_EQ(area->x1, c.area->x1);
        EXPECT_EQ(area->x2, c.area->x2);
        EXPECT_EQ(area->y1, c.area->y1);
        EXPECT_EQ(area->y2, c.area->y2);
    }
}

TEST(VobSubUnit, FrameSizeIsTheVideosElseNtscUnlessAUnitReachesBelowLine480) {
    struct Case {
        const char* name;
        std::vector<Bytes> units;
        std::optional<FrameSize> video;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"no unit", {}, std::nullopt, 720, 480},
        {"units within 480 lines", {dvdUnit(8, 0, 719, 400, 479)}, std::nullopt, 720, 480},
        {"one unit reaches line 480",
         {dvdUnit(8, 0, 719, 400, 470), dvdUnit(8, 0, 719, 420, 480)},
         std::nullopt,
         720,
         576},
        {"a PAL unit", {dvdUnit(8, 0, 719, 500, 560)}, std::nullopt, 720, 576},
        {"units without an area", {extendedUnit(64), {1, 2, 3}}, std::nullopt, 720, 480},
        {"the video's size wins", {dvdUnit(8, 0, 719, 500, 560)}, FrameSize{704, 480}, 704, 480},
        {"an empty video size is none", {}, FrameSize{0, 0}, 720, 480},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubpictureReach reach;
        for (const Bytes& unit : c.units)
            widenReach(reach, unit);
        const FrameSize size = subpictureFrameSize(reach, c.video);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}
