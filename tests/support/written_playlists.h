#pragma once
// Two playlists written in code in the shapes of real HD DVD discs, so that
// what is checked on the third-party playlists is checked in a clone alone.

#include <string>

namespace tarnwick::testing {

// A retail feature: a comment of several lines before the root, a root tag
// over several lines, attribute items, one title on FEATURE_1.MAP and
// FEATURE_2.MAP whose clips carry the same streams, UTF-8 descriptions and
// chapter names, frame fields above 49, a chapter tag over two lines, LF line
// ends and no final newline.
std::string retailFeaturePlaylist();

// A test disc: tab indents, no MediaAttributeList, a FirstPlayTitle on
// PEVOB1.MAP, a menu title on PEVOB2.MAP whose one chapter has no
// displayName and whose ApplicationSegment holds a comment of two tags, and
// a feature on PEVOB3.MAP with four audio streams without mediaAttr.
std::string testDiscPlaylist();

} // namespace tarnwick::testing
