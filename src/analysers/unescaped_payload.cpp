#include "analysers/unescaped_payload.h"

namespace tarnwick {

std::vector<uint8_t> unescapedPayload(const uint8_t* bytes, int from, int end) {
    std::vector<uint8_t> out;
    if (end <= from) return out;
    out.reserve(size_t(end - from));
    int zeros = 0;
    for (int k = from; k < end; ++k) {
        const uint8_t b = bytes[k];
        if (zeros >= 2 && b == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        out.push_back(b);
    }
    return out;
}

} // namespace tarnwick
