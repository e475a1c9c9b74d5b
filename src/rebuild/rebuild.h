#pragma once
// "Rebuild": writes a new EVO of a title's clips that keeps only the selected
// streams, renumbered, with the navigation packs patched to match.

#include "model/run_host.h"
#include "model/stream_selection.h"
#include "model/title.h"

#include <string>
#include <vector>

namespace tarnwick {

struct RebuildRequest {
    // Its clips are copied in order into one EVO named after its base name;
    // its scan tells which stream each slot holds.
    const Title& title;
    const StreamSelection& selection; // asked afresh at every pack
    bool advancedPacks = false;       // keep the advanced packs
    std::string outputFolder;         // empty: the current folder
    std::vector<std::string> playlists; // never to be written
};

struct RebuildResult {
    std::string path; // the rebuilt EVO
    bool cancelled = false;
    std::vector<std::string> errors;

    bool ok() const { return errors.empty(); }
};

RebuildResult rebuildTitle(const RebuildRequest& request, RunContext& run);

} // namespace tarnwick
