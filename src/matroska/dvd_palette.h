#pragma once
// The 16-colour palette a DVD title set's subpicture units pick their
// colours from, as a VobSub index gives it: RGB, 0xRRGGBB. The disc keeps it
// in the title set's information file (VTS_xx_0.IFO, with a backup copy in
// VTS_xx_0.BUP) as the colour lookup table of each program chain, in YCrCb.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

using SubpicturePalette = std::array<uint32_t, 16>;

// Used when the title set's palette cannot be read: black, white, grey and
// dark grey, four times over. A subpicture unit usually paints its
// background, pattern and two emphasis colours from neighbouring entries, so
// whichever four it picks, the text stays readable in shades of grey.
SubpicturePalette defaultSubpicturePalette();

// One palette entry (Y, Cr, Cb of studio range, 16-235 and 16-240) as RGB,
// with the ITU-R BT.601 matrix, clamped to 0-255.
uint32_t rgbFromYCrCb(uint8_t y, uint8_t cr, uint8_t cb);

// The palette of the first program chain of a title set's information file;
// none when the file cannot be read, is not a title set's, or ends before
// the palette. The file is read as untrusted: no read falls outside it.
std::optional<SubpicturePalette> readTitleSetPalette(const std::string& ifoPath);

// The information file of the title set a VOB belongs to: "VTS_03_2.VOB" ->
// "VTS_03_0.IFO" in the same folder (the name's case kept); empty when the
// name is not a title set's VOB.
std::string titleSetInfoPath(const std::string& vobPath);

// Where a VobSub palette comes from, and the palette.
struct PaletteChoice {
    SubpicturePalette colours = defaultSubpicturePalette();
    std::string source; // the file read; empty: the default palette
};

// The palette of the title set a VOB belongs to: from its IFO, else from its
// BUP, else the default palette.
PaletteChoice titleSetPalette(const std::string& vobPath);

} // namespace tarnwick
