// The subpicture palette comes from the title set's information file written
// here in code; a file that is missing, damaged or cut anywhere gives the
// default palette, and no read leaves the file.

#include "matroska/dvd_palette.h"
#include "matroska/vobsub_test_units.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

const std::vector<std::array<uint8_t, 3>> Colours = {
    {235, 128, 128}, {126, 128, 128}, {81, 240, 90}, {145, 34, 54}, {41, 110, 240}};
const SubpicturePalette ColoursAsRgb = {0xFFFFFF, 0x808080, 0xFE0000, 0x00FF01, 0x0000FF};

} // namespace

TEST(VobSubPalette, YCrCbEntriesBecomeRgb) {
    struct Case {
        std::array<uint8_t, 3> ycrcb;
        uint32_t rgb;
    };
    for (const Case& c : {Case{{16, 128, 128}, 0x000000}, Case{{235, 128, 128}, 0xFFFFFF},
                          Case{{126, 128, 128}, 0x808080}, Case{{81, 240, 90}, 0xFE0000},
                          Case{{145, 34, 54}, 0x00FF01}, Case{{41, 110, 240}, 0x0000FF},
                          Case{{0, 0, 0}, 0x008700}, Case{{255, 255, 255}, 0xFF7DFF}}) {
        SCOPED_TRACE(int(c.ycrcb[0]));
        EXPECT_EQ(rgbFromYCrCb(c.ycrcb[0], c.ycrcb[1], c.ycrcb[2]), c.rgb);
    }
}

TEST(VobSubPalette, TitleSetInfoGivesItsFirstChainsPaletteAndDamageGivesNone) {
    const Bytes good = titleSetInfo(Colours);
    const auto changed = [&](size_t at, uint32_t value) {
        Bytes b = good;
        putBigEndian32(b, at, value);
        return b;
    };
    struct Case {
        const char* name;
        Bytes file;
        bool read;
    };
    const std::vector<Case> cases = {
        {"a whole file", good, true},
        {"cut right after the palette", firstBytes(good, IfoPalette + 64), true},
        {"cut in the palette's last entry", firstBytes(good, IfoPalette + 63), false},
        {"cut in the palette's first entry", firstBytes(good, IfoPalette + 2), false},
        {"cut in the chain's entry", firstBytes(good, IfoChainTable + 12), false},
        {"cut in the chain table's header", firstBytes(good, IfoChainTable + 1), false},
        {"cut in the table's sector", firstBytes(good, 0xCE), false},
        {"cut in the identifier", firstBytes(good, 7), false},
        {"empty", {}, false},
        {"another identifier",
         [&] {
             Bytes b = good;
             b[11] = 'G';
             return b;
         }(),
         false},
        {"table sector zero", changed(0xCC, 0), false},
        {"table sector beyond the file", changed(0xCC, 0xFFFFFFFF), false},
        {"no program chain", changed(IfoChainTable, 0), false},
        {"chain offset beyond the file", changed(IfoChainTable + 12, 0xFFFFFFF0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratchFolder("ifo") + "VTS_01_0.IFO";
        writeFile(path, c.file);
        const auto palette = readTitleSetPalette(path);
        ASSERT_EQ(palette.has_value(), c.read);
        if (palette) {
            EXPECT_EQ(*palette, ColoursAsRgb);
        }
    }
}

TEST(VobSubPalette, NothingToReadGivesNone) {
    const std::string folder = scratchFolder("ifo_none");
    EXPECT_FALSE(readTitleSetPalette(folder + "VTS_01_0.IFO"));
    EXPECT_FALSE(readTitleSetPalette(folder));
}

TEST(VobSubPalette, TitleSetInfoIsNamedAfterTheVob) {
    struct Case {
        const char* vob;
        const char* info;
    };
    for (const Case& c :
         {Case{"/d/VIDEO_TS/VTS_03_2.VOB", "/d/VIDEO_TS/VTS_03_0.IFO"},
          Case{"vts_01_1.vob", "vts_01_0.ifo"}, Case{"VTS_12_0.VOB", "VTS_12_0.IFO"},
          Case{"/d/VIDEO_TS.VOB", ""}, Case{"VTS_1_1.VOB", ""}, Case{"VTS_01_1.EVO", ""},
          Case{"VTS_01_1.VOB.part", ""}, Case{"/d/VTS_01_1/", ""}, Case{"", ""}}) {
        SCOPED_TRACE(c.vob);
        EXPECT_EQ(titleSetInfoPath(c.vob), c.info);
    }
}

TEST(VobSubPalette, TitleSetPaletteFallsBackToTheBackupThenToTheDefault) {
    const Bytes good = titleSetInfo(Colours);
    const Bytes cut = firstBytes(good, IfoPalette + 10);
    struct Case {
        const char* name;
        std::optional<Bytes> ifo;
        std::optional<Bytes> bup;
        const char* source;
    };
    const std::vector<Case> cases = {
        {"the IFO", good, cut, "VTS_02_0.IFO"},
        {"a cut IFO and its backup", cut, good, "VTS_02_0.BUP"},
        {"only the backup", std::nullopt, good, "VTS_02_0.BUP"},
        {"both cut", cut, cut, ""},
        {"neither", std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder("title_set");
        if (c.ifo) writeFile(folder + "VTS_02_0.IFO", *c.ifo);
        if (c.bup) writeFile(folder + "VTS_02_0.BUP", *c.bup);
        const PaletteChoice choice = titleSetPalette(folder + "VTS_02_1.VOB");
        if (*c.source) {
            EXPECT_EQ(choice.source, folder + c.source);
            EXPECT_EQ(choice.colours, ColoursAsRgb);
        } else {
            EXPECT_EQ(choice.source, "");
            EXPECT_EQ(choice.colours, defaultSubpicturePalette());
        }
    }
}
