// DTS and DTS-HD: every core frame header of the payload, and the sync words
// of the channel and 96 kHz frequency extensions.

#include "analysers/analysers.h"
#include "analysers/bit_reader.h"
#include "analysers/chunk_range.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

constexpr uint32_t CoreSync = 0x7FFE8001;
constexpr uint32_t ChannelExtensionSync = 0x5A5A5A5A;
constexpr uint32_t FrequencyExtensionSync = 0x1D95F262;

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

const char* channelMode(uint32_t amode) {
    return amode < 16 ? DtsChannelModes[amode] : "User defined";
}

const char* versionSuffix(uint32_t vernum) {
    if (vernum < 7) return ", Future rev. (compatible)";
    if (vernum == 7) return ", Current";
    return ", Future rev. (incompatible";
}

// The core frame header after the sync word, in stream order.
void coreHeader(LogSink& log, BitReader& r) {
    r.LoadWord();
    r.SkipBits(1);                                                         // FTYPE
    log.log("   PCM core samples = " + std::to_string(r.ReadBits(5) + 1)); // SHORT
    const bool cpf = r.ReadBits(1);
    log.log("   PCM sample blocks = " + std::to_string(r.ReadBits(7) + 1));    // NBLKS
    log.log("   Primary frame byte size = " + std::to_string(r.ReadBits(14))); // FSIZE
    log.log(std::string("   Channel arrangement = [bl]") + channelMode(r.ReadBits(6)) + "[/bl]");
    log.log(std::string("   Sampling frequency = [bl]") + DtsSampleRates[r.ReadBits(4)] +
            "[/bl] kHz");
    log.log(std::string("   Transmission bitrate = [bl]") + DtsBitRates[r.ReadBits(5)] +
            "[/bl] kbit/s");
    r.SkipBits(5); // MIX, DYNF, TIMEF, AUXF, HDCD
    const uint32_t extAudioId = r.ReadBits(3);
    if (r.ReadBits(1)) log.log(std::string("   Extension audio = ") + DtsExtensions[extAudioId]);
    r.SkipBits(1); // ASPF
    log.log(std::string("   LFE channel = ") + DtsLfeModes[r.ReadBits(2)]);
    r.SkipBits(1); // HFLAG
    if (cpf) log.log("   Header CRC = " + hex(r.ReadBits(16), 4));
    r.SkipBits(1); // FILTS
    const uint32_t vernum = r.ReadBits(4);
    log.log("   Encoder software rev. = " + std::to_string(vernum) + versionSuffix(vernum));
    r.SkipBits(2); // CHIST
    log.log(std::string("   Source PCM resolution = ") + DtsPcmResolutions[r.ReadBits(3)]);
}

} // namespace

void AnalyseDTS(Analysis& a, int position, int count) {
    BitReader r(a.table);
    r.window = 0;
    r.position = position;
    // Past the valid bytes the window only holds zeros and matches nothing.
    const int64_t end =
        std::min<int64_t>(int64_t(position) + count - 1, int64_t(validEnd(a.table)) + 4);
    while (r.position < end) {
        r.window = (r.window << 8) | r.byteAt(r.position);
        ++r.position;
        if (r.window == CoreSync)
            coreHeader(a.log, r);
        else if (r.window == ChannelExtensionSync)
            a.log.log("   Channel extension found");
        else if (r.window == FrequencyExtensionSync)
            a.log.log("   Frequency extensiond found ([bl]96[/bl] kHz)");
    }
}

} // namespace tarnwick
