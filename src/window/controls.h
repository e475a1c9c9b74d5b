#pragma once
// The widgets of the main window, each named after its control (objectName).

#include <QString>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace tarnwick {

class IntEdit;

struct Controls {
    // Source and playlist rows.
    QLineEdit* eEVOfile = nullptr;
    QToolButton* bbEVO = nullptr;
    QPushButton* bReadEVO = nullptr;
    QLineEdit* eXPLfile = nullptr;
    QToolButton* bbXPL = nullptr;
    QPushButton* bReadXPL = nullptr;

    QTabWidget* PageControl = nullptr;

    // "Status": the message log.
    QTextEdit* reMessage = nullptr;
    QPushButton* bClear = nullptr;
    QCheckBox* cbAutoClear = nullptr;

    // "Video", "Audio", "Subpicture".
    std::array<QCheckBox*, 8> cbVideo{};
    std::array<QCheckBox*, 16> cbAudio{};
    std::array<QCheckBox*, 32> cbSub{};

    // "XPL".
    QSplitter* XPLSplitter = nullptr;
    QTreeWidget* tvXPL = nullptr;
    QPlainTextEdit* mXPL = nullptr;
    QPlainTextEdit* mChapter = nullptr; // never shown; holds the chapter lines
    QPushButton* bWriteChaps = nullptr;

    // "Options".
    QLineEdit* eVideoExt = nullptr;
    QLineEdit* eAudioExt = nullptr;
    QLineEdit* eSubExt = nullptr;
    QLineEdit* eWorkdir = nullptr;
    QToolButton* bbWorkdir = nullptr;
    QCheckBox* cbContinue = nullptr;
    QCheckBox* cbFastCheck = nullptr;
    IntEdit* ieFastSize = nullptr;
    QCheckBox* cbCountFr = nullptr;
    QCheckBox* cbDetails = nullptr;
    QCheckBox* cbAutoRead = nullptr;
    QCheckBox* cbRBAdvanced = nullptr;
    QCheckBox* cbMuxMKV = nullptr;
    QRadioButton* rbNoAuto = nullptr;
    QRadioButton* rbAutoDemux = nullptr;
    QRadioButton* rbAutoRebuild = nullptr;

    // Foot of the window.
    QWidget* BottomBar = nullptr;
    QPushButton* bDemux = nullptr;
    QPushButton* bRebuild = nullptr;
    QLabel* imLogo = nullptr;
    QPushButton* bCancel = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 2> panels{};
};

// The tooltip of a hint: the text before "|"; the rest is a long form that
// the window does not show.
QString shortHint(const char* hint);

} // namespace tarnwick
