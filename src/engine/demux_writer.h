#pragma once
// The demux writer: every payload piece goes to the output file of its slot
// while the selection selects that slot. Subpictures are wrapped in "SP"
// records that carry their time.

#include "engine/parse_listener.h"
#include "engine/stream_outputs.h"
#include "model/stream_selection.h"

#include <cstdint>

namespace tarnwick {

class DemuxWriter : public ParseListener {
public:
    // `subpictureOrigin`: the time a record's time counts from.
    DemuxWriter(StreamOutputs& outputs, const StreamSelection& selection,
                uint32_t subpictureOrigin)
        : outputs_(outputs), selection_(selection), origin_(subpictureOrigin) {}
    void payload(const PayloadPiece& piece) override;

private:
    StreamOutputs& outputs_;
    const StreamSelection& selection_;
    uint32_t origin_;
};

} // namespace tarnwick
