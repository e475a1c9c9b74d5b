#include "playlist/playlist_text.h"

#include "playlist/read_xpl.h"

#include <fstream>

namespace tarnwick::testing {

std::string playlistText(const std::string& attributeItems, const std::string& titles,
                         const std::string& displayName) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<Playlist majorVersion=\"1\" minorVersion=\"0\" displayName=\"" +
           displayName +
           "\"\r\n"
           "    xmlns=\"http://www.dvdforum.org/2005/HDDVDVideo/Playlist\">\r\n"
           "  <MediaAttributeList>\r\n" +
           attributeItems +
           "  </MediaAttributeList>\r\n"
           "  <TitleSet timeBase=\"60fps\" tickBase=\"24fps\" defaultLanguage=\"en\">\r\n" +
           titles + "  </TitleSet>\r\n</Playlist>\r\n";
}

std::string titleText(const std::string& id, const std::string& mapName,
                      const std::vector<std::string>& clipBodies, const std::string& chapters,
                      const std::string& displayName) {
    std::string text = "    <Title titleNumber=\"1\" titleDuration=\"01:43:53:24\" id=\"" + id +
                       "\" displayName=\"" + displayName + "\" onEnd=\"NEXT\">\r\n";
    for (const std::string& body : clipBodies)
        text += "      <PrimaryAudioVideoClip titleTimeBegin=\"00:00:00:00\" "
                "src=\"file:///dvddisc/HVDVD_TS/" +
                mapName + "\" dataSource=\"Disc\">\r\n" + body +
                "      </PrimaryAudioVideoClip>\r\n";
    text += "      <ChapterList>\r\n" + chapters + "      </ChapterList>\r\n    </Title>\r\n";
    return text;
}

std::string chapterText(const std::string& name, const std::string& begin) {
    return "        <Chapter displayName=\"" + name + "\" titleTimeBegin=\"" + begin + "\"/>\r\n";
}

std::vector<std::string> treeLines(const PlaylistView& view) {
    std::vector<std::string> out;
    for (const TreeNode& node : view.tvXPL) {
        out.push_back(node.text);
        for (const std::string& child : node.children)
            out.push_back(node.text + "/" + child);
    }
    return out;
}

bool listed(const TestSession& t, StreamKind kind, int slot) {
    for (const PlaylistStreamName& s : t.window.playlist.streams)
        if (s.kind == kind && s.slot == slot) return true;
    return false;
}

XplSession::XplSession(const std::string& folderName, const std::string& source)
    : folder(scratchFolder(folderName)) {
    chooseSource(folder + "HVDVD_TS/" + source);
}

bool XplSession::read(const std::string& bytes) {
    const std::string path = folder + "VPLST000.XPL";
    std::ofstream(path, std::ios::binary) << bytes;
    return readFile(path);
}

bool XplSession::readFile(const std::string& path) {
    window.eXPLfile = path;
    XPLadj(window);
    return bReadXPLClick(session);
}

} // namespace tarnwick::testing
