#pragma once
// Builds program streams in code: packs, PES packets with PTS/DTS and
// extensions, private-stream-1 sub-streams, padding and navigation packs of
// the EVO and DVD layouts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

using Bytes = std::vector<uint8_t>;

constexpr int PackSize = 2048;
constexpr int PackHeaderSize = 14;

enum class MuxRate { HdDvd, Dvd };

struct PesHeader {
    std::optional<uint64_t> pts;              // 33 bits
    std::optional<uint64_t> dts;              // written only together with a PTS
    bool pstd = false;                        // P-STD buffer field in the PES extension
    std::optional<uint8_t> streamIdExtension; // extension field 2 (VC-1: 0x55, 0x56)
    int stuffing = 0;                         // 0xFF bytes at the end of the header data
    // ESCR, ES rate, DSM trick mode, additional copy info and previous PES
    // CRC, and in the PES extension private data (holding a start code), a
    // pack header field and a program packet sequence counter.
    bool otherOptionalFields = false;

    int headerDataLength() const;
};

// One PES packet: start code, stream id, length, flags, header data, payload.
Bytes pesPacket(uint8_t streamId, const PesHeader& header, const Bytes& payload);
// A padding packet of exactly `size` bytes (at least 6).
Bytes paddingPacket(int size);
// 14-byte pack header.
Bytes packHeader(MuxRate rate, uint64_t scr = 0);
// 5 bytes of a time stamp with the given 4-bit prefix (2: PTS only, 3: PTS of
// PTS+DTS, 1: DTS).
void putTimeStamp(Bytes& out, uint8_t prefix, uint64_t ts);

// Sub-stream headers of private stream 1.
Bytes audioSubStreamHeader(uint8_t subStreamId); // 4 bytes
Bytes lpcmSubStreamHeader(uint8_t subStreamId, uint8_t quantisation = 0x00,
                          uint8_t rateAndChannels = 0x01); // 7 bytes
Bytes trueHdSubStreamHeader(uint8_t subStreamId);          // 5 bytes

struct NavigationPackInfo {
    MuxRate layout = MuxRate::HdDvd; // EVO or DVD layout of the DSI
    uint8_t videoBound = 1;
    uint8_t audioBound = 1;
    uint16_t vobNumber = 1;
    uint32_t firstPtm = 0;
    uint32_t lastPtm = 0;
    std::vector<uint16_t> audioEntries;      // up to 8 nonzero entries
    std::vector<uint32_t> subpictureEntries; // up to 32
    bool copyControl = false;                // EVO: a copy-control packet
    uint8_t encryption = 0;                  // copy-control byte 12
    uint8_t validity = 0;                    // copy-control byte 24
    uint8_t values = 0;                      // copy-control byte 26
};

// Offsets of the DSI's fields in a navigation pack.
int dsiOffset(MuxRate layout); // the DSI packet's start code
inline int dsiFieldsOffset(MuxRate layout) {
    return dsiOffset(layout) + 7;
}

// A whole navigation pack (system header, PCI, copy control, DSI).
Bytes navigationPack(const NavigationPackInfo& info);

// Appends packs to a byte vector.
class PackWriter {
public:
    explicit PackWriter(MuxRate rate = MuxRate::HdDvd) : rate_(rate) {}

    // One pack holding `packets`, padded to 2048 bytes with a padding packet.
    void pack(const Bytes& packets);
    void navigation(const NavigationPackInfo& info);
    void raw(const Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

    // The payload room of one pack for a packet with this header and
    // sub-stream header size.
    static int payloadRoom(const PesHeader& header, int subHeaderSize);

    MuxRate rate() const { return rate_; }
    const Bytes& bytes() const { return out_; }
    Bytes& bytes() { return out_; }

private:
    MuxRate rate_;
    Bytes out_;
    uint64_t scr_ = 0;
};

// An elementary stream to be cut into PES packets, one per pack.
struct StreamSpec {
    uint8_t streamId = 0xE0;
    int subStreamId = -1;  // private stream 1: the sub-stream id
    Bytes subStreamHeader; // bytes in front of each payload (from the helpers above)
    std::optional<uint8_t> streamIdExtension; // VC-1
    Bytes data;
    uint32_t firstPts = 90000;
    uint32_t ptsStep = 3003; // added per packet that carries a PTS
    int ptsEvery = 1;        // a PTS on every n-th packet (0: only on unit starts)
    bool withDts = false;
    // Subpicture units: offsets in `data` where a unit starts; such a packet
    // carries a PTS and the unit is not shared with the previous packet.
    std::vector<size_t> unitStarts;
    std::vector<uint32_t> unitPts; // when given: the PTS of each unit, in order
    int maxPayload = 0;            // 0: fill the pack
};

// Interleaves the streams packet by packet (weighted by their sizes), with a
// navigation pack in front of every `navEvery` packs (0: none).
void muxStreams(PackWriter& writer, std::vector<StreamSpec> streams, int navEvery = 0,
                NavigationPackInfo nav = {});

// Deterministic pseudo-random bytes that hold no 00 00 01 start code prefix.
Bytes noiseWithoutStartCodes(size_t size, uint32_t seed);

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

} // namespace tarnwick::testing
