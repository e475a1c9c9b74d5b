#include "demux/demux_support.h"

#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "log/log_line.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

namespace tarnwick::testing {

namespace {

int subStreamHeaderSize(int s) {
    if ((s & 0xE0) == 0x20 || (s & 0xE0) == 0x60) return 1;
    if (s >= 0xA0 && s <= 0xA7) return 7;
    if (s >= 0xB0 && s <= 0xB7) return 5;
    return 4;
}

uint32_t readTimeStamp(const uint8_t* b) {
    const uint64_t ts = (uint64_t(b[0] >> 1) & 7) << 30 | uint64_t(b[1]) << 22 |
                        uint64_t(b[2] >> 1) << 15 | uint64_t(b[3]) << 7 | uint64_t(b[4] >> 1);
    return uint32_t(ts);
}

bool hasPesHeader(uint8_t id) {
    return (id >= 0xC0 && id <= 0xEF) || id == 0xBD || id == 0xFD;
}

void putLittleEndian(Bytes& out, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        out.push_back(uint8_t(value >> (8 * k)));
}

} // namespace

std::vector<PayloadRun> walkPackets(const Bytes& f, size_t start) {
    std::vector<PayloadRun> runs;
    size_t at = start;
    while (at + 6 <= f.size()) {
        if (f[at] != 0 || f[at + 1] != 0 || f[at + 2] != 1) {
            ADD_FAILURE() << "no start code at " << at;
            break;
        }
        const uint8_t id = f[at + 3];
        if (id == 0xBA) {
            at += 14 + (f[at + 13] & 7);
            continue;
        }
        const size_t end = at + 6 + (size_t(f[at + 4]) << 8 | f[at + 5]);
        if (hasPesHeader(id) && end <= f.size()) {
            PayloadRun run;
            run.streamId = id;
            if (f[at + 7] & 0x80) run.pts = readTimeStamp(&f[at + 9]);
            size_t payload = at + 9 + f[at + 8];
            if (id == 0xBD) {
                run.subStreamId = f[payload];
                payload += size_t(subStreamHeaderSize(run.subStreamId));
            }
            if (payload <= end) {
                run.offset = int64_t(payload);
                run.bytes.assign(f.begin() + long(payload), f.begin() + long(end));
                runs.push_back(std::move(run));
            }
        }
        at = end;
    }
    return runs;
}

Bytes streamBytes(const std::vector<PayloadRun>& runs, uint8_t streamId, int subStreamId,
                  int64_t from, int64_t to) {
    Bytes out;
    for (const PayloadRun& run : runs) {
        if (run.streamId != streamId || run.subStreamId != subStreamId) continue;
        const int64_t size = int64_t(run.bytes.size());
        const int64_t first = std::clamp<int64_t>(from - run.offset, 0, size);
        const int64_t last = std::clamp<int64_t>(to - run.offset, 0, size);
        if (first < last)
            out.insert(out.end(), run.bytes.begin() + long(first), run.bytes.begin() + long(last));
    }
    return out;
}

Bytes subpictureRecords(const std::vector<PayloadRun>& runs, int subStreamId, uint32_t origin) {
    Bytes out;
    for (const PayloadRun& run : runs) {
        if (run.streamId != 0xBD || run.subStreamId != subStreamId) continue;
        if (run.pts) {
            out.push_back('S');
            out.push_back('P');
            putLittleEndian(out, *run.pts - origin);
            putLittleEndian(out, 0);
        } else if (out.empty()) {
            continue; // the tail of a unit that started before the file
        }
        out.insert(out.end(), run.bytes.begin(), run.bytes.end());
    }
    return out;
}

Bytes fileBytes(const std::string& path) {
    Bytes out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        out.resize(size_t(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        out.resize(std::fread(out.data(), 1, out.size(), f));
        std::fclose(f);
    }
    return out;
}

std::vector<DemuxStream> foundStreams(const ScanReport& scan) {
    std::vector<DemuxStream> streams;
    for (int k = 0; k < UsedVideoSlots; ++k)
        if (const StreamReport& s = scan.video[size_t(k)]; s.found())
            streams.push_back({StreamKind::Video, k, s.caption});
    for (int k = 0; k < AudioSlots; ++k)
        if (const StreamReport& s = scan.audio[size_t(k)]; s.found())
            streams.push_back({StreamKind::Audio, k, s.caption});
    for (int k = 0; k < SubSlots; ++k)
        if (const StreamReport& s = scan.subpicture[size_t(k)]; s.found())
            streams.push_back({StreamKind::Subpicture, k, s.caption});
    return streams;
}

SelectionSet selectionOf(const std::vector<DemuxStream>& streams) {
    SelectionSet selection;
    for (const DemuxStream& s : streams)
        selection.select(s.kind, s.slot);
    return selection;
}

DemuxResult demuxStreams(CoreRun& core, const Title& title, const OutputNaming& output,
                         std::optional<std::vector<DemuxStream>> streams) {
    if (!streams) streams = foundStreams(title.scan);
    const SelectionSet selection = selectionOf(*streams);
    const DemuxRequest request{title, *streams, selection, output, true, {}, nullptr};
    RunContext run = core.context();
    return demuxTitle(request, run);
}

DemuxRun readAndDemux(CoreRun& core, const std::string& source, const std::string& folder) {
    DemuxRun result;
    result.scan = core.read(source);
    if (!result.scan.ok()) return result;
    OutputNaming output;
    output.folder = folder;
    result.demux = demuxStreams(core, result.scan.title, output);
    return result;
}

bool demuxOnly(TestSession& t, const std::string& folder) {
    t.window.options.eWorkdir = folder;
    return bDemuxClick(t.session);
}

bool containsLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const auto& l : lines)
        if (l == line) return true;
    return false;
}

bool hasLineStartingWith(const std::vector<std::string>& lines, const std::string& head) {
    for (const auto& l : lines)
        if (l.rfind(head, 0) == 0) return true;
    return false;
}

int runCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        size_t got;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            out.append(buffer.data(), got);
        ::pclose(pipe);
    }
    return out;
}

std::map<std::string, std::string> probe(const std::string& path, const std::string& inputFormat) {
    const std::string text = commandOutput(
        "ffprobe -v error " + inputFormat +
        " -select_streams 0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate,sample_rate,channels -of default=nw=1 '" +
        path + "'");
    std::map<std::string, std::string> fields;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (const size_t eq = line.find('='); eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        at = end + 1;
    }
    return fields;
}

ScratchMount::ScratchMount(const std::string& folder, const std::string& options, bool readOnly)
    : folder_(folder) {
    mounted_ = ::mount("tarnwick-test", folder.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0,
                       options.c_str()) == 0;
}

ScratchMount::~ScratchMount() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

StreamBox* boxWithCaption(WindowState& w, const std::string& caption) {
    for (auto& box : w.boxes.cbVideo)
        if (box.enabled && box.caption == caption) return &box;
    for (auto& box : w.boxes.cbAudio)
        if (box.enabled && box.caption == caption) return &box;
    for (auto& box : w.boxes.cbSub)
        if (box.enabled && box.caption == caption) return &box;
    return nullptr;
}

} // namespace tarnwick::testing
