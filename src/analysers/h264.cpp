// H.264 video: the first sequence parameter set (profile, level, chroma
// format, bit depths, picture size) and the video usability information
// (aspect ratio, video format, timing).

#include "analysers/analysers.h"
#include "analysers/bit_reader.h"
#include "analysers/chunk_range.h"
#include "analysers/unescaped_payload.h"
#include "analysers/label_tables.h"
#include "log/log_line.h"
#include "log/text_format.h"

#include <cmath>
#include <string>
#include <vector>

namespace tarnwick {

namespace {

const char* const H264ChromaFormats[4] = {"monochrome", "4:2:0", "4:2:2", "4:4:4"};
const char* const H264VideoFormats[8] = {"Component", "PAL",         "NTSC", "SECAM",
                                         "MAC",       "Unspecified", "",     ""};

const char* profileLine(uint32_t profileIdc) {
    switch (profileIdc) {
    case 66: return "   Profile = Baseline ";
    case 77: return "   Profile = Main";
    case 88: return "   Profile = Extended";
    case 100: return "   Profile = High";
    case 110: return "   Profile = High 10";
    case 122: return "   Profile = High 4:2:2";
    case 144: return "   Profile = High 4:4:4";
    default: return "   Profile = Unknown";
    }
}

// Profiles whose sequence parameter set carries chroma_format_idc, bit
// depths and scaling matrices: those whose number occurs in the text
// "100 110 122 144" (so 44, 10 or 12 too), and the later high profiles of
// the standard, whose fields would otherwise be read from the wrong place.
bool hasChromaFields(uint32_t profileIdc) {
    if (std::string("100 110 122 144").find(std::to_string(profileIdc)) != std::string::npos)
        return true;
    switch (profileIdc) {
    case 244:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135: return true;
    default: return false;
    }
}

// scaling_list(): the delta_scale values up to the point where nextScale
// turns 0, as the standard reads them.
void skipScalingList(BitReader& r, int size) {
    int64_t lastScale = 8;
    int64_t nextScale = 8;
    for (int j = 0; j < size; ++j) {
        if (nextScale != 0) {
            const int64_t deltaScale = r.ReadSE();
            nextScale = ((lastScale + deltaScale) % 256 + 256) % 256;
        }
        if (nextScale != 0) lastScale = nextScale;
    }
}

// Fields of the frame-rate line; a tick of 0 forms no rate. The timing
// counts fields: a frame lasts two ticks.
void timingInfo(Description& d, BitReader& r, const TimeFormat& locale) {
    const int32_t numUnitsInTick = int32_t(r.ReadBits(32));
    const int32_t timeScale = int32_t(r.ReadBits(32));
    d.add("time_scale", int64_t(timeScale),
          "   Time scale = " + std::to_string(timeScale / 1000000) + " MHz");
    d.also("num_units_in_tick", int64_t(numUnitsInTick));
    if (numUnitsInTick != 0) {
        const double rate = double(timeScale) / (2.0 * double(numUnitsInTick));
        const double shown = std::nearbyint(rate * 1000.0) / 1000.0;
        d.add("frame_rate", shown, "   Frame rate = " + formatReal(shown, locale) + " fps");
    }
    r.SkipBits(1); // fixed_frame_rate_flag
}

void vuiParameters(Description& d, BitReader& r, const TimeFormat& locale) {
    if (r.ReadBits(1)) { // aspect_ratio_info_present_flag
        const uint32_t idc = r.ReadBits(8);
        if (idc < 16) {
            const std::string label(AspectRatioLabels[idc]);
            d.add("aspect_ratio", visibleText(label), "   Aspect ratio = " + label);
        } else if (idc == 255) { // Extended_SAR
            const uint32_t sarWidth = r.ReadBits(16);
            const uint32_t sarHeight = r.ReadBits(16);
            const std::string ratio = std::to_string(sarWidth) + ":" + std::to_string(sarHeight);
            d.add("aspect_ratio", ratio, "   Aspect ratio = " + ratio);
        }
    }
    if (r.ReadBits(1)) r.SkipBits(1); // overscan_info_present_flag, overscan_appropriate_flag
    if (r.ReadBits(1)) {              // video_signal_type_present_flag
        const char* format = H264VideoFormats[r.ReadBits(3)];
        d.add("video_format", std::string(format), std::string("   Video format = ") + format);
        r.SkipBits(1); // video_full_range_flag
        if (r.ReadBits(1))
            r.SkipBits(24); // colour_primaries, transfer_characteristics,
                            // matrix_coefficients
    }
    if (r.ReadBits(1)) { // chroma_loc_info_present_flag
        r.ReadUE();      // chroma_sample_loc_type_top_field
        r.ReadUE();      // chroma_sample_loc_type_bottom_field
    }
    if (r.ReadBits(1)) timingInfo(d, r, locale); // timing_info_present_flag
    r.SkipBits(1);                               // nal_hrd_parameters_present_flag
}

} // namespace

Description describeH264(const AnalyserInput& in) {
    Description d;
    // The frame summary works with the film rate, whatever the stream says.
    d.frameRate = 24000.0 / 1001.0;

    BitReader search(in.chunk.data(), validEnd(in));
    search.position = in.start;
    search.LoadWord();
    // A start code and a NAL header of type 7 (sequence parameter set) with
    // nal_ref_idc 1 or 3. Past the valid bytes the window only holds zeros.
    const int64_t searchEnd =
        std::min<int64_t>(int64_t(in.start) + in.count - 1, int64_t(validEnd(in)) + 4);
    while (search.position < searchEnd && search.window != 0x00000127 &&
           search.window != 0x00000167)
        search.SkipBits(8);
    // The fields follow the NAL header, read without the emulation-prevention
    // bytes of the rest of the chunk's valid data.
    const std::vector<uint8_t> sps =
        unescapedPayload(in.chunk.data(), search.position, validEnd(in));
    BitReader r(sps.data(), int(sps.size()));
    r.LoadWord();

    const uint32_t profileIdc = r.ReadBits(8);
    const std::string profile = profileLine(profileIdc);
    d.add("profile", profile.substr(13, profile.find_last_not_of(' ') - 12), profile);
    d.also("profile_idc", int64_t(profileIdc));
    r.SkipBits(3); // constraint_set0_flag .. constraint_set2_flag
    const bool constraintSet3 = r.ReadBits(1);
    r.SkipBits(4); // constraint_set4_flag, constraint_set5_flag, reserved_zero_2bits
    const uint32_t levelIdc = r.ReadBits(8);
    const std::string level =
        levelIdc == 11 && constraintSet3
            ? std::string("1b")
            : std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10);
    d.add("level", level, "   Level = " + level);
    r.ReadUE(); // seq_parameter_set_id

    uint32_t chromaFormatIdc = 1;
    if (hasChromaFields(profileIdc)) {
        chromaFormatIdc = r.ReadUE();
        if (chromaFormatIdc == 3) r.SkipBits(1); // separate_colour_plane_flag
        const uint32_t lumaMinus8 = r.ReadUE();
        const uint32_t chromaMinus8 = r.ReadUE();
        // An invalid chroma_format_idc has no name.
        const char* chromaName = chromaFormatIdc < 4 ? H264ChromaFormats[chromaFormatIdc] : "";
        d.add("chroma_format", std::string(chromaName),
              std::string("   Chroma format = [bl]") + chromaName +
                  "[/bl]  (l, c) = " + std::to_string(int64_t(lumaMinus8) + 8) + ", " +
                  std::to_string(int64_t(chromaMinus8) + 8) + " bit");
        d.also("bits_per_sample", int64_t(lumaMinus8) + 8);
        d.also("chroma_bits_per_sample", int64_t(chromaMinus8) + 8);
        r.SkipBits(1);       // qpprime_y_zero_transform_bypass_flag
        if (r.ReadBits(1)) { // seq_scaling_matrix_present_flag
            const int lists = chromaFormatIdc != 3 ? 8 : 12;
            for (int k = 0; k < lists; ++k)
                if (r.ReadBits(1)) skipScalingList(r, k < 6 ? 16 : 64);
        }
    }
    // 4:2:0 has half the chroma lines; 4:2:2, 4:4:4 and invalid codes count
    // them one to one.
    const int verticalChromaFactor = chromaFormatIdc == 1 ? 2 : 1;

    r.ReadUE(); // log2_max_frame_num_minus4
    const uint32_t picOrderCntType = r.ReadUE();
    if (picOrderCntType == 0) {
        r.ReadUE(); // log2_max_pic_order_cnt_lsb_minus4
    } else if (picOrderCntType == 1) {
        r.SkipBits(1); // delta_pic_order_always_zero_flag
        r.ReadSE();    // offset_for_non_ref_pic
        r.ReadSE();    // offset_for_top_to_bottom_field
        // At most 255 entries are valid; a damaged count does not make the
        // loop run for billions of codes.
        const uint32_t cycle = std::min<uint32_t>(r.ReadUE(), 255);
        for (uint32_t k = 0; k < cycle; ++k)
            r.ReadSE(); // offset_for_ref_frame
    }
    r.ReadUE();    // max_num_ref_frames
    r.SkipBits(1); // gaps_in_frame_num_value_allowed_flag
    const int64_t width = (int64_t(r.ReadUE()) + 1) * 16;
    const int64_t heightInMapUnits = int64_t(r.ReadUE()) + 1;
    const int frameMbsOnly = int(r.ReadBits(1));
    if (!frameMbsOnly) r.SkipBits(1); // mb_adaptive_frame_field_flag
    int64_t height = (2 - frameMbsOnly) * heightInMapUnits * 16;
    r.SkipBits(1);       // direct_8x8_inference_flag
    if (r.ReadBits(1)) { // frame_cropping_flag
        r.ReadUE();      // frame_crop_left_offset
        r.ReadUE();      // frame_crop_right_offset
        r.ReadUE();      // frame_crop_top_offset
        const int64_t bottom = r.ReadUE();
        height -= bottom * (2 - frameMbsOnly) * (chromaFormatIdc == 0 ? 1 : verticalChromaFactor);
    }
    d.add("width", width,
          "   Size = [bl]" + std::to_string(width) + "[/bl]x[bl]" + std::to_string(height) +
              "[/bl]");
    d.also("height", height);
    if (r.ReadBits(1)) vuiParameters(d, r, in.locale); // vui_parameters_present_flag
    return d;
}

} // namespace tarnwick
