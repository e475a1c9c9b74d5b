#pragma once
// The engine state that lives between engine calls and is shared with the
// commands, the playlist reader and the analysers.

#include "engine/files.h"
#include "engine/parser_state.h"
#include "engine/scan_report.h"
#include "log/time_format.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

constexpr int ChunkSize = 262144;
// Zero bytes after the chunk: analysers that read a little past the valid
// data see zeros instead of leaving the buffer.
constexpr int ChunkSlack = 4096;

// A frame-counting window that no frame marker (00 00 01 marker) can
// complete before three new bytes have shifted in.
constexpr uint32_t NoFrameWindow = 0xFFFFFFFFu;

struct StreamTable {
    StreamTable();

    // Input and chunk buffer.
    std::unique_ptr<SourceFile> InputFile;
    std::vector<uint8_t> ChunkBuffer;
    int ChunkLength = 0; // valid bytes of the chunk being parsed

    // Stream identity per slot; -1 = no stream in that slot.
    std::array<int32_t, 16> VideoIds{};
    std::array<int32_t, AudioSlots> AudioIds{};
    std::array<int32_t, SubSlots> SubIds{};
    // The sub-stream id each slot was given over the whole feature (both
    // files): a stream keeps its slot, and so its output file, in the second
    // file whatever the order in which its streams are met there.
    std::array<int32_t, AudioSlots> FeatureAudioIds{};
    std::array<int32_t, SubSlots> FeatureSubIds{};

    // Frame counting of video slots 0 and 1.
    std::array<int32_t, 2> FrameCount{};
    // The last four bytes of each counted video stream, newest in the low
    // byte, carried across pieces, chunks and the files of a feature; it
    // starts as a value no frame marker can complete.
    std::array<uint32_t, 2> FrameWindow{};
    std::array<double, 2> FrameRate{};

    // Timing, 90 kHz values with the 33rd bit dropped.
    uint32_t FirstVideoPtm = 0;
    uint32_t LastVideoPtm = 0;
    uint32_t MinFirstPts = 0;
    double TotalSeconds = 0;
    double FileDuration = 0; // days
    TimeFormat TimeFormatSettings;

    // What the scans of the last Read EVO learnt, as data.
    ScanReport Report;
};

} // namespace tarnwick
