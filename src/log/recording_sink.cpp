#include "log/log_line.h"
#include "log/log_sink.h"

namespace tarnwick {

std::string RecordingSink::visibleLog() const {
    std::string out;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (k) out += '\n';
        out += visibleText(lines[k]);
    }
    return out;
}

} // namespace tarnwick
