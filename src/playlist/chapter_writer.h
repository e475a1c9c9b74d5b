#pragma once
// "Write chapters": the chapter lines of a title into a chapter file, two
// lines a chapter, each ended by CR LF.

#include "model/run_host.h"

#include <string>
#include <vector>

namespace tarnwick {

struct ChaptersRequest {
    std::vector<std::string> lines;
    std::string path; // output folder + the title's base name + ".chapters.txt"
    // Never to be written: the playlist the lines come from, the title's files.
    std::string playlist;
    std::vector<std::string> sources;
};

struct ChaptersResult {
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

ChaptersResult writeChapters(const ChaptersRequest& request, RunContext& run);

// The chapter file's name in an output folder.
std::string chapterFilePath(const std::string& outputFolder, const std::string& baseName);

} // namespace tarnwick
