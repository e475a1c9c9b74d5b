#pragma once
// Writes header fields bit by bit, most significant bit first, with the
// Exp-Golomb codes of H.264: for building codec headers in tests.

#include <cstddef>
#include <cstdint>
#include <cstddef>
#include <vector>

namespace tarnwick::testing {

class BitWriter {
public:
    // The low `bits` bits of value, 0 <= bits <= 64.
    BitWriter& put(uint64_t value, int bits) {
        for (int k = bits - 1; k >= 0; --k)
            putBit((value >> k) & 1);
        return *this;
    }
    BitWriter& flag(bool on) { return put(on ? 1 : 0, 1); }
    // Unsigned Exp-Golomb: k zeros, a one, then the k low bits of value + 1.
    BitWriter& ue(uint64_t value) {
        const uint64_t code = value + 1;
        int k = 0;
        while ((code >> (k + 1)) != 0)
            ++k;
        put(0, k);
        return put(code, k + 1);
    }
    BitWriter& se(int64_t value) {
        return ue(value > 0 ? uint64_t(2 * value - 1) : uint64_t(-2 * value));
    }
    BitWriter& bytes(const std::vector<uint8_t>& more) {
        for (uint8_t b : more)
            put(b, 8);
        return *this;
    }
    // Fills the last byte with zero bits.
    std::vector<uint8_t> finish() const {
        std::vector<uint8_t> out = out_;
        if (bits_ % 8) out.back() = uint8_t(out.back() << (8 - bits_ % 8));
        return out;
    }

private:
    void putBit(int bit) {
        if (bits_ % 8 == 0) out_.push_back(0);
        out_.back() = uint8_t((out_.back() << 1) | bit);
        ++bits_;
    }

    std::vector<uint8_t> out_;
    size_t bits_ = 0;
};

} // namespace tarnwick::testing
