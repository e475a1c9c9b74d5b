#include "support/test_session.h"

#include "commands/title_files.h"
#include "log/log_line.h"

#include <filesystem>
#include <unistd.h>

namespace tarnwick::testing {

namespace {

std::vector<std::string> visible(const RecordingSink& sink) {
    std::vector<std::string> out;
    for (const auto& line : sink.lines)
        out.push_back(visibleText(line));
    return out;
}

} // namespace

std::vector<std::string> TestSession::visibleLines() const {
    return visible(sink);
}

const ScanReport& TestSession::scan() const {
    static const ScanReport none;
    return session.scanned ? session.scanned->scan : none;
}

ScanResult CoreRun::read(const std::string& source, const ScanOptions& options,
                         bool continueParts) {
    RunContext run = context();
    return readEvo({titleOfSource(source, continueParts), options}, run);
}

std::vector<std::string> CoreRun::visibleLines() const {
    return visible(sink);
}

namespace {

// Each test program has a folder of its own (ctest runs programs side by
// side), removed when the program ends.
struct ProcessScratch {
    ProcessScratch()
        : root(std::filesystem::temp_directory_path() / "tarnwick-tests" /
               ("run-" + std::to_string(::getpid()))) {}
    ~ProcessScratch() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::filesystem::path root;
};

} // namespace

std::string scratchFolder(const std::string& name) {
    namespace fs = std::filesystem;
    static ProcessScratch scratch;
    const fs::path folder = scratch.root / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string() + "/";
}

} // namespace tarnwick::testing
