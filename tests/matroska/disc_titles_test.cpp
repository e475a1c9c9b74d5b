// Disc folders lead to the playlist and from a title to its EVO; the titles
// carry their clips, streams, languages and chapter counts.

#include "engine/files.h"
#include "playlist/disc_titles.h"
#include "matroska/language_codes.h"
#include "support/shared_samples.h"
#include "support/test_session.h"
#include "support/written_playlists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";

} // namespace

TEST(DiscTitles, BundledDiscFromEitherFolderGivesItsTitleAndFirstPart) {
    for (const std::string& folder : {Disc, Disc + "/", Disc + "/HVDVD_TS", Disc + "/HVDVD_TS/"}) {
        SCOPED_TRACE(folder);
        const auto disc = discFolders(folder);
        ASSERT_TRUE(disc);
        EXPECT_EQ(fs::canonical(disc->playlist), fs::canonical(Disc + "/ADV_OBJ/VPLST000.XPL"));
        const std::vector<PlaylistTitle> titles = readPlaylistTitles(disc->playlist);
        ASSERT_EQ(titles.size(), 1u);
        const PlaylistTitle& t = titles[0];
        EXPECT_EQ(t.number, 1);
        EXPECT_EQ(t.name, "Tarnwick Sample");
        EXPECT_EQ(t.durationMs, 4000);
        EXPECT_EQ(t.primaryClips, (std::vector<std::string>{"FEATURE_1.MAP", "FEATURE_2.MAP"}));
        ASSERT_EQ(t.audio.size(), 2u);
        EXPECT_EQ(t.audio[1].streamNumber, 4);
        EXPECT_EQ(t.audio[1].description, "Deutsch 2.0");
        EXPECT_EQ(t.audio[1].langcode, "de:01");
        ASSERT_EQ(t.subtitles.size(), 1u);
        EXPECT_EQ(t.subtitles[0].langcode, "en:01");
        EXPECT_EQ(t.chapters, 3);
        const LanguageTable languages = loadLanguageTable();
        EXPECT_EQ(trackLanguage(languages, t.audio[0].langcode, t.audio[0].description), "eng");
        EXPECT_EQ(trackLanguage(languages, t.audio[1].langcode, t.audio[1].description), "ger");
        EXPECT_EQ(chooseTitle(titles, std::nullopt), &t);
        // The title model: its clips on the title's timeline, names and chapters.
        const DiscTitle model = discTitle(t, disc->videoFolder, disc->playlist);
        EXPECT_TRUE(model.missingClips.empty());
        const Title& title = model.title;
        ASSERT_EQ(title.clips.size(), 2u);
        EXPECT_EQ(fs::canonical(title.clips[0].path()),
                  fs::canonical(Disc + "/HVDVD_TS/FEATURE_1.EVO"));
        EXPECT_EQ(fs::canonical(title.clips[1].path()),
                  fs::canonical(Disc + "/HVDVD_TS/FEATURE_2.EVO"));
        EXPECT_EQ(title.clips[1].titleBegin, 90000 + 58 * 1500);
        EXPECT_EQ(title.clips[1].titleEnd, 4 * 90000);
        EXPECT_EQ(title.baseName, "FEATURE_1_FEATURE_2");
        EXPECT_EQ(title.name, "Tarnwick Sample");
        ASSERT_EQ(title.chapters.size(), 3u);
        EXPECT_EQ(title.chapters[1].begin, 90000 + 30 * 1500);
        EXPECT_EQ(title.chapters[1].name, "Stripes");
        const StreamName* german = streamName(title, StreamKind::Audio, 3);
        ASSERT_TRUE(german);
        EXPECT_EQ(german->langcode, "de:01");
    }
}

TEST(DiscTitles, LongestTitleOfAWrittenTestDisc) {
    const std::string playlist = scratchFolder("disc_titles_written") + "/VPLST000.XPL";
    std::ofstream(playlist, std::ios::binary) << testDiscPlaylist();
    const std::vector<PlaylistTitle> titles = readPlaylistTitles(playlist);
    // The FirstPlayTitle is no title: the menu and the feature are.
    ASSERT_EQ(titles.size(), 2u);
    const PlaylistTitle* longest = chooseTitle(titles, std::nullopt);
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->primaryClips, std::vector<std::string>{"PEVOB3.MAP"});
    EXPECT_EQ(longest->audio.size(), 4u);
    EXPECT_EQ(chooseTitle(titles, 1)->primaryClips, std::vector<std::string>{"PEVOB2.MAP"});
}

TEST(DiscTitles, LongestOrNumberedTitleOfARealPlaylist) {
    if (const std::string missing = missingSharedSample("xpl/VPLST000.XPL"); !missing.empty())
        GTEST_SKIP() << missing;
    const std::vector<PlaylistTitle> titles =
        readPlaylistTitles(sharedSamplePath("xpl/VPLST000.XPL"));
    // The FirstPlayTitle is no title; the commented-out resources add nothing.
    ASSERT_EQ(titles.size(), 4u);
    const PlaylistTitle* longest = chooseTitle(titles, std::nullopt);
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->name, "feature");
    EXPECT_EQ(longest->durationMs, (58 * 60 + 6) * 1000);
    EXPECT_EQ(longest->audio.size(), 8u);
    EXPECT_EQ(longest->audio[7].langcode, "en:00");
    EXPECT_EQ(longest->chapters, 16);
    EXPECT_EQ(chooseTitle(titles, 3)->primaryClips, std::vector<std::string>{"PEVOB4.MAP"});
    EXPECT_EQ(chooseTitle(titles, 9), nullptr);
    EXPECT_EQ(chooseTitle({}, std::nullopt), nullptr);
}

TEST(DiscTitles, FoldersWithoutADiscAndMissingFiles) {
    const std::string root = scratchFolder("disc_titles") + "/";
    EXPECT_FALSE(discFolders(root));
    EXPECT_FALSE(discFolders(root + "nowhere"));
    // A lower-case disc without a playlist, its title's EVO missing.
    fs::create_directories(root + "d/hvdvd_ts");
    const auto disc = discFolders(root + "d");
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->playlist, "");
    PlaylistTitle t;
    t.primaryClipTimes = {{"FEATURE_1.MAP", "", ""}};
    EXPECT_EQ(discTitle(t, disc->videoFolder, "").missingClips,
              std::vector<std::string>{"FEATURE_1.EVO"});
    // The EVO is found whatever the case of its name.
    std::ofstream(root + "d/hvdvd_ts/Feature_1.evo") << "x";
    const DiscTitle found = discTitle(t, disc->videoFolder, "");
    ASSERT_EQ(found.title.clips.size(), 1u);
    EXPECT_EQ(found.title.clips[0].path(), root + "d/hvdvd_ts/Feature_1.evo");
    EXPECT_EQ(clipSource(disc->videoFolder, "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"),
              root + "d/hvdvd_ts/Feature_1.evo");
    EXPECT_THROW(readPlaylistTitles(root + "d/none.xpl"), FileError);
}

TEST(DiscTitles, PlaylistTimes) {
    EXPECT_EQ(playlistTimeMs("01:43:53:24"), ((1 * 60 + 43) * 60 + 53) * 1000 + 400);
    EXPECT_EQ(playlistTimeMs("00:00:00:59"), 983);
    for (const char* bad : {"", "1:2:3", "00:00:00:60", "00:61:00:00", "aa:00:00:00", "::::"})
        EXPECT_EQ(playlistTimeMs(bad), -1) << bad;
}
