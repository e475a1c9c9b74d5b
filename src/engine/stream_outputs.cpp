#include "engine/stream_outputs.h"

namespace tarnwick {

std::string closeOutputFiles(StreamOutputs& t, bool runFailed) {
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
