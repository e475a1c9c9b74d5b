// Demux's subpicture records come back one unit at a time, units that do not
// match their records are reported, and units are read within their bytes.

#include "matroska/subpicture_records.h"
#include "matroska/subpicture_unit.h"
#include "matroska/vobsub_test_units.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

struct Read {
    uint32_t time;
    RecordFault fault;
    Bytes unit;
};

std::vector<Read> readAll(const Bytes& file, int64_t& skipped) {
    const std::string path = scratchFolder("records") + "subs.sup";
    writeFile(path, file);
    SubpictureRecordReader reader(path);
    std::vector<Read> out;
    for (SubpictureRecord r; reader.next(r) && out.size() < 20;)
        out.push_back({r.time, r.fault, r.unit});
    skipped = reader.skippedBytes();
    return out;
}

} // namespace

TEST(VobSubRecords, RecordsGiveTheirUnitsAndReportUnitsThatDoNotMatch) {
    using enum RecordFault;
    const Bytes a = dvdUnit(40), b = dvdUnit(3000), big = dvdUnit(65000), ext = extendedUnit(300);
    const Bytes junk = {'x', 'S', 'P', 1, 2, 3, 4, 0, 0, 0};
    const Bytes huge = {0, 0, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 10, 1};
    struct Case {
        const char* name;
        Bytes file;
        std::vector<Read> reads;
        int64_t skipped;
    };
    const std::vector<Case> cases = {
        {"whole",
         joined({spRecord(45000, a), spRecord(7, b), spRecord(8, big)}),
         {{45000, None, a}, {7, None, b}, {8, None, big}},
         0},
        {"cut by the next record",
         joined({spRecord(1, firstBytes(b, 1500)), spRecord(2, a)}),
         {{1, Cut, firstBytes(b, 1500)}, {2, None, a}},
         0},
        {"cut by the file's end",
         joined({spRecord(1, a), spRecord(2, firstBytes(b, 700))}),
         {{1, None, a}, {2, Cut, firstBytes(b, 700)}},
         0},
        {"stray bytes",
         joined({junk, spRecord(3, a), junk, spRecord(4, a), firstBytes(junk, 7)}),
         {{3, None, a}, {4, None, a}},
         27},
        {"no size",
         joined({spRecord(5, {}), spRecord(6, {0x12}), spRecord(7, {0, 3, 0, 0})}),
         {{5, NoSize, {}}, {6, NoSize, {}}, {7, NoSize, {}}},
         0},
        {"extended",
         joined({spRecord(8, ext), spRecord(9, huge), spRecord(10, a)}),
         {{8, None, ext}, {9, TooLarge, {}}, {10, None, a}},
         0},
        {"no record", junk, {}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t skipped = 0;
        const std::vector<Read> got = readAll(c.file, skipped);
        ASSERT_EQ(got.size(), c.reads.size());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].time, c.reads[k].time) << k;
            EXPECT_EQ(got[k].fault, c.reads[k].fault) << k;
            EXPECT_EQ(got[k].unit, c.reads[k].unit) << k;
        }
        EXPECT_EQ(skipped, c.skipped);
    }
}

TEST(VobSubRecords, DamagedFilesAreReadToTheEndWithinTheirBytes) {
    // Each byte set in turn to values that look like sizes, record starts
    // and commands (-1: the file cut there).
    const Bytes file = joined(
        {spRecord(1, dvdUnit(6)), spRecord(2, extendedUnit(16)), spRecord(3, dvdUnit(9, 3, 600))});
    for (size_t at = 0; at < file.size(); ++at) {
        for (const int value : {-1, 0x00, 0x01, 0x05, 0x07, 0x50, 0x53, 0xFF}) {
            Bytes b = value < 0 ? firstBytes(file, at) : file;
            if (value >= 0) b[at] = uint8_t(value);
            int64_t skipped = 0;
            SubpictureReach reach;
            for (const Read& r : readAll(b, skipped)) {
                ASSERT_LE(r.unit.size() + 10, b.size());
                widenReach(reach, r.unit);
            }
        }
    }
}

TEST(VobSubUnit, DvdUnitsGiveTheLowestLineOfTheirDisplayArea) {
    const Bytes unit = dvdUnit(20, 500, 575);
    const auto changed = [&](size_t at, uint8_t value) {
        Bytes b = unit;
        b[at] = value;
        return b;
    };
    const size_t command = 24 + 4; // the control sequence's first command
    Bytes areaCut = firstBytes(unit, 32);
    areaCut[1] = 32;
    struct Case {
        const char* name;
        Bytes unit;
        bool dvd;
        int lowestLine; // -1: no display area
    };
    const std::vector<Case> cases = {
        {"NTSC", dvdUnit(20, 420, 479), true, 479},
        {"PAL", unit, true, 575},
        {"no area, the sequence names itself", changed(command, 0xFF), true, -1},
        {"an unknown command", changed(command, 0x09), true, -1},
        {"the area beyond the unit", areaCut, true, -1},
        {"the sequence in the header", changed(3, 2), false, -1},
        {"extended layout", extendedUnit(300), false, -1},
        {"cut", firstBytes(unit, 30), false, -1},
        {"bytes behind it", joined({unit, {0}}), false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isDvdSubpictureUnit(c.unit), c.dvd);
        SubpictureReach reach;
        widenReach(reach, c.unit);
        EXPECT_EQ(reach.lowestLine, c.lowestLine);
    }
}
