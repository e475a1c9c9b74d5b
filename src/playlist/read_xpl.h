#pragma once
// "Read XPL": reads a playlist into its tag lines and shows one title of it:
// the tree, the streams it names and its chapter lines. The result is the
// playlist's own data; it never marks anything in a scan's stream tables.

#include "model/playlist_view.h"
#include "model/run_host.h"
#include "playlist/title_list.h"

#include <string>
#include <vector>

namespace tarnwick {

struct PlaylistRequest {
    std::string path; // the playlist file
    // The title shown: the one whose clip matches the source's name, or,
    // when titleNumber is not 0, the title with that number.
    std::string source;
    int titleNumber = 0;
    // The attribute items' codec texts so far: an item that this playlist
    // does not list keeps its text.
    PlaylistCodecs codecs;
    // Asked between chunks; true stops the reading where it is.
    StopReading stop{};
};

struct PlaylistResult {
    std::vector<std::string> tagLines; // the title's, or all when no title was shown
    bool titleShown = false;
    std::vector<TreeNode> tree;             // when a title was shown
    std::vector<PlaylistStreamName> streams; // the streams the title names
    std::vector<std::string> chapterLines;  // two lines a chapter, for the chapter file
    PlaylistCodecs codecs;
    std::vector<std::string> errors; // the playlist could not be opened or read

    bool ok() const { return errors.empty(); }
};

PlaylistResult readPlaylist(const PlaylistRequest& request, RunContext& run);

} // namespace tarnwick
