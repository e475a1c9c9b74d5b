// The copy loop: the source is read in chunks of 128 packs and each pack goes
// through the pack rules on its own, exactly as if it had been read alone.

#include "app/paths.h"
#include "log/text_format.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace tarnwick {

namespace {

constexpr int64_t ProgressStep = 4194304; // 4 MiB
constexpr std::align_val_t PageAlignment{4096};

// The copy loop's own chunk, on a page boundary: the kernel copies into and
// out of it markedly faster than at the odd offset of a heap block.
struct AlignedChunk {
    AlignedChunk() : bytes(static_cast<uint8_t*>(::operator new[](ChunkSize, PageAlignment))) {}
    ~AlignedChunk() { ::operator delete[](bytes, PageAlignment); }
    AlignedChunk(const AlignedChunk&) = delete;
    AlignedChunk& operator=(const AlignedChunk&) = delete;
    uint8_t* bytes;
};

void showProgress(Session& s, const std::string& name, double startTime, int64_t position,
                  int64_t size) {
    s.log.slog(
        "Rebuilding " + name + " " + std::to_string(mebibytes(position)) + "/" +
            std::to_string(mebibytes(size)) + " Mbytes, Remaining time: " +
            remainingTimeText(startTime, s.ui.now(), position, size, s.table.TimeFormatSettings),
        1);
    s.ui.pump();
}

} // namespace

void Rebuild(Session& s, StreamNumbers& numbers) {
    StreamTable& t = s.table;
    SourceFile& in = *t.InputFile;
    OutputFile& out = *t.VideoOut[0];
    s.window.buttons.bCancel = true;
    t.CancelRequested = false;
    const double startTime = s.ui.now();
    s.ui.stateChanged();
    // "Cancel" goes off again also when a read or write fails.
    struct CancelOff {
        Session& s;
        ~CancelOff() {
            s.window.buttons.bCancel = false;
            s.ui.stateChanged();
        }
    } cancelOff{s};

    const std::string name = fileNamePart(in.path());
    AlignedChunk area;
    uint8_t* chunk = area.bytes;
    while (in.position() < in.size() && !t.CancelRequested) {
        const int64_t chunkStart = in.position();
        const size_t got = in.read(chunk, ChunkSize);
        if (got == 0) break; // the file shrank under us
        // A short last block is tested with zeros behind it, never with the
        // bytes of an earlier chunk.
        const size_t padded = (got + PackSize - 1) / PackSize * PackSize;
        std::fill(chunk + got, chunk + padded, uint8_t(0));
        // The kept packs move forward over the dropped ones, so that the chunk
        // goes out in one write.
        size_t kept = 0;
        for (size_t at = 0; at < got && !t.CancelRequested; at += PackSize) {
            const size_t n = std::min(PackSize, got - at);
            const int64_t position = chunkStart + int64_t(at + n);
            if (position % ProgressStep == 0) showProgress(s, name, startTime, position, in.size());
            if (!rebuildPack(chunk + at, numbers, t, s.window)) continue;
            if (kept != at) std::memmove(chunk + kept, chunk + at, n);
            kept += n;
        }
        if (kept > 0) out.write(chunk, kept);
    }
}

} // namespace tarnwick
