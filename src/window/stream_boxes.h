#pragma once
// The 56 stream check boxes: their reset, the rule that enables "Demux" and
// "Rebuild", the boxes a scan or a playlist fills, and the boxes as the
// live selection a running command reads.

#include "model/playlist_view.h"
#include "model/scan_report.h"
#include "model/stream_selection.h"
#include "window/window_state.h"

namespace tarnwick {

inline constexpr const char* VideoPageHint = "Check the desired video stream";
inline constexpr const char* AudioPageHint = "Check the desired audio streams";
inline constexpr const char* SubPageHint = "Check the desired subpicture streams";

// Every box disabled, unticked, with its page's reset caption; then the rule.
void Resetcbs(WindowState& w);

// The selection rule, run after every change of a box's ticked state.
void cbVideoClick(WindowState& w);

bool anyBoxTicked(const StreamBoxes& boxes);

// One box enabled and ticked per stream the scan found, captioned with the
// stream's caption.
void fillStreamBoxes(StreamBoxes& boxes, const ScanReport& scan);

// The boxes of the streams a playlist's title names: captioned with their
// labels; audio and subpicture boxes also take the label as their hint. Of
// the video tracks only the first has a box.
void fillPlaylistBoxes(StreamBoxes& boxes, const std::vector<PlaylistStreamName>& streams);

// The box of a stream slot.
StreamBox& boxOf(StreamBoxes& boxes, StreamKind kind, int slot);

// The ticked boxes as the selection a command reads while it runs: a box
// ticked or unticked during a pump applies from the next payload piece.
class BoxSelection : public StreamSelection {
public:
    explicit BoxSelection(const StreamBoxes& boxes) : boxes_(boxes) {}
    bool selected(StreamKind kind, int slot) const override;

private:
    const StreamBoxes& boxes_;
};

} // namespace tarnwick
