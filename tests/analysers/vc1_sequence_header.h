#pragma once
// A VC-1 Advanced-profile sequence header with its display extension, built
// field by field (SMPTE 421M, 6.1).

#include "support/bit_writer.h"

#include <cstdint>
#include <vector>

namespace tarnwick::testing {

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
    return w.finish();
}

} // namespace tarnwick::testing
