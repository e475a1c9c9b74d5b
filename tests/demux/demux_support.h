#pragma once
// Helpers of the demux tests: an independent walk over well-formed packs that
// tells which payload bytes each stream carries and where, the expected
// output files built from it, runs of Read EVO + Demux, external tools and
// scratch mounts.

#include "commands/demux_command.h"
#include "model/stream_selection.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// The payload of one PES packet after its sub-stream header.
struct PayloadRun {
    uint8_t streamId = 0;
    int subStreamId = -1; // private stream 1 only
    std::optional<uint32_t> pts;
    int64_t offset = 0; // file offset of bytes[0]
    Bytes bytes;
};

// Walks packs and packets from `start` to the end by their lengths. Private
// stream 1 payloads lose their sub-stream header (4 bytes; LPCM 7, TrueHD 5,
// subpicture 1).
std::vector<PayloadRun> walkPackets(const Bytes& file, size_t start = 0);

// The bytes that a stream contributes, optionally only those at file offsets
// in [from, to).
Bytes streamBytes(const std::vector<PayloadRun>& runs, uint8_t streamId, int subStreamId = -1,
                  int64_t from = 0, int64_t to = INT64_MAX);
// The subpicture file of a sub-stream: "SP" records with (PTS - origin) and 0;
// every packet with a PTS, 0 too, starts a record.
Bytes subpictureRecords(const std::vector<PayloadRun>& runs, int subStreamId, uint32_t origin);

// The whole file in one read (empty when it cannot be opened).
Bytes fileBytes(const std::string& path);

// Every stream a scan found, under the caption it gave, in slot order: what
// Read EVO offers to Demux.
std::vector<DemuxStream> foundStreams(const ScanReport& scan);
// A selection of exactly these streams.
SelectionSet selectionOf(const std::vector<DemuxStream>& streams);

// Demux of a scanned title's streams (every one it found when none are
// given) into `output.folder`.
DemuxResult demuxStreams(CoreRun& core, const Title& title, const OutputNaming& output,
                         std::optional<std::vector<DemuxStream>> streams = std::nullopt);

// Read EVO on a source and the parts after it, then Demux of every stream it
// found into `folder`.
struct DemuxRun {
    ScanResult scan;
    DemuxResult demux;
    bool readOk() const { return scan.ok(); }
    bool demuxOk() const { return demux.ok(); }
};
DemuxRun readAndDemux(CoreRun& core, const std::string& source, const std::string& folder);
// The window's Demux alone, keeping the boxes and the last scan as they are.
bool demuxOnly(TestSession& t, const std::string& folder);

bool containsLine(const std::vector<std::string>& lines, const std::string& line);
bool hasLineStartingWith(const std::vector<std::string>& lines, const std::string& head);

// Runs a shell command; returns its exit status (-1 when it did not exit).
int runCommand(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string commandOutput(const std::string& command);
// What ffprobe says of the first stream: codec_name, width, height,
// r_frame_rate, sample_rate, channels (those that apply).
std::map<std::string, std::string> probe(const std::string& path,
                                         const std::string& inputFormat = "");

// A tmpfs mounted on a folder for the life of the object; `mounted()` is
// false when the environment does not allow mounting.
class ScratchMount {
public:
    ScratchMount(const std::string& folder, const std::string& options, bool readOnly = false);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

// The box of the stream that a caption names, or nullptr.
StreamBox* boxWithCaption(WindowState& w, const std::string& caption);

} // namespace tarnwick::testing
