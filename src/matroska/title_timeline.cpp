#include "matroska/title_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace tarnwick {

namespace {

constexpr int64_t Wrap = int64_t(1) << 33;
// A time stamp this far below the latest one starts a new time base; video
// in decode order runs back by a few frames only.
constexpr int64_t BaseJump = 90000;
// Half a millisecond: overlaps smaller than this are rounding, not overlaps.
constexpr double Tolerance = 45;

// The most frequent difference between consecutive sorted times: the frame
// duration, whatever frames are missing or repeated.
double commonStep(std::vector<int64_t> times, double fallback) {
    std::sort(times.begin(), times.end());
    std::map<int64_t, int> counts;
    for (size_t k = 1; k < times.size(); ++k)
        if (const int64_t step = times[k] - times[k - 1]; step > 0) ++counts[step];
    int best = 0;
    double step = fallback;
    for (const auto& [value, count] : counts)
        if (count > best) {
            best = count;
            step = double(value);
        }
    return step > 0 ? step : 3003;
}

struct Group {
    uint32_t clip;
    size_t base;
    bool operator!=(const Group& o) const { return clip != o.clip || base != o.base; }
};

// Where the bytes of frame k end: at the next frame, but never past the start
// of the next clip, whose leading bytes belong to no frame of this one.
int64_t frameEnd(const StreamIndex& s, size_t k, int64_t fileBytes) {
    int64_t end = k + 1 < s.frames.size() ? s.frames[k + 1].offset : fileBytes;
    const uint32_t clip = s.frames[k].clip;
    if (clip + 1 < s.clipStarts.size()) end = std::min(end, s.clipStarts[clip + 1]);
    return std::max(end, s.frames[k].offset);
}

void addDropped(TrackTimes& t, int64_t begin, int64_t end) {
    if (end <= begin) return;
    if (!t.dropped.empty() && t.dropped.back().second == begin)
        t.dropped.back().second = end;
    else
        t.dropped.emplace_back(begin, end);
}

} // namespace

int64_t timeStampDifference(TimeStamp a, TimeStamp b) {
    int64_t d = (int64_t(a) - int64_t(b)) % Wrap;
    if (d >= Wrap / 2) d -= Wrap;
    if (d < -Wrap / 2) d += Wrap;
    return d;
}

size_t BaseCounter::next(uint32_t clip, TimeStamp pts) {
    if (clip != clip_) {
        clip_ = clip;
        base_ = 0;
        latest_ = pts;
        return base_;
    }
    const int64_t d = timeStampDifference(pts, latest_);
    if (d < -BaseJump) {
        ++base_;
        latest_ = pts;
    } else if (d > 0) {
        latest_ = pts;
    }
    return base_;
}

TitleTimeline::TitleTimeline(const Title& title, const StreamIndex* video,
                             const std::vector<const StreamIndex*>& others, double frameTicks) {
    const size_t clipCount = std::max<size_t>(title.clips.size(), 1);
    // Per clip and base: the frames, and the time stamps that anchor it
    // relative to the base's first.
    struct Seen {
        size_t frames = 0;
        TimeStamp first = 0;
        std::vector<int64_t> times;
    };
    std::vector<std::vector<Seen>> seen(clipCount);
    auto at = [&](uint32_t clip, size_t base) -> Seen& {
        auto& bases = seen[std::min<size_t>(clip, clipCount - 1)];
        if (bases.size() <= base) bases.resize(base + 1);
        return bases[base];
    };
    auto note = [&](Seen& s, TimeStamp pts) {
        if (s.times.empty()) s.first = pts;
        s.times.push_back(timeStampDifference(pts, s.first));
    };
    if (video) {
        BaseCounter counter;
        size_t base = 0;
        for (size_t k = 0; k < video->frames.size(); ++k) {
            const IndexedFrame& f = video->frames[k];
            if (k > 0 && f.clip != video->frames[k - 1].clip) base = 0;
            if (f.pts) base = counter.next(f.clip, *f.pts);
            Seen& s = at(f.clip, base);
            ++s.frames;
            if (f.pts) note(s, *f.pts);
        }
    }
    // Clips without video are anchored on their other streams' first times.
    for (uint32_t clip = 0; clip < clipCount; ++clip) {
        if (!seen[clip].empty()) continue;
        for (const StreamIndex* s : others)
            for (const IndexedPacket& p : s->packets)
                if (p.clip == clip) note(at(clip, 0), p.pts);
    }
    clips_.resize(clipCount);
    TitleTime previousEnd = 0;
    for (uint32_t clip = 0; clip < clipCount; ++clip) {
        if (seen[clip].empty()) seen[clip].resize(1);
        for (size_t b = 0; b < seen[clip].size(); ++b) {
            Seen& s = seen[clip][b];
            Base base;
            const int64_t lowest =
                s.times.empty() ? 0 : *std::min_element(s.times.begin(), s.times.end());
            const int64_t highest =
                s.times.empty() ? 0 : *std::max_element(s.times.begin(), s.times.end());
            base.anchor = TimeStamp((int64_t(s.first) + lowest + Wrap) % Wrap);
            // Time stamps on (nearly) every frame tell the frame duration and
            // each frame's time; sparse ones only where the frames begin.
            base.dense = s.frames > 0 && s.times.size() * 10 >= s.frames * 9;
            base.frameTicks = base.dense ? commonStep(s.times, frameTicks) : frameTicks;
            const std::optional<int64_t>& begin =
                clip < title.clips.size() ? title.clips[clip].titleBegin : std::nullopt;
            base.start = b == 0 && begin ? TitleTime(*begin) : previousEnd;
            const double length = base.dense || s.frames == 0
                                      ? double(highest - lowest) + base.frameTicks
                                      : double(s.frames) * base.frameTicks;
            previousEnd = base.start + length;
            clips_[clip].push_back(base);
        }
    }
    end_ = previousEnd;
}

const TitleTimeline::Base& TitleTimeline::base(uint32_t clip, size_t index) const {
    const auto& bases = clips_[std::min<size_t>(clip, clips_.size() - 1)];
    return bases[std::min(index, bases.size() - 1)];
}

TitleTime TitleTimeline::titleTime(uint32_t clip, size_t index, TimeStamp pts) const {
    const Base& b = base(clip, index);
    return b.start + double(timeStampDifference(pts, b.anchor));
}

TitleTime TitleTimeline::start(uint32_t clip, size_t index) const {
    return base(clip, index).start;
}

bool TitleTimeline::dense(uint32_t clip, size_t index) const {
    return base(clip, index).dense;
}

double TitleTimeline::frameTicks(uint32_t clip, size_t index) const {
    return base(clip, index).frameTicks;
}

TrackTimes videoTrackTimes(const StreamIndex& v, const TitleTimeline& timeline,
                           int64_t fileBytes) {
    const size_t n = v.frames.size();
    std::vector<Group> group(n);
    std::vector<double> time(n, std::numeric_limits<double>::quiet_NaN());
    BaseCounter counter;
    size_t base = 0;
    uint32_t clip = n ? v.frames[0].clip : 0;
    for (size_t k = 0; k < n; ++k) {
        const IndexedFrame& f = v.frames[k];
        if (f.clip != clip) base = 0;
        clip = f.clip;
        if (f.pts) {
            base = counter.next(f.clip, *f.pts);
            time[k] = timeline.titleTime(f.clip, base, *f.pts);
        }
        group[k] = {f.clip, base};
    }
    // Frames without a time stamp of their own fill the holes among those
    // with one, frame by frame, and then follow the last.
    std::vector<bool> dropped(n, false);
    std::vector<size_t> starts; // the first frame of each group
    for (size_t k = 0; k < n; ++k)
        if (k == 0 || group[k] != group[k - 1]) starts.push_back(k);
    starts.push_back(n);
    for (size_t g = 0; g + 1 < starts.size(); ++g) {
        const size_t from = starts[g], to = starts[g + 1];
        const double step = timeline.frameTicks(group[from].clip, group[from].base);
        if (!timeline.dense(group[from].clip, group[from].base)) {
            // Time stamps on a few frames only: the frames follow one another
            // a frame duration apart from where the time base begins.
            for (size_t k = from; k < to; ++k)
                time[k] = timeline.start(group[from].clip, group[from].base) +
                          double(k - from) * step;
        }
        std::vector<double> known;
        std::vector<size_t> missing;
        for (size_t k = from; k < to; ++k)
            (std::isnan(time[k]) ? missing.push_back(k) : known.push_back(time[k]));
        std::sort(known.begin(), known.end());
        std::vector<double> filled;
        for (size_t j = 0; j + 1 < known.size() && filled.size() < missing.size(); ++j) {
            const long holes = std::lround((known[j + 1] - known[j]) / step) - 1;
            for (long h = 1; h <= holes && filled.size() < missing.size(); ++h)
                filled.push_back(known[j] + double(h) * step);
        }
        // A group without any time stamp begins where its time base begins.
        double last = known.empty() ? timeline.start(group[from].clip, group[from].base) - step
                                    : known.back();
        while (filled.size() < missing.size())
            filled.push_back(last += step);
        for (size_t j = 0; j < missing.size(); ++j)
            time[missing[j]] = filled[j];
        // No frame of the group before is shown at or after the first of
        // this one; a picture shown a little shorter is no overlap.
        if (g > 0) {
            const double next = *std::min_element(time.begin() + long(from), time.begin() + long(to));
            for (size_t k = starts[g - 1]; k < from; ++k)
                if (time[k] > next - Tolerance) dropped[k] = true;
        }
    }
    TrackTimes t;
    for (size_t k = 0; k < n; ++k) {
        if (dropped[k]) {
            addDropped(t, v.frames[k].offset, frameEnd(v, k, fileBytes));
            continue;
        }
        t.frames.push_back(time[k]);
        const double step = timeline.frameTicks(group[k].clip, group[k].base);
        t.end = t.frames.size() == 1 ? time[k] + step : std::max(t.end, time[k] + step);
    }
    std::sort(t.frames.begin(), t.frames.end());
    if (!t.frames.empty()) t.first = t.frames.front();
    return t;
}

TrackTimes audioTrackTimes(const StreamIndex& a, const TitleTimeline& timeline,
                           int64_t fileBytes) {
    const size_t n = a.frames.size();
    // A packet's time stamp belongs to the first frame that starts in it.
    std::vector<std::optional<TimeStamp>> pts(n);
    size_t k = 0;
    for (const IndexedPacket& p : a.packets) {
        while (k < n && a.frames[k].offset < p.offset)
            ++k;
        if (k < n && a.frames[k].clip == p.clip && a.frames[k].offset < p.offset + 2048 && !pts[k])
            pts[k] = p.pts;
    }
    auto duration = [&](size_t j) {
        const IndexedFrame& f = a.frames[j];
        return f.sampleRate > 0 ? double(f.samples) * 90000.0 / f.sampleRate : 0.0;
    };
    std::vector<Group> group(n);
    std::vector<double> time(n, std::numeric_limits<double>::quiet_NaN());
    BaseCounter counter;
    size_t base = 0;
    for (size_t j = 0; j < n; ++j) {
        const IndexedFrame& f = a.frames[j];
        if (j > 0 && f.clip != a.frames[j - 1].clip) base = 0;
        if (pts[j]) {
            base = counter.next(f.clip, *pts[j]);
            time[j] = timeline.titleTime(f.clip, base, *pts[j]);
        }
        group[j] = {f.clip, base};
    }
    // Frames without a time stamp follow the frame before them; those in
    // front of a group's first time stamp lead up to it.
    std::vector<size_t> starts;
    for (size_t j = 0; j < n; ++j)
        if (j == 0 || group[j] != group[j - 1]) starts.push_back(j);
    starts.push_back(n);
    double previousEnd = 0;
    for (size_t g = 0; g + 1 < starts.size(); ++g) {
        const size_t from = starts[g], to = starts[g + 1];
        size_t firstKnown = from;
        while (firstKnown < to && std::isnan(time[firstKnown]))
            ++firstKnown;
        if (firstKnown == to) {
            time[from] = previousEnd; // no time stamp at all: after the group before
            firstKnown = from;
        }
        for (size_t j = firstKnown; j-- > from;)
            time[j] = time[j + 1] - duration(j);
        for (size_t j = firstKnown + 1; j < to; ++j) {
            // Within a group the frames run on, one after the other; a time
            // stamp is followed only where it leaves a gap of more than a
            // frame, as a stream that pauses does.
            const double follows = time[j - 1] + duration(j - 1);
            if (std::isnan(time[j]) || time[j] < follows + std::max(duration(j), 900.0))
                time[j] = follows;
        }
        previousEnd = time[to - 1] + duration(to - 1);
    }
    // At each join the frames of the group before that run into the first
    // frame of the next are left out: no overlap, a gap of less than a frame.
    std::vector<bool> dropped(n, false);
    for (size_t g = 1; g + 1 < starts.size(); ++g) {
        const double next = time[starts[g]];
        for (size_t j = starts[g]; j-- > starts[g - 1];) {
            if (time[j] + duration(j) <= next + Tolerance) break;
            dropped[j] = true;
        }
    }
    TrackTimes t;
    double latest = -std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < n; ++j) {
        if (dropped[j] || time[j] < latest) {
            addDropped(t, a.frames[j].offset, frameEnd(a, j, fileBytes));
            continue;
        }
        latest = time[j];
        t.frames.push_back(time[j]);
        t.end = time[j] + duration(j);
    }
    if (!t.frames.empty()) t.first = t.frames.front();
    return t;
}

std::vector<SampleRun> lpcmRuns(const StreamIndex& s, const TitleTimeline& timeline) {
    // A run begins at each time base's first time stamp and ends where the
    // next begins, or at the next clip's start: bytes in front of a clip's
    // first time stamp have no time and are left out.
    std::vector<SampleRun> runs;
    BaseCounter counter;
    Group current{UINT32_MAX, 0};
    for (const IndexedPacket& p : s.packets) {
        const Group here{p.clip, counter.next(p.clip, p.pts)};
        if (!runs.empty() && !(here != current)) continue;
        if (!runs.empty())
            runs.back().end = p.clip != current.clip && p.clip < s.clipStarts.size()
                                  ? std::min(s.clipStarts[p.clip], p.offset)
                                  : p.offset;
        runs.push_back({p.offset, s.bytes, timeline.titleTime(p.clip, here.base, p.pts)});
        current = here;
    }
    return runs;
}

std::vector<TitleTime> recordTimes(const StreamIndex& s, const TitleTimeline& timeline) {
    std::vector<TitleTime> times;
    BaseCounter counter;
    for (const IndexedPacket& p : s.packets)
        times.push_back(timeline.titleTime(p.clip, counter.next(p.clip, p.pts), p.pts));
    return times;
}

} // namespace tarnwick
