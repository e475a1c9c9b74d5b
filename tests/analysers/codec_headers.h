#pragma once
// Codec headers built field by field, for the analyser tests.

#include "support/bit_writer.h"
#include "support/ps_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::testing {

// MPEG-2 video

struct SequenceHeader {
    int width = 720;
    int height = 576;
    int aspect = 3;
    int frameRateCode = 3;
    uint32_t bitRateValue = 15000;
};

inline Bytes sequenceHeader(const SequenceHeader& s) {
    return BitWriter()
        .put(0x000001B3, 32)
        .put(s.width, 12)
        .put(s.height, 12)
        .put(s.aspect, 4)
        .put(s.frameRateCode, 4)
        .put(s.bitRateValue, 18)
        .put(1, 1)    // marker
        .put(112, 10) // vbv_buffer_size_value
        .put(0, 3)    // constrained, no intra / non-intra matrices
        .finish();
}

inline Bytes sequenceExtension(bool progressive) {
    // identifier 1, profile and level 0x48, progressive_sequence, 4:2:0, ...
    return BitWriter()
        .put(0x000001B5, 32)
        .put(1, 4)
        .put(0x48, 8)
        .flag(progressive)
        .put(1, 2)
        .put(0, 2 + 2 + 12 + 1 + 8 + 1 + 2 + 5)
        .finish();
}

inline Bytes gopHeader() {
    return {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};
}

inline Bytes picture(int codingType) {
    return BitWriter()
        .put(0x00000100, 32)
        .put(0, 10) // temporal_reference
        .put(codingType, 3)
        .put(0xFFFF, 16) // vbv_delay
        .put(0, 3)
        .finish();
}

inline Bytes pictureCodingExtension() {
    return {0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80};
}

// H.264

struct Sps {
    int profile = 100;
    bool constraintSet3 = false;
    int level = 41;
    int chromaFormat = 1;
    int lumaMinus8 = 0, chromaMinus8 = 0;
    std::vector<int> scalingLists; // per list: -1 absent, else the number of deltas written
    int pocType = 0;
    int widthMbs = 120;
    int heightMapUnits = 68;
    bool frameMbsOnly = true;
    std::optional<int> cropBottom = 4;
    bool vui = true;
    int aspectIdc = 1; // -1: none
    int sarWidth = 0, sarHeight = 0;
    int videoFormat = -1;
    std::optional<std::pair<uint32_t, uint32_t>> timing = std::make_pair(1001u, 48000u);
};

// An H.264 NAL unit or a VC-1 EBDU as an encoder writes it: after its
// start code and header (`headerSize` bytes), each 00 00 0x (x <= 3) of the
// payload escaped as 00 00 03 0x.
inline Bytes escapedUnit(const Bytes& unescaped, size_t headerSize) {
    Bytes out(unescaped.begin(), unescaped.begin() + headerSize);
    int zeros = 0;
    for (size_t k = headerSize; k < unescaped.size(); ++k) {
        if (zeros >= 2 && unescaped[k] <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        zeros = unescaped[k] == 0 ? zeros + 1 : 0;
        out.push_back(unescaped[k]);
    }
    return out;
}

// The sequence parameter set with its start code, unescaped.
inline Bytes spsBits(const Sps& s) {
    BitWriter w;
    w.put(0x00000167, 32).put(s.profile, 8);
    w.put(0, 3).flag(s.constraintSet3).put(0, 4).put(s.level, 8).ue(0);
    const std::string high = "100 110 122 144";
    if (high.find(std::to_string(s.profile)) != std::string::npos || s.profile == 244) {
        w.ue(s.chromaFormat);
        if (s.chromaFormat == 3) w.put(0, 1);
        w.ue(s.lumaMinus8).ue(s.chromaMinus8).put(0, 1);
        w.flag(!s.scalingLists.empty());
        for (int list : s.scalingLists) {
            w.flag(list >= 0);
            // Deltas of +1 up to the list's size; -8 turns nextScale to 0 early.
            for (int k = 0; k < list; ++k)
                w.se(k + 1 == list && list < 16 ? -8 - k : 1);
        }
    }
    w.ue(0); // log2_max_frame_num_minus4
    w.ue(s.pocType);
    if (s.pocType == 0) w.ue(2);
    if (s.pocType == 1) w.put(0, 1).se(-3).se(7).ue(3).se(1).se(-1).se(2);
    w.ue(4).put(0, 1); // max_num_ref_frames, gaps
    w.ue(s.widthMbs - 1).ue(s.heightMapUnits - 1).flag(s.frameMbsOnly);
    if (!s.frameMbsOnly) w.put(1, 1);
    w.put(1, 1).flag(s.cropBottom.has_value());
    if (s.cropBottom) w.ue(0).ue(0).ue(0).ue(*s.cropBottom);
    w.flag(s.vui);
    if (s.vui) {
        w.flag(s.aspectIdc >= 0);
        if (s.aspectIdc >= 0) w.put(s.aspectIdc, 8);
        if (s.aspectIdc == 255) w.put(s.sarWidth, 16).put(s.sarHeight, 16);
        w.put(0, 1); // overscan
        w.flag(s.videoFormat >= 0);
        if (s.videoFormat >= 0) w.put(s.videoFormat, 3).put(0, 1).put(1, 1).put(0x010101, 24);
        w.put(1, 1).ue(0).ue(0); // chroma location
        w.flag(s.timing.has_value());
        if (s.timing) w.put(s.timing->first, 32).put(s.timing->second, 32).put(1, 1);
        w.put(0, 1);
    }
    w.put(1, 1); // rbsp_stop_one_bit
    return w.finish();
}

inline Bytes sps(const Sps& s) {
    return escapedUnit(spsBits(s), 5);
}

// Dolby Digital

// A Dolby Digital sync frame header: sync word, crc1, fscod/frmsizecod,
// bsid/bsmod, acmod and what follows.
inline Bytes ac3Header(int fscod, int frmsizecod, int bsid, int bsmod, int acmod) {
    return {0x0B,
            0x77,
            0x12,
            0x34,
            uint8_t((fscod << 6) | frmsizecod),
            uint8_t((bsid << 3) | bsmod),
            uint8_t((acmod << 5) | 0x10)};
}

// A Dolby Digital Plus header: sync word, strmtyp/substreamid/frmsiz,
// fscod/numblkscod/acmod/lfeon, bsid/dialnorm.
inline Bytes eac3Header(int frmsiz, int fscod, int numblkscod, int acmod, int lfeon, int bsid) {
    return {0x0B,
            0x77,
            uint8_t(frmsiz >> 8),
            uint8_t(frmsiz),
            uint8_t((fscod << 6) | (numblkscod << 4) | (acmod << 1) | lfeon),
            uint8_t((bsid << 3) | 0x02),
            0x00};
}

// DTS

struct DtsCore {
    int shortCount = 31;
    bool cpf = false;
    int blocks = 15; // NBLKS
    int frameSize = 2012;
    int amode = 9;
    int sfreq = 13;
    int rate = 24;
    int extAudioId = 0;
    bool extAudio = false;
    int lff = 2;
    int hcrc = 0;
    int vernum = 7;
    int pcmr = 6;
};

inline Bytes dtsCore(const DtsCore& c) {
    BitWriter w;
    w.put(0x7FFE8001, 32).put(1, 1).put(c.shortCount, 5).flag(c.cpf).put(c.blocks, 7);
    w.put(c.frameSize, 14).put(c.amode, 6).put(c.sfreq, 4).put(c.rate, 5);
    w.put(0, 5).put(c.extAudioId, 3).flag(c.extAudio).put(0, 1).put(c.lff, 2).put(0, 1);
    if (c.cpf) w.put(c.hcrc, 16);
    w.put(0, 1).put(c.vernum, 4).put(0, 2).put(c.pcmr, 3).put(0, 8);
    return w.finish();
}

// MLP

// A TrueHD major sync and format information: sampling-frequency nibble,
// modifiers, 6- and 8-channel assignments, then bytes 5 and 6.
inline Bytes trueHdSync(int rate, int stereoMod, int sixMod, int six, int eightMod, int eight,
                        uint8_t byte5 = 0x80, uint8_t byte6 = 0x00) {
    return {0xF8,
            0x72,
            0x6F,
            0xBA,
            uint8_t(rate << 4),
            uint8_t((stereoMod << 6) | (sixMod << 4) | (six >> 1)),
            uint8_t(((six & 1) << 7) | (eightMod << 5) | (eight >> 8)),
            uint8_t(eight),
            byte5,
            byte6};
}

inline Bytes mlpSync(int quantisation, int rate, int arrangement, uint8_t byte5 = 0x80,
                     uint8_t byte6 = 0x00) {
    return {0xF8,
            0x72,
            0x6F,
            0xBB,
            uint8_t(quantisation << 4),
            uint8_t(rate << 4),
            0x00,
            uint8_t(arrangement),
            byte5,
            byte6};
}

// VC-1 Advanced profile (SMPTE 421M): the sequence header with its display
// extension.

struct Vc1SequenceHeader {
    int profile = 3; // Advanced
    int level = 3;
    int chroma = 1;        // 4:2:0
    int codedWidth = 959;  // (1920 - 2) / 2
    int codedHeight = 539; // (1080 - 2) / 2
    bool pulldown = true;
    bool interlace = false;
    bool psf = false;
    bool displayExtension = true;
    int displayWidth = 1919;
    int displayHeight = 1079;
    int aspectRatio = 1; // -1: no aspect ratio
    int aspectHorizontal = 0, aspectVertical = 0;
    int frameRateExp = -1; // >= 0: FRAMERATEIND 1 with this FRAMERATEEXP
    int frameRateNr = 1;   // -1: no frame rate
    int frameRateDr = 2;
};

inline std::vector<uint8_t> vc1SequenceHeader(const Vc1SequenceHeader& h) {
    BitWriter w;
    w.put(0x0000010F, 32).put(h.profile, 2).put(h.level, 3).put(h.chroma, 2);
    w.put(0, 3).put(31, 5).put(0, 1); // FRMRTQ_POSTPROC, BITRTQ_POSTPROC, POSTPROCFLAG
    w.put(h.codedWidth, 12).put(h.codedHeight, 12);
    w.flag(h.pulldown).flag(h.interlace).put(0, 1).put(0, 1).put(1, 1); // TFCNTRFLAG, FINTERPFLAG,
                                                                        // reserved
    w.flag(h.psf).flag(h.displayExtension);
    if (h.displayExtension) {
        w.put(h.displayWidth, 14).put(h.displayHeight, 14);
        w.flag(h.aspectRatio >= 0);
        if (h.aspectRatio >= 0) {
            w.put(h.aspectRatio, 4);
            if (h.aspectRatio == 15) w.put(h.aspectHorizontal, 8).put(h.aspectVertical, 8);
        }
        const bool rate = h.frameRateExp >= 0 || h.frameRateNr >= 0;
        w.flag(rate);
        if (h.frameRateExp >= 0)
            w.put(1, 1).put(h.frameRateExp, 16);
        else if (rate)
            w.put(0, 1).put(h.frameRateNr, 8).put(h.frameRateDr, 4);
        w.put(0, 1); // COLOR_FORMAT_FLAG
    }
    w.put(0, 1); // HRD_PARAM_FLAG
    return escapedUnit(w.finish(), 4);
}

} // namespace tarnwick::testing
