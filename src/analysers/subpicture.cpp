// Subpicture units: 8-bit run-length coding starts with two zero bytes.

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"

namespace tarnwick {

Description describeSubpicture(const AnalyserInput& in) {
    Description d;
    // Bytes past the chunk's valid data read as zeros.
    auto byteAt = [&](int64_t index) {
        return index >= 0 && index < validEnd(in) ? in.chunk[size_t(index)] : uint8_t(0);
    };
    const bool eightBit = byteAt(in.start) == 0 && byteAt(int64_t(in.start) + 1) == 0;
    d.add("format", std::string(eightBit ? "8bitRLE" : "2bitRLE"),
          eightBit ? "   Format = [bl]8bitRLE[/bl]" : "   Format = [bl]2bitRLE[/bl]");
    return d;
}

} // namespace tarnwick
