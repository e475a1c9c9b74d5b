#pragma once
// What a scan learns, as data: per clip its files and navigation data, per
// stream slot its identity, its time stamps in each clip and the analyser's
// fields. The log lines tell the same; the JSON report, Demux, Rebuild and
// the Matroska step read this.

#include "model/field.h"
#include "model/stream_slots.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// The first copy-control packet of a clip.
struct CopyControlReport {
    bool encrypted = false;
    std::string generation;       // "Copy Never" ...; empty when not signalled
    std::string analogProtection; // "APS2 is ON" ...; empty when not signalled
    bool ict = false;             // constrained analog output
    bool dot = false;             // no analog output
    uint8_t validity = 0;         // the packet's validity and value bytes as read
    uint8_t values = 0;
};

// The first data search information of a clip.
struct DsiReport {
    uint32_t vobNumber = 0;
    int videoCount = 0;
    int audioCount = 0;
    int subpictureCount = 0;
    uint32_t firstVideoPtm = 0;
    uint32_t lastVideoPtm = 0;
    double durationSeconds = 0;
};

struct ClipReport {
    std::string path; // the clip's first file
    int64_t size = 0; // all its files
    std::optional<DsiReport> dsi;
    std::optional<CopyControlReport> copyControl;
    bool complete = false; // read to its end (no fast check, no Cancel)
};

struct StreamReport {
    int32_t id = -1;     // the stream id, stream id extension or sub-stream id; -1: none
    std::string caption; // the stream's caption: kind name and slot
    // Per clip (index as in the report's clips), nothing where the clip did
    // not hold the stream: the time stamp its first payload was reported
    // with, and the first and last PES time stamps of its packets (90 kHz,
    // the 33rd bit dropped).
    std::vector<std::optional<uint32_t>> firstPts;
    std::vector<std::optional<uint32_t>> firstPesPts;
    std::vector<std::optional<uint32_t>> lastPesPts;
    std::vector<Field> details; // the analyser's fields, from the first clip that held the stream
    // Video slots 0 and 1: frames counted (nothing when not counted) and
    // worked out from the playing time and frame rate (nothing without a rate).
    std::optional<int64_t> countedFrames;
    std::optional<int64_t> calculatedFrames;

    bool found() const { return id >= 0; }
};

struct ScanReport {
    bool audioObject = false; // the source is a DVD-Audio AOB
    std::vector<ClipReport> clips;
    std::array<StreamReport, VideoSlots> video;
    std::array<StreamReport, AudioSlots> audio;
    std::array<StreamReport, SubSlots> subpicture;
    // The earliest first time stamp of the audio and video streams: the time
    // origin of demuxed subpicture records.
    uint32_t minFirstPts = 0xFFFFFFFF;
    // The frame rates of video slots 0 and 1 as their logged descriptions
    // gave them: the frame summary works with these.
    std::array<double, UsedVideoSlots> frameRates{};

    const StreamReport& stream(StreamKind kind, int slot) const;
    StreamReport& stream(StreamKind kind, int slot);
    bool anyStream() const;
};

// What the frame summary at the end of Read EVO and Demux tells: frames
// counted and the rate and playing time they are worked out from.
struct FrameSummary {
    std::array<int64_t, UsedVideoSlots> counted{};
    std::array<double, UsedVideoSlots> rate{};
    double totalSeconds = 0;
};

} // namespace tarnwick
