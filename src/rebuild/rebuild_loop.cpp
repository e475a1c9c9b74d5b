// The copy loop: the source is read ahead in chunks of 128 packs and each
// pack goes through the pack rules on its own, exactly as if it had been read
// alone.

#include "engine/chunk_reader.h"
#include "engine/clip_parser.h"
#include "log/text_format.h"
#include "model/file_names.h"
#include "rebuild/pack_layout.h"
#include "rebuild/rebuild_pack.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarnwick {

namespace {

constexpr int64_t ProgressStep = 4194304; // 4 MiB
// Runs of unchanged packs at least this long are copied by the kernel from
// file to file; shorter ones cost less through the output's buffer.
constexpr size_t MinKernelCopy = 65536;

void showProgress(RunContext& run, const std::string& name, double startTime, int64_t position,
                  int64_t size) {
    run.log.slog("Rebuilding " + name + " " + std::to_string(mebibytes(position)) + "/" +
                     std::to_string(mebibytes(size)) + " Mbytes, Remaining time: " +
                     remainingTimeText(startTime, run.host.now(), position, size, run.locale),
                 1);
    run.host.pump();
}

} // namespace

void rebuildClip(SourceFile& in, StreamNumbers& numbers, const RebuildStreams& streams,
                 OutputFile& out, RunContext& run) {
    const RunControl& control = run.host.run;
    const double startTime = run.host.now();
    // Cancel goes off again also when a read or write fails.
    const CancellableSpan cancellable(run.host);

    const std::string name = fileNamePart(in.path());
    std::vector<uint8_t> buffer(ChunkSize + ChunkSlack);
    ChunkReader reader(in, ChunkSize, buffer.size());
    ChunkReader::Chunk read;
    while (!control.cancelRequested && reader.next(buffer, read)) {
        uint8_t* chunk = buffer.data();
        const size_t got = read.length;
        // The packs that are kept as they are go out as runs: copied by the
        // kernel from the source when long, through the buffer when short;
        // a pack the rules changed goes out from memory.
        size_t runStart = 0, runEnd = 0;
        auto writeRun = [&] {
            const size_t length = runEnd - runStart;
            if (length >= MinKernelCopy)
                out.copyFrom(in, read.start + int64_t(runStart), chunk + runStart, length);
            else if (length > 0)
                out.write(chunk + runStart, length);
            runStart = runEnd;
        };
        for (size_t at = 0; at < got && !control.cancelRequested; at += PackSize) {
            const size_t n = std::min(PackSize, got - at);
            const int64_t position = read.start + int64_t(at + n);
            if (position % ProgressStep == 0)
                showProgress(run, name, startTime, position, in.size());
            bool changed = false;
            const bool kept = rebuildPack(chunk + at, numbers, streams, &changed);
            if (!kept || changed) {
                writeRun();
                if (kept) out.write(chunk + at, n);
                runStart = runEnd = at + n;
            } else {
                runEnd = at + n;
            }
        }
        writeRun();
    }
}

} // namespace tarnwick
