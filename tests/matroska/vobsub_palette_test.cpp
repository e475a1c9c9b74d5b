// The palette comes from the title set's IFO (or its backup) beside the VOB;
// an IFO that is missing, damaged or cut anywhere gives the default palette.

#include "matroska/dvd_palette.h"
#include "matroska/vobsub_test_units.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::testing;

TEST(VobSubPalette, TitleSetPaletteComesFromTheIfoElseTheBackupElseTheDefault) {
    // Black, white, grey and red (studio-range YCrCb), and out-of-range
    // values clamped.
    const Bytes good = titleSetInfo(
        {{16, 128, 128}, {235, 128, 128}, {126, 128, 128}, {81, 240, 90}, {255, 255, 255}});
    const SubpicturePalette colours = {0x000000, 0xFFFFFF, 0x808080, 0xFE0000, 0xFF7DFF};
    const auto changed = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    struct Case {
        const char* name;
        std::optional<Bytes> ifo, bup;
        const char* source; // empty: the default palette
    };
    const std::vector<Case> cases = {
        {"whole", good, {}, "VTS_02_0.IFO"},
        {"ends with the palette", firstBytes(good, IfoPalette + 64), {}, "VTS_02_0.IFO"},
        {"cut in the palette, a backup", firstBytes(good, IfoPalette + 63), good, "VTS_02_0.BUP"},
        {"only a backup", {}, good, "VTS_02_0.BUP"},
        {"cut in the palette", firstBytes(good, IfoPalette + 2), {}, ""},
        {"cut in the chain's entry", firstBytes(good, IfoChainTable + 12), {}, ""},
        {"cut in the chain table", firstBytes(good, IfoChainTable + 1), {}, ""},
        {"cut in the table's sector", firstBytes(good, 0xCE), {}, ""},
        {"cut in the identifier", firstBytes(good, 7), {}, ""},
        {"another identifier", changed(11, 'G'), {}, ""},
        {"table sector zero", changed(0xCF, 0), {}, ""},
        {"table beyond the file", changed(0xCC, 0xFF), {}, ""},
        {"no program chain", changed(IfoChainTable + 1, 0), {}, ""},
        {"chain beyond the file", changed(IfoChainTable + 12, 0xFF), {}, ""},
        {"neither file", {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = scratchFolder("title_set");
        if (c.ifo) writeFile(folder + "VTS_02_0.IFO", *c.ifo);
        if (c.bup) writeFile(folder + "VTS_02_0.BUP", *c.bup);
        const PaletteChoice choice = titleSetPalette(folder + "VTS_02_1.VOB");
        EXPECT_EQ(choice.source, *c.source ? folder + c.source : "");
        EXPECT_EQ(choice.colours, *c.source ? colours : defaultSubpicturePalette());
    }
    EXPECT_FALSE(readTitleSetPalette(scratchFolder("folder_not_file")));
    EXPECT_EQ(titleSetInfoPath("/d/vts_01_3.vob"), "/d/vts_01_0.ifo");
    EXPECT_EQ(titleSetInfoPath("/d/VIDEO_TS.VOB"), "");
}
