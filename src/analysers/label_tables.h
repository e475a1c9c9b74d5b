#pragma once
// Fixed texts and values of the audio and video headers, indexed by the
// header field's value.

#include <array>
#include <cstdint>
#include <string_view>

namespace tarnwick {

// Dolby Digital fscod and frmsizecod / 2.
inline constexpr std::array<int32_t, 4> Ac3SampleRates = {48000, 44100, 32000, 0};
inline constexpr std::array<int32_t, 19> Ac3BitRates = {
    32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
    192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};

// TrueHD channel modifiers and channel groups of the 6- and 8-channel
// decoders, one per assignment bit.
inline constexpr std::array<std::string_view, 4> StereoModeLabels = {"Stereo", "Lt/Rt", "Lbin/Rbin",
                                                                     "Mono"};
inline constexpr std::array<std::string_view, 5> ChannelGroupLabels = {
    "Main (Left,Right)", "Centre", "LFE", "Surrounds (Ls/Rs)", "Highs (Lvh/Rvh)"};
inline constexpr std::array<std::string_view, 16> ChannelGroupLabels2 = {
    "Main (Left,Right)",
    "Centre",
    "LFE",
    "Surrounds (Ls/Rs)",
    "Front Highs (Lvh/Rvh)",
    "Inner fronts (Lc/Rc)",
    "Rears (Lrs/Rrs)",
    "Centre surround (Cs)",
    "Top (Ts)",
    "Surround Directs (Lsd/Rsd)",
    "Front Wide (Lw/Rw)",
    "Centre Front High (Cvh)",
    "LFE2",
    "",
    "",
    ""};

// Standard MLP channel assignment; codes 21..31 have no name.
inline constexpr std::array<std::string_view, 32> ChannelArrangements = {
    "C (mono)",
    "L + R",
    "Lf + Rf + S",
    "Lf + Rf + Ls + Rs",
    "Lf + Rf + LFE",
    "Lf + Rf + LFE + S",
    "Lf + Rf + LFE + Ls + Rs",
    "Lf + Rf + C",
    "Lf + Rf + C + S",
    "Lf + Rf + C + Ls + Rs",
    "Lf + Rf + C + LFE",
    "Lf + Rf + C + LFE + S",
    "Lf + Rf + C + LFE + Ls + Rs",
    "Lf + Rf + C + S",
    "Lf + Rf + C + Ls + Rs",
    "Lf + Rf + C + LFE",
    "Lf + Rf + C + LFE + S",
    "Lf + Rf + C + LFE + Ls + Rs",
    "Lf + Rf + Ls + Rs + LFE",
    "Lf + Rf + Ls + Rs + C",
    "Lf + Rf + Ls + Rs + C + LFE"};

// LPCM and MLP quantisation word length and sampling frequency codes, as
// shown and as numbers (0: no value).
inline constexpr std::array<std::string_view, 16> BitDepthLabels = {"16", "20", "24"};
inline constexpr std::array<int32_t, 16> BitDepths = {16, 20, 24};
inline constexpr std::array<std::string_view, 16> SampleRateLabels = {
    "48", "96", "192", "", "", "", "", "", "44.1", "88.2", "176.4"};
inline constexpr std::array<int32_t, 16> SampleRates = {48000, 96000, 192000, 0,     0,     0,
                                                        0,     0,     44100,  88200, 176400};

// H.264 aspect_ratio_idc and VC-1 ASPECT_RATIO.
inline constexpr std::array<std::string_view, 16> AspectRatioLabels = {
    "unspecified",
    "[bl]1:1[/bl] (square samples)",
    "[bl]12:11[/bl] (704x576 4:3)",
    "[bl]10:11[/bl] (704x480 4:3)",
    "[bl]16:11[/bl] (704x576 16:9)",
    "[bl]40:33[/bl] (704x480 16:9)",
    "[bl]24:11[/bl] (352x576 4:3)",
    "[bl]20:11[/bl] (352x480 4:3)",
    "[bl]32:11[/bl] (352x576 16:9)",
    "[bl]80:33[/bl] (352x480 16:9)",
    "[bl]18:11[/bl] (48$576 4:3)",
    "[bl]15:11[/bl] (48$480 4:3)",
    "[bl]64:33[/bl] (528x576 16:9)",
    "[bl]160:99[/bl] (528x480 16:9)",
    "[bl]4:3[/bl]",
    "[bl]3:2[/bl]\""};

} // namespace tarnwick
