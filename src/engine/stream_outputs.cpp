#include "engine/stream_outputs.h"

namespace tarnwick {

std::unique_ptr<OutputFile>* StreamOutputs::entry(StreamKind kind, int slot) {
    if (slot < 0) return nullptr;
    const auto k = size_t(slot);
    switch (kind) {
    case StreamKind::Video: return k < video.size() ? &video[k] : nullptr;
    case StreamKind::Audio: return k < audio.size() ? &audio[k] : nullptr;
    default: return k < subpicture.size() ? &subpicture[k] : nullptr;
    }
}

OutputFile* StreamOutputs::file(StreamKind kind, int slot) const {
    auto* self = const_cast<StreamOutputs*>(this);
    const std::unique_ptr<OutputFile>* e = self->entry(kind, slot);
    return e ? e->get() : nullptr;
}

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
    for (auto& f : t.video)
        closeOne(f);
    for (auto& f : t.audio)
        closeOne(f);
    for (auto& f : t.subpicture)
        closeOne(f);
    return firstError;
}

} // namespace tarnwick
