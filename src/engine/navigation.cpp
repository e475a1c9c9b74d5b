// Navigation packets (private stream 2): the first copy-control packet and
// the first data search information (DSI) of each clip.

#include "analysers/bit_reader.h"
#include "engine/clip_parse.h"
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
bool decodable(const ClipParse& c, int u) {
    return int64_t(u) + c.p.remaining <= c.p.n;
}

void continueAfterPacket(ClipParse& c, int u) {
    const int32_t rest = c.p.remaining > 0 ? c.p.remaining : 0;
    c.p.i = u + rest - 1; // the loop's increment moves past the packet
    c.p.remaining = 0;
}

void copyControlDecode(ClipParse& c, BitReader& packet, int u) {
    c.p.nav.firstCopyControl = false;
    CopyControlReport report;
    report.validity = packet.byteAt(u + copy_control::Validity);
    report.values = packet.byteAt(u + copy_control::Values);
    const uint8_t v = report.validity;
    const uint8_t w = report.values;
    report.encrypted = packet.byteAt(u + copy_control::Encryption) & 0xC0;
    if (v & 0x80) report.generation = CopyGenerationLabels[w >> 5];
    if (v & 0x40) report.analogProtection = AnalogProtectionLabels[(w >> 2) & 7];
    report.ict = (v & 0x20) && (w & 0x02);
    report.dot = (v & 0x10) && (w & 0x01);
    c.listener.copyControl(report);
}

// The 16-bit big-endian field at an index.
uint32_t halfWordAt(BitReader& packet, int index) {
    return wordAt(packet, index) >> 16;
}

void dsiDecode(ClipParse& c, BitReader& packet, int u, const dsi::EntryLayout& layout) {
    NavigationState& nav = c.p.nav;
    nav.firstDsi = false;
    if (nav.audioCount == 0)
        for (int k = 0; k < dsi::AudioEntryCount; ++k)
            if (halfWordAt(packet, u + layout.audioEntries + 2 * k) != 0) ++nav.audioCount;
    nav.subCount = 0;
    for (int k = 0; k < dsi::SubpictureEntryCount; ++k)
        if (wordAt(packet, u + layout.subpictureEntries + 4 * k) != 0) ++nav.subCount;
    const uint32_t first = wordAt(packet, u + dsi::FirstVideoPtm);
    const uint32_t last = wordAt(packet, u + dsi::LastVideoPtm);
    c.listener.dataSearchInfo(DsiReport{halfWordAt(packet, u + dsi::VobNumber), nav.videoCount,
                                        nav.audioCount, nav.subCount, first, last,
                                        (last - first) / 90000.0});
}

} // namespace

void navigationStep(ClipParse& c, uint8_t b) {
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
