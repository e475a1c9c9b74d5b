#include "playlist/chapter_writer.h"

#include "commands/command_errors.h"
#include "engine/file_identity.h"
#include "engine/files.h"
#include "engine/leftovers.h"
#include "model/file_names.h"

namespace tarnwick {

std::string chapterFilePath(const std::string& outputFolder, const std::string& baseName) {
    return joinOutputPath(outputFolder, fitFileName(baseName, ".chapters.txt"));
}

ChaptersResult writeChapters(const ChaptersRequest& request, RunContext& run) {
    ChaptersResult result;
    const bool ok = guarded(result.errors, [&] {
        // The chapter file must never be the playlist it was read from, nor
        // a source of the title.
        std::vector<ReadFile> reads{{"playlist", request.playlist}};
        for (const std::string& source : request.sources)
            reads.push_back({"source", source});
        const std::string conflict = outputConflict(withPartialNames({request.path}), reads);
        if (!conflict.empty()) throw FileError(conflict);
        clearLeftovers(folderPart(request.path), run.log);
        OutputFile file(request.path, 1 << 16);
        for (const std::string& line : request.lines) {
            file.write(line.data(), line.size());
            file.write("\r\n", 2);
        }
        file.close();
    });
    if (ok) run.log.log("Chapters info writed to " + request.path);
    return result;
}

} // namespace tarnwick
