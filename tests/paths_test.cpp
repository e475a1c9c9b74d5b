#include "app/paths.h"
#include "app/stream_selection.h"

#include <gtest/gtest.h>

#include <set>

namespace tarnwick {
namespace {

FileExistsTest existing(std::set<std::string> files) {
    return [files](const std::string& path) { return files.count(path) > 0; };
}

TEST(Paths, CutExtRemovesOnlyTheFileNamesExtension) {
    EXPECT_EQ(CutExt("FEATURE_1.EVO"), "FEATURE_1");
    EXPECT_EQ(CutExt("/disc/HVDVD_TS/FEATURE_1.EVO"), "/disc/HVDVD_TS/FEATURE_1");
    EXPECT_EQ(CutExt("/disc.v2/FEATURE"), "/disc.v2/FEATURE");
    EXPECT_EQ(CutExt("a.b.c"), "a.b");
    EXPECT_EQ(CutExt(""), "");
    EXPECT_EQ(upperExtension("/x/movie.vob"), ".VOB");
    EXPECT_EQ(upperExtension("/x.y/movie"), "");
}

TEST(Paths, GetsecondFindsTheFeaturesSecondFile) {
    const auto disc = existing(
        {"/d/HVDVD_TS/FEATURE_2.EVO", "/d/L1_MAIN.EVO", "/d/A_2_1.EVO", "/d/VTS_01_2.VOB"});
    EXPECT_EQ(getsecond("/d/HVDVD_TS/FEATURE_1.EVO", disc), "/d/HVDVD_TS/FEATURE_2.EVO");
    EXPECT_EQ(getsecond("/e/HVDVD_TS/FEATURE_1.EVO", disc), "");
    // Only the first "_1" changes.
    EXPECT_EQ(getsecond("/d/A_1_1.EVO", disc), "/d/A_2_1.EVO");
    EXPECT_EQ(getsecond("/d/L0_MAIN.EVO", disc), "/d/L1_MAIN.EVO");
    EXPECT_EQ(getsecond("/d/VTS_01_1.VOB", disc), "/d/VTS_01_2.VOB");
    EXPECT_EQ(getsecond("/d/VTS_01_0.VOB", existing({"/d/VTS_01_1.VOB", "/d/VTS_11_0.VOB"})), "");
    // The folder is never searched.
    EXPECT_EQ(getsecond("/d_1/MOVIE.EVO", existing({"/d_2/MOVIE.EVO"})), "");
}

TEST(Paths, EvoadjDerivesThePlaylistOfAnHdDvdDisc) {
    WindowState w;
    w.eEVOfile = "/media/DISC/HVDVD_TS/FEATURE_1.EVO";
    EVOadj(w);
    EXPECT_TRUE(w.buttons.bReadEVO);
    EXPECT_EQ(w.paths.EVOname, "FEATURE_1.EVO");
    EXPECT_EQ(w.paths.EVObase, "FEATURE_1");
    EXPECT_EQ(w.paths.EVOdir, "/media/DISC/HVDVD_TS/");
    EXPECT_EQ(w.eXPLfile, "/media/DISC/ADV_OBJ/VPLST000.XPL");
    EXPECT_EQ(w.paths.XPLdir, "/media/DISC/ADV_OBJ/");
    EXPECT_EQ(w.paths.XPLname, "VPLST000.XPL");
    EXPECT_TRUE(w.buttons.bReadXPL);

    WindowState lower;
    lower.eEVOfile = "/media/disc/hvdvd_ts/FEATURE_1.EVO";
    EVOadj(lower);
    EXPECT_EQ(lower.eXPLfile, "VPLST000.XPL");
    EXPECT_FALSE(lower.buttons.bReadXPL);

    // A later source elsewhere keeps the earlier playlist folder and button.
    w.eEVOfile = "/tmp/movie.vob";
    EVOadj(w);
    EXPECT_EQ(w.eXPLfile, "VPLST000.XPL");
    EXPECT_EQ(w.paths.XPLdir, "/media/DISC/ADV_OBJ/");
    EXPECT_TRUE(w.buttons.bReadXPL);

    w.eEVOfile.clear();
    EVOadj(w);
    EXPECT_FALSE(w.buttons.bReadEVO);
}

TEST(Paths, XpladjPointsTheSourceBrowserAtTheVideoFolder) {
    WindowState w;
    w.eXPLfile = "/mnt/E/ADV_OBJ/VPLST000.XPL";
    XPLadj(w);
    EXPECT_EQ(w.paths.XPLname, "VPLST000.XPL");
    EXPECT_EQ(w.paths.XPLdir, "/mnt/E/ADV_OBJ/");
    EXPECT_EQ(w.paths.EVOdir, "/mnt/E/HVDVD_TS/");
    EXPECT_TRUE(w.buttons.bReadXPL);
}

TEST(Paths, OutputPathsAddTheDelimiterOnlyWhenMissing) {
    EXPECT_EQ(joinOutputPath("", "a.mpv"), "a.mpv");
    EXPECT_EQ(joinOutputPath("/out", "a.mpv"), "/out/a.mpv");
    EXPECT_EQ(joinOutputPath("/out/", "a.mpv"), "/out/a.mpv");
}

} // namespace
} // namespace tarnwick
