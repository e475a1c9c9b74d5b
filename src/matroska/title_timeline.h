#pragma once
// The disc's clock: every frame of every track placed on the title's
// timeline from its PES time stamp. Clip k begins at its playlist title time
// or, without a playlist, where clip k-1's video ends by its own time stamps.
// A time stamp that jumps back by more than a second inside a clip (parts
// that were made apart and joined) starts a new time base there, which begins
// where the video of the one before it ends. Differences of time stamps are
// taken modulo 2^33, so time stamps that cross 2^32 or wrap go on smoothly.

#include "matroska/frame_index.h"
#include "model/title.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace tarnwick {

// Title times in 90 kHz ticks; fractions for audio frames that do not fall
// on a tick.
using TitleTime = double;

// The signed difference a - b of two 33-bit time stamps.
int64_t timeStampDifference(TimeStamp a, TimeStamp b);

class TitleTimeline {
public:
    // `video`: the title's first video stream, or nothing; `others`: every
    // other stream indexed, whose time stamps stand in for clips without
    // video. `frameTicks`: the video's frame duration when its time stamps do
    // not tell it.
    TitleTimeline(const Title& title, const StreamIndex* video,
                  const std::vector<const StreamIndex*>& others, double frameTicks);

    // The title time of a time stamp of a clip's time base.
    TitleTime titleTime(uint32_t clip, size_t base, TimeStamp pts) const;
    // Where a clip's time base begins on the timeline.
    TitleTime start(uint32_t clip, size_t base) const;
    // Whether nearly every video frame of a time base has a time stamp of
    // its own; otherwise the frames are placed one frame duration apart.
    bool dense(uint32_t clip, size_t base) const;
    // The video frame duration of a clip's time base.
    double frameTicks(uint32_t clip, size_t base) const;
    // Where the last time base's video ends: the title's length by its own
    // time stamps.
    TitleTime end() const { return end_; }

private:
    struct Base {
        TimeStamp anchor = 0;  // the first video frame's time stamp
        TitleTime start = 0;   // its title time
        double frameTicks = 0; // the video's frame duration
        bool dense = false;
    };
    const Base& base(uint32_t clip, size_t index) const;

    std::vector<std::vector<Base>> clips_;
    TitleTime end_ = 0;
};

// The time bases of one stream's items (frames or packets) in file order:
// each clip counts from 0, and a time stamp more than a second below the
// stream's latest one in the clip starts the next base.
class BaseCounter {
public:
    size_t next(uint32_t clip, TimeStamp pts);

private:
    uint32_t clip_ = UINT32_MAX;
    size_t base_ = 0;
    TimeStamp latest_ = 0;
};

// A track's frames on the timeline, as a timestamp file lists them, and the
// byte ranges of the stream's file left out so that no join overlaps.
struct TrackTimes {
    std::vector<TitleTime> frames; // the kept frames' times, sorted
    std::vector<std::pair<int64_t, int64_t>> dropped;
    TitleTime first = 0;
    TitleTime end = 0; // after the last frame
};

TrackTimes videoTrackTimes(const StreamIndex& video, const TitleTimeline& timeline,
                           int64_t fileBytes);
TrackTimes audioTrackTimes(const StreamIndex& audio, const TitleTimeline& timeline,
                           int64_t fileBytes);

// A run of an LPCM stream's file and the title time of its first sample.
struct SampleRun {
    int64_t begin = 0;
    int64_t end = 0;
    TitleTime start = 0;
};
std::vector<SampleRun> lpcmRuns(const StreamIndex& lpcm, const TitleTimeline& timeline);

// The title time of each subpicture record, in file order.
std::vector<TitleTime> recordTimes(const StreamIndex& subpicture, const TitleTimeline& timeline);

} // namespace tarnwick
