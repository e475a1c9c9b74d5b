#include "engine/stream_table.h"

namespace tarnwick {

StreamTable::StreamTable() : ChunkBuffer(ChunkSize + ChunkSlack, 0) {}

std::string closeOutputFiles(StreamTable& t, bool runFailed) {
    std::string firstError;
    auto closeOne = [&](std::unique_ptr<OutputFile>& file) {
        if (!file) return;
        try {
            if (runFailed && file->written() == 0)
                file->discard();
            else
                file->close();
        } catch (const FileError& e) {
            if (firstError.empty()) firstError = e.what();
        }
        file.reset();
    };
    for (auto& f : t.VideoOut)
        closeOne(f);
    for (auto& f : t.AudioOut)
        closeOne(f);
    for (auto& f : t.SubOut)
        closeOne(f);
    return firstError;
}

} // namespace tarnwick
