#pragma once
// The files the Matroska step puts in the output folder (the MKV, subpicture
// streams of another layout beside it) and the files it reads, which none of
// them may be.

#include "engine/file_identity.h"
#include "matroska/mkv_command.h"

#include <string>
#include <vector>

namespace tarnwick {

// The title's files, the playlists and the Demux files the step muxes.
std::vector<ReadFile> matroskaReads(const MatroskaRequest& request);

// The name a subpicture stream of another layout is kept under beside the
// MKV `name`.mkv; two streams whose captions give one name are told apart by
// their box names.
std::string besideName(const MatroskaRequest& request, const std::string& name,
                       const DemuxStream& stream);

// Every name the step may give a file in the output folder, checked before
// anything is written: none is a file the run reads, another output, a
// folder, a device, a pipe or a socket. Raises FileError.
void checkMatroskaOutputs(const MatroskaRequest& request, const std::string& name,
                          const std::string& mkv);

} // namespace tarnwick
