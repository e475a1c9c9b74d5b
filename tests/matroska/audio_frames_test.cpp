// The finder's frames are mkvmerge's frames of the same elementary stream
// file, whatever pieces the bytes come in: for streams ffmpeg makes, and for
// streams built from them that show how mkvmerge groups dependent frames and
// extension substreams and how it reads damaged bytes.

#include "matroska/audio_frames.h"
#include "support/ps_writer.h"
#include "support/run_program.h"
#include "support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <regex>

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr StreamCodec Ac3 = StreamCodec::DolbyDigital, Eac3 = StreamCodec::DolbyDigitalPlus,
                      Dts = StreamCodec::DTS, TrueHd = StreamCodec::TrueHD, Mlp = StreamCodec::LPCM;
using Frames = std::vector<AudioFrame>;

Bytes hex(const std::string& text) {
    Bytes out;
    for (size_t k = 0; k + 1 < text.size(); k += text[k] == ' ' ? 1 : 2)
        if (text[k] != ' ') out.push_back(uint8_t(std::stoi(text.substr(k, 2), nullptr, 16)));
    return out;
}

// Feeds the stream in pieces of `piece` bytes (0: of random sizes); every
// byte is in a frame or skipped.
Frames find(StreamCodec codec, const Bytes& data, size_t piece, int64_t* stalledAt = nullptr) {
    AudioFrameFinder finder(codec, codec == Mlp);
    Frames found;
    std::mt19937 random(uint32_t(data.size()));
    for (size_t at = 0; at < data.size(); at += piece) {
        piece = std::min(piece ? piece : 1 + random() % 5000, data.size() - at);
        finder.feed(data.data() + at, piece, found);
    }
    finder.finish(found);
    int64_t bytes = finder.skippedBytes();
    for (const AudioFrame& f : found)
        bytes += f.bytes;
    EXPECT_EQ(bytes, int64_t(data.size()));
    if (stalledAt) *stalledAt = finder.stalledAt();
    return found;
}

// The sizes of mkvmerge's frames of a file; with a timestamp file of
// `lines` lines, mkvmerge's exit code in `exit`.
std::vector<int> mkvmergeFrames(const std::string& file, int lines = -1, int* exit = nullptr) {
    std::vector<std::string> args = {"--ui-language", "en_US", "-o", file + ".mka", file};
    std::string text = "# timestamp format v2\n";
    for (int k = 0; k < lines; ++k)
        text += std::to_string(k) + "\n";
    writeFile(file + ".txt", Bytes(text.begin(), text.end()));
    if (lines >= 0) args.insert(args.end() - 1, {"--timestamps", "0:" + file + ".txt"});
    const int code = runProgram("/usr/bin/mkvmerge", args).exitCode;
    if (exit) *exit = code;
    const std::string info =
        runProgram("/usr/bin/mkvinfo", {"--ui-language", "en_US", "-v", args[3]}).out;
    std::vector<int> sizes;
    const std::regex frame("Frame with size (\\d+)");
    for (auto m = std::sregex_iterator(info.begin(), info.end(), frame);
         m != std::sregex_iterator(); ++m)
        sizes.push_back(std::stoi((*m)[1]));
    return sizes;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Frames `from` to `to` (-1: to the end) of a stream, the last cut to `keep` bytes.
Bytes frames(const Bytes& d, const Frames& fs, int from, int to = -1, int keep = 1 << 20) {
    const int64_t end = to < 0 ? int64_t(d.size()) : fs[to].offset + std::min(fs[to].bytes, keep);
    return Bytes(d.begin() + fs[from].offset, d.begin() + end);
}

// A DTS extension substream: nExtSSIndex `index`, nuExtSSHeaderSize 16, no
// static fields; `keep` cuts it short.
Bytes substream(int size, int index = 0, int keep = 1 << 20) {
    const int n = size - 1; // nuExtSSFsize, after the header size's last 3 bits
    Bytes out = join(
        {hex("6458 2025 00"),
         {uint8_t(index << 6 | 1), uint8_t(0xE0 | n >> 11), uint8_t(n >> 3), uint8_t(n << 5)}});
    out.resize(size_t(std::min(size, keep)));
    return out;
}

Bytes garbage(size_t size, uint32_t seed) { // no sync word but 0B 77 starts below 0x60
    std::mt19937 random(seed);
    Bytes out(size);
    std::generate(out.begin(), out.end(), [&] { return uint8_t(random() % 0x60); });
    return out;
}

} // namespace

// Hand-built headers: sizes, samples and rates, headers mkvmerge skips, and
// the DTS headers that stop it.
TEST(AudioFrameHeaders, SizesSamplesAndRates) {
    struct Case {
        const char* name;
        StreamCodec codec;
        Bytes header;
        int bytes, samples, rate; // bytes 0: no frame
        int64_t stalledAt = -1;
    };
    const Case cases[] = {
        {"ac3 48k", Ac3, hex("0b77 0000 1c40"), 1536, 1536, 48000},
        {"ac3 44.1k, odd frmsizecod", Ac3, hex("0b77 0000 4140"), 140, 1536, 44100},
        {"ac3 32k", Ac3, hex("0b77 0000 a540"), 3840, 1536, 32000},
        {"ac3 bytes swapped", Ac3, hex("770b 0000 401c"), 1536, 1536, 48000},
        {"ac3 fscod 3", Ac3, hex("0b77 0000 dc40"), 0, 0, 0},
        {"ac3 frmsizecod 38", Ac3, hex("0b77 0000 2640"), 0, 0, 0},
        {"ac3 bsid 10", Ac3, hex("0b77 0000 1c50"), 0, 0, 0},
        {"eac3 numblkscod 0", Eac3, hex("0b77 0063 0f80"), 200, 256, 48000},
        {"eac3 44.1k numblkscod 2", Eac3, hex("0b77 0063 6f80"), 200, 768, 44100},
        {"eac3 fscod2 1", Eac3, hex("0b77 0063 df80"), 200, 1536, 22050},
        {"eac3 fscod2 3", Eac3, hex("0b77 0063 ff80"), 0, 0, 0},
        {"eac3 lone dependent", Eac3, hex("0b77 4063 3f80"), 200, 1536, 48000},
        {"eac3 strmtyp 3", Eac3, hex("0b77 c063 3f80"), 0, 0, 0},
        {"eac3 bsid 17", Eac3, hex("0b77 0063 3f88"), 0, 0, 0},
        {"dts 48k", Dts, hex("7ffe8001 fc3c75b0 b4000000 0000"), 1884, 512, 48000},
        {"dts 44.1k NBLKS 7", Dts, hex("7ffe8001 fc1c3e70 a0000001 4000"), 1000, 256, 44100},
        {"dts FSIZE 94 stops", Dts, hex("7ffe8001 fc3c05e0 b4000000 0000"), 0, 0, 0, 0},
        {"dts PCMR 7 stops", Dts, hex("7ffe8001 fc3c75b0 b4000001 c000"), 0, 0, 0, 0},
        {"dts lone substream", Dts, hex("6458 2025 0001 e025 7880"), 300, 1024, 48000},
        {"truehd 48k", TrueHd, hex("001c 0000 f872 6fba 0000"), 56, 40, 48000},
        {"truehd 96k", TrueHd, hex("001c 0000 f872 6fba 1000"), 56, 80, 96000},
        {"truehd no major sync", TrueHd, hex("001c 0000 1234 5678 0000"), 0, 0, 0},
        {"mlp 44.1k", Mlp, hex("001c 0000 f872 6fbb 0f8f"), 56, 40, 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes data = c.header;
        data.resize(std::max<size_t>(c.bytes, 2000));
        int64_t stalledAt = 0;
        EXPECT_EQ(find(c.codec, data, 1, &stalledAt),
                  (c.bytes ? Frames{{0, c.bytes, c.samples, c.rate}} : Frames{}));
        EXPECT_EQ(stalledAt, c.stalledAt);
    }
    EXPECT_THROW(AudioFrameFinder(StreamCodec::LPCM), std::invalid_argument);
    EXPECT_THROW(AudioFrameFinder(StreamCodec::MPEG2), std::invalid_argument);
}

// ffmpeg's streams as they are and built into 7.1 E-AC-3, DTS-HD and damaged
// streams: every cut gives mkvmerge's frames, and on a clean stream a
// timestamp file of one line per frame is what mkvmerge takes unwarned.
TEST(AudioFrameFinder, FramesAreMkvmergesFrames) {
    if (!std::filesystem::exists("/usr/bin/ffmpeg") || !std::filesystem::exists("/usr/bin/mkvinfo"))
        GTEST_SKIP() << "ffmpeg and mkvtoolnix are needed";
    const std::string folder = scratchFolder("audio_frames");
    using Build = std::function<Bytes(const Bytes&, const Frames&)>;
    const auto each = [](std::function<Bytes(const Bytes&)> build) -> Build {
        return [build](const Bytes& d, const Frames& fs) {
            Bytes out;
            for (int k = 0; k < int(fs.size()); ++k)
                out = join({out, build(frames(d, fs, k, k))});
            return out;
        };
    };
    const Build damaged = [](const Bytes& d, const Frames& fs) {
        Bytes swapped = frames(d, fs, 41, 41); // byte-swapped 16-bit words
        for (size_t b = 0; b + 1 < swapped.size(); b += 2)
            std::swap(swapped[b], swapped[b + 1]);
        return join({garbage(1000, 1), frames(d, fs, 1, 1), frames(d, fs, 2, 2, 100),
                     frames(d, fs, 3, 3), Bytes(333), frames(d, fs, 4, 4), hex("0b77 0000 1c40"),
                     garbage(200, 2), frames(d, fs, 5, 40), swapped, garbage(17, 3),
                     frames(d, fs, 42, 43, 10), frames(d, fs, 44), Bytes(5), hex("0b77")});
    };
    const Build dependent = each([](const Bytes& f) {
        Bytes d = f;
        d[2] = uint8_t(0x40 | (f[2] & 0x07)); // strmtyp 1: a dependent substream
        return join({f, d});
    });
    const Build coreAndSubstream = each([](const Bytes& f) { return join({f, substream(300)}); });
    const Build substreams = [](const Bytes& d, const Frames& fs) {
        return join({substream(80), frames(d, fs, 0, 0), substream(300), substream(200, 1),
                     frames(d, fs, 1, 1), Bytes(5), substream(300), frames(d, fs, 2, 2),
                     substream(300, 2), frames(d, fs, 3), substream(300, 1, 200)});
    };
    const Build dtsStop = [](const Bytes& d, const Frames& fs) {
        return join({frames(d, fs, 0, 9), hex("7ffe8001"), Bytes(100), frames(d, fs, 10)});
    };
    struct Case {
        const char* name;
        StreamCodec codec;
        const char* format;
        int rate, samples; // of ffmpeg's frames
        Build build;       // null: ffmpeg's stream as it is
    };
    const Case cases[] = {
        {"ac3", Ac3, "ac3", 48000, 1536, nullptr},
        {"ac3 44.1k", Ac3, "ac3", 44100, 1536, nullptr},
        {"ac3 damaged", Ac3, "ac3", 48000, 1536, damaged},
        {"eac3", Eac3, "eac3", 48000, 1536, nullptr},
        {"eac3 7.1, dependent frames", Eac3, "eac3", 48000, 1536, dependent},
        {"dts", Dts, "dts", 48000, 512, nullptr},
        {"dts damaged", Dts, "dts", 48000, 512, damaged},
        {"dts-hd, core and substream", Dts, "dts", 48000, 512, coreAndSubstream},
        {"dts-hd, other substreams", Dts, "dts", 48000, 512, substreams},
        {"dts stops at FSIZE 0", Dts, "dts", 48000, 512, dtsStop},
        {"truehd", TrueHd, "truehd", 48000, 40, nullptr},
        {"truehd 96k", TrueHd, "truehd", 96000, 80, nullptr},
        {"truehd damaged", TrueHd, "truehd", 48000, 40, damaged},
        {"mlp", Mlp, "mlp", 48000, 40, nullptr},
        {"mlp 44.1k damaged", Mlp, "mlp", 44100, 40, damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rate = std::to_string(c.rate), made = folder + c.format + rate;
        const std::vector<std::string> make = {"-v",
                                               "error",
                                               "-n",
                                               "-f",
                                               "lavfi",
                                               "-i",
                                               "sine=f=440:r=" + rate + ":d=2",
                                               "-ac",
                                               c.codec == Eac3 ? "6" : "2",
                                               "-strict",
                                               "-2",
                                               "-c:a",
                                               c.codec == Dts ? "dca" : c.format,
                                               "-f",
                                               c.format,
                                               made};
        runProgram("/usr/bin/ffmpeg", make);
        Bytes data = readFile(made);
        ASSERT_FALSE(data.empty());
        if (c.build) data = c.build(data, find(c.codec, data, 0));
        const std::string file = folder + c.name + "." + c.format;
        writeFile(file, data);

        const Frames whole = find(c.codec, data, data.size());
        std::vector<int> sizes;
        for (const AudioFrame& f : whole)
            sizes.push_back(f.bytes);
        EXPECT_EQ(sizes, mkvmergeFrames(file));
        EXPECT_GE(sizes.size(), 10u);
        for (size_t piece : {1, 7, 0})
            EXPECT_EQ(find(c.codec, data, piece), whole) << piece;
        if (c.build) continue;
        for (size_t k = 0; k < whole.size(); ++k) // one after the other, all alike
            EXPECT_EQ(whole[k], (AudioFrame{k ? whole[k - 1].offset + whole[k - 1].bytes : 0,
                                            whole[k].bytes, c.samples, c.rate}));
        int exit = -1;
        mkvmergeFrames(file, int(sizes.size()), &exit);
        EXPECT_EQ(exit, 0);
        mkvmergeFrames(file, int(sizes.size()) - 1, &exit);
        EXPECT_EQ(exit, 1); // fewer timestamps than frames
    }
}

// Random bytes with sync words in them: the same frames in any pieces.
TEST(AudioFrameFinder, RandomBytesAreReadTheSameInAnyPieces) {
    const Bytes syncs[] = {hex("0b77"),     hex("770b"),     hex("7ffe8001"),
                           hex("64582025"), hex("f8726fba"), hex("0000")};
    std::mt19937 random(7);
    for (StreamCodec codec : {Ac3, Dts, TrueHd, Mlp}) {
        Bytes data(200000);
        std::generate(data.begin(), data.end(), [&] { return uint8_t(random()); });
        for (int k = 0; k < 3000; ++k) {
            const Bytes& s = syncs[random() % std::size(syncs)];
            std::copy(s.begin(), s.end(), data.begin() + random() % (data.size() - 4));
        }
        const Frames whole = find(codec, data, data.size());
        for (size_t piece : {1, 7, 0})
            EXPECT_EQ(find(codec, data, piece), whole);
    }
}
