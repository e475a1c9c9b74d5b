#include "support/ps_writer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace tarnwick::testing {

int PesHeader::headerDataLength() const {
    int length = 0;
    if (pts) length += dts ? 10 : 5;
    if (otherOptionalFields) length += 6 + 3 + 1 + 1 + 2 + 16 + 1 + 14 + 2;
    if (pstd || streamIdExtension || otherOptionalFields) {
        length += 1;
        if (pstd) length += 2;
        if (streamIdExtension) length += 2;
    }
    return length + stuffing;
}

void putTimeStamp(Bytes& out, uint8_t prefix, uint64_t ts) {
    out.push_back(uint8_t((prefix << 4) | ((ts >> 29) & 0x0E) | 1));
    out.push_back(uint8_t(ts >> 22));
    out.push_back(uint8_t(((ts >> 14) & 0xFE) | 1));
    out.push_back(uint8_t(ts >> 7));
    out.push_back(uint8_t(((ts << 1) & 0xFE) | 1));
}

Bytes pesPacket(uint8_t streamId, const PesHeader& h, const Bytes& payload) {
    Bytes out = {0x00, 0x00, 0x01, streamId, 0, 0};
    out.push_back(0x81); // '10' marker, original
    uint8_t flags2 = 0;
    if (h.pts) flags2 |= h.dts ? 0xC0 : 0x80;
    const bool extension = h.pstd || h.streamIdExtension || h.otherOptionalFields;
    if (extension) flags2 |= 0x01;
    if (h.otherOptionalFields) flags2 |= 0x3E;
    out.push_back(flags2);
    out.push_back(uint8_t(h.headerDataLength()));
    if (h.pts) {
        putTimeStamp(out, h.dts ? 3 : 2, *h.pts);
        if (h.dts) putTimeStamp(out, 1, *h.dts);
    }
    if (h.otherOptionalFields) {
        const Bytes fields = {0x44, 0x00, 0x04, 0x00, 0x04, 0x01, // ESCR
                              0x80, 0x00, 0x01,                   // ES rate
                              0x00,                               // DSM trick mode
                              0x80,                               // additional copy info
                              0x12, 0x34};                        // previous PES CRC
        out.insert(out.end(), fields.begin(), fields.end());
    }
    if (extension) {
        // private data, pack header, sequence counter flags; P-STD; reserved; extension 2
        out.push_back(uint8_t((h.otherOptionalFields ? 0xE0 : 0) | (h.pstd ? 0x10 : 0) | 0x0E |
                              (h.streamIdExtension ? 0x01 : 0)));
        if (h.otherOptionalFields) {
            const Bytes privateData = {0,    0,    1, 0xE0, 0, 0,    1, 0xBD,
                                       0x55, 0x55, 0, 0,    1, 0x09, 0, 0};
            out.insert(out.end(), privateData.begin(), privateData.end());
            const Bytes pack = packHeader(MuxRate::Dvd);
            out.push_back(uint8_t(pack.size()));
            out.insert(out.end(), pack.begin(), pack.end());
            out.push_back(0x85); // program packet sequence counter
            out.push_back(0x80);
        }
        if (h.pstd) {
            out.push_back(0x60); // '01', scale 1, size high bits
            out.push_back(0x40);
        }
        if (h.streamIdExtension) {
            out.push_back(0x81); // marker, extension field length 1
            out.push_back(*h.streamIdExtension & 0x7F);
        }
    }
    out.insert(out.end(), size_t(h.stuffing), 0xFF);
    out.insert(out.end(), payload.begin(), payload.end());
    const size_t length = out.size() - 6;
    if (length > 0xFFFF) throw std::logic_error("PES packet too long");
    out[4] = uint8_t(length >> 8);
    out[5] = uint8_t(length);
    return out;
}

Bytes paddingPacket(int size) {
    if (size < 6) throw std::logic_error("padding packet below 6 bytes");
    Bytes out = {0x00, 0x00, 0x01, 0xBE, uint8_t((size - 6) >> 8), uint8_t(size - 6)};
    out.insert(out.end(), size_t(size - 6), 0xFF);
    return out;
}

Bytes packHeader(MuxRate rate, uint64_t scr) {
    Bytes out = {0x00, 0x00, 0x01, 0xBA};
    out.push_back(uint8_t(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03)));
    out.push_back(uint8_t(scr >> 20));
    out.push_back(uint8_t(((scr >> 12) & 0xF8) | 0x04 | ((scr >> 13) & 0x03)));
    out.push_back(uint8_t(scr >> 5));
    out.push_back(uint8_t(((scr << 3) & 0xF8) | 0x04));
    out.push_back(0x01);
    if (rate == MuxRate::HdDvd) {
        out.insert(out.end(), {0x04, 0x9D, 0x43}); // 75600 x 50 bytes/s
    } else {
        out.insert(out.end(), {0x01, 0x89, 0xC3}); // 25200 x 50 bytes/s
    }
    out.push_back(0xF8); // reserved, no stuffing
    return out;
}

Bytes audioSubStreamHeader(uint8_t id) {
    return {id, 0x01, 0x00, 0x01};
}

Bytes lpcmSubStreamHeader(uint8_t id, uint8_t quantisation, uint8_t rateAndChannels) {
    return {id, 0x01, 0x00, 0x01, 0x00, quantisation, rateAndChannels};
}

Bytes trueHdSubStreamHeader(uint8_t id) {
    return {id, 0x01, 0x00, 0x01, 0x00};
}

int dsiOffset(MuxRate layout) {
    return layout == MuxRate::HdDvd ? 0x507 : 0x400;
}

namespace {

void putBigEndian(Bytes& out, size_t at, uint64_t value, int size) {
    for (int k = 0; k < size; ++k)
        out[at + k] = uint8_t(value >> (8 * (size - 1 - k)));
}

Bytes navigationPacket(uint8_t subStream, int size) {
    Bytes out(size_t(size), 0x00);
    out[2] = 0x01;
    out[3] = 0xBF;
    putBigEndian(out, 4, size - 6, 2);
    out[6] = subStream;
    return out;
}

} // namespace

Bytes navigationPack(const NavigationPackInfo& info) {
    Bytes pack = packHeader(info.layout);
    const bool evo = info.layout == MuxRate::HdDvd;
    // System header: rate bound, audio bound, video bound, two stream entries.
    const int systemLength = evo ? 12 : 18;
    Bytes system = {0x00, 0x00, 0x01, 0xBB, 0x00, uint8_t(systemLength), 0x80, 0x01, 0x01};
    system.push_back(uint8_t(info.audioBound << 2));
    system.push_back(uint8_t(0xE0 | (info.videoBound & 0x1F)));
    system.push_back(0x7F);
    while (int(system.size()) < 6 + systemLength)
        system.insert(system.end(), {0xB9, 0xE0, 0xE8});
    system.resize(size_t(6 + systemLength));
    pack.insert(pack.end(), system.begin(), system.end());

    const int dsiAt = dsiOffset(info.layout);
    int pciSize = dsiAt - int(pack.size());
    Bytes copyControl;
    if (evo && info.copyControl) {
        copyControl = navigationPacket(0x04, 0x80);
        copyControl[7 + 12] = info.encryption;
        copyControl[7 + 24] = info.validity;
        copyControl[7 + 26] = info.values;
        pciSize -= int(copyControl.size());
    }
    const Bytes pci = navigationPacket(0x00, pciSize);
    pack.insert(pack.end(), pci.begin(), pci.end());
    pack.insert(pack.end(), copyControl.begin(), copyControl.end());

    Bytes dsi = navigationPacket(0x01, PackSize - dsiAt);
    const size_t u = 7;
    putBigEndian(dsi, u + 24, info.vobNumber, 2);
    putBigEndian(dsi, u + 44, info.firstPtm, 4);
    putBigEndian(dsi, u + 48, info.lastPtm, 4);
    const size_t audioAt = u + (evo ? 530 : 402);
    const size_t subAt = u + (evo ? 546 : 418);
    for (size_t k = 0; k < info.audioEntries.size() && k < 8; ++k)
        putBigEndian(dsi, audioAt + 2 * k, info.audioEntries[k], 2);
    for (size_t k = 0; k < info.subpictureEntries.size() && k < 32; ++k)
        putBigEndian(dsi, subAt + 4 * k, info.subpictureEntries[k], 4);
    pack.insert(pack.end(), dsi.begin(), dsi.end());
    if (pack.size() != PackSize) throw std::logic_error("navigation pack size");
    return pack;
}

void PackWriter::pack(const Bytes& packets) {
    Bytes p = packHeader(rate_, scr_);
    scr_ += 300;
    p.insert(p.end(), packets.begin(), packets.end());
    const int left = PackSize - int(p.size());
    if (left < 0 || (left > 0 && left < 6)) throw std::logic_error("pack does not fit");
    if (left > 0) {
        const Bytes padding = paddingPacket(left);
        p.insert(p.end(), padding.begin(), padding.end());
    }
    out_.insert(out_.end(), p.begin(), p.end());
}

void PackWriter::navigation(const NavigationPackInfo& info) {
    NavigationPackInfo copy = info;
    copy.layout = rate_;
    raw(navigationPack(copy));
}

int PackWriter::payloadRoom(const PesHeader& header, int subHeaderSize) {
    return PackSize - PackHeaderSize - 9 - header.headerDataLength() - subHeaderSize;
}

void muxStreams(PackWriter& writer, std::vector<StreamSpec> streams, int navEvery,
                NavigationPackInfo nav) {
    std::vector<size_t> sent(streams.size(), 0);
    std::vector<int> packets(streams.size(), 0);
    std::vector<uint32_t> ptsCount(streams.size(), 0);
    int packs = 0;
    for (;;) {
        // The stream furthest behind in proportion goes next.
        int next = -1;
        double least = 2.0;
        for (size_t k = 0; k < streams.size(); ++k) {
            if (sent[k] >= streams[k].data.size()) continue;
            const double share = double(sent[k]) / double(streams[k].data.size());
            if (share < least) {
                least = share;
                next = int(k);
            }
        }
        if (next < 0) break;
        StreamSpec& s = streams[size_t(next)];
        const size_t at = sent[size_t(next)];
        const auto unit = std::find(s.unitStarts.begin(), s.unitStarts.end(), at);
        const bool unitStart = unit != s.unitStarts.end();
        PesHeader header;
        const int index = packets[size_t(next)]++;
        if (unitStart && !s.unitPts.empty()) {
            const size_t unitIndex = size_t(unit - s.unitStarts.begin());
            header.pts = s.unitPts[std::min(unitIndex, s.unitPts.size() - 1)];
        } else if (unitStart || (s.ptsEvery > 0 && index % s.ptsEvery == 0)) {
            header.pts = s.firstPts + ptsCount[size_t(next)]++ * s.ptsStep;
            if (s.withDts) header.dts = *header.pts - 3003;
        }
        header.streamIdExtension = s.streamIdExtension;
        int room = PackWriter::payloadRoom(header, int(s.subStreamHeader.size()));
        if (s.maxPayload > 0) room = std::min(room, s.maxPayload);
        size_t take = std::min<size_t>(s.data.size() - at, size_t(room));
        // A subpicture unit does not share a packet with the next unit.
        for (size_t start : s.unitStarts)
            if (start > at) take = std::min(take, start - at);
        const int full = PackWriter::payloadRoom(header, int(s.subStreamHeader.size()));
        const int left = full - int(take);
        if (left > 0 && left < 6) take -= size_t(6 - left);
        Bytes payload = s.subStreamHeader;
        payload.insert(payload.end(), s.data.begin() + long(at), s.data.begin() + long(at + take));
        sent[size_t(next)] += take;
        if (navEvery > 0 && packs % navEvery == 0) {
            writer.navigation(nav);
        }
        ++packs;
        writer.pack(pesPacket(s.streamId, header, payload));
    }
}

Bytes noiseWithoutStartCodes(size_t size, uint32_t seed) {
    Bytes out(size);
    uint32_t x = seed ? seed : 1;
    uint8_t previous = 0xFF;
    for (size_t k = 0; k < size; ++k) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        uint8_t b = uint8_t(x >> 24);
        if (b == 0 && previous == 0) b = 0x80; // never two zero bytes in a row
        out[k] = previous = b;
    }
    return out;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tarnwick::testing
