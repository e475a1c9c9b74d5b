#include "engine/stream_table.h"

namespace tarnwick {

StreamTable::StreamTable() : ChunkBuffer(ChunkSize + ChunkSlack, 0) {
    FeatureAudioIds.fill(-1);
    FeatureSubIds.fill(-1);
    FrameWindow.fill(NoFrameWindow);
}

} // namespace tarnwick
