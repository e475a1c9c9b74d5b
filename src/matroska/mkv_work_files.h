#pragma once
// The files the Matroska step makes in its work folder on the way to the
// MKV, and the job as mkvmerge sees it from there.

#include "matroska/mkvmerge_run.h"
#include "matroska/title_timeline.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

// A timestamp file (format v2): one time per frame moved by `shift`, sorted,
// and spare lines `step` apart after the last, in case mkvmerge finds a
// frame more than the index did. Raises FileError.
void writeTimestamps(const std::string& path, const std::vector<TitleTime>& frames, TitleTime shift,
                     double step);

// The stream's file without the byte ranges left out, copied by the kernel
// where it can; false, with no file made, when `stopped` answers true.
// Raises FileError.
bool copyKept(const std::string& from, const std::vector<std::pair<int64_t, int64_t>>& dropped,
              const std::string& to, const std::function<bool()>& stopped);

// The job as mkvmerge sees it from the work folder it runs in: each file by
// its name there.
MkvJob inWorkFolder(MkvJob job);

} // namespace tarnwick
