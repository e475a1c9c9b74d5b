#include "support/test_session.h"

#include "log/log_line.h"

#include <filesystem>

namespace tarnwick::testing {

std::vector<std::string> TestSession::visibleLines() const {
    std::vector<std::string> out;
    for (const auto& line : sink.lines)
        out.push_back(visibleText(line));
    return out;
}

std::string scratchFolder(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "tarnwick-tests" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string() + "/";
}

} // namespace tarnwick::testing
