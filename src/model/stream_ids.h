#pragma once
// The identifiers of a program stream and the streams they name: one table
// for the parser, Rebuild's pack classification and renumbering, and the
// kind and codec names of the stream boxes and the report.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

// PES stream ids (the byte after 00 00 01) that are not elementary streams
// of their own.
namespace stream_id {
inline constexpr uint8_t PackHeader = 0xBA;
inline constexpr uint8_t SystemHeader = 0xBB;
inline constexpr uint8_t ProgramStreamMap = 0xBC;
inline constexpr uint8_t PrivateStream1 = 0xBD; // sub-streams: audio, subpictures
inline constexpr uint8_t Padding = 0xBE;
inline constexpr uint8_t PrivateStream2 = 0xBF;   // navigation packets
inline constexpr uint8_t ExtendedStreamId = 0xFD; // stream id extension names the stream
} // namespace stream_id

// The three places an identifier can stand in: a PES stream id, a
// private-stream-1 sub-stream id, an extended stream's stream id extension.
enum class IdSpace : uint8_t { StreamId = 0, SubStream = 1, Extension = 2 };

enum class StreamKind : uint8_t { Video, Audio, Subpicture };

enum class StreamCodec : uint8_t {
    MPEG2,
    H264,
    VC1,
    MpegAudio,
    DolbyDigital,
    DTS,
    LPCM,
    TrueHD,
    DolbyDigitalPlus,
    Subpicture,
    ExtendedSubpicture,
};

struct StreamIdRange {
    IdSpace space;
    uint8_t first, last;
    StreamKind kind;
    StreamCodec codec;
    // The slot is id & slotMask (the extension: id - first). A sub-stream
    // whose own slot is taken looks for a free one counting down from
    // collisionStart.
    uint8_t slotMask;
    uint8_t collisionStart;
    const char* foundName;   // the stream's name in its "found!" log line
    const char* captionName; // the box caption's kind name; empty: no box
    const char* codecName;   // the report's stable codec name
};

// HD DVD and DVD-Video assignments. MPEG audio has no slot of its own: its
// payload follows the latest private-stream-1 audio slot.
inline constexpr StreamIdRange StreamIdRanges[] = {
    // space               first last  kind                 codec
    {IdSpace::StreamId, 0xE0, 0xE1, StreamKind::Video, StreamCodec::MPEG2, 0x01, 0, "[b]MPEG-2[/b]",
     "MPEG-2.stream", "MPEG-2"},
    {IdSpace::StreamId, 0xE2, 0xE3, StreamKind::Video, StreamCodec::H264, 0x01, 0,
     "[b]H.264 (AVC)[/b]", "H.264.stream", "H.264"},
    {IdSpace::Extension, 0x55, 0x56, StreamKind::Video, StreamCodec::VC1, 0x00, 0, "[b]VC-1[/b]",
     "VC-1.stream", "VC-1"},
    {IdSpace::StreamId, 0xC0, 0xCF, StreamKind::Audio, StreamCodec::MpegAudio, 0x00, 0, "", "", ""},
    {IdSpace::SubStream, 0x80, 0x87, StreamKind::Audio, StreamCodec::DolbyDigital, 0x07, 15,
     "[b]Dolby Digital[/b]", "DD.stream", "AC-3"},
    {IdSpace::SubStream, 0x88, 0x8F, StreamKind::Audio, StreamCodec::DTS, 0x07, 14,
     "[b]DTS HD (DTS)[/b]", "DTSHD.stream", "DTS"},
    {IdSpace::SubStream, 0xA0, 0xA7, StreamKind::Audio, StreamCodec::LPCM, 0x0F, 13, "[b]LPCM[/b]",
     "LPCM.stream", "LPCM"},
    {IdSpace::SubStream, 0xB0, 0xB7, StreamKind::Audio, StreamCodec::TrueHD, 0x07, 12,
     "[b]Dolby TrueHD[/b]", "MLP.stream", "TrueHD"},
    {IdSpace::SubStream, 0xC0, 0xCF, StreamKind::Audio, StreamCodec::DolbyDigitalPlus, 0x0F, 11,
     "[b]Dolby Digital[/b] Plus", "DD+.stream", "E-AC-3"},
    {IdSpace::SubStream, 0x20, 0x3F, StreamKind::Subpicture, StreamCodec::Subpicture, 0x1F, 31,
     "[b]Subpicture[/b]", "Subpicture", "Subpicture"},
    {IdSpace::SubStream, 0x60, 0x7F, StreamKind::Subpicture, StreamCodec::ExtendedSubpicture, 0x1F,
     31, "[b]Extended subpicture[/b]", "Ext.Subpicture", "Extended subpicture"},
};

namespace detail {

// Per space, the index in StreamIdRanges of each identifier's range, or
// NoRange: one lookup per packet on the parser's path.
inline constexpr uint8_t NoRange = 0xFF;
using RangeIndex = std::array<std::array<uint8_t, 256>, 3>;

constexpr RangeIndex makeRangeIndex() {
    RangeIndex index{};
    for (auto& space : index)
        space.fill(NoRange);
    for (uint8_t k = 0; k < std::size(StreamIdRanges); ++k) {
        const StreamIdRange& r = StreamIdRanges[k];
        for (int id = r.first; id <= r.last; ++id)
            index[size_t(r.space)][size_t(id)] = k;
    }
    return index;
}

inline constexpr RangeIndex RangeIndexOf = makeRangeIndex();

} // namespace detail

// The range an identifier belongs to in its space; nullptr when it names no
// stream that the table knows.
constexpr const StreamIdRange* findStreamIdRange(IdSpace space, int id) {
    if (id < 0 || id > 0xFF) return nullptr;
    const uint8_t k = detail::RangeIndexOf[size_t(space)][size_t(id)];
    return k == detail::NoRange ? nullptr : &StreamIdRanges[k];
}

// The range of a stream held in a slot's identifier table: video slots hold
// a PES stream id or a stream id extension, audio and subpicture slots a
// sub-stream id.
constexpr const StreamIdRange* findSlotStream(StreamKind kind, int id) {
    const StreamIdRange* r = nullptr;
    if (kind == StreamKind::Video) {
        r = findStreamIdRange(IdSpace::StreamId, id);
        if (!r) r = findStreamIdRange(IdSpace::Extension, id);
    } else {
        r = findStreamIdRange(IdSpace::SubStream, id);
    }
    return r && r->kind == kind ? r : nullptr;
}

// The slot a stream of the range takes when it is free.
constexpr int ownSlot(const StreamIdRange& r, int id) {
    return r.space == IdSpace::Extension ? id - r.first : id & r.slotMask;
}

// Stream ids whose start code begins a packet that the parser reads: the
// elementary streams of the table and the ids above.
constexpr bool isParsedStreamId(uint8_t id) {
    return detail::RangeIndexOf[size_t(IdSpace::StreamId)][id] != detail::NoRange ||
           id == stream_id::ProgramStreamMap || id == stream_id::PrivateStream1 ||
           id == stream_id::Padding || id == stream_id::PrivateStream2 ||
           id == stream_id::ExtendedStreamId;
}

} // namespace tarnwick
