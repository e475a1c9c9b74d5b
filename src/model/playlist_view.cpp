#include "model/playlist_view.h"

namespace tarnwick {

std::vector<TreeNode> emptyPlaylistTree() {
    return {{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}};
}

} // namespace tarnwick
