// Replays every input of the checked-in fuzz corpora through the same entry
// functions as the libFuzzer targets, so that the inputs that once broke a
// command keep passing under this compiler and its sanitizers too.

#include "../fuzz/fuzz_entries.h"
#include "support/ps_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Entry = std::function<std::string(const uint8_t*, size_t)>;

const std::map<std::string, Entry>& entries() {
    static const std::map<std::string, Entry> table = {
        {"engine_scan", fuzz::engineScan},
        {"engine_demux", fuzz::engineDemux},
        {"rebuild", fuzz::rebuild},
        {"playlist", fuzz::playlist},
        {"report_json", fuzz::reportJsonOf},
        {"title_list", fuzz::titleList},
        {"markup", fuzz::markup},
        {"ac3", fuzz::analyseAC3},
        {"dts", fuzz::analyseDTS},
        {"mlp", fuzz::analyseMLP},
        {"lpcm", fuzz::analyseLPCM},
        {"mpeg2", fuzz::analyseMPEG2},
        {"h264", fuzz::analyseH264},
        {"vc1", fuzz::analyseVC1},
    };
    return table;
}

const fs::path Corpora = fs::path(TARNWICK_SAMPLES).parent_path() / "fuzz" / "corpus";

TEST(FuzzRegression, EveryCorpusInputPassesItsTarget) {
    int replayed = 0;
    if (!fs::exists(Corpora)) GTEST_SKIP() << "no corpora at " << Corpora;
    for (const auto& folder : fs::directory_iterator(Corpora)) {
        if (!folder.is_directory()) continue;
        const std::string target = folder.path().filename().string();
        const auto entry = entries().find(target);
        ASSERT_NE(entry, entries().end()) << "a corpus without a target: " << target;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            const testing::Bytes input = testing::readFile(file.path().string());
            EXPECT_EQ(entry->second(input.data(), input.size()), "") << file.path();
            ++replayed;
        }
    }
    RecordProperty("replayed", replayed);
    fs::remove_all(fuzz::scratchFolder());
}

// The entries hold together on the inputs every fuzz run starts from: no
// bytes at all, one flag byte, a lone pack header.
TEST(FuzzRegression, EntriesAcceptEmptyAndTinyInputs) {
    const uint8_t tiny[] = {0x1F, 0x00, 0x00, 0x01, 0xBA};
    for (const auto& [target, entry] : entries()) {
        EXPECT_EQ(entry(tiny, 0), "") << target;
        EXPECT_EQ(entry(tiny, 1), "") << target;
        EXPECT_EQ(entry(tiny, sizeof tiny), "") << target;
    }
    fs::remove_all(fuzz::scratchFolder());
}

} // namespace
} // namespace tarnwick
