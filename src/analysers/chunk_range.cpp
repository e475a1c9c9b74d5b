#include "analysers/chunk_range.h"

#include "log/text_format.h"

namespace tarnwick {

std::string dynamicRangeDb(uint8_t byte, const TimeFormat& locale) {
    const int x = byte >> 5;
    const int y = byte & 0x1F;
    const int tenThousandths = 240820 - 60206 * x - 2007 * y;
    return formatReal(tenThousandths / 10000.0, locale);
}

} // namespace tarnwick
