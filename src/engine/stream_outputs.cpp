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

ClosedOutputs closeOutputFiles(StreamOutputs& t, bool runFailed) {
    ClosedOutputs closed;
    auto closeOne = [&](std::unique_ptr<OutputFile>& file, StreamKind kind, int slot) {
        if (!file) return;
        try {
            if (runFailed)
                file->closePartial();
            else
                file->close();
        } catch (const FileError& e) {
            if (closed.firstError.empty()) closed.firstError = e.what();
        }
        const std::string& kept = file->keptAs();
        closed.files.push_back(
            {kind, slot, kept, file->written(), !kept.empty() && kept != file->path()});
        file.reset();
    };
    for (size_t k = 0; k < t.video.size(); ++k)
        closeOne(t.video[k], StreamKind::Video, int(k));
    for (size_t k = 0; k < t.audio.size(); ++k)
        closeOne(t.audio[k], StreamKind::Audio, int(k));
    for (size_t k = 0; k < t.subpicture.size(); ++k)
        closeOne(t.subpicture[k], StreamKind::Subpicture, int(k));
    return closed;
}

} // namespace tarnwick
