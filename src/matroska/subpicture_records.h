#pragma once
// Reads the subpicture file that Demux writes, one subpicture unit at a
// time. Each record is "SP", the record time (the PES packet's 90 kHz PTS
// minus the title's origin, 32 bits, little-endian), four zero bytes and the
// unit. The record has no length of its own: the unit's size field tells
// where the next record starts. A DVD unit gives its size in its first two
// bytes (big-endian); a unit of HD DVD's extended layout starts with two zero
// bytes and gives its size in the four bytes after them.
//
// Only one unit is held at a time, so memory stays flat whatever the file's
// size. Records whose unit does not match what the record holds are handed
// out with a fault rather than passed on as whole units.

#include "engine/files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr size_t SubpictureRecordHeaderBytes = 10;
// Units larger than this are not read into memory but skipped (a DVD unit is
// at most 65535 bytes; the extended layout's size field is 32 bits).
inline constexpr uint32_t MaxSubpictureUnitBytes = 4u << 20;

enum class RecordFault {
    None,
    // The size field says more than the record holds (the next record starts
    // earlier, or the file ends): `unit` holds the bytes that are there.
    Cut,
    // The record ends before the unit's size field, or the field gives less
    // than a unit's header: `unit` holds the record's bytes.
    NoSize,
    // The size field is above MaxSubpictureUnitBytes: `unit` is empty.
    TooLarge,
};

struct SubpictureRecord {
    int64_t offset = 0;        // of the record's "SP" in the file
    uint32_t time = 0;         // 90 kHz
    uint32_t declaredSize = 0; // the unit's size field
    RecordFault fault = RecordFault::None;
    std::vector<uint8_t> unit;
};

class SubpictureRecordReader {
public:
    // Raises FileError when the file cannot be opened.
    explicit SubpictureRecordReader(const std::string& path);

    // The next record; false at the end of the file. Bytes that belong to no
    // record (in front of the first one, or behind a whole unit before the
    // next record) are passed over and counted. Raises FileError on a read
    // error.
    bool next(SubpictureRecord& record);

    int64_t skippedBytes() const { return skipped_; }

private:
    bool isRecordAt(int64_t position) const;
    // The first record at or after `from` and before `end`; `end` if none.
    int64_t findRecord(int64_t from, int64_t end) const;

    SourceFile source_;
    int64_t size_;
    int64_t position_ = 0;
    int64_t skipped_ = 0;
};

} // namespace tarnwick
