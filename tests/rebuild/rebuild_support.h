#pragma once
// Sources for the rebuild tests: EVOs muxed from noise streams, the Read EVO
// and Rebuild runs over them, and what a demux of a file gives per stream.

#include "model/stream_selection.h"
#include "rebuild/rebuild.h"
#include "support/ps_writer.h"
#include "support/test_session.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::testing {

// A stream of `size` noise bytes under its identifier: video by stream id
// (0xE0..0xE3) or VC-1 stream id extension (0x55, 0x56), audio and
// subpictures by sub-stream id with the matching sub-stream header.
StreamSpec videoSpec(uint8_t id, size_t size);
StreamSpec subStreamSpec(uint8_t subId, size_t size);

// A navigation pack in front of every `navEvery` packs; every DSI carries its
// own first and last video times (0x10000 + k and 0x20000 + k for the k-th
// navigation pack, plus `ptmBase`), five audio and three subpicture entries.
Bytes muxEvo(const std::vector<StreamSpec>& streams, int navEvery = 8, uint32_t ptmBase = 0);

// The 2048-byte packs of a file (a short last block as it is).
std::vector<Bytes> packsOf(const Bytes& file);
inline bool isNavigationPack(const Bytes& pack) {
    return pack.size() > 0x11 && pack[0x11] == 0xBB;
}

// The core's Read EVO and Rebuild over one title: the title as Read EVO
// scanned it, and the streams picked for the rebuild, as the window has them
// after Read EVO ticked every stream found and some were unticked.
struct CoreRebuild {
    // Read EVO without detailed analysis, over the source and, with
    // `continueParts`, the parts the file-name rule finds after it; selects
    // every stream found.
    ScanResult read(const std::string& path, bool continueParts = true,
                    const ScanOptions& options = {.logDetails = false});
    // Leaves out the streams named by caption.
    void deselect(const std::vector<std::string>& captions);
    // The captions of the selected streams, video, audio, then subpicture.
    std::vector<std::string> selectedCaptions() const;
    // Rebuild of the title into `folder`.
    RebuildResult rebuild(const std::string& folder, bool advancedPacks = false);
    const ScanReport& scan() const { return title.scan; }

    CoreRun core;
    Title title;
    SelectionSet selection;
};

// Read EVO in the window on a file in a fresh session state, without detailed
// analysis.
void readEvo(TestSession& ts, const std::string& path);
// Unticks the boxes named by caption.
void untick(TestSession& ts, const std::vector<std::string>& captions);

// Read EVO, then Demux over the file with every stream found selected: the
// bytes of each stream by its caption.
std::map<std::string, Bytes> demuxByCaption(const std::string& path, const std::string& scratch);

} // namespace tarnwick::testing
