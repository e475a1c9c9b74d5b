#include "model/stream_slots.h"

#include <cstdio>

namespace tarnwick {

char kindLetter(StreamKind kind) {
    return kind == StreamKind::Video ? 'v' : kind == StreamKind::Audio ? 'a' : 's';
}

std::string slotName(StreamKind kind, int slot) {
    char text[16];
    if (kind == StreamKind::Video)
        std::snprintf(text, sizeof text, "v%d", slot);
    else
        std::snprintf(text, sizeof text, "%c%02d", kindLetter(kind), slot);
    return text;
}

} // namespace tarnwick
