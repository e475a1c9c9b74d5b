#include "matroska/audio_frames.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tarnwick {

namespace {

// AC-3 frame sizes in 16-bit words by frmsizecod / 2: at 48 kHz twice the
// bit rate in kbit/s, at 32 kHz three times; at 44.1 kHz an odd frmsizecod
// adds a word.
constexpr uint16_t Ac3Words48[19] = {64,  80,  96,  112, 128, 160, 192,  224,  256, 320,
                                     384, 448, 512, 640, 768, 896, 1024, 1152, 1280};
constexpr uint16_t Ac3Words44[19] = {69,  87,  104, 121, 139, 174, 208,  243,  278, 348,
                                     417, 487, 557, 696, 835, 975, 1114, 1253, 1393};
constexpr int32_t Ac3Rates[3] = {48000, 44100, 32000};
constexpr int32_t Eac3ReducedRates[3] = {24000, 22050, 16000}; // fscod2
constexpr int32_t Eac3Blocks[4] = {1, 2, 3, 6};                // numblkscod

// The DTS core's SFREQ and the extension substream's nuRefClockCode.
constexpr int32_t DtsRates[16] = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                  44100, 0,    0,     12000, 24000, 48000, 0,     0};
constexpr int32_t DtsRefClocks[4] = {32000, 44100, 48000, 0};

constexpr uint32_t DtsCoreSync = 0x7FFE8001;
constexpr uint32_t DtsSubstreamSync = 0x64582025;
constexpr uint32_t TrueHdMajorSync = 0xF8726FBA;
constexpr uint32_t MlpMajorSync = 0xF8726FBB;

// mkvmerge stops reading a DTS stream at a core header that gives a frame
// shorter than this, or a source PCM resolution (PCMR) of 4 or 7.
constexpr int32_t DtsSmallestCore = 96;
// An access unit shorter than this sends mkvmerge to the next major sync.
constexpr int32_t SmallestUnit = 8;
// The bytes mkvmerge needs after a core to read the size of an extension
// substream; with fewer at the end of the stream the core stands alone.
constexpr size_t DtsSubstreamSizeBytes = 9;

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Reads `count` bits at bit `at` of a big-endian header.
uint32_t bits(const uint8_t* p, size_t at, int count) {
    uint32_t value = 0;
    for (int k = 0; k < count; ++k, ++at)
        value = value << 1 | ((p[at >> 3] >> (7 - (at & 7))) & 1);
    return value;
}

// The sizes in an extension substream header: the header size type picks
// 8 + 16 or 12 + 20 bits for nuExtSSHeaderSize and nuExtSSFsize.
struct SubstreamHeader {
    size_t need = 0;  // bytes up to nuExtSSFsize
    int32_t size = 0; // nuExtSSFsize + 1
    size_t staticAt = 0;
};

SubstreamHeader substreamHeader(const uint8_t* p) {
    // SYNCEXTSSH, UserDefinedBits (8), nExtSSIndex (2), bHeaderSizeType (1).
    const bool wide = bits(p, 42, 1) != 0;
    SubstreamHeader h;
    h.need = wide ? 10 : 9;
    h.staticAt = wide ? 75 : 67;
    return h;
}

void readSubstreamSize(const uint8_t* p, SubstreamHeader& h) {
    h.size = h.staticAt == 75 ? int32_t(bits(p, 55, 20)) + 1 : int32_t(bits(p, 51, 16)) + 1;
}

int32_t unitLength(const uint8_t* p) {
    return ((p[0] & 0x0F) << 8 | p[1]) * 2;
}

bool isMajorSync(const uint8_t* p) {
    const uint32_t word = be32(p);
    return word == TrueHdMajorSync || word == MlpMajorSync;
}

} // namespace

AudioFrameFinder::AudioFrameFinder(StreamCodec codec, bool mlp) {
    switch (codec) {
    case StreamCodec::DolbyDigital:
    case StreamCodec::DolbyDigitalPlus: family_ = Family::Ac3; break;
    case StreamCodec::DTS: family_ = Family::Dts; break;
    case StreamCodec::TrueHD: family_ = Family::TrueHd; break;
    case StreamCodec::LPCM:
        if (!mlp) throw std::invalid_argument("LPCM has no frames to find");
        family_ = Family::TrueHd;
        break;
    default: throw std::invalid_argument("no frame finder for this codec");
    }
}

void AudioFrameFinder::feed(const uint8_t* bytes, size_t count, std::vector<AudioFrame>& found) {
    if (finished_ || count == 0) return;
    run(bytes, count, false, found);
}

void AudioFrameFinder::finish(std::vector<AudioFrame>& found) {
    if (finished_) return;
    run(nullptr, 0, true, found);
    if (inPart_) {
        // Cut short by the end: mkvmerge drops it, and a core whose extension
        // substream is cut goes with it.
        skipped_ += partFrame_.bytes - remaining_;
        if (part_ == Part::CoreSubstream && holding_) {
            skipped_ += held_.bytes;
            holding_ = false;
        }
        inPart_ = false;
        remaining_ = 0;
    }
    flushHeld(found);
    finished_ = true;
}

void AudioFrameFinder::run(const uint8_t* piece, size_t count, bool end,
                           std::vector<AudioFrame>& found) {
    // The bytes from the cursor on are the carried header bytes, then the
    // piece; a header that starts in the carried bytes is read from a copy
    // joined with the start of the piece.
    const size_t carried = carried_;
    uint8_t joined[2 * MaxHeader];
    size_t joinedSize = 0;
    if (carried > 0) {
        const size_t extra = std::min(count, MaxHeader);
        std::memcpy(joined, carry_, carried);
        if (extra > 0) std::memcpy(joined + carried, piece, extra);
        joinedSize = carried + extra;
    }
    carried_ = 0;
    const int64_t base = position_;
    const size_t total = carried + count;
    size_t cursor = 0;
    for (;;) {
        if (inPart_) {
            const size_t left = total - cursor;
            if (remaining_ > int64_t(left)) {
                remaining_ -= int64_t(left);
                cursor = total;
                break;
            }
            cursor += size_t(remaining_);
            remaining_ = 0;
            inPart_ = false;
            partDone(found);
            continue;
        }
        if (stalledAt_ >= 0) {
            skipped_ += int64_t(total - cursor);
            cursor = total;
            break;
        }
        const bool inCarry = cursor < carried;
        const uint8_t* at = inCarry ? joined + cursor : piece + (cursor - carried);
        const size_t avail = inCarry ? joinedSize - cursor : total - cursor;
        if (avail == 0 && !end) break;
        position_ = base + int64_t(cursor);
        const Step step = examine(at, avail, end, found);
        if (step.verdict == Verdict::More) {
            if (end) {
                skipped_ += int64_t(total - cursor);
                cursor = total;
            }
            break;
        }
        switch (step.verdict) {
        case Verdict::Skip: {
            // On to the next byte that can start a header: a quick scan
            // through damaged bytes.
            size_t next = cursor + 1;
            if (next >= carried && next < total) {
                const uint8_t* from = piece + (next - carried);
                next = carried + size_t(nextCandidate(from, piece + count) - piece);
            }
            skipped_ += int64_t(next - cursor);
            cursor = next;
            break;
        }
        case Verdict::Take:
            if (part_ != Part::Dependent && part_ != Part::CoreSubstream) flushHeld(found);
            partFrame_.offset = position_;
            partFrame_.bytes = step.size;
            remaining_ = step.size;
            inPart_ = true;
            break;
        case Verdict::Stop: stalledAt_ = position_; break;
        default: break; // Again: the state changed; look at the same byte anew
        }
    }
    position_ = base + int64_t(cursor);
    if (cursor < total) {
        // Fewer bytes than a header decision needs, so fewer than MaxHeader.
        carried_ = total - cursor;
        const uint8_t* from = cursor < carried ? joined + cursor : piece + (cursor - carried);
        std::memmove(carry_, from, carried_);
    }
}

const uint8_t* AudioFrameFinder::nextCandidate(const uint8_t* from, const uint8_t* end) const {
    switch (family_) {
    case Family::Ac3:
        while (from < end && *from != 0x0B && *from != 0x77)
            ++from;
        return from;
    case Family::Dts:
        while (from < end && *from != 0x7F && *from != 0x64)
            ++from;
        return from;
    case Family::TrueHd: {
        // A major sync stands 4 bytes into its access unit; the last 4
        // bytes of the piece are looked at with the next piece.
        if (end - from <= 4) return from;
        const uint8_t* sync = from + 4;
        while (sync < end && *sync != 0xF8)
            ++sync;
        return sync - 4;
    }
    }
    return from;
}

AudioFrameFinder::Step AudioFrameFinder::examine(const uint8_t* p, size_t avail, bool end,
                                                 std::vector<AudioFrame>& found) {
    switch (family_) {
    case Family::Ac3: return examineAc3(p, avail);
    case Family::Dts: return examineDts(p, avail, end, found);
    case Family::TrueHd: return examineTrueHd(p, avail);
    }
    return {Verdict::Skip};
}

AudioFrameFinder::Step AudioFrameFinder::examineAc3(const uint8_t* p, size_t avail) {
    if (avail < 6) return {Verdict::More};
    // mkvmerge also takes frames whose 16-bit words have their bytes swapped.
    uint8_t swapped[6];
    if (p[0] == 0x77 && p[1] == 0x0B) {
        for (int k = 0; k < 6; k += 2) {
            swapped[k] = p[k + 1];
            swapped[k + 1] = p[k];
        }
        p = swapped;
    } else if (p[0] != 0x0B || p[1] != 0x77) {
        return {Verdict::Skip};
    }
    const int bsid = p[5] >> 3;
    const int fscod = p[4] >> 6;
    if (bsid <= 8) {
        // AC-3: the size from fscod and frmsizecod; bsid 9 and 10 (the
        // half-rate kinds) mkvmerge does not take.
        const int frmsizecod = p[4] & 0x3F;
        if (fscod == 3 || frmsizecod >= 38) return {Verdict::Skip};
        const int pair = frmsizecod >> 1;
        const int words = fscod == 0   ? Ac3Words48[pair]
                          : fscod == 1 ? Ac3Words44[pair] + (frmsizecod & 1)
                                       : Ac3Words48[pair] * 3 / 2;
        part_ = Part::Independent;
        partFrame_.samples = 6 * 256;
        partFrame_.sampleRate = Ac3Rates[fscod];
        return {Verdict::Take, words * 2};
    }
    if (bsid < 11 || bsid > 16) return {Verdict::Skip};
    // E-AC-3: frmsiz + 1 words; dependent substreams (strmtyp 1) belong to
    // the independent frame before them.
    const int strmtyp = p[2] >> 6;
    if (strmtyp == 3) return {Verdict::Skip};
    const int frmsiz = (p[2] & 0x07) << 8 | p[3];
    const int numblkscod = (p[4] >> 4) & 3;
    if (fscod == 3) {
        if (numblkscod == 3) return {Verdict::Skip}; // fscod2 has no rate
        partFrame_.sampleRate = Eac3ReducedRates[numblkscod];
        partFrame_.samples = 6 * 256;
    } else {
        partFrame_.sampleRate = Ac3Rates[fscod];
        partFrame_.samples = Eac3Blocks[numblkscod] * 256;
    }
    part_ = strmtyp == 1 ? Part::Dependent : Part::Independent;
    return {Verdict::Take, (frmsiz + 1) * 2};
}

AudioFrameFinder::Step AudioFrameFinder::examineDts(const uint8_t* p, size_t avail, bool end,
                                                    std::vector<AudioFrame>& found) {
    if (afterCore_) {
        // Only an extension substream that starts where the core ends joins it.
        if (avail >= 4 && be32(p) == DtsSubstreamSync) {
            if (avail >= DtsSubstreamSizeBytes) {
                SubstreamHeader h = substreamHeader(p);
                if (avail >= h.need) {
                    readSubstreamSize(p, h);
                    afterCore_ = false;
                    part_ = Part::CoreSubstream;
                    return {Verdict::Take, h.size};
                }
            }
            if (!end) return {Verdict::More};
            if (avail >= DtsSubstreamSizeBytes) {
                // The substream is cut short: mkvmerge drops the core too.
                skipped_ += held_.bytes;
                holding_ = false;
                afterCore_ = false;
                return {Verdict::Again};
            }
        } else if (avail < 4 && !end) {
            return {Verdict::More};
        }
        flushHeld(found);
        afterCore_ = false;
        return {Verdict::Again};
    }
    if (avail < 4) return {Verdict::More};
    const uint32_t sync = be32(p);
    if (sync == DtsCoreSync) {
        // FTYPE (1), SHORT (5), CPF (1), NBLKS (7), FSIZE (14), AMODE (6),
        // SFREQ (4), ... HFLAG; with CPF the header CRC (16); FILTS (1),
        // VERNUM (4), CHIST (2), PCMR (3).
        if (avail < 13) return {Verdict::More};
        const bool cpf = bits(p, 38, 1) != 0;
        if (cpf && avail < 15) return {Verdict::More};
        const int32_t size = int32_t(bits(p, 46, 14)) + 1;
        const uint32_t pcmr = bits(p, cpf ? 111 : 95, 3);
        if (size < DtsSmallestCore || pcmr == 4 || pcmr == 7) return {Verdict::Stop};
        part_ = Part::Core;
        partFrame_.samples = int32_t(bits(p, 39, 7) + 1) * 32;
        partFrame_.sampleRate = DtsRates[bits(p, 66, 4)];
        return {Verdict::Take, size};
    }
    if (sync != DtsSubstreamSync) return {Verdict::Skip};
    // An extension substream with no core before it is a frame of its own;
    // its duration is in its static fields, when it has them.
    if (avail < DtsSubstreamSizeBytes) return {Verdict::More};
    SubstreamHeader h = substreamHeader(p);
    const size_t full = (h.staticAt + 6 + 7) / 8;
    if (avail < full && (!end || avail < h.need)) return {Verdict::More};
    readSubstreamSize(p, h);
    part_ = Part::Substream;
    partFrame_.samples = 0;
    partFrame_.sampleRate = 0;
    if (avail >= full && size_t(h.size) >= full && bits(p, h.staticAt, 1) != 0) {
        // nuRefClockCode (2), nuExSSFrameDurationCode (3).
        partFrame_.sampleRate = DtsRefClocks[bits(p, h.staticAt + 1, 2)];
        if (partFrame_.sampleRate != 0)
            partFrame_.samples = 512 * int32_t(bits(p, h.staticAt + 3, 3) + 1);
    }
    return {Verdict::Take, h.size};
}

AudioFrameFinder::Step AudioFrameFinder::examineTrueHd(const uint8_t* p, size_t avail) {
    if (synced_) {
        // The access unit header: check nibble (4), access unit length in
        // 16-bit words (12), input timing (16); a major sync may follow.
        if (avail < 2) return {Verdict::More};
        const int32_t length = unitLength(p);
        if (length < SmallestUnit) {
            // mkvmerge looks for the next major sync after this access unit
            // and cuts a frame of this length there; after a major sync access
            // unit of no length it reads past what it finds there instead.
            if (length == 0 && avail < 8) return {Verdict::More};
            pending_ = length;
            pendingAction_ = length == 0 && isMajorSync(p + 4) ? Pending::PassUnit : Pending::Cut;
            synced_ = false;
            return {Verdict::Skip};
        }
        const size_t need = size_t(std::min(length, 10));
        if (avail < need) return {Verdict::More};
        if (length >= 10 && isMajorSync(p + 4)) readMajorSync(p);
        part_ = Part::Unit;
        partFrame_.samples = unitSamples_;
        partFrame_.sampleRate = unitRate_;
        return {Verdict::Take, length};
    }
    // Looking for a major sync: the access units before one are skipped.
    if (avail < 10) return {Verdict::More};
    if (!isMajorSync(p + 4)) return {Verdict::Skip};
    readMajorSync(p);
    const Pending action = pendingAction_;
    pendingAction_ = Pending::None;
    int32_t length = pending_;
    switch (action) {
    case Pending::None: synced_ = true; return {Verdict::Again};
    case Pending::Cut:
        synced_ = true;
        part_ = Part::Unit;
        partFrame_.samples = 0; // no audio of its own
        partFrame_.sampleRate = unitRate_;
        return {Verdict::Take, length};
    case Pending::PassUnit:
        length = unitLength(p);
        if (length < SmallestUnit) {
            // Short itself: on to the next major sync, to read past the
            // access unit there if this one has no length, else past this
            // one's length.
            pending_ = length;
            pendingAction_ = length == 0 ? Pending::PassUnit : Pending::PassLength;
            return {Verdict::Skip};
        }
        break;
    case Pending::PassLength: break;
    }
    synced_ = true;
    part_ = Part::Passed;
    return {Verdict::Take, length};
}

void AudioFrameFinder::readMajorSync(const uint8_t* p) {
    // The rate code: audio_sampling_frequency after a TrueHD major sync, the
    // first group's sampling frequency after the quantization word lengths
    // of an MLP one. 40 samples per access unit at 48 or 44.1 kHz, twice
    // that at twice the rate.
    const int code = (be32(p + 4) == TrueHdMajorSync ? p[8] : p[9]) >> 4;
    if ((code & 7) > 2) return;
    unitRate_ = (code & 8 ? 44100 : 48000) << (code & 7);
    unitSamples_ = 40 << (code & 7);
}

void AudioFrameFinder::partDone(std::vector<AudioFrame>& found) {
    switch (part_) {
    case Part::Independent:
    case Part::Core:
        held_ = partFrame_;
        holding_ = true;
        afterCore_ = part_ == Part::Core;
        break;
    case Part::Dependent:
        if (holding_) {
            held_.bytes += partFrame_.bytes;
        } else {
            held_ = partFrame_;
            holding_ = true;
        }
        break;
    case Part::CoreSubstream:
        held_.bytes += partFrame_.bytes;
        flushHeld(found);
        break;
    case Part::Substream:
    case Part::Unit: found.push_back(partFrame_); break;
    case Part::Passed: skipped_ += partFrame_.bytes; break;
    }
}

void AudioFrameFinder::flushHeld(std::vector<AudioFrame>& found) {
    if (!holding_) return;
    found.push_back(held_);
    holding_ = false;
}

} // namespace tarnwick
