#include "analysers/chunk_range.h"

#include "log/text_format.h"

namespace tarnwick {

double dynamicRangeValue(uint8_t byte) {
    const int x = byte >> 5;
    const int y = byte & 0x1F;
    const int tenThousandths = 240820 - 60206 * x - 2007 * y;
    return tenThousandths / 10000.0;
}

std::string dynamicRangeDb(uint8_t byte, const TimeFormat& locale) {
    return formatReal(dynamicRangeValue(byte), locale);
}

} // namespace tarnwick
