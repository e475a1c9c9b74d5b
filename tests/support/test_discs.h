#pragma once
// Test discs built in code: an HD DVD folder (HVDVD_TS/*.EVO and, when the
// case has one, ADV_OBJ/VPLST000.XPL) or a DVD title (VIDEO_TS/VTS_01_n.VOB)
// whose clips carry marks at known title times: flash frames (a white
// picture among dark ones), beeps (a tone burst after silence) and
// subpicture units. Each clip's PES time stamps are the case's: its first
// video PTS, each stream's start against it, PTS that cross 2^32 or wrap at
// 2^33.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::testing {

enum class Codec { H264, Mpeg2, Ac3, Eac3, Lpcm16, Lpcm24, Subpicture };

struct Track {
    Codec codec;
    uint8_t id;       // video: the stream id; else the private-stream-1 sub-stream id
    int channels = 2; // audio
};

// One stream of one clip; times in seconds.
struct ClipStream {
    int track = 0;             // index into DiscCase::tracks
    double start = 0;          // its first PTS after the clip's first video PTS
    double length = 0;         // video: the clip's length; audio: how long it plays;
                               // subpicture: how long each unit shows
    std::vector<double> marks; // after `start`: flash frames, beep onsets, unit starts
};

struct DiscClip {
    std::string file;                // on the disc: FEATURE_1.EVO, MAIN_A.EVO, VTS_01_1.VOB
    uint64_t firstPts = 90000;       // the first video PTS, modulo 2^33
    std::vector<ClipStream> streams; // the video (track 0) first
};

struct DiscCase {
    std::string name;
    std::vector<Track> tracks;   // [0]: the video; MPEG-2 video makes a DVD
    std::vector<DiscClip> clips; // the title's, in play order; a DVD has one
    bool playlist = true;
    double fps = 25;
    // HD DVD: title 1 of the playlist, beside the case's title 2.
    std::vector<DiscClip> otherTitle{};
    std::vector<std::string> absent{}; // clips the playlist names that are not written
    bool lowerCase = false;            // hvdvd_ts/feature_1.evo
    // DVD: VTS_01_1.VOB ends this many bytes into the pack where this
    // picture (in decoding order) starts, VTS_01_2.VOB holds the rest (0: one part).
    int cutInPicture = 0;
    size_t cutBytes = 1001;

    bool dvd() const { return tracks[0].codec == Codec::Mpeg2; }
};

struct BuiltDisc {
    std::vector<std::string> arguments;     // of tarnwick-cli mkv, without -o
    std::vector<std::vector<double>> marks; // per track: the title times of its marks
    std::vector<double> holes;              // per track: the longest hole between its clips' data
    double seconds = 0;                     // the title's length
};

// Writes the case's disc into `folder`; ffmpeg encodes the video, AC-3 and
// E-AC-3 (each encoding once per test program).
BuiltDisc buildDisc(const DiscCase& c, const std::string& folder);

// A stream of a file that ffmpeg reads; its marks measured on the file's
// own time stamps, in seconds.
struct Probe {
    std::string file;
    int stream = 0;   // ffmpeg's index
    int channels = 0; // 0: a video stream
};
struct Measure {
    std::vector<double> marks; // flash frames; or where a beep starts after silence
    std::vector<double> peaks; // audio: each channel's peak over the first beep
    double longestHole = 0;    // audio: from one decoded frame's end to the next's start
    double frameSeconds = 0;   // audio: the longest decoded frame
};
// All in one ffmpeg run; `work` holds the decoded samples.
std::vector<Measure> measure(const std::vector<Probe>& probes, const std::string& work);
// The time stamps of a stream's packets.
std::vector<double> packetTimes(const std::string& file, int stream);

// Beeps peak at these levels (of full scale); they count from the threshold.
constexpr double BeepLevel = 0.5;
constexpr double BeepThreshold = 0.2;
double lpcmChannelLevel(int channel);

} // namespace tarnwick::testing
