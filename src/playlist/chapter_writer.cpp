#include "playlist/chapter_writer.h"

#include "app/paths.h"
#include "engine/file_identity.h"

namespace tarnwick {

bool bWriteChapsClick(Session& s) {
    WindowState& w = s.window;
    w.buttons.bWriteChaps = false;
    const std::string name = joinOutputPath(w.options.eWorkdir, w.paths.EVObase + ".chapters.txt");
    try {
        // The chapter file must never be the playlist it was read from, nor
        // a source of the title.
        const std::string conflict = outputConflict(
            {name},
            {{"playlist", w.eXPLfile}, {"source", w.eEVOfile}, {"source", getsecond(w.eEVOfile)}});
        if (!conflict.empty()) throw FileError(conflict);
        OutputFile file(name, 1 << 16);
        for (const std::string& line : w.playlist.mChapter) {
            file.write(line.data(), line.size());
            file.write("\r\n", 2);
        }
        file.close();
    } catch (const FileError& e) {
        // The button stays disabled until a Read XPL run finds chapters again.
        s.ui.stateChanged();
        s.ui.showError(e.what());
        return false;
    }
    s.log.log("Chapters info writed to " + name);
    w.buttons.bWriteChaps = true;
    s.ui.stateChanged();
    return true;
}

} // namespace tarnwick
