#include "window/window_paths.h"

#include "model/file_names.h"

namespace tarnwick {

void EVOadj(WindowState& w) {
    const std::string& e = w.eEVOfile;
    w.buttons.bReadEVO = !e.empty();
    PathState& p = w.paths;
    p.EVOname = fileNamePart(e);
    p.EVObase = withoutExtension(p.EVOname);
    p.EVOdir = folderPart(e);
    w.eXPLfile = PlaylistName;
    const std::string videoFolder = VideoObjectFolder;
    if (endsWith(p.EVOdir, videoFolder)) {
        p.XPLdir = p.EVOdir.substr(0, p.EVOdir.size() - videoFolder.size()) + AdvancedObjectFolder;
        p.XPLname = PlaylistName;
        w.eXPLfile = p.XPLdir + p.XPLname;
    }
    w.buttons.bReadXPL = !p.XPLname.empty();
}

void XPLadj(WindowState& w) {
    PathState& p = w.paths;
    p.XPLname = fileNamePart(w.eXPLfile);
    p.XPLdir = folderPart(w.eXPLfile);
    w.buttons.bReadXPL = !p.XPLname.empty();
    const std::string advancedFolder = AdvancedObjectFolder;
    if (endsWith(p.XPLdir, advancedFolder))
        p.EVOdir = p.XPLdir.substr(0, p.XPLdir.size() - advancedFolder.size()) + VideoObjectFolder;
}

} // namespace tarnwick
