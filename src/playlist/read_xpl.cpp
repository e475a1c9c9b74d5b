#include "playlist/read_xpl.h"

#include "commands/command_errors.h"
#include "engine/files.h"
#include "model/file_names.h"
#include "playlist/line_rules.h"
#include "playlist/tag_scanner.h"
#include "playlist/title_cut.h"
#include "playlist/title_list.h"
#include "playlist/title_view.h"

#include <algorithm>

namespace tarnwick {

namespace {

// The memory that the tag lines kept for the memo may take: a few times the
// playlist's size, and never more than a hostile file could justify. Real
// playlists stay far below it.
size_t keptLinesBudget(int64_t playlistSize) {
    constexpr int64_t Floor = int64_t{4} << 20;
    constexpr int64_t Ceiling = int64_t{96} << 20;
    return static_cast<size_t>(std::min(Ceiling, 4 * std::max<int64_t>(playlistSize, 0) + Floor));
}

// Reads the playlist chunk by chunk into the tag lines of the memo; the
// scanner carries a tag that a chunk boundary cuts.
void readTagLines(SourceFile& file, PlaylistResult& result, RunContext& run, PlaylistHeader& header,
                  const StopReading& stop) {
    LogSink& log = run.log;
    constexpr size_t ReadBytes = 262144;
    std::vector<uint8_t> chunk(ReadBytes);
    PlaylistCodecs& codecs = result.codecs;
    std::vector<std::string>& lines = result.tagLines;
    TagScanner scanner;
    const int64_t size = file.size();
    const size_t budget = keptLinesBudget(size);
    size_t kept = 0;
    size_t leftOut = 0;
    // Every line still feeds the attribute tables; only the lines kept for
    // the memo are bounded.
    const TagLineHandler onLine = [&](std::string&& line) {
        applyLineRules(line, header, codecs);
        const size_t cost = line.capacity() + sizeof(std::string);
        if (leftOut > 0 || kept + cost > budget) {
            ++leftOut;
            return;
        }
        kept += cost;
        lines.push_back(std::move(line));
    };
    // Bounded by the size seen at opening, so a device or a growing file
    // cannot keep the run going.
    // A playlist picked by mistake may be a file of gigabytes: Cancel stops
    // the reading where it is.
    const CancellableSpan cancellable(run.host);
    while (file.position() < size) {
        run.host.pump();
        if (run.host.run.cancelRequested || (stop && stop())) {
            log.log("Reading the playlist was cancelled after " + std::to_string(file.position()) +
                    " of " + std::to_string(size) + " bytes.");
            break;
        }
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(ReadBytes, size - file.position()));
        const size_t got = file.read(chunk.data(), wanted);
        if (got == 0) break;
        log.slog(std::to_string(file.position()) + "/" + std::to_string(size) + " bytes", 1);
        scanTags(scanner, chunk.data(), got, onLine);
    }
    if (leftOut > 0)
        log.log("The playlist has too many tag lines to show: the last " + std::to_string(leftOut) +
                " of them were left out.");
}

} // namespace

PlaylistResult readPlaylist(const PlaylistRequest& request, RunContext& run) {
    PlaylistResult result;
    result.codecs = request.codecs;
    run.host.run.cancelRequested = false;
    PlaylistHeader header;
    const bool ok = guarded(result.errors, [&] {
        SourceFile file(request.path);
        run.log.log("Open " + fileNamePart(request.path));
        run.log.log("Filesize: " + std::to_string(file.size()) + " bytes");
        readTagLines(file, result, run, header, request.stop);
    });
    if (!ok) {
        showReady(run.log);
        return result;
    }
    const bool cut =
        request.titleNumber != 0
            ? cutToTitleNumber(result.tagLines, request.titleNumber)
            : cutToTitle(result.tagLines, withoutExtension(fileNamePart(request.source)));
    if (cut) showTitle(result, header, run.log);
    logDone(run.log);
    return result;
}

} // namespace tarnwick
