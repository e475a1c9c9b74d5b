#include "playlist/chapter_writer.h"
#include "playlist/playlist_text.h"
#include "support/shared_samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tarnwick::testing {
namespace {

using Lines = std::vector<std::string>;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ChapterSession : TestSession {
    explicit ChapterSession(const std::string& name) : folder(scratchFolder(name)) {
        window.paths.EVObase = "FEATURE_1";
        window.playlist.mChapter = {
            "CHAPTER01=00:00:00.000", "CHAPTER01NAME=Anfang",
            "CHAPTER02=00:01:30.500", "CHAPTER02NAME=Zweite Szene \xE2\x80\x94 \xC3\xBC",
            "CHAPTER03=00:01:30.983", "CHAPTER03NAME=Ende"};
        window.buttons.bWriteChaps = true;
    }
    std::string folder;
};

const std::string ThreeChapters = "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Anfang\r\n"
                                  "CHAPTER02=00:01:30.500\r\n"
                                  "CHAPTER02NAME=Zweite Szene \xE2\x80\x94 \xC3\xBC\r\n"
                                  "CHAPTER03=00:01:30.983\r\nCHAPTER03NAME=Ende\r\n";

TEST(WriteChapters, WritesTheChapterLinesWithCrLfIntoTheOutputFolder) {
    ChapterSession t("chapters_folder");
    const std::string out = t.folder + "out";
    std::filesystem::create_directory(out);
    for (const std::string& workdir : {out, out + "/"}) {
        t.window.options.eWorkdir = workdir;
        ASSERT_TRUE(bWriteChapsClick(t.session));
        EXPECT_EQ(fileBytes(out + "/FEATURE_1.chapters.txt"), ThreeChapters);
        EXPECT_EQ(t.visibleLines().back(),
                  "Chapters info writed to " + out + "/FEATURE_1.chapters.txt");
        EXPECT_TRUE(t.window.buttons.bWriteChaps);
    }
    EXPECT_EQ(t.sink.lines.size(), 2u);

    // A second run replaces a longer file; the joined name of a two-part
    // feature names the file.
    t.window.paths.EVObase = "FEATURE_1_FEATURE_2";
    std::ofstream(out + "/FEATURE_1_FEATURE_2.chapters.txt") << std::string(1000, 'x');
    t.window.playlist.mChapter.resize(2);
    ASSERT_TRUE(bWriteChapsClick(t.session));
    EXPECT_EQ(fileBytes(out + "/FEATURE_1_FEATURE_2.chapters.txt"),
              "CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Anfang\r\n");
}

TEST(WriteChapters, EmptyOutputFolderMeansTheCurrentFolder) {
    ChapterSession t("chapters_current_folder");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(t.folder);
    const bool written = bWriteChapsClick(t.session);
    std::filesystem::current_path(before);
    ASSERT_TRUE(written);
    EXPECT_EQ(fileBytes(t.folder + "FEATURE_1.chapters.txt"), ThreeChapters);
    EXPECT_EQ(t.visibleLines().back(), "Chapters info writed to FEATURE_1.chapters.txt");
}

TEST(WriteChapters, UncreatableFileShowsTheSystemsMessageAndLogsNothing) {
    ChapterSession t("chapters_uncreatable");
    // A missing folder is created; one below a plain file cannot be.
    std::ofstream(t.folder + "plain-file") << "x";
    t.window.options.eWorkdir = t.folder + "plain-file/missing";
    EXPECT_FALSE(bWriteChapsClick(t.session));
    ASSERT_EQ(t.ui.errors.size(), 1u);
    EXPECT_NE(t.ui.errors[0].find("Not a directory"), std::string::npos);
    EXPECT_TRUE(t.sink.lines.empty());
    EXPECT_FALSE(t.window.buttons.bWriteChaps);
}

bool toolAvailable(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// mkvmerge reads the chapter file of a playlist and attaches its chapters to
// a demuxed MPEG-2 video stream; mkvextract gives them back.
TEST(WriteChapters, MkvmergeAttachesThePlaylistsChapterNamesAndTimes) {
    if (!toolAvailable("ffmpeg") || !toolAvailable("mkvmerge") || !toolAvailable("mkvextract"))
        GTEST_SKIP() << "ffmpeg and mkvtoolnix are needed";
    const std::string chapters = chapterText("Anfang", "00:00:00:00") +
                                 chapterText("Zweite Szene \xE2\x80\x94 \xC3\xBC", "00:00:01:30") +
                                 chapterText("\xE6\x9C\x80\xE5\xBE\x8C", "00:00:03:59");
    XplSession t("chapters_mkvmerge");
    ASSERT_TRUE(t.read(playlistText("", titleText("M", "FEATURE_1.MAP", {""}, chapters))));
    t.window.options.eWorkdir = t.folder;
    ASSERT_TRUE(bWriteChapsClick(t.session));

    const std::string video = t.folder + "FEATURE_1.m2v";
    const std::string mkv = t.folder + "FEATURE_1.mkv";
    const std::string back = t.folder + "extracted.txt";
    const SampleFile vob = dvdSample("dvd_mpeg2_ac3.vob");
    ASSERT_FALSE(vob.path.empty()) << vob.skipReason;
    ASSERT_EQ(run("ffmpeg -nostdin -y -i '" + vob.path + "' -map 0:v -c copy -f mpeg2video '" +
                  video + "'"),
              0);
    ASSERT_EQ(run("mkvmerge -o '" + mkv + "' --chapter-charset UTF-8 --chapters '" + t.folder +
                  "FEATURE_1.chapters.txt' '" + video + "'"),
              0);
    ASSERT_EQ(run("mkvextract '" + mkv + "' chapters --simple '" + back + "'"), 0);
    std::string extracted = fileBytes(back);
    std::erase(extracted, '\r');
    EXPECT_EQ(extracted,
              "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Anfang\n"
              "CHAPTER02=00:00:01.500\nCHAPTER02NAME=Zweite Szene \xE2\x80\x94 \xC3\xBC\n"
              "CHAPTER03=00:00:03.983\nCHAPTER03NAME=\xE6\x9C\x80\xE5\xBE\x8C\n");
}

} // namespace
} // namespace tarnwick::testing
