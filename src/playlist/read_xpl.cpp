#include "playlist/read_xpl.h"

#include "app/paths.h"
#include "app/stream_selection.h"
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
void readTagLines(SourceFile& file, Session& s, PlaylistHeader& header) {
    // A buffer of its own: the engine's chunk and its valid length stay as
    // the last scan left them.
    std::vector<uint8_t> chunk(ChunkSize);
    PlaylistCodecs& codecs = s.window.playlist.codecs;
    std::vector<std::string>& lines = s.window.playlist.mXPL;
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
    while (file.position() < size) {
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(ChunkSize, size - file.position()));
        const size_t got = file.read(chunk.data(), wanted);
        if (got == 0) break;
        s.log.slog(std::to_string(file.position()) + "/" + std::to_string(size) + " bytes", 1);
        scanTags(scanner, chunk.data(), got, onLine);
    }
    if (leftOut > 0)
        s.log.log("The playlist has too many tag lines to show: the last " +
                  std::to_string(leftOut) + " of them were left out.");
}

void markNoStreams(StreamTable& t) {
    t.VideoIds.fill(-1);
    t.AudioIds.fill(-1);
    t.SubIds.fill(-1);
}

} // namespace

bool bReadXPLClick(Session& s, int titleNumber) {
    WindowState& w = s.window;
    Buttons& buttons = w.buttons;
    Resetcbs(w);
    buttons.bReadXPL = false;
    const bool readEvoWasEnabled = buttons.bReadEVO;
    buttons.bReadEVO = false;
    buttons.bbEVO = buttons.bbXPL = false;
    w.page = Page::XPL;
    s.ui.stateChanged();

    auto restoreButtons = [&] {
        buttons.bReadXPL = true;
        buttons.bReadEVO = readEvoWasEnabled;
        buttons.bbEVO = buttons.bbXPL = true;
        buttons.bWriteChaps = !w.playlist.mChapter.empty();
    };

    PlaylistHeader header;
    try {
        SourceFile file(w.eXPLfile);
        s.log.log("Open " + w.paths.XPLname);
        s.log.log("Filesize: " + std::to_string(file.size()) + " bytes");
        w.playlist.mXPL.clear();
        w.playlist.mChapter.clear();
        w.playlist.streams.clear();
        readTagLines(file, s, header);
    } catch (const FileError& e) {
        // The window stays usable: the buttons come back as after a run.
        restoreButtons();
        showReady(s.log);
        s.ui.stateChanged();
        s.ui.showError(e.what());
        return false;
    }

    markNoStreams(s.table);
    const bool cut = titleNumber != 0
                         ? cutToTitleNumber(w.playlist.mXPL, titleNumber)
                         : cutToTitle(w.playlist.mXPL, CutExt(fileNamePart(w.eEVOfile)));
    if (cut) showTitle(s, header);

    logDone(s.log);
    restoreButtons();
    s.ui.stateChanged();
    return true;
}

} // namespace tarnwick
