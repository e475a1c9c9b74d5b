#pragma once
// The main window as plain data: its controls' states, mirrored by the Qt
// window both ways. The window maps them to the core's requests and shows
// the results in them.

#include "model/playlist_view.h"

#include <array>
#include <string>
#include <vector>

namespace tarnwick {

struct StreamBox {
    bool enabled = false;
    bool ticked = false;
    std::string caption;
    std::string hint;
};

// The 56 stream check boxes: cbVideo0..7, cbAudio00..15, cbSub00..31.
struct StreamBoxes {
    StreamBoxes(); // the layout's captions and hints, all disabled and unticked
    std::array<StreamBox, 8> cbVideo;
    std::array<StreamBox, 16> cbAudio;
    std::array<StreamBox, 32> cbSub;
};

// The "Options" page, control by control, with the layout's defaults.
struct Options {
    std::string eVideoExt = "mpv";
    std::string eAudioExt = "mpa";
    std::string eSubExt = "sup";
    std::string eWorkdir;
    bool cbContinue = true;
    bool cbFastCheck = true;
    std::string ieFastSize = "300"; // the text of the integer field
    bool cbCountFr = true;
    bool cbDetails = true;
    bool cbAutoRead = true;
    bool cbRBAdvanced = false;
    bool cbMuxMKV = false; // Demux ends with the Matroska step
    // The radio group: exactly one is selected.
    bool rbNoAuto = true;
    bool rbAutoDemux = false;
    bool rbAutoRebuild = false;
};

// Enabled states of the buttons.
struct Buttons {
    bool bReadEVO = false;
    bool bReadXPL = false;
    bool bDemux = false;
    bool bRebuild = false;
    bool bCancel = false;
    bool bbEVO = true;
    bool bbXPL = true;
    bool bWriteChaps = false;
};

// Folders and names implied by the chosen source and playlist files.
struct PathState {
    std::string EVOdir;
    std::string EVOname;
    std::string EVObase;
    std::string XPLdir;
    std::string XPLname;
};

// What Read XPL shows: the tag lines of the memo, the tree and the chapter
// lines kept for "Write chapters"; and the attribute items' codec texts that
// name the streams.
struct PlaylistView {
    PlaylistView();
    std::vector<std::string> mXPL;
    std::vector<TreeNode> tvXPL;
    std::vector<std::string> mChapter;
    std::vector<PlaylistStreamName> streams;
    PlaylistCodecs codecs;
};

enum class Page { Status = 0, Video, Audio, Subpicture, XPL, Options, About };

struct WindowState {
    std::string eEVOfile;
    std::string eXPLfile = "VPLST000.XPL";
    StreamBoxes boxes;
    Options options;
    Buttons buttons;
    PathState paths;
    PlaylistView playlist;
    bool cbAutoClear = false;
    Page page = Page::Status;
};

// The value of an integer field's text: a signed 32-bit number, or 0 when the
// text is not a valid number (empty, "-", out of range).
int intEditValue(const std::string& text);
// Whether a key typed into an integer field is accepted (digits, '+', '-',
// Backspace, Enter); anything else is swallowed with a beep.
bool intEditAccepts(char key);

// Selects one of the three radio buttons of the automatic step.
enum class AutoStep { None, Demux, Rebuild };
void selectAutoStep(Options& options, AutoStep step);
AutoStep autoStep(const Options& options);

} // namespace tarnwick
