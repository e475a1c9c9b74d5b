#include "matroska/mkv_outputs.h"

#include "engine/files.h"
#include "model/file_names.h"

namespace tarnwick {

std::vector<ReadFile> matroskaReads(const MatroskaRequest& request) {
    std::vector<ReadFile> files;
    for (const std::string& file : titleFiles(request.title))
        files.push_back({"source", file});
    for (const std::string& playlist : request.playlists)
        files.push_back({"playlist", playlist});
    if (request.demuxed)
        for (const DemuxedFile& f : request.demuxed->files)
            files.push_back({"demuxed stream", f.path});
    return files;
}

std::string besideName(const MatroskaRequest& request, const std::string& name,
                       const DemuxStream& stream) {
    const std::string base = joinOutputPath(request.outputFolder, name);
    const std::string beside = outputFileName(base, stream.caption, "sup");
    for (const DemuxStream& other : request.streams) {
        if (&other == &stream) break;
        if (other.kind == StreamKind::Subpicture &&
            outputFileName(base, other.caption, "sup") == beside)
            return outputFileName(base, stream.caption, "sup",
                                  "." + slotName(stream.kind, stream.slot));
    }
    return beside;
}

void checkMatroskaOutputs(const MatroskaRequest& request, const std::string& name,
                          const std::string& mkv) {
    std::vector<std::string> outputs{mkv};
    if (!request.demuxed)
        for (const DemuxStream& s : request.streams)
            if (s.kind == StreamKind::Subpicture) outputs.push_back(besideName(request, name, s));
    const std::string conflict = outputConflict(outputs, matroskaReads(request));
    if (!conflict.empty()) throw FileError(conflict);
    for (const std::string& output : outputs)
        if (const std::string why = notReplaceable(output); !why.empty())
            throw FileError("Cannot create file \"" + output + "\". " + why);
}

} // namespace tarnwick
