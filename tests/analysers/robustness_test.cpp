// Every analyser on truncated and random payloads, at the start of the chunk
// and flush against the end of its valid data, with the bytes past the valid
// data poisoned: under AddressSanitizer any read outside the valid bytes of
// the chunk ends the test.

#include "analyser_bench.h"
#include "codec_headers.h"

#include <gtest/gtest.h>

#include <sanitizer/asan_interface.h>

#include <functional>

namespace tarnwick::testing {
namespace {

using Analyser = std::function<void(AnalyserBench&, int, int)>;

struct Named {
    const char* name;
    Analyser run;
};

const Named Analysers[] = {
    {"AC3", [](AnalyserBench& a, int p,
               int n) { logDescription(a, describeAC3(analyserInput(a, p, n), 3)); }},
    {"DTS", [](AnalyserBench& a, int p,
               int n) { logDescription(a, describeDTS(analyserInput(a, p, n))); }},
    {"MLP", [](AnalyserBench& a, int p,
               int n) { logDescription(a, describeMLP(analyserInput(a, p, n))); }},
    {"LPCM", [](AnalyserBench& a, int p,
                int n) { logDescription(a, describeLPCM(analyserInput(a, p, n))); }},
    {"MPEG2",
     [](AnalyserBench& a, int p, int n) {
         logDescription(a, describeMPEG2(analyserInput(a, p, n), 1234), 1);
     }},
    {"H264", [](AnalyserBench& a, int p,
                int n) { logDescription(a, describeH264(analyserInput(a, p, n)), 0); }},
    {"VC1", [](AnalyserBench& a, int p,
               int n) { logDescription(a, describeVC1(analyserInput(a, p, n)), 1); }},
};

// The chunk buffer with its valid data ending at `validEnd`; the bytes after
// it are poisoned while the analyser runs.
class PoisonedChunk {
public:
    void run(const Analyser& analyser, const Bytes& payload, int at, int validEnd, int count) {
        std::vector<uint8_t>& buffer = bench.chunk;
        std::copy(payload.begin(), payload.end(), buffer.begin() + at);
        bench.valid = validEnd;
        uint8_t* tail = buffer.data() + validEnd;
        const size_t tailSize = buffer.size() - size_t(validEnd);
        ASAN_POISON_MEMORY_REGION(tail, tailSize);
        analyser(bench, at, count);
        ASAN_UNPOISON_MEMORY_REGION(tail, tailSize);
        bench.clear();
    }

    AnalyserBench bench;
};

// Every cut of the payload, placed at the chunk's start, at the end of a full
// chunk and at the very end of the buffer; with the count the engine would
// give and with one that runs far past the data.
void cutAtEveryLength(const Named& analyser, const Bytes& payload) {
    SCOPED_TRACE(analyser.name);
    PoisonedChunk chunk;
    const int bufferEnd = int(chunk.bench.chunk.size());
    for (size_t length = 0; length <= payload.size(); ++length) {
        const Bytes cut(payload.begin(), payload.begin() + long(length));
        const int n = int(length);
        for (int count : {n, n + 5000}) {
            chunk.run(analyser.run, cut, 8, 8 + n, count);
            chunk.run(analyser.run, cut, ChunkSize - n, ChunkSize, count);
            chunk.run(analyser.run, cut, bufferEnd - n, bufferEnd, count);
        }
    }
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Payloads with the headers of every analyser, whole and intact.
std::vector<Bytes> headerPayloads() {
    Sps pocOne;
    pocOne.pocType = 1;
    pocOne.scalingLists = {16, -1, 3, -1, -1, -1, 64, 2};
    Sps fields;
    fields.frameMbsOnly = false;
    fields.aspectIdc = 255;
    fields.videoFormat = 1;
    Vc1SequenceHeader custom;
    custom.aspectRatio = 15;
    custom.frameRateExp = 799;
    DtsCore crc;
    crc.cpf = true;
    crc.extAudio = true;
    return {
        join({sequenceHeader({}), sequenceExtension(true), gopHeader(), picture(1),
              pictureCodingExtension(), picture(4), pictureCodingExtension()}),
        join({{0x00, 0x00, 0x00, 0x01, 0x09, 0xF0}, sps({}), sps(pocOne), sps(fields)}),
        join({{0x00, 0x00, 0x01, 0x0E}, vc1SequenceHeader({}), vc1SequenceHeader(custom)}),
        join({ac3Header(0, 0x1C, 8, 0, 7), ac3Header(3, 0x3F, 8, 0, 7),
              eac3Header(767, 0, 3, 7, 1, 16)}),
        join({{0xA0, 0x01, 0x00, 0x04, 0x05, 0x11, 0xFF}, Bytes(8, 0x22)}),
        join({trueHdSync(0, 1, 2, 31, 3, 0x1FFF, 0x12, 0x34), mlpSync(2, 9, 20, 0x00, 0x00)}),
        join({dtsCore({}), dtsCore(crc), {0x5A, 0x5A, 0x5A, 0x5A, 0x1D, 0x95, 0xF2, 0x62}}),
    };
}

TEST(AnalyserRobustness, HeadersCutAtEveryLengthStayInsideTheValidBytes) {
    const std::vector<Bytes> payloads = headerPayloads();
    for (const Named& analyser : Analysers)
        for (const Bytes& payload : payloads)
            cutAtEveryLength(analyser, payload);
}

uint32_t nextRandom(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

TEST(AnalyserRobustness, RandomBytesAfterEverySyncWord) {
    // The sync words and start codes that send each analyser into a header.
    const std::vector<Bytes> syncs = {
        {},
        {0x00, 0x00, 0x01, 0xB3},
        {0x00, 0x00, 0x01, 0xB5},
        {0x00, 0x00, 0x01, 0x00},
        {0x00, 0x00, 0x01, 0x67},
        {0x00, 0x00, 0x01, 0x27},
        {0x00, 0x00, 0x01, 0x0F},
        {0x0B, 0x77},
        {0xF8, 0x72, 0x6F, 0xBA},
        {0xF8, 0x72, 0x6F, 0xBB},
        {0x7F, 0xFE, 0x80, 0x01},
    };
    uint32_t x = 0x12345678;
    for (const Named& analyser : Analysers) {
        SCOPED_TRACE(analyser.name);
        PoisonedChunk chunk;
        for (int round = 0; round < 40; ++round)
            for (const Bytes& sync : syncs) {
                Bytes payload = sync;
                const size_t size = nextRandom(x) % 200;
                for (size_t k = 0; k < size; ++k)
                    payload.push_back(uint8_t(nextRandom(x)));
                const int n = int(payload.size());
                chunk.run(analyser.run, payload, 8, 8 + n, n);
                chunk.run(analyser.run, payload, ChunkSize - n, ChunkSize, n);
            }
    }
}

TEST(AnalyserRobustness, ZeroPaddedParameterSetEndsSafely) {
    // Nothing but zero bits after the start code: every Exp-Golomb code runs
    // into the 32-zero bound, and the cycle of reference frames stays bounded.
    AnalyserBench bench;
    Bytes payload = {0x00, 0x00, 0x01, 0x67, 0x64, 0x00, 0x28, 0x80};
    payload.resize(64, 0x00);
    const int at = bench.place(payload);
    logDescription(bench,
                   describeH264(analyserInput(bench, at, int(payload.size()))), 0);
    ASSERT_GE(bench.lines().size(), 3u);
    EXPECT_EQ(bench.lines()[0], "   Profile = High");
    EXPECT_EQ(bench.lines()[1], "   Level = 4.0");

    AnalyserBench cycle;
    const Bytes longCycle = BitWriter()
                                .put(0x00000167, 32)
                                .put(77, 8)
                                .put(0, 8)
                                .put(40, 8)
                                .ue(0)
                                .ue(0)
                                .ue(1)
                                .put(0, 1)
                                .se(0)
                                .se(0)
                                .ue(0xFFFFFFF0)
                                .finish();
    const int cycleAt = cycle.place(longCycle);
    logDescription(
        cycle,
        describeH264(analyserInput(cycle, cycleAt, int(longCycle.size()))), 0);
    // The fields after the cycle are gone; the analysis still ends.
    EXPECT_EQ(cycle.lines().back().rfind("   Size = ", 0), 0u);
}

} // namespace
} // namespace tarnwick::testing
