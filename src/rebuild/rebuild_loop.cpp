// The copy loop: the source is read in chunks of 128 packs and each pack goes
// through the pack rules on its own, exactly as if it had been read alone.

#include "app/paths.h"
#include "engine/demux.h"
#include "log/text_format.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"

#include <algorithm>
#include <string>

namespace tarnwick {

namespace {

constexpr int64_t ProgressStep = 4194304; // 4 MiB

// Kept packs that lie one after the other in the chunk go out in one write.
class PendingRun {
public:
    explicit PendingRun(OutputFile& out) : out_(out) {}
    void add(const uint8_t* chunk, size_t at, size_t count) {
        if (at != end_) flush(chunk);
        if (start_ == end_) start_ = at;
        end_ = at + count;
    }
    void flush(const uint8_t* chunk) {
        if (end_ > start_) out_.write(chunk + start_, end_ - start_);
        start_ = end_ = 0;
    }

private:
    OutputFile& out_;
    size_t start_ = 0;
    size_t end_ = 0;
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
    uint8_t* chunk = t.ChunkBuffer.data();
    while (in.position() < in.size() && !t.CancelRequested) {
        const int64_t chunkStart = in.position();
        const size_t got = in.read(chunk, ChunkSize);
        if (got == 0) break; // the file shrank under us
        // A short last block is tested with zeros behind it, never with the
        // bytes of an earlier chunk.
        const size_t padded = (got + PackSize - 1) / PackSize * PackSize;
        std::fill(chunk + got, chunk + padded, uint8_t(0));
        PendingRun run(out);
        for (size_t at = 0; at < got && !t.CancelRequested; at += PackSize) {
            const size_t n = std::min(PackSize, got - at);
            const int64_t position = chunkStart + int64_t(at + n);
            if (position % ProgressStep == 0) showProgress(s, name, startTime, position, in.size());
            if (rebuildPack(chunk + at, numbers, t, s.window)) run.add(chunk, at, n);
        }
        run.flush(chunk);
    }
}

} // namespace tarnwick
