#pragma once
// HD DVD playlists written in code, shaped like those on retail discs, and
// a session that reads them with Read XPL.

#include "support/test_session.h"

#include <string>
#include <vector>

namespace tarnwick::testing {

// <Playlist> with a MediaAttributeList and a TitleSet around the titles.
std::string playlistText(const std::string& attributeItems, const std::string& titles,
                         const std::string& displayName = "Feature Disc");

// <Title> with one PrimaryAudioVideoClip per clip body and a ChapterList.
std::string titleText(const std::string& id, const std::string& mapName,
                      const std::vector<std::string>& clipBodies, const std::string& chapters,
                      const std::string& displayName = "Main Movie");

std::string chapterText(const std::string& name, const std::string& begin);

// The XPL page's tree as "node/child" lines, for exact comparisons.
std::vector<std::string> treeLines(const PlaylistView& view);

// Whether the title Read XPL showed lists a stream in the slot.
bool listed(const TestSession& t, StreamKind kind, int slot);

// A session whose source is folder + source and that reads playlists
// written into folder.
struct XplSession : TestSession {
    explicit XplSession(const std::string& folderName, const std::string& source = "FEATURE_1.EVO");
    // Writes the playlist bytes to VPLST000.XPL and runs Read XPL on it.
    bool read(const std::string& bytes);
    // Runs Read XPL on an existing playlist file.
    bool readFile(const std::string& path);

    std::string folder;
};

} // namespace tarnwick::testing
