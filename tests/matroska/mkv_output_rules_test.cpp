// The MKV and every file of the Matroska step follow the output rules: what
// stands at the MKV's name is replaced only when it is a regular file or a
// link, and never when it is a file the run reads; mkvmerge sees names of the
// work folder only, whatever bytes the title and the output folder hold; the
// playlist's references are decoded, an unreadable chapter time and chapters
// past the cap are left out; the work folder goes wherever the output folder
// went; Cancel ends an mkvmerge that ignores SIGTERM.

#include "commands/read_evo.h"
#include "matroska/mkv_command.h"
#include "model/stream_selection.h"
#include "playlist/title_choice.h"
#include "playlist/title_list.h"
#include "support/run_program.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnwick;
using namespace tarnwick::testing;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string Cli = TARNWICK_CLI;
const std::string StandInOutput = "muxed by the stand-in\n";

// A stand-in that writes a small MKV where mkvmerge would and keeps a copy
// of its option file and chapter file beside itself.
std::string writingStandIn(const std::string& folder) {
    return standInMkvmerge(folder + "mkvmerge",
                           "cp \"$OPTIONS\" \"$0.options\"\n"
                           "[ -f chapters.txt ] && cp chapters.txt \"$0.chapters\"\n"
                           "printf '" +
                               StandInOutput.substr(0, StandInOutput.size() - 1) +
                               "\\n' > muxed.mkv\n");
}

// Runs the CLI with `folder` as the current folder.
ProgramResult cliIn(const std::string& folder, const std::vector<std::string>& args) {
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    ProgramResult r = runProgram(Cli, args);
    fs::current_path(before);
    return r;
}

enum class Refusal { None, SameAsSource, Pipe, Folder };

struct AtName {
    const char* what;
    // Puts it at `mkv`; `source` is the EVO read, `other` an unrelated file.
    // None: the source itself is named like the MKV.
    std::function<void(const std::string& mkv, const std::string& source, const std::string& other)>
        make;
    Refusal refusal;
};

std::string refusalMessage(Refusal refusal, const std::string& mkv, const std::string& source) {
    switch (refusal) {
    case Refusal::SameAsSource:
        return "Cannot write \"" + mkv + "\": it is the same file as the source \"" + source +
               "\". Nothing was written.";
    case Refusal::Pipe:
        return "Cannot create file \"" + mkv + "\". It is not a regular file but a pipe (FIFO).";
    case Refusal::Folder: return "Cannot create file \"" + mkv + "\". Is a directory";
    default: return {};
    }
}

} // namespace

TEST(MkvOutputRules, WhatStandsAtTheMkvsNameIsReplacedOnlyWhenItIsAFileOfItsOwn) {
    const std::vector<AtName> cases = {
        {"the source itself", nullptr, Refusal::SameAsSource},
        {"a hard link to the source",
         [](const std::string& mkv, const std::string& source, const std::string&) {
             fs::create_hard_link(source, mkv);
         },
         Refusal::SameAsSource},
        {"a symbolic link to the source",
         [](const std::string& mkv, const std::string& source, const std::string&) {
             fs::create_symlink(source, mkv);
         },
         Refusal::SameAsSource},
        {"a pipe",
         [](const std::string& mkv, const std::string&, const std::string&) {
             ASSERT_EQ(::mkfifo(mkv.c_str(), 0600), 0);
         },
         Refusal::Pipe},
        {"a folder",
         [](const std::string& mkv, const std::string&, const std::string&) {
             fs::create_directory(mkv);
         },
         Refusal::Folder},
        {"an earlier MKV",
         [](const std::string& mkv, const std::string&, const std::string&) {
             std::ofstream(mkv) << "an earlier MKV";
         },
         Refusal::None},
        {"a link to an unrelated file",
         [](const std::string& mkv, const std::string&, const std::string& other) {
             fs::create_symlink(other, mkv);
         },
         Refusal::None},
    };
    for (const AtName& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("mkv_at_name");
        const std::string mkvmerge = writingStandIn(folder);
        const std::string out = folder + "out/";
        fs::create_directory(out);
        // The source named like the MKV, as `cp FEATURE_1.EVO dir/movie.mkv` does.
        const std::string source = out + (c.make ? "movie.EVO" : "movie.mkv");
        fs::copy_file(std::string(TARNWICK_SAMPLE_DISC) + "/HVDVD_TS/FEATURE_1.EVO", source);
        const std::string other = folder + "unrelated.txt";
        std::ofstream(other) << "unrelated";
        const std::string mkv = out + "movie.mkv";
        if (c.make) c.make(mkv, source, other);
        const std::string sourceBefore = fileText(source);
        const std::vector<std::string> before = folderEntries(out);

        const ProgramResult r = runProgram(
            Cli, {"mkv", source, "-o", out, "-q", "--overwrite", "--mkvmerge", mkvmerge});
        EXPECT_EQ(fileText(source), sourceBefore);
        EXPECT_EQ(fileText(other), "unrelated");
        EXPECT_TRUE(ownEntries(out).empty());
        if (c.refusal != Refusal::None) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "tarnwick-cli: " + refusalMessage(c.refusal, mkv, source) + "\n");
            EXPECT_EQ(folderEntries(out), before);
            // Refused before anything ran: no demux, no mkvmerge.
            EXPECT_FALSE(fs::exists(mkvmerge + ".options"));
        } else {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(mkv)));
            EXPECT_EQ(fileText(mkv), StandInOutput);
            EXPECT_EQ(folderEntries(out), (std::vector<std::string>{"movie.EVO", "movie.mkv"}));
        }
    }
}

namespace {

struct HostileName {
    const char* what;
    std::string displayName; // as the playlist writes it
    std::string output;      // the output folder, relative to the current one
    std::string mkv;         // the MKV's file name
    std::string title;       // the MKV's title, as mkvmerge reports it
};

} // namespace

// mkvmerge reads only the names of the work folder it runs in: a title or
// an output folder that is not UTF-8, or that starts with mkvmerge's own
// syntax, reaches the MKV's file name byte for byte, and the playlist's
// references are decoded in titles, track names and file names.
TEST(MkvOutputRules, TitlesAndFoldersOfAnyBytesGiveTheMkvThoseBytes) {
    const std::vector<HostileName> cases = {
        {"Latin-1 title", "Caf\xE9 &amp; Co", "out", "Caf\xE9 & Co.mkv", "Caf\xEF\xBF\xBD & Co"},
        {"title starting with +", "+Film", "+out", "+Film.mkv", "+Film"},
        {"title starting with =", "=Film", "=out", "=Film.mkv", "=Film"},
        {"title starting with -", "-Film", "@out", "-Film.mkv", "-Film"},
        {"title starting with @", "@Film &#x2013; 2", "out\xE9", "@Film \xE2\x80\x93 2.mkv",
         "@Film \xE2\x80\x93 2"},
    };
    for (const HostileName& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("mkv_hostile_names");
        const std::string disc = copySampleDisc(
            folder,
            {{"displayName=\"Tarnwick Sample\"", "displayName=\"" + c.displayName + "\""},
             {"Deutsch 2.0", "Deutsch &#x26; Co"},
             {"HVDVD_TS/FEATURE_1.MAP", "HVDVD_TS/F&amp;1.MAP"}},
            {{"FEATURE_1.EVO", "F&1.EVO"}});
        fs::create_directory(folder + c.output);
        const ProgramResult r = cliIn(folder, {"mkv", "DISC", "--output=" + c.output, "-q",
                                               "--mkvmerge", "/usr/bin/mkvmerge"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string out = folder + c.output;
        EXPECT_EQ(folderEntries(out), std::vector<std::string>{c.mkv});
        const json info =
            json::parse(runProgram("/usr/bin/mkvmerge", {"-J", out + "/" + c.mkv}).out);
        EXPECT_EQ(info["container"]["properties"]["title"], c.title);
        ASSERT_EQ(info["tracks"].size(), 4u);
        EXPECT_EQ(info["tracks"][2]["properties"]["track_name"], "Deutsch & Co");
        EXPECT_EQ(info["chapters"][0]["num_entries"], 3);
    }
}

namespace {

bool hasLine(const std::string& text, const std::string& line) {
    return text.rfind(line + "\n", 0) == 0 || text.find("\n" + line + "\n") != std::string::npos;
}

// The chapter file the stand-in muxer was given, one line per entry.
std::vector<std::string> chapterLines(const std::string& mkvmerge) {
    std::vector<std::string> lines;
    std::istringstream text(fileText(mkvmerge + ".chapters"));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.substr(0, line.size() - (!line.empty() && line.back() == '\r')));
    return lines;
}

std::string chapterList(int count, const std::function<std::string(int)>& time) {
    std::string list;
    for (int k = 0; k < count; ++k)
        list += "<Chapter displayName=\"C" + std::to_string(k + 1) + "\" titleTimeBegin=\"" +
                time(k) + "\"/>\n";
    return list;
}

struct ChapterCase {
    const char* what;
    std::string chapters;              // the ChapterList's content
    std::vector<std::string> expected; // first and last lines of the chapter file
    size_t lines;
    std::string logged;
};

} // namespace

TEST(MkvOutputRules, ChaptersWithoutATimeOrPastTheCapAreLeftOutAndTheRestMuxed) {
    const std::vector<ChapterCase> cases = {
        {"a chapter time that does not parse",
         "<Chapter displayName=\"Opening\" titleTimeBegin=\"00:00:00:00\"/>\n"
         "<Chapter displayName=\"Stripes\" titleTimeBegin=\"xx\"/>\n"
         "<Chapter displayName=\"Closing\" titleTimeBegin=\"00:00:03:00\"/>\n",
         {"CHAPTER01=00:00:00.000", "CHAPTER02NAME=Closing"},
         4,
         "Chapter \"Stripes\" has no time that can be read (\"xx\"); it is left out."},
        {"100,000 chapters",
         chapterList(100000, [](int k) { return playlistTime(k % 240); }),
         {"CHAPTER01=00:00:00.000", "CHAPTER999NAME=C999"},
         2 * MaxChaptersPerTitle,
         "The title lists 100000 chapters; only the first 999 are kept."},
    };
    for (const ChapterCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("mkv_chapters");
        const std::string mkvmerge = writingStandIn(folder);
        const std::string list = "<ChapterList>\n";
        std::string xpl = fileText(std::string(TARNWICK_SAMPLE_DISC) + "/ADV_OBJ/VPLST000.XPL");
        const size_t begin = xpl.find(list) + list.size();
        const std::string old = xpl.substr(begin, xpl.find("</ChapterList>") - begin);
        const std::string disc = copySampleDisc(folder, {{old, c.chapters}});
        const ProgramResult r = runProgram(
            Cli, {"mkv", disc, "-o", folder + "out", "--mkvmerge", mkvmerge, "--no-details"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(hasLine(r.out, c.logged)) << r.out;
        const std::vector<std::string> lines = chapterLines(mkvmerge);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.front(), c.expected[0]);
        EXPECT_EQ(lines.back(), c.expected[1]);
        EXPECT_EQ(folderEntries(folder + "out"), std::vector<std::string>{"Tarnwick Sample.mkv"});
    }
}

// The output folder moved away (renamed) while mkvmerge runs: the work folder
// is found where it went and removed; an MKV that was made goes beside it.
TEST(MkvOutputRules, TheWorkFolderGoesWhereverTheOutputFolderWent) {
    struct Case {
        const char* what;
        std::string after; // the stand-in's last command
        int exitCode;
        std::vector<std::string> left;
    };
    for (const Case& c : {Case{"mkvmerge succeeds", "exit 0", 0, {"Tarnwick Sample.mkv"}},
                          Case{"mkvmerge fails", "exit 2", 1, {}}}) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("mkv_folder_moved");
        const std::string mkvmerge = standInMkvmerge(
            folder + "mkvmerge", "printf 'muxed' > muxed.mkv\nout=$(dirname \"$PWD\")\n"
                                 "mv \"$out\" \"$out.moved\"\n" +
                                     c.after + "\n");
        fs::create_directory(folder + "out");
        const ProgramResult r = runProgram(Cli, {"mkv", std::string(TARNWICK_SAMPLE_DISC), "-o",
                                                 folder + "out", "-q", "--mkvmerge", mkvmerge});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_FALSE(fs::exists(folder + "out"));
        EXPECT_EQ(folderEntries(folder + "out.moved"), c.left);
    }
}

namespace {

// A scanned title of a disc with every stream found selected, muxed through
// the core with a scripted host.
struct CoreMkv {
    explicit CoreMkv(const std::string& disc) {
        std::string error;
        auto chosen = chooseTitle({disc, std::nullopt, std::nullopt, true}, error);
        EXPECT_TRUE(chosen) << error;
        RunContext run = core.context();
        scan = readEvo({std::move(chosen->title), {}}, run);
        const ScanReport& r = scan.title.scan;
        for (int k = 0; k < UsedVideoSlots; ++k)
            if (r.video[size_t(k)].found())
                streams.push_back({StreamKind::Video, k, r.video[size_t(k)].caption});
        for (int k = 0; k < AudioSlots; ++k)
            if (r.audio[size_t(k)].found())
                streams.push_back({StreamKind::Audio, k, r.audio[size_t(k)].caption});
        for (const DemuxStream& s : streams)
            selection.select(s.kind, s.slot);
    }
    MatroskaResult mux(const std::string& out, const std::string& mkvmerge, int grace = 5000) {
        MatroskaRequest request{
            .title = scan.title, .streams = streams, .selection = selection, .outputFolder = out};
        request.mkvmerge = mkvmerge;
        request.mkvmergeStopGraceMilliseconds = grace;
        RunContext run = core.context();
        return muxTitle(request, run);
    }

    CoreRun core;
    ScanResult scan;
    std::vector<DemuxStream> streams;
    SelectionSet selection;
};

} // namespace

TEST(MkvOutputRules, TheOutputFolderMovedWhileTheStreamsAreMadeLeavesNothingInIt) {
    const std::string folder = scratchFolder("mkv_moved_core");
    const std::string out = folder + "out";
    fs::create_directory(out);
    CoreMkv m(TARNWICK_SAMPLE_DISC);
    // The first pump comes after the demux, before the timestamp files.
    m.core.host.onPump = [&] {
        if (fs::exists(out)) fs::rename(out, out + ".moved");
    };
    const MatroskaResult r = m.mux(out, writingStandIn(folder));
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("No such file or directory"), std::string::npos) << r.errors[0];
    EXPECT_TRUE(folderEntries(out + ".moved").empty());
}

// A muxer that ignores SIGTERM is killed a grace time after Cancel; nothing
// of the run is left.
TEST(MkvOutputRules, CancelEndsAMuxerThatIgnoresTheRequestToStop) {
    const std::string folder = scratchFolder("mkv_cancel_kill");
    const std::string out = folder + "out";
    fs::create_directory(out);
    const std::string mkvmerge = standInMkvmerge(
        folder + "mkvmerge", "trap '' TERM\necho $$ > \"$0.pid\"\nprintf 'part' > muxed.mkv\n"
                             "echo '#GUI#progress 1%'\nwhile :; do sleep 1; done\n");
    CoreMkv m(TARNWICK_SAMPLE_DISC);
    m.core.host.onPump = [&] {
        if (m.core.sink.panels[1] == "1%") m.core.host.run.cancelRequested = true;
    };
    const MatroskaResult r = m.mux(out, mkvmerge, 200);
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.errors.empty());
    EXPECT_TRUE(r.path.empty());
    EXPECT_EQ(m.core.sink.lines.back(), "Muxing cancelled.");
    EXPECT_TRUE(folderEntries(out).empty());
    const pid_t pid = std::stoi(fileText(mkvmerge + ".pid"));
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}
