// The engine's chunk loop: reads, progress with remaining time, message
// pumping, fast check, cancel, and the system header of the first pack.

#include "engine/chunk_reader.h"
#include "engine/clip_parse.h"
#include "engine/clip_parser.h"
#include "log/text_format.h"
#include "model/file_names.h"

#include <string>

namespace tarnwick {

namespace {

constexpr int64_t ProgressStep = 4194304; // 4 MiB
constexpr int64_t RepaintStep = 67108864; // 64 MiB

void systemHeader(ClipParse& c) {
    const uint8_t* chunk = c.chunk();
    if (chunk[16] != 0x01 || chunk[17] != 0xBB) return;
    NavigationState& nav = c.p.nav;
    nav.videoCount = chunk[24] & 0x1F; // video_bound
    nav.audioCount = chunk[23] >> 2;   // audio_bound
    c.listener.systemHeader({nav.videoCount, nav.audioCount, c.p.isAob});
}

} // namespace

ClipEnd parseClip(SourceFile& in, TitleSlots& slots, ParseListener& listener, RunContext& run,
                  const ClipRead& read) {
    std::vector<uint8_t> buffer(ChunkSize + ChunkSlack, 0);
    ClipParse c{{}, slots, listener, buffer};
    RunHost& host = run.host;
    c.p.startTime = host.now();
    // The kind of file read: the parts of a title share their extension.
    const std::string ext = upperExtension(in.path());
    c.p.isAob = ext == ".AOB";
    c.p.isVob = ext == ".VOB";
    const CancellableSpan cancellable(host);

    // The reader stops at every way out of the loop: Cancel, the fast check,
    // an error.
    ChunkReader reader(in, ChunkSize, buffer.size(), read.depth, read.readers);
    ChunkReader::Chunk chunk;
    while (!host.run.cancelRequested && reader.next(buffer, chunk)) {
        c.p.n = static_cast<int>(chunk.length);
        c.p.chunkStart = chunk.start;
        const int64_t position = chunk.end();
        if (position % ProgressStep == 0) {
            run.log.slog(std::to_string(mebibytes(position)) + "/" +
                             std::to_string(mebibytes(in.size())) + " Mbytes, Remaining time: " +
                             remainingTimeText(c.p.startTime, host.now(), position, in.size(),
                                               run.locale),
                         1);
            host.pump();
        }
        const bool fastCheckReached = read.fastCheckBytes && position > *read.fastCheckBytes;
        if (position % RepaintStep == 0) host.repaint();
        if (position == ChunkSize) systemHeader(c);
        parseChunk(c);
        if (fastCheckReached)
            return host.run.cancelRequested ? ClipEnd::Cancelled : ClipEnd::FastCheck;
    }
    return host.run.cancelRequested ? ClipEnd::Cancelled : ClipEnd::Complete;
}

} // namespace tarnwick
