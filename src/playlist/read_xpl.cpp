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

// Reads the playlist chunk by chunk into the tag lines of the memo; the
// scanner carries a tag that a chunk boundary cuts.
void readTagLines(SourceFile& file, Session& s, PlaylistHeader& header) {
    StreamTable& t = s.table;
    if (t.ChunkBuffer.size() < static_cast<size_t>(ChunkSize))
        t.ChunkBuffer.resize(ChunkSize + ChunkSlack);
    std::vector<std::string>& lines = s.window.playlist.mXPL;
    TagScanner scanner;
    const TagLineHandler onLine = [&](std::string&& line) {
        applyLineRules(line, header, t);
        lines.push_back(std::move(line));
    };
    const int64_t size = file.size();
    // Bounded by the size seen at opening, so a device or a growing file
    // cannot keep the run going.
    while (file.position() < size) {
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(ChunkSize, size - file.position()));
        const size_t got = file.read(t.ChunkBuffer.data(), wanted);
        if (got == 0) break;
        t.ChunkLength = static_cast<int>(got);
        s.log.slog(std::to_string(file.position()) + "/" + std::to_string(size) + " bytes", 1);
        scanTags(scanner, t.ChunkBuffer.data(), got, onLine);
    }
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
