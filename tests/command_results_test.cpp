// What the commands return and report where a step used to reach into
// another's state, and the error boundary every command has.

#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"
#include "support/written_playlists.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

const std::string Cli = TARNWICK_CLI;
const std::string Disc = std::string(TARNWICK_SAMPLES) + "/DISC";
const std::string Sample1 = Disc + "/HVDVD_TS/FEATURE_1.EVO";

// Read EVO, Read XPL, a box unticked, Rebuild: the playlist names the
// streams but never changes which stream a slot holds, so exactly the
// unticked stream is dropped.
TEST(CommandResults, RebuildAfterReadXplDropsExactlyTheUntickedStream) {
    const std::string out = scratchFolder("results_rebuild");
    TestSession t;
    t.chooseSource(Sample1);
    t.window.options.eWorkdir = out;
    ASSERT_TRUE(bReadEVOClick(t.session));
    ASSERT_TRUE(bReadXPLClick(t.session));
    ASSERT_TRUE(t.window.boxes.cbAudio[3].ticked);
    t.window.boxes.cbAudio[3].ticked = false; // Deutsch 2.0, Dolby Digital Plus 0xC3
    ASSERT_TRUE(bRebuildClick(t.session)) << t.ui.errors.front();

    CoreRun rebuilt;
    const ScanResult scan = rebuilt.read(out + "FEATURE_1_FEATURE_2.rebuilt.EVO");
    const ScanReport& r = scan.title.scan;
    EXPECT_EQ(r.video[0].id, 0xE2);
    EXPECT_EQ(r.audio[0].id, 0x80);
    EXPECT_EQ(r.subpicture[0].id, 0x20);
    for (int k = 1; k < AudioSlots; ++k)
        EXPECT_FALSE(r.audio[size_t(k)].found()) << k;
}

// A playlist without a title for the source names no stream; the report is
// still the scan's and the run ends well.
TEST(CommandResults, JsonWithAPlaylistThatHasNoTitleForTheSource) {
    const std::string playlist = scratchFolder("results_json") + "VPLST000.XPL";
    std::ofstream(playlist, std::ios::binary) << testDiscPlaylist(); // PEVOB titles only
    const ProgramResult r = runProgram(Cli, {"read", "--json", Sample1, "--playlist", playlist});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);
    ASSERT_EQ(report["streams"].size(), 4u);
    EXPECT_FALSE(report["streams"][1].contains("label"));
}

// A reading thread the system will not start ends the command with the
// system's words and exit status 1, not std::terminate.
TEST(CommandResults, AThreadTheSystemRefusesIsAClearError) {
    const ProgramResult r =
        runProgram(Cli, {"read", Sample1},
                   {std::string("LD_PRELOAD=") + TARNWICK_REFUSE_THREADS,
                    "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("tarnwick-cli: The system refused a resource the command needs: "
                         "Resource temporarily unavailable."),
              std::string::npos)
        << r.err;
}

} // namespace
} // namespace tarnwick
