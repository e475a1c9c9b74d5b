// What a playlist costs is bounded: a title keeps at most 999 chapters (in
// the title list and in Read XPL's chapter lines), all titles together keep
// at most MaxTitleListBytes, and reading a playlist stops at Cancel.

#include "playlist/read_xpl.h"
#include "playlist/title_choice.h"
#include "playlist/title_list.h"
#include "support/ps_writer.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

// A playlist of `titles` titles, each with `chapters` chapters named `name`
// followed by their number.
std::string playlist(int titles, int chapters, const std::string& name) {
    std::string text = "<Playlist><TitleSet>\n";
    for (int t = 1; t <= titles; ++t) {
        text += "<Title titleNumber=\"" + std::to_string(t) +
                "\" titleDuration=\"01:00:00:00\" displayName=\"Title " + std::to_string(t) +
                "\">\n<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_" +
                std::to_string(t) + ".MAP\"/>\n<ChapterList>\n";
        for (int k = 1; k <= chapters; ++k)
            text += "<Chapter displayName=\"" + name + std::to_string(k) + "\" titleTimeBegin=\"" +
                    playlistTime(k) + "\"/>\n";
        text += "</ChapterList>\n</Title>\n";
    }
    return text + "</TitleSet></Playlist>\n";
}

std::string written(const std::string& name, const std::string& text) {
    const std::string path = scratchFolder(name) + "VPLST000.XPL";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

size_t keptBytes(const std::vector<PlaylistTitle>& titles) {
    size_t bytes = 0;
    for (const PlaylistTitle& t : titles) {
        bytes += t.name.size() + t.duration.size();
        for (const PlaylistChapter& c : t.chapterList)
            bytes += c.name.size() + c.titleTimeBegin.size();
        for (const std::string& clip : t.clips)
            bytes += clip.size();
    }
    return bytes;
}

TEST(TitleListBounds, ATitleKeepsAtMost999ChaptersAndCountsThemAll) {
    const std::string path = written("bounds_chapters", playlist(1, 100000, "C"));
    const PlaylistTitles read = readTitleList(path, {});
    ASSERT_EQ(read.titles.size(), 1u);
    EXPECT_TRUE(read.complete);
    EXPECT_EQ(read.titles[0].chapters, 100000);
    ASSERT_EQ(read.titles[0].chapterList.size(), MaxChaptersPerTitle);
    EXPECT_EQ(read.titles[0].chapterList.back().name, "C999");

    // Read XPL shows the title with as many chapters and says so.
    CoreRun core;
    RunContext run = core.context();
    const PlaylistResult shown = readPlaylist({path, "", 1, {}}, run);
    ASSERT_TRUE(shown.ok());
    ASSERT_EQ(shown.chapterLines.size(), 2 * MaxChaptersPerTitle);
    EXPECT_EQ(shown.chapterLines.back(), "CHAPTER999NAME=C999");
    EXPECT_EQ(shown.tree[4].children.size(), MaxChaptersPerTitle);
    EXPECT_EQ(std::count(core.sink.lines.begin(), core.sink.lines.end(),
                         "The title has more than 999 chapters; the later ones are left out."),
              1);
}

TEST(TitleListBounds, AllTitlesTogetherKeepABoundedAmountAndTheListingSaysWhatWasLeftOut) {
    // 100 titles of 999 chapters with names of 240 bytes: about 25 MB of
    // playlist, more than the titles may keep.
    const std::string path =
        written("bounds_budget", playlist(100, int(MaxChaptersPerTitle), std::string(240, 'n')));
    const PlaylistTitles read = readTitleList(path, {});
    EXPECT_FALSE(read.complete);
    EXPECT_LE(keptBytes(read.titles), MaxTitleListBytes);
    EXPECT_GT(keptBytes(read.titles), MaxTitleListBytes / 2);
    EXPECT_LT(read.titles.size(), 100u);
    const std::vector<std::string> listing = titleListing(read);
    ASSERT_FALSE(listing.empty());
    EXPECT_EQ(listing.back(), TitleListCutNote);
    EXPECT_EQ(listing.front(), "Title 1: Title 1");
}

TEST(TitleListBounds, ReadingStopsAtCancel) {
    // Ten chunks of playlist; Cancel after the second.
    const std::string path = written("bounds_cancel", playlist(1, 50000, "C"));
    int asked = 0;
    const PlaylistTitles read = readTitleList(path, [&] { return ++asked > 2; });
    EXPECT_TRUE(read.cancelled);
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(titleListing(read).empty());

    // A title chosen on a disc whose playlist is being read.
    const std::string folder = scratchFolder("bounds_cancel_disc");
    const std::string disc = copySampleDisc(folder);
    std::string error;
    ChoiceError kind = ChoiceError::None;
    TitleChoice choice{disc, std::nullopt, std::nullopt, true};
    choice.stop = [] { return true; };
    EXPECT_FALSE(chooseTitle(choice, error, &kind));
    EXPECT_EQ(kind, ChoiceError::Cancelled);

    // Read XPL: the lines read so far, and a line that says where it stopped.
    CoreRun core;
    int pumps = 0;
    core.host.onPump = [&] {
        if (++pumps == 2) core.host.run.cancelRequested = true;
    };
    RunContext run = core.context();
    const PlaylistResult shown = readPlaylist({path, "", 0, {}}, run);
    EXPECT_TRUE(shown.ok());
    EXPECT_EQ(std::count(core.sink.lines.begin(), core.sink.lines.end(),
                         "Reading the playlist was cancelled after 262144 of " +
                             std::to_string(fileText(path).size()) + " bytes."),
              1);
}

} // namespace
} // namespace tarnwick
