#pragma once
// Where the fields of the navigation packets (private stream 2) lie: read by
// the engine, patched by Rebuild. Offsets count from the first byte after
// the packet's sub-stream byte; multi-byte fields are big-endian.

#include <cstddef>

namespace tarnwick {

namespace copy_control {
inline constexpr int Encryption = 12; // encrypted when bit 7 or 6 is set
inline constexpr int Validity = 24;   // which of the values below are valid
inline constexpr int Values = 26;     // CGMS (3), APS (3), ICT (1), DOT (1)
inline constexpr int FieldsEnd = Values + 1;
} // namespace copy_control

// The data search information (DSI, sub-stream 1).
namespace dsi {
inline constexpr int VobNumber = 24;            // 2 bytes
inline constexpr int FirstVideoPtm = 44;        // 4 bytes, 90 kHz
inline constexpr int LastVideoPtm = 48;         // 4 bytes, 90 kHz
inline constexpr int AudioEntryCount = 8;       // 2 bytes each, 0: no stream
inline constexpr int SubpictureEntryCount = 32; // 4 bytes each, 0: no stream

// The synchronisation entries stand elsewhere in a DVD's DSI than in an
// HD DVD's.
struct EntryLayout {
    int audioEntries;
    int subpictureEntries;
    constexpr int fieldsEnd() const { return subpictureEntries + 4 * SubpictureEntryCount; }
};
inline constexpr EntryLayout DvdEntries{402, 418};
inline constexpr EntryLayout EvoEntries{530, 546};

// In an HD DVD navigation pack the DSI packet's start code stands at 0x507,
// so its fields count from 0x50E (after 00 00 01 BF, the length, sub-stream 1).
inline constexpr size_t EvoPackFields = 0x50E;
} // namespace dsi

} // namespace tarnwick
