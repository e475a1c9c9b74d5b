// Navigation packets (private stream 2): the first copy-control packet and
// the first data search information (DSI) of each engine call.

#include "engine/engine_call.h"
#include "log/text_format.h"

#include <string>

namespace tarnwick {

namespace {

const char* const CopyGenerationLabels[8] = {
    "", "", "No More Copies", "Encryption Plus Non-Assertion", "Copy One Generation",
    "Copy Never", "", ""};
const char* const AnalogProtectionLabels[8] = {
    "", "Type 1 of APS1 is ON", "Type 2 of APS1 is ON", "Type 3 of APS1 is ON", "", "",
    "APS2 is ON", "APS2 is ON"};

// DSI field offsets from the byte after the sub-stream byte.
struct DsiLayout {
    int audioEntries;
    int subpictureEntries;
};
constexpr DsiLayout DvdDsi{402, 418};
constexpr DsiLayout EvoDsi{530, 546};
constexpr int DsiVobNumber = 24;
constexpr int DsiFirstPtm = 44;
constexpr int DsiLastPtm = 48;
constexpr int CopyControlEncryption = 12;
constexpr int CopyControlValidity = 24;
constexpr int CopyControlValues = 26;

// The decodes read fixed offsets; a packet that does not lie wholly in the
// valid bytes of the chunk (with those offsets) is skipped undecoded.
bool decodable(const EngineCall& c, int u, int lastOffset) {
    const int64_t packetEnd = int64_t(u) + c.p.remaining;
    return packetEnd <= c.p.n && int64_t(u) + lastOffset < c.p.n;
}

void continueAfterPacket(EngineCall& c, int u) {
    const int32_t rest = c.p.remaining > 0 ? c.p.remaining : 0;
    c.p.i = u + rest - 1; // the loop's increment moves past the packet
    c.p.remaining = 0;
}

void copyControlDecode(EngineCall& c, int u) {
    const uint8_t* cc = c.chunk() + u;
    c.p.nav.firstCopyControl = false;
    LogSink& log = c.s.log;
    if (cc[CopyControlEncryption] & 0xC0)
        log.log("[b]This file is ENCRYPTED![/b] Decrypt it before any process.");
    const uint8_t v = cc[CopyControlValidity];
    const uint8_t w = cc[CopyControlValues];
    if ((v & 0x80) && (w >> 5) != 0)
        log.log(std::string("[b]") + CopyGenerationLabels[w >> 5] + "[/b]");
    if ((v & 0x40) && ((w >> 2) & 7) != 0)
        log.log(std::string("[b]") + AnalogProtectionLabels[(w >> 2) & 7] + "[/b]");
    if ((v & 0x20) && (w & 0x02)) log.log("[b]ICT on, constrained analog output[/b]");
    if ((v & 0x10) && (w & 0x01)) log.log("[b]DOT on, analog output not allowed[/b]");
}

void dsiDecode(EngineCall& c, int u, const DsiLayout& layout) {
    const uint8_t* dsi = c.chunk() + u;
    NavigationState& nav = c.p.nav;
    StreamTable& t = c.s.table;
    nav.firstDsi = false;
    if (nav.audioCount == 0)
        for (int k = 0; k < 8; ++k) {
            const uint8_t* e = dsi + layout.audioEntries + 2 * k;
            if (e[0] || e[1]) ++nav.audioCount;
        }
    nav.subCount = 0;
    for (int k = 0; k < 32; ++k)
        if (loadBigEndian32(dsi + layout.subpictureEntries + 4 * k) != 0) ++nav.subCount;

    if (c.scanning()) {
        const int vobNumber = (dsi[DsiVobNumber] << 8) | dsi[DsiVobNumber + 1];
        const bool subs = nav.subCount > 0;
        const int total = nav.videoCount + nav.audioCount + nav.subCount;
        c.s.log.log("VOB number " + std::to_string(vobNumber) + " contains [b]" +
                    std::to_string(nav.videoCount) + "[/b] video " + (subs ? "," : "and") +
                    " [b]" + std::to_string(nav.audioCount) + "[/b] audio " +
                    (subs ? "and [b]" + std::to_string(nav.subCount) + "[/b] subpicture " : "") +
                    "stream" + (total > 1 ? "s." : "."));
    }
    const uint32_t first = loadBigEndian32(dsi + DsiFirstPtm);
    if (t.FirstVideoPtm == 0) t.FirstVideoPtm = first;
    if (c.scanning()) c.s.log.log("PTM of first video frame = [re]" + hex8(first) + "[/re]");
    const uint32_t last = loadBigEndian32(dsi + DsiLastPtm);
    t.LastVideoPtm = last;
    if (c.scanning()) c.s.log.log("PTM of last video frame = " + hex8(last));
    const uint32_t d = last - first;
    t.TotalSeconds += d / 90000.0;
    t.FileDuration = d / 90000.0 / 86400.0;
    if (c.scanning())
        c.s.log.log("Duration = [b]" +
                    formatTimeOfDay(t.FileDuration, TimePattern::HMSDotMillis,
                                    t.TimeFormatSettings) +
                    "[/b]");
}

} // namespace

bool navigationPending(const NavigationState& nav) {
    return nav.subStreamBytePending || nav.copyControlPending || nav.dsiPending;
}

void navigationStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    NavigationState& nav = p.nav;
    if (nav.subStreamBytePending) {
        nav.subStreamBytePending = false;
        --p.remaining;
        if (b == 0x01 && nav.firstDsi)
            nav.dsiPending = true;
        else if (b == 0x04 && nav.firstCopyControl)
            nav.copyControlPending = true;
        else
            p.skipLength = p.remaining;
        return;
    }
    const int u = p.i;
    if (nav.copyControlPending) {
        nav.copyControlPending = false;
        if (decodable(c, u, CopyControlValues)) copyControlDecode(c, u);
        continueAfterPacket(c, u);
        return;
    }
    nav.dsiPending = false;
    const DsiLayout& layout = p.isVob ? DvdDsi : EvoDsi;
    if (decodable(c, u, layout.subpictureEntries + 4 * 32 - 1)) dsiDecode(c, u, layout);
    continueAfterPacket(c, u);
}

} // namespace tarnwick
