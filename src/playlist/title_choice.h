#pragma once
// The title a command works on, from what the user named: a disc folder and
// a title number (or its longest title), or a source file, which brings the
// playlist of its disc along (the title that plays it) and otherwise forms a
// title with the parts the file-name rule finds.

#include "model/title.h"
#include "playlist/title_list.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct TitleChoice {
    std::string input;                   // a source file or a disc folder
    std::optional<int> titleNumber;      // a titleNumber of the playlist
    std::optional<std::string> playlist; // instead of the disc's own
    bool continueParts = true;           // the file-name rule, without a playlist
    StopReading stop{};                  // asked while the playlist is read; true: no title
};

struct ChosenTitle {
    Title title;
    std::vector<std::string> warnings; // what of the playlist was left out
};

// NotAPlaylist: the playlist named holds no Title at all (not XML, or
// another XML file).
enum class ChoiceError { None, NoSuchTitle, NotAPlaylist, Unusable, Cancelled };

// Works the choice out; on failure returns nothing, a message in `error` and
// whether the title number named none or the playlist is none.
std::optional<ChosenTitle> chooseTitle(const TitleChoice& choice, std::string& error,
                                       ChoiceError* kind = nullptr);

// Whether the path names a folder.
bool isFolder(const std::string& path);

// The titles as the `titles` command lists them, a few lines each.
std::vector<std::string> titleListing(const std::vector<PlaylistTitle>& titles);
// The same for a playlist read with a bound and Cancel: nothing when the
// reading was cancelled, and a last line when entries were left out.
std::vector<std::string> titleListing(const PlaylistTitles& titles);

// The line that says a playlist held more than its titles may keep.
extern const char* const TitleListCutNote;

} // namespace tarnwick
