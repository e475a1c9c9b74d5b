// DTS and DTS-HD: every core frame header of the payload, and the sync words
// of the channel and 96 kHz frequency extensions.

#include "analysers/analysers.h"
#include "analysers/bit_reader.h"
#include "analysers/chunk_range.h"
#include "log/log_line.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr uint32_t CoreSync = 0x7FFE8001;
constexpr uint32_t ChannelExtensionSync = 0x5A5A5A5A;
constexpr uint32_t FrequencyExtensionSync = 0x1D95F262;
constexpr uint32_t HdSubstreamSync = 0x64582025;

const char* const DtsChannelModes[16] = {"A (mono)",
                                         "A+B (dual mono)",
                                         "L + R (stereo)",
                                         "(L+R) + (L-R) (sum-difference)",
                                         "LT + RT (left and right total)",
                                         "C + L + R",
                                         "L + R + S",
                                         "C + L + R + S",
                                         "L + R + Ls + Rs",
                                         "C + L + R + Ls + Rs",
                                         "CL + CR + L + R + Ls + Rs",
                                         "C + L + R + Lr + Rr + OV",
                                         "Cf + Cr + Lf + Rf + Lr + Rr",
                                         "CL + C + CR + L + R + Ls + Rs",
                                         "CL + CR + L + R + Ls1 + Ls2 + Rs1 + Rs2",
                                         "CL + C + CR + L + R + Ls + S + Rs"};
// The decimal commas are part of these texts, whatever the locale.
const char* const DtsSampleRates[16] = {"Invalid", "8", "16", "32", "",   "",   "11,025", "22,05",
                                        "44,1",    "",  "",   "12", "24", "48", "",       ""};
// The same as numbers; 0 where the code gives none.
const int32_t DtsSampleRateValues[16] = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                         44100, 0,    0,     12000, 24000, 48000, 0,     0};
const char* const DtsBitRates[32] = {
    "32",   "56",   "64",   "96",   "112",  "128",  "192",      "224",
    "256",  "320",  "384",  "448",  "512",  "576",  "640",      "768",
    "960",  "1024", "1152", "1280", "1344", "1408", "1411,2",   "1472",
    "1536", "1920", "2048", "3072", "3840", "open", "Variable", "Loss-less"};
const char* const DtsExtensions[8] = {"Channel extension",
                                      "Reserved",
                                      "Frequency extension",
                                      "Channel and Frequency extension",
                                      "Reserved",
                                      "Reserved",
                                      "Reserved",
                                      "Reserved"};
const char* const DtsLfeModes[4] = {"not present", "[bl]present[/bl] (IF:128)",
                                    "[bl]present[/bl] (IF:64)", "invalid"};
const char* const DtsPcmResolutions[8] = {"[bl]16[/bl] bits",
                                          "[bl]16[/bl] bits, [bl]DTS ES[/bl]",
                                          "[bl]20[/bl] bits",
                                          "[bl]20[/bl] bits, [bl]DTS ES[/bl]",
                                          "",
                                          "[bl]24[/bl] bits, [bl]DTS ES[/bl]",
                                          "[bl]24[/bl] bits",
                                          ""};

// The bit rate codes in bit/s; 0 for "open", "Variable" and "Loss-less".
const int32_t DtsBitRateValues[32] = {32000,   56000,   64000,   96000,   112000,  128000,  192000,
                                      224000,  256000,  320000,  384000,  448000,  512000,  576000,
                                      640000,  768000,  960000,  1024000, 1152000, 1280000, 1344000,
                                      1408000, 1411200, 1472000, 1536000, 1920000, 2048000, 3072000,
                                      3840000, 0,       0,       0};
const int DtsPcmBits[8] = {16, 16, 20, 20, 0, 24, 24, 0};

const char* channelMode(uint32_t amode) {
    return amode < 16 ? DtsChannelModes[amode] : "User defined";
}

const char* versionSuffix(uint32_t vernum) {
    if (vernum < 7) return ", Future rev. (compatible)";
    if (vernum == 7) return ", Current";
    return ", Future rev. (incompatible";
}

// The core frame header after the sync word, in stream order.
void coreHeader(Description& d, BitReader& r) {
    r.LoadWord();
    r.SkipBits(1); // FTYPE
    const uint32_t samples = r.ReadBits(5) + 1;
    d.add("core_samples", int64_t(samples), "   PCM core samples = " + std::to_string(samples));
    const bool cpf = r.ReadBits(1);
    const uint32_t blocks = r.ReadBits(7) + 1;
    d.add("sample_blocks", int64_t(blocks), "   PCM sample blocks = " + std::to_string(blocks));
    const uint32_t frameSize = r.ReadBits(14);
    d.add("frame_size", int64_t(frameSize),
          "   Primary frame byte size = " + std::to_string(frameSize));
    const char* mode = channelMode(r.ReadBits(6));
    d.add("channel_arrangement", std::string(mode),
          std::string("   Channel arrangement = [bl]") + mode + "[/bl]");
    const uint32_t rate = r.ReadBits(4);
    d.add("sample_rate", int64_t(DtsSampleRateValues[rate]),
          std::string("   Sampling frequency = [bl]") + DtsSampleRates[rate] + "[/bl] kHz");
    const uint32_t bitRate = r.ReadBits(5);
    d.add("bit_rate", int64_t(DtsBitRateValues[bitRate]),
          std::string("   Transmission bitrate = [bl]") + DtsBitRates[bitRate] + "[/bl] kbit/s");
    r.SkipBits(5); // MIX, DYNF, TIMEF, AUXF, HDCD
    const uint32_t extAudioId = r.ReadBits(3);
    if (r.ReadBits(1))
        d.add("extension_audio", std::string(DtsExtensions[extAudioId]),
              std::string("   Extension audio = ") + DtsExtensions[extAudioId]);
    r.SkipBits(1); // ASPF
    const uint32_t lfe = r.ReadBits(2);
    d.add("lfe", visibleText(DtsLfeModes[lfe]),
          std::string("   LFE channel = ") + DtsLfeModes[lfe]);
    r.SkipBits(1); // HFLAG
    if (cpf) {
        const uint32_t crc = r.ReadBits(16);
        d.add("header_crc", int64_t(crc), "   Header CRC = " + hex(crc, 4));
    }
    r.SkipBits(1); // FILTS
    const uint32_t vernum = r.ReadBits(4);
    d.add("encoder_revision", int64_t(vernum),
          "   Encoder software rev. = " + std::to_string(vernum) + versionSuffix(vernum));
    r.SkipBits(2); // CHIST
    const uint32_t resolution = r.ReadBits(3);
    d.add("bits_per_sample", int64_t(DtsPcmBits[resolution]),
          std::string("   Source PCM resolution = ") + DtsPcmResolutions[resolution]);
}

} // namespace

Description describeDTS(const AnalyserInput& in) {
    Description d;
    BitReader r(in.chunk.data(), validEnd(in));
    r.window = 0;
    r.position = in.start;
    // Past the valid bytes the window only holds zeros and matches nothing.
    const int64_t end =
        std::min<int64_t>(int64_t(in.start) + in.count - 1, int64_t(validEnd(in)) + 4);
    while (r.position < end) {
        r.window = (r.window << 8) | r.byteAt(r.position);
        ++r.position;
        if (r.window == CoreSync)
            coreHeader(d, r);
        else if (r.window == ChannelExtensionSync)
            d.add("channel_extension", int64_t(1), "   Channel extension found");
        else if (r.window == FrequencyExtensionSync)
            d.add("frequency_extension", int64_t(96000),
                  "   Frequency extensiond found ([bl]96[/bl] kHz)");
        else if (r.window == HdSubstreamSync)
            d.also("hd_substream", int64_t(1)); // not shown in the log
    }
    return d;
}

} // namespace tarnwick
