#include "matroska/vobsub_from_records.h"

#include <stdexcept>

namespace tarnwick {

namespace {

// Records between two questions whether to stop.
constexpr size_t StopCheckRecords = 256;

// A unit that is given no title time is not written, so it does not count.
bool shown(const VobSubRequest& request, const SubpictureRecord& record) {
    const std::optional<int64_t> time = request.titleTimeMs(record);
    return time && *time >= 0;
}

SubpictureReach reachOfRecords(const VobSubRequest& request) {
    SubpictureReach reach;
    SubpictureRecordReader reader(request.records);
    SubpictureRecord record;
    while (reader.next(record))
        if (record.fault == RecordFault::None && shown(request, record))
            widenReach(reach, record.unit);
    return reach;
}

} // namespace

VobSubResult writeVobSubFromRecords(const VobSubRequest& request) {
    if (!request.titleTimeMs)
        throw std::invalid_argument("A VobSub track needs the title time of its units");
    VobSubResult result;
    result.frame = request.videoSize ? subpictureFrameSize({}, request.videoSize)
                                     : subpictureFrameSize(reachOfRecords(request));
    VobSubTrack track;
    track.frame = result.frame;
    track.palette = request.palette;
    track.language = request.language;
    track.streamIndex = request.streamIndex;

    SubpictureRecordReader reader(request.records);
    VobSubWriter writer(request.idxPath, request.subPath, track);
    SubpictureRecord record;
    for (size_t k = 1; reader.next(record); ++k) {
        if (request.stopped && k % StopCheckRecords == 0 && request.stopped()) {
            result.stopped = true;
            return result; // the writer discards both files
        }
        if (record.fault == RecordFault::Cut || record.fault == RecordFault::NoSize) {
            ++result.cutUnits;
            continue;
        }
        if (record.fault != RecordFault::None || !isDvdSubpictureUnit(record.unit)) {
            ++result.otherUnits;
            continue;
        }
        const std::optional<int64_t> time = request.titleTimeMs(record);
        if (!time || *time < 0) {
            ++result.untimedUnits;
            continue;
        }
        writer.add(*time, record.unit);
        ++result.units;
    }
    writer.close();
    result.skippedBytes = reader.skippedBytes();
    return result;
}

} // namespace tarnwick
