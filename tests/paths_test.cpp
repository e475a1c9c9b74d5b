#include "commands/title_files.h"
#include "model/file_names.h"
#include "window/window_paths.h"

#include <gtest/gtest.h>

#include <set>

namespace tarnwick {
namespace {

FileExistsTest existing(std::set<std::string> files) {
    return [files](const std::string& path) { return files.count(path) > 0; };
}

TEST(Paths, WithoutExtensionRemovesOnlyTheFileNamesExtension) {
    EXPECT_EQ(withoutExtension("FEATURE_1.EVO"), "FEATURE_1");
    EXPECT_EQ(withoutExtension("/disc/HVDVD_TS/FEATURE_1.EVO"), "/disc/HVDVD_TS/FEATURE_1");
    EXPECT_EQ(withoutExtension("/disc.v2/FEATURE"), "/disc.v2/FEATURE");
    EXPECT_EQ(withoutExtension("a.b.c"), "a.b");
    EXPECT_EQ(withoutExtension(""), "");
    EXPECT_EQ(upperExtension("/x/movie.vob"), ".VOB");
    EXPECT_EQ(upperExtension("/x.y/movie"), "");
}

// The file-name rule: "_1" -> "_2", "_3", ... while the parts exist; else
// "0_" -> "1_"; a DVD title's VTS_xx_n parts by their own digit.
TEST(Paths, FeaturePartsFollowTheFileNameRule) {
    using Parts = std::vector<std::string>;
    const auto disc = existing({"/d/HVDVD_TS/FEATURE_2.EVO", "/d/HVDVD_TS/FEATURE_3.EVO",
                                "/d/HVDVD_TS/FEATURE_5.EVO", "/d/L1_MAIN.EVO", "/d/A_2_1.EVO",
                                "/d/VTS_01_2.VOB", "/d/VTS_11_2.VOB", "/d/VTS_21_1.VOB"});
    const struct {
        std::string source;
        Parts parts;
    } cases[] = {
        {"/d/HVDVD_TS/FEATURE_1.EVO",
         {"/d/HVDVD_TS/FEATURE_1.EVO", "/d/HVDVD_TS/FEATURE_2.EVO", "/d/HVDVD_TS/FEATURE_3.EVO"}},
        {"/e/HVDVD_TS/FEATURE_1.EVO", {"/e/HVDVD_TS/FEATURE_1.EVO"}},
        // Only the first "_1" counts.
        {"/d/A_1_1.EVO", {"/d/A_1_1.EVO", "/d/A_2_1.EVO"}},
        {"/d/L0_MAIN.EVO", {"/d/L0_MAIN.EVO", "/d/L1_MAIN.EVO"}},
        {"/d/VTS_01_1.VOB", {"/d/VTS_01_1.VOB", "/d/VTS_01_2.VOB"}},
        // A title set numbered 11 is not mistaken for part 1.
        {"/d/VTS_11_1.VOB", {"/d/VTS_11_1.VOB", "/d/VTS_11_2.VOB"}},
        {"/d/VTS_01_0.VOB", {"/d/VTS_01_0.VOB"}},
        // The folder is never searched.
        {"/d_1/MOVIE.EVO", {"/d_1/MOVIE.EVO"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(featureParts(c.source, disc), c.parts) << c.source;

    // EVO parts are clips of their own; DVD parts one clip, one byte stream.
    const Title feature = titleOfSource("/d/HVDVD_TS/FEATURE_1.EVO", true, disc);
    EXPECT_EQ(feature.clips.size(), 3u);
    EXPECT_EQ(feature.baseName, "FEATURE_1_FEATURE_2_FEATURE_3");
    const Title dvd = titleOfSource("/d/VTS_01_1.VOB", true, disc);
    ASSERT_EQ(dvd.clips.size(), 1u);
    EXPECT_EQ(dvd.clips[0].files, (Parts{"/d/VTS_01_1.VOB", "/d/VTS_01_2.VOB"}));
    EXPECT_EQ(titleOfSource("/d/VTS_01_1.VOB", false, disc).clips[0].files.size(), 1u);
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
