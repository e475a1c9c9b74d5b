// Dolby Digital and Dolby Digital Plus: the first sync frame of the payload,
// its syntax chosen by bsid.

#include "analysers/analysers.h"
#include "analysers/chunk_range.h"
#include "analysers/label_tables.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

const int Ac3BlockCounts[4] = {1, 2, 3, 6}; // by numblkscod
const char* const Ac3ChannelModes[8] = {
    "dual mono", "mono",          "L + R",           "L + R + C",
    "L + R + S", "L + R + C + S", "L + R + Ls + Rs", "L + R + C + Ls + Rs"};

struct SyncFrame {
    int frameSizeCode = 0; // frmsiz of Dolby Digital Plus (11 bits)
    int32_t sampleRate = 0;
    int32_t bitRate = 0;
    int blocks = 1;
    int acmod = 0;
    int lfeon = 0;
    int bsid = 0;
    int bsmod = 0;
};

// Loudspeaker channels by acmod, without the LFE channel.
const int Ac3ChannelCounts[8] = {2, 1, 2, 3, 3, 4, 4, 5};

// The nominal bit rate by frmsizecod; codes 38..63 are invalid and give 0.
int32_t nominalBitRate(int frmsizecod) {
    const size_t index = size_t(frmsizecod) >> 1;
    return index < Ac3BitRates.size() ? Ac3BitRates[index] : 0;
}

// The Dolby Digital fields between acmod and lfeon: cmixlev with three
// front channels, surmixlev with surround channels, dsurmod for L + R.
int mixLevelBits(int acmod) {
    int bits = 0;
    if ((acmod & 1) && acmod != 1) bits += 2;
    if (acmod & 4) bits += 2;
    if (acmod == 2) bits += 2;
    return bits;
}

void reportCommon(Description& d, const SyncFrame& f, const TimeFormat& locale) {
    d.add("sample_rate", int64_t(f.sampleRate),
          "   Sampling frequency = [bl]" + formatReal(f.sampleRate / 1000.0, locale) + "[/bl] kHz");
    d.add("bit_rate", int64_t(f.bitRate),
          "   Transmission bitrate = [bl]" + std::to_string(f.bitRate / 1000) + "[/bl] kbit/s");
}

// Decides the syntax from bsid, reports the frame and tells whether the
// analyser stays armed.
bool decideAndReport(Description& d, SyncFrame& f, uint8_t fifthByte, int slot,
                     const TimeFormat& locale) {
    const std::string stream = "   Stream " + std::to_string(slot) + " is ";
    if (f.bsid >= 11 && f.bsid <= 16) {
        const bool valid = f.sampleRate != 0;
        // The frame's bytes at 48 kHz: bytes x 8 x 48000 / (256 x blocks).
        if (valid) f.bitRate = ((f.frameSizeCode + 1) * 2 * 8 * (750 / f.blocks)) / 4;
        d.add("format", std::string("Dolby Digital Plus"), stream + "[b]Dolby Digital Plus[/b]");
        d.add("frame_size", int64_t(f.frameSizeCode * 2 + 2),
              "   frame size = " + std::to_string(f.frameSizeCode * 2 + 2) +
                  " bytes, number of blocks per frame = " + std::to_string(f.blocks));
        d.also("blocks_per_frame", int64_t(f.blocks));
        reportCommon(d, f, locale);
        d.add("channel_arrangement", std::string(Ac3ChannelModes[f.acmod]),
              std::string("   Channel arrangement = [bl]") + Ac3ChannelModes[f.acmod] +
                  "[/bl], bsid = " + std::to_string(f.bsid));
        d.also("bsid", int64_t(f.bsid));
        d.also("channels", int64_t(Ac3ChannelCounts[f.acmod] + f.lfeon));
        d.add("lfe", int64_t(f.lfeon),
              std::string("   LFE channel = [bl]") + (f.lfeon ? "present" : "not present") +
                  "[/bl]");
        return valid;
    }
    f.acmod = fifthByte >> 5;
    f.lfeon = (fifthByte >> (4 - mixLevelBits(f.acmod))) & 1;
    d.add("format", std::string("Dolby Digital"), stream + "[b]Dolby Digital[/b]");
    reportCommon(d, f, locale);
    d.add("channel_arrangement", std::string(Ac3ChannelModes[f.acmod]),
          std::string("   Channel arrangement = [bl]") + Ac3ChannelModes[f.acmod] +
              "[/bl], bsid = " + std::to_string(f.bsid) + ", bsmod =" + std::to_string(f.bsmod));
    d.also("bsid", int64_t(f.bsid));
    d.also("bsmod", int64_t(f.bsmod));
    // The arrangement names the loudspeakers only; the count and the LFE
    // flag tell a 5.1 stream from a 5.0 one.
    d.also("channels", int64_t(Ac3ChannelCounts[f.acmod] + f.lfeon));
    d.also("lfe", int64_t(f.lfeon));
    return f.sampleRate != 0 && f.bitRate != 0;
}

} // namespace

Description describeAC3(const AnalyserInput& in, int audioSlot) {
    Description d;
    uint32_t r = 0;
    bool armed = false;
    int countdown = 0;
    SyncFrame f;
    const int64_t end = rangeEnd(in);
    for (int64_t i = std::max(in.start, 0); i < end; ++i) {
        const uint8_t b = in.chunk[i];
        r = (r << 8) | b;
        if ((r & 0xFFFF) == 0x0B77) {
            // A sync word inside a header being read is not a header byte.
            if (!armed) {
                countdown = 5;
                armed = true;
            }
            continue;
        }
        if (countdown == 0) continue;
        switch (--countdown) {
        case 4: f.frameSizeCode = (b & 7) << 8; break;
        case 3: f.frameSizeCode |= b; break;
        case 2:
            f.sampleRate = Ac3SampleRates[b >> 6];
            f.bitRate = nominalBitRate(b & 0x3F);
            f.blocks = Ac3BlockCounts[(b >> 4) & 3];
            f.acmod = (b >> 1) & 7;
            f.lfeon = b & 1;
            break;
        case 1:
            f.bsid = b >> 3;
            f.bsmod = b & 7;
            break;
        case 0: armed = decideAndReport(d, f, b, audioSlot, in.locale); break;
        }
    }
    return d;
}

} // namespace tarnwick
