#pragma once
// Most-significant-bit-first reader over the chunk buffer with a 32-bit
// window refilled one byte at a time, and the Exp-Golomb codes of H.264.
//
// The reader never leaves the valid bytes it was given: every byte outside
// them (before the buffer, past the chunk's valid data) reads as zero, so a
// header search that runs off the payload sees zero bits instead of the
// neighbouring memory.

#include <cstdint>

namespace tarnwick {

class BitReader {
public:
    BitReader(const uint8_t* bytes, int validLength);

    // The byte at an index, zero outside the valid data.
    uint8_t byteAt(int64_t index) const {
        return index >= 0 && index < validLength_ ? bytes_[index] : 0;
    }

    // Four bytes at `position`, first byte most significant; position += 4.
    void LoadWord();
    // Consumes n bits, 0 <= n <= 32.
    void SkipBits(int n);
    // The next n bits, 1 <= n <= 32, first bit most significant.
    uint32_t ReadBits(int n);
    // Unsigned Exp-Golomb code. A run of 32 or more zero bits is no valid
    // code: the read stops after 32 zero bits and returns InvalidCode.
    uint32_t ReadUE();
    // Signed Exp-Golomb code (0, 1, -1, 2, -2, ...).
    int64_t ReadSE();

    static constexpr uint32_t InvalidCode = 0xFFFFFFFF;

    int position = 0;    // next byte to load into the window
    uint32_t window = 0; // its top bit is the next unread bit
    int pending = 0;     // bits consumed since the last byte load, 0..7

private:
    void loadByte();

    const uint8_t* bytes_;
    int validLength_;
};

// The big-endian 32-bit word at an index, read with LoadWord.
uint32_t wordAt(BitReader& reader, int index);

} // namespace tarnwick
