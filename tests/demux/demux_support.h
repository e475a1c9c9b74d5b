#pragma once
// Helpers of the demux tests: an independent walk over well-formed packs that
// tells which payload bytes each stream carries and where, the expected
// output files built from it, runs of Read EVO + Demux, external tools and
// scratch mounts.

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
// The subpicture file of a sub-stream: "SP" records with (PTS - origin) and 0.
Bytes subpictureRecords(const std::vector<PayloadRun>& runs, int subStreamId, uint32_t origin);

// The whole file in one read (empty when it cannot be opened).
Bytes fileBytes(const std::string& path);

// Read EVO, then Demux into `folder` (the options otherwise as set).
struct DemuxRun {
    bool readOk = false;
    bool demuxOk = false;
};
DemuxRun readAndDemux(TestSession& t, const std::string& source, const std::string& folder);
// Demux alone, keeping the boxes and MinFirstPts as they are.
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
