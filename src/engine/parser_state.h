#pragma once
// The state of the byte-driven pack and PES parser while it reads one clip,
// and the slots that last over all the clips of a title.

#include "model/stream_ids.h"
#include "model/stream_slots.h"

#include <array>
#include <cstdint>

namespace tarnwick {

// What a payload piece of the current packet is.
enum class PayloadKind : uint8_t {
    None,
    Video,
    Audio,
    MpegAudio,
    Subpicture,
    Ignore,
    Skip,          // program stream map, padding
    PrivateHeader, // private stream 1: its sub-stream header follows the PES header
    Navigation,    // private stream 2
};

// Where the parser stands in the current packet; `ParserState::left`
// counts the bytes still to read in the countdown stages.
enum class ParseStage : uint8_t {
    Search,              // between packets: a byte only shifts the window
    PacketLength,        // the two bytes of the packet length
    HeaderFlags,         // PES flags 1 and 2, then the header data length
    HeaderData,          // the PES header data, gathered byte by byte
    SubStreamHeader,     // private stream 1: sub-stream id and three more bytes
    LpcmHeader,          // the three bytes after an LPCM sub-stream header
    TrueHdHeader,        // the byte after a TrueHD sub-stream header
    Payload,             // payload pieces of kind `kind`
    Skip,                // the rest of the packet is jumped over at the next byte
    NavigationSubStream, // the sub-stream byte of a private-stream-2 packet
    CopyControl,         // the first byte after it of a copy-control packet to decode
    Dsi,                 // the first byte after it of a DSI to decode
};

// The sub-stream id each audio and subpicture slot was given over all the
// clips of a title: a stream keeps its slot, and so its output file, in every
// clip whatever the order in which its streams are met there.
struct TitleSlots {
    TitleSlots() {
        audio.fill(-1);
        subpicture.fill(-1);
    }
    std::array<int32_t, AudioSlots> audio;
    std::array<int32_t, SubSlots> subpicture;
};

struct NavigationState {
    bool firstCopyControl = true;
    bool firstDsi = true;
    uint8_t videoCount = 0; // from the system header of the first pack
    uint8_t audioCount = 0;
    uint8_t subCount = 0;
};

struct ParserState {
    ParserState() {
        videoIds.fill(-1);
        audioIds.fill(-1);
        subIds.fill(-1);
    }

    uint32_t window = 0; // the last four bytes, the newest in the low byte
    int i = 0;           // index of the current byte in the chunk
    int n = 0;           // bytes in the chunk
    int64_t chunkStart = 0; // the chunk's position in the clip

    ParseStage stage = ParseStage::Search;
    int left = 0;          // bytes still to read in the stage's countdown
    int32_t remaining = 0; // bytes of the current packet not yet consumed
    PayloadKind kind = PayloadKind::None;
    StreamCodec videoCodec = StreamCodec::MPEG2; // of the latest video start code

    // The PES header: its flags, then its header data gathered byte by byte
    // (a header may straddle two chunks) and walked once complete.
    uint8_t streamId = 0;
    uint8_t flags2 = 0;
    uint8_t headerDataLength = 0;
    uint8_t headerData[255] = {};

    // The current packet's own time stamps, handed out with its first piece.
    bool packetHasPts = false;
    bool packetHasDts = false;
    uint64_t packetPts = 0;
    uint64_t packetDts = 0;
    bool firstPieceOfPacket = false;

    // The times the streams are reported with: the latest PTS (cleared after
    // an audio or subpicture sub-stream header), the video's latest
    // presentation time, and each stream's time when it was met.
    uint32_t currentPts = 0;
    uint32_t videoPts = 0;
    uint32_t audioFirstPts = 0;
    uint32_t subFirstPts = 0;

    int32_t videoSlot = -1;
    int32_t audioSlot = -1;
    int32_t subSlot = -1;
    int32_t videoId = 0;
    StreamCodec audioCodec = StreamCodec::DolbyDigital;
    int32_t audioSubId = 0;
    int32_t subSubId = 0;

    // The stream each slot was given in this clip; -1: none. A slot's payload
    // is handed out only for that stream, so that another stream that maps to
    // the same slot is never mixed into its file.
    std::array<int32_t, 16> videoIds;
    std::array<int32_t, AudioSlots> audioIds;
    std::array<int32_t, SubSlots> subIds;

    NavigationState nav;
    double startTime = 0; // days

    // From the source's upper-cased extension.
    bool isAob = false;
    bool isVob = false;
};

} // namespace tarnwick
