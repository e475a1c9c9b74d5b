// Writes program streams for the benchmarks and the bundled sample.
//
//   tarnwick-make-stream synth OUTPUT SIZE_MIB [--vob]
//       a video-heavy EVO-style stream (or a DVD-style VOB): navigation packs,
//       MPEG-2 video with a picture start code every 40 KB, two Dolby Digital
//       streams and a subpicture stream.
//   tarnwick-make-stream mux OUTPUT [--part K/N] [--nav-every PACKS] STREAM...
//       muxes elementary streams into an EVO; STREAM is KIND:ID:FILE with KIND
//       h264, mpeg2, ac3, eac3 or sup (subpicture records "SP" + time + 0 +
//       unit), ID the stream id (video) or sub-stream id (hexadecimal).
//       With --part, only the K-th of N parts of each stream, cut at sync
//       points, as a feature split over two files.

#include "support/ps_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace tarnwick::testing;

namespace {

int usage() {
    std::fputs("usage: tarnwick-make-stream synth OUTPUT SIZE_MIB [--vob]\n"
               "       tarnwick-make-stream mux OUTPUT [--part K/N] [--nav-every PACKS] "
               "KIND:ID:FILE...\n",
               stderr);
    return 2;
}

int synth(const std::string& output, long sizeMib, bool vob) {
    const MuxRate rate = vob ? MuxRate::Dvd : MuxRate::HdDvd;
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::perror(output.c_str());
        return 1;
    }
    Bytes noise = noiseWithoutStartCodes(4 << 20, 12345);
    // A picture start code every 40 KB of video, as a coded picture would have.
    for (size_t at = 0; at + 4 < noise.size(); at += 40000) {
        noise[at] = 0x00;
        noise[at + 1] = 0x00;
        noise[at + 2] = 0x01;
        noise[at + 3] = 0x00;
    }
    const int64_t target = int64_t(sizeMib) << 20;
    int64_t written = 0;
    size_t cursor = 0;
    uint32_t pts = 90000;
    uint32_t vobu = 0;
    PackWriter writer(rate);
    auto take = [&](int count) {
        if (cursor + size_t(count) > noise.size()) cursor = 0;
        Bytes piece(noise.begin() + long(cursor), noise.begin() + long(cursor) + count);
        cursor += size_t(count);
        return piece;
    };
    while (written < target) {
        NavigationPackInfo nav;
        nav.layout = rate;
        nav.audioBound = 2;
        nav.vobNumber = uint16_t(1 + vobu / 1000);
        nav.firstPtm = 90000;
        nav.lastPtm = 90000 + 90000 * 3600;
        nav.audioEntries = {1, 1};
        nav.subpictureEntries = {1};
        writer.navigation(nav);
        for (int k = 0; k < 240; ++k) {
            PesHeader header;
            if (k % 20 == 0) {
                header.pts = pts;
                header.dts = pts - 3003;
                pts += 3003;
            }
            if (k % 30 == 7 || k % 30 == 22) {
                const uint8_t id = k % 30 == 7 ? 0x80 : 0x81;
                Bytes payload = audioSubStreamHeader(id);
                const Bytes body = take(PackWriter::payloadRoom(header, 4));
                payload.insert(payload.end(), body.begin(), body.end());
                writer.pack(pesPacket(0xBD, header, payload));
            } else if (k == 100) {
                Bytes payload = {0x20};
                const Bytes body = take(PackWriter::payloadRoom(header, 1));
                payload.insert(payload.end(), body.begin(), body.end());
                writer.pack(pesPacket(0xBD, header, payload));
            } else {
                writer.pack(pesPacket(0xE0, header, take(PackWriter::payloadRoom(header, 0))));
            }
        }
        ++vobu;
        Bytes& bytes = writer.bytes();
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        written += int64_t(bytes.size());
        bytes.clear();
    }
    return out ? 0 : 1;
}

bool startCodeAt(const Bytes& d, size_t at) {
    return at + 4 <= d.size() && d[at] == 0 && d[at + 1] == 0 && d[at + 2] == 1;
}

// Where a stream may be cut: the start of an access unit or a sync frame. An
// H.264 stream is cut, as a disc's feature is, at an IDR picture's access unit
// that repeats the sequence and picture parameter sets, so that the next part
// can be decoded, and described, from its first bytes.
bool syncAt(const Bytes& d, size_t at, const std::string& kind) {
    if (at + 5 > d.size()) return false;
    if (kind == "h264") {
        if (!startCodeAt(d, at) || d[at + 3] != 0x09) return false;
        size_t next = at + 4; // the access unit delimiter's next NAL unit
        while (next < d.size() && !startCodeAt(d, next))
            ++next;
        return next < d.size() && (d[next + 3] & 0x1F) == 7;
    }
    if (kind == "mpeg2")
        return d[at] == 0 && d[at + 1] == 0 && d[at + 2] == 1 && (d[at + 3] == 0xB3);
    if (kind == "ac3" || kind == "eac3") return d[at] == 0x0B && d[at + 1] == 0x77;
    return false;
}

// The cut point nearest the stream's share k/n: after it for audio, either
// side for H.264, whose IDR pictures lie far apart.
size_t cutPoint(const Bytes& d, const std::string& kind, int k, int n) {
    if (k >= n) return d.size();
    const size_t share = d.size() * size_t(k) / size_t(n);
    size_t at = share;
    while (at < d.size() && !syncAt(d, at, kind))
        ++at;
    if (kind != "h264") return at;
    size_t before = share;
    while (before > 0 && !syncAt(d, before, kind))
        --before;
    return before > 0 && share - before < at - share ? before : at;
}

struct SubpictureUnits {
    Bytes data;
    std::vector<size_t> starts;
    std::vector<uint32_t> pts;
};

SubpictureUnits readRecords(const Bytes& file) {
    SubpictureUnits units;
    size_t at = 0;
    while (at + 10 <= file.size() && file[at] == 'S' && file[at + 1] == 'P') {
        const uint32_t time = uint32_t(file[at + 2]) | uint32_t(file[at + 3]) << 8 |
                              uint32_t(file[at + 4]) << 16 | uint32_t(file[at + 5]) << 24;
        size_t next = at + 10;
        while (next + 1 < file.size() && !(file[next] == 'S' && file[next + 1] == 'P'))
            ++next;
        if (next + 1 >= file.size()) next = file.size();
        units.starts.push_back(units.data.size());
        units.pts.push_back(time);
        units.data.insert(units.data.end(), file.begin() + long(at + 10),
                          file.begin() + long(next));
        at = next;
    }
    return units;
}

int mux(const std::string& output, const std::vector<std::string>& args) {
    int part = 1, parts = 1, navEvery = 64;
    std::vector<StreamSpec> streams;
    uint32_t firstVideoPts = 0, lastVideoPts = 0;
    for (size_t a = 0; a < args.size(); ++a) {
        if (args[a] == "--part" && a + 1 < args.size()) {
            std::sscanf(args[++a].c_str(), "%d/%d", &part, &parts);
            continue;
        }
        if (args[a] == "--nav-every" && a + 1 < args.size()) {
            navEvery = std::atoi(args[++a].c_str());
            continue;
        }
        const size_t c1 = args[a].find(':');
        const size_t c2 = args[a].find(':', c1 + 1);
        if (c1 == std::string::npos || c2 == std::string::npos) return usage();
        const std::string kind = args[a].substr(0, c1);
        const uint8_t id =
            uint8_t(std::strtoul(args[a].substr(c1 + 1, c2 - c1 - 1).c_str(), nullptr, 16));
        const Bytes file = readFile(args[a].substr(c2 + 1));
        StreamSpec s;
        // A 25 fps timeline: the stream's share of the whole gives its time.
        const double seconds = 4.0;
        if (kind == "sup") {
            SubpictureUnits units = readRecords(file);
            const size_t first = units.starts.size() * size_t(part - 1) / size_t(parts);
            const size_t last = units.starts.size() * size_t(part) / size_t(parts);
            if (first >= last) continue;
            const size_t from = units.starts[first];
            const size_t to = last < units.starts.size() ? units.starts[last] : units.data.size();
            s.streamId = 0xBD;
            s.subStreamHeader = {id};
            s.data.assign(units.data.begin() + long(from), units.data.begin() + long(to));
            for (size_t u = first; u < last; ++u) {
                s.unitStarts.push_back(units.starts[u] - from);
                s.unitPts.push_back(90000 + units.pts[u]);
            }
            s.ptsEvery = 0;
        } else {
            const size_t from = cutPoint(file, kind, part - 1, parts);
            const size_t to = cutPoint(file, kind, part, parts);
            s.data.assign(file.begin() + long(from), file.begin() + long(to));
            const double start = seconds * double(from) / double(file.size());
            const double length = seconds * double(to - from) / double(file.size());
            const int packets = int(s.data.size() / 2000) + 1;
            s.firstPts = 90000 + uint32_t(start * 90000);
            if (kind == "h264" || kind == "mpeg2") {
                s.streamId = id;
                s.ptsEvery = 8;
                s.ptsStep = uint32_t(length * 90000 / (packets / 8 + 1));
                s.withDts = true;
                firstVideoPts = s.firstPts;
                lastVideoPts = s.firstPts + uint32_t(length * 90000);
            } else {
                s.streamId = 0xBD;
                s.subStreamHeader = audioSubStreamHeader(id);
                s.ptsEvery = 2;
                s.ptsStep = uint32_t(length * 90000 / (packets / 2 + 1));
            }
        }
        streams.push_back(std::move(s));
    }
    NavigationPackInfo nav;
    nav.layout = MuxRate::HdDvd;
    nav.videoBound = 1;
    nav.audioBound = 0;
    nav.firstPtm = firstVideoPts;
    nav.lastPtm = lastVideoPts;
    for (const StreamSpec& s : streams) {
        if (s.streamId != 0xBD) continue;
        if (s.subStreamHeader.size() == 4) {
            ++nav.audioBound;
            nav.audioEntries.push_back(0x8000);
        } else {
            nav.subpictureEntries.push_back(0x80000000);
        }
    }
    PackWriter writer(MuxRate::HdDvd);
    muxStreams(writer, streams, navEvery, nav);
    writeFile(output, writer.bytes());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    try {
        if (mode == "synth" && argc >= 4)
            return synth(argv[2], std::atol(argv[3]),
                         argc > 4 && std::strcmp(argv[4], "--vob") == 0);
        if (mode == "mux") return mux(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-make-stream: %s\n", e.what());
        return 1;
    }
    return usage();
}
