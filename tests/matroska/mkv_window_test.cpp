// The window's Matroska step after its Demux: the files the Demux has just
// written, the playlist of the source's own disc, mkvmerge looked for before
// anything is demuxed, and Cancel while mkvmerge runs.

#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";

// A window session that reads `source` and demuxes into `out` with "Mux into
// MKV after Demux" ticked.
struct MuxingWindow {
    MuxingWindow(const std::string& source, const std::string& out) {
        t.chooseSource(source);
        t.window.options.eWorkdir = out;
        t.window.options.cbMuxMKV = true;
    }
    TestSession t;
};

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(MkvWindow, MuxesTheDemuxedFilesNamedByTheSourcesOwnDisc) {
    // A playlist read for the disc, then a source elsewhere: its MKV has no
    // name or chapters from that playlist.
    const std::string folder = scratchFolder("mkv_window_own_disc");
    fs::copy_file(Disc + "/HVDVD_TS/FEATURE_1.EVO", folder + "MOVIE.EVO");
    struct Case {
        std::string source;
        std::string mkv;
        size_t chapters;
    };
    for (const Case& c : {Case{Disc + "/HVDVD_TS/FEATURE_1.EVO", "Tarnwick Sample.mkv", 3},
                          Case{folder + "MOVIE.EVO", "MOVIE.mkv", 0}}) {
        const std::string out = folder + "out" + std::to_string(c.chapters) + "/";
        fs::create_directories(out);
        MuxingWindow w(c.source, out);
        w.t.window.eXPLfile = Disc + "/ADV_OBJ/VPLST000.XPL";
        ASSERT_TRUE(bReadXPLClick(w.t.session));
        ASSERT_TRUE(bReadEVOClick(w.t.session));
        ASSERT_TRUE(demuxAndMux(w.t.session)) << c.source;
        const nlohmann::json info =
            nlohmann::json::parse(runProgram("/usr/bin/mkvmerge", {"-J", out + c.mkv}).out);
        EXPECT_EQ(info["chapters"].empty() ? 0u : info["chapters"][0]["num_entries"].get<size_t>(),
                  c.chapters);
        // One demux: the streams Demux wrote, and no work folder left.
        for (const std::string& name : entries(out))
            EXPECT_EQ(name.find(".streams-"), std::string::npos) << name;
    }
}

TEST(MkvWindow, MissingMkvmergeStopsBeforeTheDemuxAndCancelEndsARunningOne) {
    const std::string folder = scratchFolder("mkv_window_muxer");
    const std::string sleeper = folder + "slow-mkvmerge";
    std::ofstream(sleeper) << "#!/bin/sh\nexec sleep 60\n";
    fs::permissions(sleeper, fs::perms::owner_all);
    struct Case {
        std::string muxer;
        bool demuxed;
    };
    for (const Case& c : {Case{folder + "absent-mkvmerge", false}, Case{sleeper, true}}) {
        const std::string out = folder + (c.demuxed ? "slow/" : "none/");
        fs::create_directories(out);
        MuxingWindow w(Disc + "/HVDVD_TS/FEATURE_1.EVO", out);
        w.t.session.mkvmerge = c.muxer;
        ASSERT_TRUE(bReadEVOClick(w.t.session));
        bool offered = false;
        w.t.ui.onPump = [&] {
            // Pressed once mkvmerge runs; the steps before it are cancellable too.
            const auto lines = w.t.visibleLines();
            if (lines.empty() || lines.back().rfind("Muxing ", 0) != 0) return;
            offered = w.t.window.buttons.bCancel;
            bCancelClick(w.t.session);
        };
        EXPECT_FALSE(demuxAndMux(w.t.session));
        if (!c.demuxed) {
            ASSERT_EQ(w.t.ui.errors.size(), 1u);
            EXPECT_NE(w.t.ui.errors[0].find("Install mkvtoolnix"), std::string::npos);
            EXPECT_TRUE(entries(out).empty()); // nothing demuxed for a muxer that is not there
        } else {
            EXPECT_TRUE(offered) << "Cancel is offered while mkvmerge runs";
            const auto lines = w.t.visibleLines();
            EXPECT_NE(std::find(lines.begin(), lines.end(), "Muxing cancelled."), lines.end());
        }
    }
}
