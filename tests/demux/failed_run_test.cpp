// A run that fails never replaces a file with a shorter one: a second run of
// Demux, Rebuild or the chapter writer into a folder that holds the complete
// outputs of a first one meets a full disk or the file-size limit (SIGXFSZ
// ignored, as a front end does); the first run's files stay as they were,
// what the second one wrote is kept under the partial names, and nothing
// hidden is left.

#include "commands/demux_command.h"
#include "demux/demux_support.h"
#include "engine/write_signals.h"
#include "model/file_names.h"
#include "playlist/chapter_writer.h"
#include "rebuild/rebuild.h"
#include "support/sample_disc.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/resource.h>

using namespace tarnwick;
using namespace tarnwick::testing;
namespace fs = std::filesystem;

namespace {

enum class Writer { Demux, Rebuild, Chapters };
enum class Fault { FullDisk, FileSizeLimit };

constexpr size_t Limit = 1 << 20; // the disk's size, or the largest file

const char* name(Writer w) {
    return w == Writer::Demux ? "Demux" : w == Writer::Rebuild ? "Rebuild" : "Chapters";
}

// A source of `videoBytes` of video and an eighth as much Dolby Digital.
Bytes source(size_t videoBytes, uint32_t seed) {
    StreamSpec video;
    video.streamId = 0xE0;
    video.data = noiseWithoutStartCodes(videoBytes, seed);
    StreamSpec audio;
    audio.streamId = 0xBD;
    audio.subStreamId = 0x80;
    audio.subStreamHeader = audioSubStreamHeader(0x80);
    audio.data = noiseWithoutStartCodes(videoBytes / 8, seed + 1);
    audio.ptsEvery = 2;
    PackWriter writer;
    muxStreams(writer, {video, audio});
    return writer.bytes();
}

std::vector<std::string> chapters(int count) {
    std::vector<std::string> lines;
    for (int k = 1; k <= count; ++k) {
        lines.push_back("CHAPTER" + std::to_string(k) + "=00:00:00.000");
        lines.push_back("CHAPTER" + std::to_string(k) + "NAME=Chapter " + std::to_string(k));
    }
    return lines;
}

// The files of a folder by name.
std::map<std::string, Bytes> files(const std::string& folder) {
    std::map<std::string, Bytes> found;
    for (const std::string& entry : folderEntries(folder))
        found[entry] = fileBytes(folder + "/" + entry);
    return found;
}

// One run of the writer over C.EVO (or, for the chapter file, `chapterCount`
// chapters) into `out`; its errors.
std::vector<std::string> run(Writer w, const std::string& folder, const std::string& out,
                             int chapterCount) {
    CoreRun core;
    RunContext context = core.context();
    if (w == Writer::Chapters)
        return writeChapters({chapters(chapterCount), chapterFilePath(out, "C"), "", {}}, context)
            .errors;
    const ScanResult scan = core.read(folder + "C.EVO");
    EXPECT_TRUE(scan.ok());
    const std::vector<DemuxStream> streams = foundStreams(scan.title.scan);
    const SelectionSet selection = selectionOf(streams);
    if (w == Writer::Rebuild)
        return rebuildTitle({scan.title, selection, false, out, {}}, context).errors;
    OutputNaming naming;
    naming.folder = out;
    return demuxTitle({scan.title, streams, selection, naming, true, {}, nullptr}, context).errors;
}

// Lowers the file-size limit for its life.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

} // namespace

TEST(FailedRun, TheFilesOfAnEarlierRunStayAndThePartialOnesSaySo) {
    ignoreWriteSignals();
    for (const Fault fault : {Fault::FullDisk, Fault::FileSizeLimit}) {
        for (const Writer w : {Writer::Demux, Writer::Rebuild, Writer::Chapters}) {
            const bool full = fault == Fault::FullDisk;
            SCOPED_TRACE(std::string(name(w)) + (full ? " onto a full disk" : " past the limit"));
            const std::string folder = scratchFolder("failed_run");
            const std::string out = folder + "out";
            const std::string roomy = folder + "roomy";
            fs::create_directories(out);
            fs::create_directories(roomy);
            std::optional<ScratchMount> disk;
            if (full) disk.emplace(out, "size=" + std::to_string(Limit));
            if (full && !disk->mounted()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";

            writeFile(folder + "C.EVO", source(200000, 1));
            ASSERT_TRUE(run(w, folder, out, 2).empty());
            const std::map<std::string, Bytes> first = files(out);
            ASSERT_FALSE(first.empty());

            // The second run writes more than fits.
            writeFile(folder + "C.EVO", source(3 * Limit, 2));
            ASSERT_TRUE(run(w, folder, roomy, 40000).empty());
            const std::map<std::string, Bytes> whole = files(roomy);
            std::vector<std::string> errors;
            if (full) {
                errors = run(w, folder, out, 40000);
            } else {
                const FileSizeLimit limit(Limit);
                errors = run(w, folder, out, 40000);
            }
            ASSERT_FALSE(errors.empty());
            EXPECT_NE(errors[0].find(std::strerror(full ? ENOSPC : EFBIG)), std::string::npos)
                << errors[0];

            // Each earlier file as it was, each file of the second run that
            // got bytes under its partial name and holding the start of what
            // a roomy disk holds, and nothing else.
            const std::map<std::string, Bytes> after = files(out);
            size_t partial = 0;
            for (const auto& [file, bytes] : after) {
                if (first.count(file)) {
                    EXPECT_EQ(bytes, first.at(file)) << file;
                    continue;
                }
                ASSERT_TRUE(endsWith(file, ".partial")) << file;
                const Bytes& complete = whole.at(file.substr(0, file.size() - 8));
                EXPECT_LE(bytes.size(), complete.size()) << file;
                EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), complete.begin())) << file;
                ++partial;
            }
            EXPECT_EQ(after.size(), first.size() + partial);
            EXPECT_EQ(partial, whole.size());
        }
    }
}
