// The long steps of the Matroska step between the demux and mkvmerge (an
// LPCM stream made a WAV, subpicture records made a VobSub track) ask whether
// to stop as they go: at Cancel they end with no file made and nothing
// hidden left.

#include "matroska/vobsub_from_records.h"
#include "matroska/vobsub_test_units.h"
#include "matroska/wave_file.h"
#include "support/sample_disc.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// Made with a `stopped` that answers true at its second question; whether
// the step says it stopped.
using Step = std::function<bool(const std::string& folder, const std::function<bool()>& stopped)>;

bool wave(const std::string& folder, const std::function<bool()>& stopped) {
    // Four blocks of 16-bit stereo LPCM.
    writeFile(folder + "a02.mpa", noiseWithoutStartCodes(4 * 256 * 1024, 3));
    const LpcmFormat format{48000, 16, 2};
    return writeWaveFromLpcmRuns(folder + "a02.mpa", format, {{0, 4 * 256 * 1024, 0}},
                                 folder + "a02.wav", stopped)
        .stopped;
}

bool vobSub(const std::string& folder, const std::function<bool()>& stopped) {
    // A thousand units: four questions.
    Bytes records;
    for (uint32_t k = 0; k < 1000; ++k) {
        const Bytes record = spRecord(k * 9000, dvdUnit(100));
        records.insert(records.end(), record.begin(), record.end());
    }
    writeFile(folder + "s00.sup", records);
    VobSubRequest request;
    request.records = folder + "s00.sup";
    request.idxPath = folder + "s00.idx";
    request.subPath = folder + "s00.sub";
    request.videoSize = FrameSize{720, 480};
    request.titleTimeMs = [](const SubpictureRecord& r) { return int64_t(r.time / 90); };
    request.stopped = stopped;
    return writeVobSubFromRecords(request).stopped;
}

} // namespace

TEST(StoppedSteps, AtCancelNoFileIsMadeAndNothingIsLeft) {
    struct Case {
        const char* what;
        Step step;
        std::vector<std::string> left; // the step's input
    };
    for (const Case& c :
         {Case{"LPCM as WAV", wave, {"a02.mpa"}}, Case{"records as VobSub", vobSub, {"s00.sup"}}}) {
        SCOPED_TRACE(c.what);
        const std::string folder = scratchFolder("stopped_steps");
        int asked = 0;
        EXPECT_TRUE(c.step(folder, [&] { return ++asked == 2; }));
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(folderEntries(folder), c.left);
        // Never stopped: the files are made.
        EXPECT_FALSE(c.step(folder, [] { return false; }));
        EXPECT_GT(folderEntries(folder).size(), c.left.size());
    }
}
