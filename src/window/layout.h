#pragma once
// The main window's layout: every control with its name, caption, hint and
// default state.

#include "controls.h"

class QMainWindow;

namespace tarnwick {

inline constexpr int ClientWidth = 653;
inline constexpr int ClientHeight = 341;

// Builds the controls into the window and returns them.
Controls buildControls(QMainWindow& window);

// The tab pages, in their order.
QWidget* buildLogPage(Controls& c);
QWidget* buildStreamPage(Controls& c, int kind); // 0 video, 1 audio, 2 subpicture
QWidget* buildPlaylistPage(Controls& c);
QWidget* buildOptionsPage(Controls& c);
QWidget* buildAboutPage();

// The sizes that depend on the window's font, which the pages only inherit
// once they are placed in the window.
void fitToWindowFont(Controls& c);

} // namespace tarnwick
