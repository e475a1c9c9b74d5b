// tarnwick-cli mkv on test discs built in code: every track's marks (flash
// frames, beeps, subpicture units) land in the MKV at their title times,
// whatever PES time stamps each clip carries; an audio track has no hole
// longer than the disc's own plus one frame; the MKV lasts as long as the
// title; a title that plays a missing clip ends with exit status 1, the
// clip's name and no file.

#include "support/run_program.h"
#include "support/test_discs.h"
#include "support/test_session.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace tarnwick::testing;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

const Track Avc{Codec::H264, 0xE2}, Mpeg2{Codec::Mpeg2, 0xE0};
const Track Ac3{Codec::Ac3, 0x80}, Ac3Six{Codec::Ac3, 0x80, 6}, Eac3{Codec::Eac3, 0xC1};
const Track Lpcm16{Codec::Lpcm16, 0xA0, 6}, Lpcm24{Codec::Lpcm24, 0xA1, 6};
const Track Subpictures{Codec::Subpicture, 0x20};

constexpr uint64_t Second = 90000;
constexpr uint64_t Pts2To32 = uint64_t(1) << 32, Pts2To33 = uint64_t(1) << 33;

ClipStream video(double length, std::vector<double> flashes) {
    return {0, 0, length, std::move(flashes)};
}

// Track 1 (and 2): audio from `start` on for `length` seconds, a beep at each mark.
ClipStream audio(double start, double length, std::vector<double> beeps, int track = 1) {
    return {track, start, length, std::move(beeps)};
}

// Subpicture units of track `track`, each shown `length` seconds from its mark on.
ClipStream subpictures(int track, double length, std::vector<double> marks) {
    return {track, 0, length, std::move(marks)};
}

// Two clips of video and AC-3 whose first PTS and audio starts differ.
std::vector<DiscClip> twoClips(const std::string& first, const std::string& second) {
    return {{first, 2 * Second, {video(2.4, {0.88}), audio(0.0213, 2.336, {1.0137})}},
            {second, 37 * Second, {video(2.0, {1.24}), audio(-0.0107, 2.016, {0.6613})}}};
}

// Marks sit well inside their clips, at times into the clip that differ from
// clip to clip, beeps between audio frame starts: a clip placed a frame early
// or late misses them.
const std::vector<DiscCase> Cases = {
    // Each clip its own first PTS; AC-3 5.1 from before clip 2's video, E-AC-3
    // leaving a hole at the first join; a subpicture unit in every clip.
    {.name = "three_clips",
     .tracks = {Avc, Ac3Six, Eac3, Subpictures},
     .clips = {{"FEATURE_1.EVO",
                Second,
                {video(2.4, {0.88}), audio(0, 2.4, {1.0137}), audio(0.02, 2.3, {0.6211}, 2),
                 subpictures(3, 0.8, {0.52})}},
               {"FEATURE_2.EVO",
                10 * Second,
                {video(3.0, {1.52}), audio(-0.0107, 3.0, {2.2003}), audio(0.0433, 2.9, {0.7}, 2),
                 subpictures(3, 0.6, {1.1})}},
               {"FEATURE_3.EVO",
                Second / 2,
                {video(2.0, {0.4}), audio(0, 1.984, {1.3}), audio(0, 1.984, {1.45}, 2),
                 subpictures(3, 0.5, {0.3})}}}},
    // E-AC-3 plays in clip 2 only.
    {.name = "stream_in_one_clip",
     .tracks = {Avc, Ac3, Eac3},
     .clips = {{"FEATURE_1.EVO", Second, {video(2.4, {0.6}), audio(0.01, 2.368, {1.2})}},
               {"FEATURE_2.EVO",
                20 * Second,
                {video(2.4, {1.0}), audio(0, 2.4, {0.8137}), audio(0.1093, 2.2, {1.5011}, 2)}}}},
    // mkv --title 2: the one clip of title 2, not the longer title 1.
    {.name = "one_clip_title_beside_two",
     .tracks = {Avc, Ac3},
     .clips = {{"BONUS.EVO", 3 * Second, {video(2.0, {1.36}), audio(0.0351, 1.92, {0.9377})}}},
     .otherTitle = twoClips("FEATURE_1.EVO", "FEATURE_2.EVO")},
    // hvdvd_ts/feature_1.evo and adv_obj/vplst000.xpl; the playlist names FEATURE_1.MAP.
    {.name = "lower_case_names",
     .tracks = {Avc, Ac3},
     .clips = twoClips("FEATURE_1.EVO", "FEATURE_2.EVO"),
     .lowerCase = true},
    {.name = "clips_not_named_feature",
     .tracks = {Avc, Ac3},
     .clips = twoClips("MAIN_A.EVO", "MAIN_B.EVO")},
    // No playlist: clip 2 starts where clip 1's video ends, 192 ms after its audio.
    {.name = "audio_ends_before_video",
     .tracks = {Avc, Ac3},
     .clips = {{"FEATURE_1.EVO", 5 * Second, {video(2.4, {0.96}), audio(0, 2.208, {1.4107})}},
               {"FEATURE_2.EVO", 5 * Second, {video(2.0, {1.12}), audio(0.0053, 1.984, {0.5151})}}},
     .playlist = false},
    // No playlist, 24000/1001 fps: clip 1's audio runs 206 ms into clip 2.
    {.name = "audio_ends_after_video",
     .tracks = {Avc, Ac3},
     .clips = {{"FEATURE_1.EVO", Second, {video(2.0, {0.751}), audio(0, 2.208, {1.0511})}},
               {"FEATURE_2.EVO", 2 * Second, {video(2.0, {1.21}), audio(0.0031, 1.984, {0.9009})}}},
     .playlist = false,
     .fps = 24000.0 / 1001},
    // Sub-streams 0xA0 and 0xA1, each channel beeping at a level of its own.
    {.name = "lpcm_5_1_16_and_24_bits",
     .tracks = {Avc, Lpcm16, Lpcm24},
     .clips = {{"FEATURE_1.EVO",
                Second,
                {video(2.0, {0.72}), audio(0, 2.0, {1.1011}), audio(0.0117, 1.98, {0.7037}, 2)}},
               {"FEATURE_2.EVO",
                4 * Second,
                {video(2.0, {1.28}), audio(0.0021, 1.99, {0.5}), audio(0, 2.0, {1.3333}, 2)}}}},
    // Clip 1's PTS cross 2^32 before its marks; clip 2's wrap at 2^33.
    {.name = "pts_crossing_2_to_32_and_33",
     .tracks = {Avc, Ac3, Eac3},
     .clips = {{"FEATURE_1.EVO",
                Pts2To32 - 6 * Second / 5,
                {video(2.4, {1.6}), audio(0.0213, 2.368, {1.8013}), audio(0, 2.4, {1.4001}, 2)}},
               {"FEATURE_2.EVO",
                Pts2To33 - Second,
                {video(2.4, {1.52}), audio(-0.0213, 2.4, {1.3007}),
                 audio(0.0107, 2.368, {1.7}, 2)}}}},
    // The playlist plays FEATURE_2.EVO, which is not on the disc.
    {.name = "missing_clip",
     .tracks = {Avc, Ac3},
     .clips = {{"FEATURE_1.EVO", Second, {video(2.0, {0.4}), audio(0, 1.984, {1.0})}},
               {"FEATURE_2.EVO", Second, {video(2.0, {0.4}), audio(0, 1.984, {1.0})}},
               {"FEATURE_3.EVO", Second, {video(2.0, {0.4}), audio(0, 1.984, {1.0})}}},
     .absent = {"FEATURE_2.EVO"}},
    // One VOB stream cut 1001 bytes into the pack of picture 55, in the middle of a GOP.
    {.name = "dvd_cut_mid_gop",
     .tracks = {Mpeg2, Ac3},
     .clips = {{"VTS_01_1.VOB",
                Second / 2,
                {video(4.0, {0.8, 3.28}), audio(0.0213, 3.968, {1.1011, 3.0511})}}},
     .playlist = false,
     .cutInPicture = 55},
    {.name = "dvd_subpictures",
     .tracks = {Mpeg2, Ac3, Subpictures},
     .clips = {{"VTS_01_1.VOB",
                Second,
                {video(3.0, {0.6}), audio(0, 2.976, {1.7013}), subpictures(2, 0.6, {0.7, 2.0})}}},
     .playlist = false},
};

struct CodecNames {
    const char* name;
    const char* mkv; // the start of the Matroska codec id
};
const CodecNames Names[] = {
    {"H.264", "V_MPEG4/ISO/AVC"}, {"MPEG-2", "V_MPEG2"},     {"AC-3", "A_AC3"},
    {"E-AC-3", "A_EAC3"},         {"LPCM 16", "A_PCM/INT/"}, {"LPCM 24", "A_PCM/INT/"},
    {"subpictures", "S_VOBSUB"}};

// The MKV's track for a track of the disc, by codec (and LPCM's bits).
const json* mkvTrack(const json& info, const Track& t) {
    for (const json& track : info["tracks"]) {
        const json& p = track["properties"];
        if (p["codec_id"].get<std::string>().rfind(Names[int(t.codec)].mkv, 0) != 0) continue;
        if (t.codec == Codec::Lpcm16 && p["audio_bits_per_sample"] != 16) continue;
        if (t.codec == Codec::Lpcm24 && p["audio_bits_per_sample"] != 24) continue;
        return &track;
    }
    return nullptr;
}

class MkvDiscTest : public ::testing::TestWithParam<DiscCase> {};

} // namespace

namespace tarnwick::testing {
void PrintTo(const DiscCase& c, std::ostream* out) {
    *out << c.name;
}
} // namespace tarnwick::testing

TEST_P(MkvDiscTest, MarksPlayAtTheirTitleTimes) {
    const DiscCase& c = GetParam();
    const std::string folder = scratchFolder("mkv_disc_" + c.name), out = folder + "out";
    fs::create_directories(out);
    const BuiltDisc disc = buildDisc(c, folder + "disc");
    // TARNWICK_KEEP_DISCS=FOLDER keeps the discs and MKVs there to look at.
    const char* keep = std::getenv("TARNWICK_KEEP_DISCS");
    const auto kept = [&] {
        if (keep)
            fs::copy(folder, std::string(keep) + "/" + c.name,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    };
    std::vector<std::string> args = {"mkv"};
    args.insert(args.end(), disc.arguments.begin(), disc.arguments.end());
    args.insert(args.end(), {"-o", out});
    const ProgramResult r = runProgram(TARNWICK_CLI, args);
    kept();
    if (!c.absent.empty()) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE((r.out + r.err).find(c.absent[0]), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(out)) << r.out;
        return;
    }
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string mkv;
    for (const auto& e : fs::directory_iterator(out))
        if (e.path().extension() == ".mkv") mkv = e.path().string();
    ASSERT_FALSE(mkv.empty()) << r.out;
    const json info = json::parse(runProgram("/usr/bin/mkvmerge", {"-J", mkv}).out);
    const double frame = 1 / c.fps;
    EXPECT_NEAR(info["container"]["properties"]["duration"].get<double>() / 1e9, disc.seconds,
                2 * frame);

    // Each track of the disc as the MKV's track of its codec; flashes and
    // beeps measured in one decoding run.
    std::vector<const json*> found;
    std::vector<Probe> probes;
    for (const Track& track : c.tracks) {
        found.push_back(mkvTrack(info, track));
        if (found.back() && track.codec != Codec::Subpicture)
            probes.push_back({mkv, (*found.back())["id"].get<int>(),
                              (*found.back())["properties"].value("audio_channels", 0)});
    }
    const std::vector<Measure> measures = measure(probes, folder);
    for (size_t t = 0, probe = 0; t < c.tracks.size(); ++t) {
        const Track& track = c.tracks[t];
        SCOPED_TRACE("track " + std::to_string(t) + ": " + Names[int(track.codec)].name);
        if (!found[t]) {
            ADD_FAILURE() << "no such track in the MKV";
            continue;
        }
        std::vector<double> marks = disc.marks[t], measured;
        double tolerance = 0.002;
        if (track.codec == Codec::Subpicture) {
            measured = packetTimes(mkv, (*found[t])["id"]); // a packet per unit
            tolerance = frame;
        } else if (t == 0) {
            measured = measures[probe++].marks;
            tolerance = frame / 2;
        } else {
            const Measure& a = measures[probe++];
            measured = a.marks;
            EXPECT_EQ(int(a.peaks.size()), track.channels);
            EXPECT_LE(a.longestHole, disc.holes[t] + a.frameSeconds + 0.001);
            if (track.codec == Codec::Lpcm16 || track.codec == Codec::Lpcm24) {
                // Every channel at its own level: none lost, mixed or misread.
                std::vector<double> levels, peaks = a.peaks;
                for (int ch = 0; ch < track.channels; ++ch)
                    levels.push_back(lpcmChannelLevel(ch));
                std::sort(peaks.begin(), peaks.end());
                for (size_t ch = 0; ch < levels.size() && ch < peaks.size(); ++ch)
                    EXPECT_NEAR(peaks[ch], levels[ch], 0.01) << "channel level " << ch;
            }
        }
        if (measured.size() != marks.size()) {
            ADD_FAILURE() << "marks at " << ::testing::PrintToString(measured) << ", not at "
                          << ::testing::PrintToString(marks);
            continue;
        }
        for (size_t k = 0; k < marks.size(); ++k)
            EXPECT_NEAR(measured[k], marks[k], tolerance) << "mark " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(MkvDisc, MkvDiscTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return info.param.name; });
