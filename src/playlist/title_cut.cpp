#include "playlist/title_cut.h"

#include "playlist/attributes.h"

namespace tarnwick {

bool cutToTitle(std::vector<std::string>& lines, const std::string& base) {
    size_t found = 0;
    while (found < lines.size() && lines[found].find(base) == std::string::npos)
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
