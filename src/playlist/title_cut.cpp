#include "playlist/title_cut.h"

#include "playlist/attributes.h"
#include "playlist/xml_references.h"

namespace tarnwick {

bool cutToTitle(std::vector<std::string>& lines, const std::string& base) {
    size_t found = 0;
    // The source's name as the playlist spells it, references decoded.
    const auto names = [&](const std::string& line) {
        return line.find('&') == std::string::npos
                   ? line.find(base) != std::string::npos
                   : decodeReferences(line).find(base) != std::string::npos;
    };
    while (found < lines.size() && !names(lines[found]))
        ++found;
    // An empty base is found in the first line: no source, no title.
    if (found == lines.size() || found == 0) return false;

    size_t first = found + 1;
    while (first > 0 && !containsIgnoringCase(lines[first - 1], "<TITLE "))
        --first;
    if (first == 0) return false;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first - 1));

    for (size_t k = 0; k < lines.size(); ++k) {
        if (containsIgnoringCase(lines[k], "</TITLE")) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k + 1), lines.end());
            break;
        }
    }
    return true;
}

} // namespace tarnwick
