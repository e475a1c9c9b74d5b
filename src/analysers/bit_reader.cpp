#include "analysers/bit_reader.h"

#include <algorithm>

namespace tarnwick {

BitReader::BitReader(const uint8_t* bytes, int validLength)
    : bytes_(bytes), validLength_(std::max(validLength, 0)) {}

void BitReader::loadByte() {
    window |= byteAt(position);
    ++position;
    pending = 0;
}

void BitReader::LoadWord() {
    pending = 0;
    window = 0;
    for (int k = 0; k < 4; ++k)
        window = (window << 8) | byteAt(int64_t(position) + k);
    position += 4;
}

void BitReader::SkipBits(int n) {
    if (n <= 0) return;
    if (pending > 0 && n > 8 - pending) {
        window <<= 8 - pending;
        n -= 8 - pending;
        loadByte();
    }
    while (pending == 0 && n > 8) {
        window <<= 8;
        loadByte();
        n -= 8;
    }
    window <<= n;
    pending += n;
    if (pending == 8) loadByte();
}

uint32_t BitReader::ReadBits(int n) {
    if (n <= 0) return 0;
    // The window holds at least 25 unread bits; longer reads take two steps.
    if (n > 24) {
        const uint32_t high = ReadBits(n - 16);
        return (high << 16) | ReadBits(16);
    }
    const uint32_t value = window >> (32 - n);
    SkipBits(n);
    return value;
}

uint32_t BitReader::ReadUE() {
    int zeros = 0;
    while (ReadBits(1) == 0)
        if (++zeros == 32) return InvalidCode;
    if (zeros == 0) return 0;
    return ReadBits(zeros) + ((uint32_t(1) << zeros) - 1);
}

int64_t BitReader::ReadSE() {
    const int64_t v = ReadUE();
    return (v & 1) ? (v + 1) / 2 : -(v / 2);
}

uint32_t wordAt(BitReader& reader, int index) {
    reader.position = index;
    reader.LoadWord();
    return reader.window;
}

} // namespace tarnwick
