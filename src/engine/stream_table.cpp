#include "engine/stream_table.h"

namespace tarnwick {

StreamTable::StreamTable() : ChunkBuffer(ChunkSize + ChunkSlack, 0) {
    FeatureAudioIds.fill(-1);
    FeatureSubIds.fill(-1);
    FrameWindow.fill(NoFrameWindow);
}

void fillLabelTables(StreamTable& t) {
    t.Ac3SampleRates = {48000, 44100, 32000, 0};
    t.Ac3BitRates = {32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
                     192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};
    t.StereoModeLabels = {"Stereo", "Lt/Rt", "Lbin/Rbin", "Mono"};
    t.ChannelGroupLabels = {"Main (Left,Right)", "Centre", "LFE", "Surrounds (Ls/Rs)",
                            "Highs (Lvh/Rvh)"};
    t.ChannelGroupLabels2 = {"Main (Left,Right)",
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
    t.ChannelArrangements = {"C (mono)",
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
    for (size_t k = 21; k < t.ChannelArrangements.size(); ++k)
        t.ChannelArrangements[k].clear();
    t.BitDepthLabels = {"16", "20", "24"};
    t.SampleRateLabels = {"48", "96", "192", "", "", "", "", "", "44.1", "88.2", "176.4"};
    t.AspectRatioLabels = {"unspecified",
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
}

std::string closeOutputFiles(StreamTable& t, bool runFailed) {
    std::string firstError;
    auto closeOne = [&](std::unique_ptr<OutputFile>& file) {
        if (!file) return;
        try {
            if (runFailed && file->written() == 0)
                file->discard();
            else
                file->close();
        } catch (const FileError& e) {
            if (firstError.empty()) firstError = e.what();
        }
        file.reset();
    };
    for (auto& f : t.VideoOut)
        closeOne(f);
    for (auto& f : t.AudioOut)
        closeOne(f);
    for (auto& f : t.SubOut)
        closeOne(f);
    return firstError;
}

} // namespace tarnwick
