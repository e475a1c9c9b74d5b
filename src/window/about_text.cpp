#include "about_text.h"

namespace tarnwick {

QString aboutText() {
    return QStringLiteral(
        "Tarnwick 0.626\n"
        "HD DVD EVO, DVD-Video VOB and DVD-Audio AOB stream reader, demuxer and rebuilder\n"
        "\n"
        "Credits\n"
        "  Written by the Tarnwick developers at Brackenfold.\n"
        "  The logo is decoded with libjpeg-turbo (the Independent JPEG Group's software).\n"
        "  The window is built with the Qt toolkit.\n"
        "\n"
        "How to use\n"
        "  Drop an EVO (or VOB) file on the window, or choose it with the browse button.\n"
        "  \"Read EVO\" lists the streams; tick the ones you want and press \"Demux\" to\n"
        "  write each one to a file of its own, or \"Rebuild\" to write a new EVO that\n"
        "  keeps only them. \"Read XPL\" reads the disc's VPLST000.XPL for the title's\n"
        "  stream names and chapters; \"Write chapters\" saves the chapter list.\n"
        "\n"
        "Version history\n"
        "  0.626  Settings in the user's configuration folder; chapter file writer;\n"
        "         Rebuild can keep or drop the advanced packs.\n"
        "  0.6    Read XPL: title, streams and chapters of the playlist; the stream\n"
        "         check boxes are pre-selected from it.\n"
        "  0.5    Rebuild: a new EVO with only the ticked streams, renumbered, with\n"
        "         patched navigation packs.\n"
        "  0.4    Detailed stream information: MPEG-2, VC-1, H.264, Dolby Digital (Plus),\n"
        "         DTS (-HD), LPCM, MLP and TrueHD headers; frame counting.\n"
        "  0.3    Second part of a feature (FEATURE_2.EVO) read and demuxed as one title.\n"
        "  0.2    Demux of video, audio and subpicture streams; fast EVO checking.\n"
        "  0.1    First version: Read EVO lists the streams of an EVO file.\n");
}

} // namespace tarnwick
