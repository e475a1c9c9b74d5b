#pragma once
// The files and folders a run makes for itself beside its outputs: each
// output while it is written, and the Matroska step's work folder. Their
// names are hidden and end in ".<8 hex digits>.tarnwick~"; the run that made
// one holds a lock (flock) on it for as long as it lives. So a run that was
// killed before it could clean up (SIGKILL, a power cut) is told from a live
// one: an entry of that name that no live run holds is a leftover, and the
// next run that writes into the folder removes it.

#include "log/log_sink.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// "." + name (its first 80 bytes) + "." + random in 8 hex digits +
// ".tarnwick~": hidden, of a length every file system takes, and like no
// output's name.
std::string ownName(const std::string& name, uint32_t random);

// Whether a file name has the shape ownName gives.
bool isOwnName(std::string_view name);

// Takes the lock that marks an own file or folder (open at `descriptor`) as
// held by a live run; false when another run holds it. Where the file system
// cannot lock, nothing is locked and the entry is never taken for a leftover.
bool holdOwnLock(int descriptor);

// Whether `name` in the folder open at `folder` is still the file or folder
// open at `descriptor`.
bool stillNamed(int folder, const std::string& name, int descriptor);

// Removes the leftovers of killed runs in the folder ("" for the current
// one): regular files and folders of own names whose lock can be taken, a
// folder with the files in it. Nothing else is touched: no other name, no
// link, pipe or device, nothing a live run holds. Returns the names removed.
std::vector<std::string> removeLeftovers(const std::string& folder);
// The same, logging each leftover removed: what a run that writes into the
// folder does first.
void clearLeftovers(const std::string& folder, LogSink& log);

} // namespace tarnwick
