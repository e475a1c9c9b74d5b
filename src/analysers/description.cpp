#include "analysers/description.h"

namespace tarnwick {

std::vector<std::string> descriptionLines(const Description& description) {
    std::vector<std::string> lines;
    for (const Field& field : description.fields)
        if (!field.line.empty()) lines.push_back(field.line);
    return lines;
}

} // namespace tarnwick
