#include "commands/title_files.h"

#include "engine/files.h"
#include "model/file_names.h"

#include <cctype>

namespace tarnwick {

namespace {

// DVD parts are numbered 1 to 9 after the title set: VTS_01_1.VOB.
constexpr char LastPartDigit = '9';

// The position of the part digit in a DVD part name "VTS_xx_n" or
// "ATS_xx_n", or npos.
size_t dvdPartDigit(const std::string& name) {
    const std::string upper = [&] {
        std::string u = name;
        for (char& c : u)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return u;
    }();
    if (upper.size() < 8 || (upper.compare(0, 4, "VTS_") != 0 && upper.compare(0, 4, "ATS_") != 0))
        return std::string::npos;
    const bool shape = std::isdigit(static_cast<unsigned char>(upper[4])) &&
                       std::isdigit(static_cast<unsigned char>(upper[5])) && upper[6] == '_' &&
                       std::isdigit(static_cast<unsigned char>(upper[7]));
    return shape ? 7 : std::string::npos;
}

} // namespace

bool partsAreOneStream(const std::string& source) {
    const std::string ext = upperExtension(source);
    return ext == ".VOB" || ext == ".AOB";
}

std::vector<std::string> featureParts(const std::string& source, const FileExistsTest& exists) {
    std::vector<std::string> parts{source};
    const std::string folder = folderPart(source);
    const std::string name = fileNamePart(source);
    // Where the part number stands: a DVD part's own digit; else "_1" ->
    // "_2", "_3", ...; else "0_" -> "1_" (the second layer of a disc).
    size_t digit = dvdPartDigit(name);
    char last = LastPartDigit;
    if (digit == std::string::npos || name[digit] != '1') {
        if (const size_t at = name.find("_1"); at != std::string::npos) {
            digit = at + 1;
        } else if (const size_t zero = name.find("0_"); zero != std::string::npos) {
            digit = zero;
            last = '1';
        } else {
            return parts;
        }
    }
    for (char next = char(name[digit] + 1); next <= last; ++next) {
        std::string candidate = name;
        candidate[digit] = next;
        if (!exists(folder + candidate)) break;
        parts.push_back(folder + candidate);
    }
    return parts;
}

Title titleOfSource(const std::string& source, bool continueParts, const FileExistsTest& exists) {
    Title title;
    const std::vector<std::string> files =
        continueParts ? featureParts(source, exists) : std::vector<std::string>{source};
    if (partsAreOneStream(source)) {
        title.clips.push_back(Clip{files, {}, {}});
    } else {
        for (const std::string& file : files)
            title.clips.push_back(Clip{{file}, {}, {}});
    }
    title.baseName = baseNameOf(files);
    return title;
}

std::vector<ReadFile> titleReads(const Title& title, const std::vector<std::string>& playlists) {
    std::vector<ReadFile> reads;
    for (const std::string& file : titleFiles(title))
        reads.push_back({"source", file});
    for (const std::string& playlist : playlists)
        reads.push_back({"playlist", playlist});
    return reads;
}

Title titleOfSource(const std::string& source, bool continueParts) {
    return titleOfSource(source, continueParts, fileExists);
}

} // namespace tarnwick
