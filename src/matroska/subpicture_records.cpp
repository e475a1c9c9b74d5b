#include "matroska/subpicture_records.h"

#include <algorithm>

namespace tarnwick {

namespace {

constexpr size_t ScanBlockBytes = 64 * 1024;
constexpr uint32_t DvdUnitHeaderBytes = 4;       // size, control sequence offset
constexpr uint32_t ExtendedUnitHeaderBytes = 10; // zero id, 32-bit size and offset

bool isRecordHeader(const uint8_t* h) {
    return h[0] == 'S' && h[1] == 'P' && h[6] == 0 && h[7] == 0 && h[8] == 0 && h[9] == 0;
}

uint32_t littleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Reads exactly `count` bytes: the file was measured at opening, so fewer
// means that it shrank while it was read.
void readExactly(const SourceFile& source, void* out, size_t count, int64_t position) {
    if (count == 0) return;
    if (source.readAt(out, count, position) != count)
        throw FileError("Read error on \"" + source.path() + "\". The file shrank while it was " +
                        "read.");
}

} // namespace

SubpictureRecordReader::SubpictureRecordReader(const std::string& path)
    : source_(path), size_(source_.size()) {}

bool SubpictureRecordReader::isRecordAt(int64_t position) const {
    if (position < 0 || position + int64_t(SubpictureRecordHeaderBytes) > size_) return false;
    uint8_t header[SubpictureRecordHeaderBytes];
    readExactly(source_, header, sizeof header, position);
    return isRecordHeader(header);
}

int64_t SubpictureRecordReader::findRecord(int64_t from, int64_t end) const {
    // Blocks overlap by a header less one byte, so that a header across the
    // edge of two blocks is found.
    std::vector<uint8_t> block;
    for (int64_t at = from; at < end; at += int64_t(ScanBlockBytes)) {
        const int64_t stop = std::min<int64_t>(at + int64_t(ScanBlockBytes), end);
        const int64_t readEnd =
            std::min<int64_t>(stop + int64_t(SubpictureRecordHeaderBytes) - 1, size_);
        if (readEnd - at < int64_t(SubpictureRecordHeaderBytes)) break;
        block.resize(size_t(readEnd - at));
        readExactly(source_, block.data(), block.size(), at);
        const size_t candidates = block.size() - SubpictureRecordHeaderBytes + 1;
        for (size_t k = 0; k < candidates && at + int64_t(k) < stop; ++k)
            if (isRecordHeader(block.data() + k)) return at + int64_t(k);
    }
    return end;
}

bool SubpictureRecordReader::next(SubpictureRecord& record) {
    if (position_ < size_ && !isRecordAt(position_)) {
        const int64_t found = findRecord(position_, size_);
        skipped_ += found - position_;
        position_ = found;
    }
    if (position_ >= size_) return false;

    uint8_t header[SubpictureRecordHeaderBytes + 6];
    const int64_t start = position_ + int64_t(SubpictureRecordHeaderBytes);
    const size_t fieldBytes = size_t(std::min<int64_t>(6, size_ - start));
    readExactly(source_, header, SubpictureRecordHeaderBytes + fieldBytes, position_);
    const uint8_t* field = header + SubpictureRecordHeaderBytes;
    record.offset = position_;
    record.time = littleEndian32(header + 2);
    record.declaredSize = 0;
    record.fault = RecordFault::None;
    record.unit.clear();

    // The size field, read only where the record holds it: the record may
    // be empty or end early, and then the next record is where it goes on.
    const bool extended = fieldBytes >= 2 && field[0] == 0 && field[1] == 0;
    const size_t needed = extended ? 6 : 2;
    const bool holdsField = fieldBytes >= needed &&
                            findRecord(start, start + int64_t(needed)) == start + int64_t(needed);
    if (holdsField)
        record.declaredSize =
            extended ? bigEndian32(field + 2) : uint32_t(field[0] << 8 | field[1]);
    const uint32_t least = extended ? ExtendedUnitHeaderBytes : DvdUnitHeaderBytes;
    if (!holdsField || record.declaredSize < least) {
        record.fault = RecordFault::NoSize;
        position_ = findRecord(start, size_);
        return true;
    }

    const int64_t end = start + int64_t(record.declaredSize);
    const bool endsThere = end == size_ || (end < size_ && isRecordAt(end));
    if (record.declaredSize > MaxSubpictureUnitBytes) {
        record.fault = RecordFault::TooLarge;
        position_ = endsThere ? end : findRecord(start, size_);
        return true;
    }
    if (endsThere) {
        record.unit.resize(record.declaredSize);
        readExactly(source_, record.unit.data(), record.unit.size(), start);
        position_ = end;
        return true;
    }
    // No record follows where the unit ends: either the next record starts
    // inside the unit (the unit was cut short), or the file ends before the
    // unit does, or the unit is whole and followed by stray bytes.
    const int64_t held = std::min(end, size_);
    const int64_t next = findRecord(start, held);
    if (next < held || end > size_) {
        record.fault = RecordFault::Cut;
        record.unit.resize(size_t(next - start));
        readExactly(source_, record.unit.data(), record.unit.size(), start);
        position_ = next < held ? next : size_;
        return true;
    }
    record.unit.resize(record.declaredSize);
    readExactly(source_, record.unit.data(), record.unit.size(), start);
    position_ = end; // the stray bytes are passed over by the next call
    return true;
}

} // namespace tarnwick
