#pragma once
// The state of one engine call: the byte-driven pack and PES parser.

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

enum class VideoCodec : uint8_t { MPEG2, H264, VC1 };
enum class AudioKind : uint8_t { DolbyDigital, DolbyDigitalPlus, DTS, LPCM, TrueHD };

struct NavigationState {
    bool subStreamBytePending = false;
    bool copyControlPending = false;
    bool dsiPending = false;
    bool firstCopyControl = true;
    bool firstDsi = true;
    uint8_t videoCount = 0; // from the system header of the first pack
    uint8_t audioCount = 0;
    uint8_t subCount = 0;
};

struct ParserState {
    uint32_t window = 0; // the last four bytes, the newest in the low byte
    int i = 0;           // index of the current byte in the chunk
    int n = 0;           // bytes in the chunk

    PayloadKind kind = PayloadKind::None;
    VideoCodec videoCodec = VideoCodec::MPEG2;
    int lengthStage = 0;
    int32_t remaining = 0;
    bool inPayload = false;
    int32_t skipLength = 0;

    // The PES header: its flags, then its header data gathered byte by byte
    // (a header may straddle two chunks) and walked once complete.
    uint8_t streamId = 0;
    int headerBytes = 0;
    uint8_t headerDataLeft = 0;
    uint8_t flags2 = 0;
    uint8_t headerDataLength = 0;
    uint8_t headerData[255] = {};

    // Private-stream-1 sub-stream header countdowns.
    int subStreamHeaderLeft = 0;
    int lpcmExtraLeft = 0;
    int trueHdExtraLeft = 0;

    uint32_t currentPts = 0;
    uint32_t videoPts = 0;
    uint32_t audioFirstPts = 0;
    uint32_t subFirstPts = 0;

    int32_t videoSlot = -1;
    int32_t audioSlot = -1;
    int32_t subSlot = -1;
    int32_t videoId = 0;
    AudioKind audioKind = AudioKind::DolbyDigital;
    int32_t audioSubId = 0;
    int32_t subSubId = 0;

    NavigationState nav;
    double startTime = 0; // days

    // From the source's upper-cased extension.
    bool isAob = false;
    bool isVob = false;
};

} // namespace tarnwick
