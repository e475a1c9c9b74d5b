// Navigation packets (private stream 2): the first copy-control packet and
// the first data search information (DSI) of each engine call.

#include "analysers/bit_reader.h"
#include "engine/engine_call.h"
#include "log/text_format.h"
#include "model/navigation_layout.h"

#include <algorithm>
#include <string>

namespace tarnwick {

namespace {

const char* const CopyGenerationLabels[8] = {
    "", "", "No More Copies", "Encryption Plus Non-Assertion", "Copy One Generation", "Copy Never",
    "", ""};
const char* const AnalogProtectionLabels[8] = {"",
                                               "Type 1 of APS1 is ON",
                                               "Type 2 of APS1 is ON",
                                               "Type 3 of APS1 is ON",
                                               "",
                                               "",
                                               "APS2 is ON",
                                               "APS2 is ON"};

// A navigation packet is decoded only when it lies wholly in the valid bytes
// of the chunk; one that runs past them is skipped undecoded, since the rest
// of it is not in the buffer. (Packets too short to hold the fields that the
// decodes read are skipped at their sub-stream byte.)
bool decodable(const EngineCall& c, int u) {
    return int64_t(u) + c.p.remaining <= c.p.n;
}

void continueAfterPacket(EngineCall& c, int u) {
    const int32_t rest = c.p.remaining > 0 ? c.p.remaining : 0;
    c.p.i = u + rest - 1; // the loop's increment moves past the packet
    c.p.remaining = 0;
}

void copyControlDecode(EngineCall& c, BitReader& packet, int u) {
    c.p.nav.firstCopyControl = false;
    LogSink& log = c.host.log;
    if (packet.byteAt(u + copy_control::Encryption) & 0xC0)
        log.log("[b]This file is ENCRYPTED![/b] Decrypt it before any process.");
    const uint8_t v = packet.byteAt(u + copy_control::Validity);
    const uint8_t w = packet.byteAt(u + copy_control::Values);
    if (c.scanning() && !c.t.Report.sources.empty()) {
        CopyControlReport report;
        report.encrypted = packet.byteAt(u + copy_control::Encryption) & 0xC0;
        if (v & 0x80) report.generation = CopyGenerationLabels[w >> 5];
        if (v & 0x40) report.analogProtection = AnalogProtectionLabels[(w >> 2) & 7];
        report.ict = (v & 0x20) && (w & 0x02);
        report.dot = (v & 0x10) && (w & 0x01);
        c.t.Report.sources.back().copyControl = report;
    }
    if ((v & 0x80) && (w >> 5) != 0)
        log.log(std::string("[b]") + CopyGenerationLabels[w >> 5] + "[/b]");
    if ((v & 0x40) && ((w >> 2) & 7) != 0)
        log.log(std::string("[b]") + AnalogProtectionLabels[(w >> 2) & 7] + "[/b]");
    if ((v & 0x20) && (w & 0x02)) log.log("[b]ICT on, constrained analog output[/b]");
    if ((v & 0x10) && (w & 0x01)) log.log("[b]DOT on, analog output not allowed[/b]");
}

// The 16-bit big-endian field at an index.
uint32_t halfWordAt(BitReader& packet, int index) {
    return wordAt(packet, index) >> 16;
}

void dsiDecode(EngineCall& c, BitReader& packet, int u, const dsi::EntryLayout& layout) {
    NavigationState& nav = c.p.nav;
    StreamTable& t = c.t;
    nav.firstDsi = false;
    if (nav.audioCount == 0)
        for (int k = 0; k < dsi::AudioEntryCount; ++k)
            if (halfWordAt(packet, u + layout.audioEntries + 2 * k) != 0) ++nav.audioCount;
    nav.subCount = 0;
    for (int k = 0; k < dsi::SubpictureEntryCount; ++k)
        if (wordAt(packet, u + layout.subpictureEntries + 4 * k) != 0) ++nav.subCount;

    if (c.scanning()) {
        const uint32_t vobNumber = halfWordAt(packet, u + dsi::VobNumber);
        const bool subs = nav.subCount > 0;
        const int total = nav.videoCount + nav.audioCount + nav.subCount;
        c.host.log.log("VOB number " + std::to_string(vobNumber) + " contains [b]" +
                       std::to_string(nav.videoCount) + "[/b] video " + (subs ? "," : "and") +
                       " [b]" + std::to_string(nav.audioCount) + "[/b] audio " +
                       (subs ? "and [b]" + std::to_string(nav.subCount) + "[/b] subpicture " : "") +
                       "stream" + (total > 1 ? "s." : "."));
    }
    const uint32_t first = wordAt(packet, u + dsi::FirstVideoPtm);
    if (t.FirstVideoPtm == 0) t.FirstVideoPtm = first;
    if (c.scanning()) c.host.log.log("PTM of first video frame = [re]" + hex8(first) + "[/re]");
    const uint32_t last = wordAt(packet, u + dsi::LastVideoPtm);
    t.LastVideoPtm = last;
    if (c.scanning()) c.host.log.log("PTM of last video frame = " + hex8(last));
    const uint32_t d = last - first;
    t.TotalSeconds += d / 90000.0;
    t.FileDuration = d / 90000.0 / 86400.0;
    if (c.scanning() && !t.Report.sources.empty())
        t.Report.sources.back().dsi = DsiReport{halfWordAt(packet, u + dsi::VobNumber),
                                                nav.videoCount,
                                                nav.audioCount,
                                                nav.subCount,
                                                first,
                                                last,
                                                d / 90000.0};
    if (c.scanning())
        c.host.log.log(
            "Duration = [b]" +
            formatTimeOfDay(t.FileDuration, TimePattern::HMSDotMillis, t.TimeFormatSettings) +
            "[/b]");
}

} // namespace

void navigationStep(EngineCall& c, uint8_t b) {
    ParserState& p = c.p;
    NavigationState& nav = p.nav;
    const dsi::EntryLayout& layout = p.isVob ? dsi::DvdEntries : dsi::EvoEntries;
    if (p.stage == ParseStage::NavigationSubStream) {
        --p.remaining;
        // A packet too short for its fields is skipped like any other, so
        // that the byte after it is parsed as the start of the next packet.
        if (b == 0x01 && nav.firstDsi && p.remaining >= layout.fieldsEnd())
            p.stage = ParseStage::Dsi;
        else if (b == 0x04 && nav.firstCopyControl && p.remaining >= copy_control::FieldsEnd)
            p.stage = ParseStage::CopyControl;
        else // an empty packet has nothing to skip
            p.stage = p.remaining > 0 ? ParseStage::Skip : ParseStage::Search;
        return;
    }
    const int u = p.i;
    BitReader packet(c.chunk(), p.n);
    if (decodable(c, u)) {
        if (p.stage == ParseStage::CopyControl)
            copyControlDecode(c, packet, u);
        else
            dsiDecode(c, packet, u, layout);
    }
    p.stage = ParseStage::Search;
    continueAfterPacket(c, u);
}

} // namespace tarnwick
