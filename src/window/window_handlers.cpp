// The main window's handlers: buttons, browse dialogs, dropped files, the
// default button, and the user's edits written into the window state.

#include "main_window.h"

#include "window/window_paths.h"
#include "model/file_names.h"
#include "window/stream_boxes.h"
#include "engine/files.h"
#include "file_dialogs.h"
#include "int_edit.h"
#include "window_log.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

namespace tarnwick {

namespace {

// Paths stay in the file system's own byte form.
std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString shownPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The longest path a dropped file may have.
constexpr qsizetype MaxDroppedPath = 259;

} // namespace

void MainWindow::bReadEVOClick() {
    runCommand([this] {
        if (!tarnwick::bReadEVOClick(*session_)) return;
        switch (autoStep(state_.options)) {
        case AutoStep::Demux:
            // The Matroska step follows the automatic Demux.
            demuxAndMux(*session_);
            break;
        case AutoStep::Rebuild: tarnwick::bRebuildClick(*session_); break;
        case AutoStep::None: break;
        }
    });
}

void MainWindow::bReadXPLClick() {
    runCommand([this] { tarnwick::bReadXPLClick(*session_); });
}

void MainWindow::bDemuxClick() {
    runCommand([this] { demuxAndMux(*session_); });
}

void MainWindow::bRebuildClick() {
    runCommand([this] { tarnwick::bRebuildClick(*session_); });
}

void MainWindow::bWriteChapsClick() {
    runCommand([this] { tarnwick::bWriteChapsClick(*session_); });
}

void MainWindow::bCancelClick() {
    tarnwick::bCancelClick(*session_);
    refresh();
}

void MainWindow::bbEVOClick() {
    if (running_) return;
    auto dialog = sourceDialog(this, shownPath(state_.paths.EVOdir));
    const QString chosen = chosenPath(*dialog);
    if (chosen.isEmpty()) return;
    state_.eEVOfile = localPath(chosen);
    EVOadj(state_);
    refresh();
    if (c_.bReadEVO->isEnabled()) c_.bReadEVO->setFocus();
    Resetcbs(state_);
    refresh();
    if (state_.options.cbAutoRead) bReadEVOClick();
}

void MainWindow::bbXPLClick() {
    if (running_) return;
    auto dialog =
        playlistDialog(this, shownPath(state_.paths.XPLdir), shownPath(state_.paths.XPLname));
    const QString chosen = chosenPath(*dialog);
    if (chosen.isEmpty()) return;
    state_.eXPLfile = localPath(chosen);
    XPLadj(state_);
    refresh();
    if (state_.options.cbAutoRead) bReadXPLClick();
}

void MainWindow::bbWorkdirClick() {
    const bool exists = folderExists(state_.options.eWorkdir);
    auto dialog = folderDialog(this, exists ? shownPath(state_.options.eWorkdir) : QString());
    const QString chosen = chosenPath(*dialog);
    // Without a valid folder to start from, cancelling leaves the field empty.
    if (!chosen.isEmpty())
        state_.options.eWorkdir = localPath(chosen);
    else if (!exists)
        state_.options.eWorkdir.clear();
    refresh();
}

void MainWindow::WMDropFiles(const QStringList& paths) {
    // A file dropped while a command runs is refused like a second command.
    if (paths.isEmpty() || running_) return;
    const std::string path = localPath(paths.front().left(MaxDroppedPath));
    const std::string extension = upperExtension(path);
    if (extension == ".EVO" || extension == ".VOB") {
        state_.eEVOfile = path;
        EVOadj(state_);
        refresh();
        if (state_.options.cbAutoRead) bReadEVOClick();
    } else if (extension == ".XPL") {
        state_.eXPLfile = path;
        XPLadj(state_);
        refresh();
        if (state_.options.cbAutoRead) bReadXPLClick();
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (!running_ && e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    e->acceptProposedAction();
    // The drop completes at once; the file is taken after it, so the program
    // the file came from is not kept waiting for a whole Read EVO.
    QMetaObject::invokeMethod(
        this, [this, paths] { WMDropFiles(paths); }, Qt::QueuedConnection);
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) {
        QMainWindow::keyPressEvent(e);
        return;
    }
    // Enter presses the focused button, else the default button "Read EVO".
    if (auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        focused && !qobject_cast<QCheckBox*>(focused) && !qobject_cast<QRadioButton*>(focused)) {
        if (focused->isEnabled()) focused->click();
    } else if (c_.bReadEVO->isEnabled()) {
        c_.bReadEVO->click();
    }
    e->accept();
}

void MainWindow::connectControls() {
    connect(c_.bReadEVO, &QPushButton::clicked, this, &MainWindow::bReadEVOClick);
    connect(c_.bReadXPL, &QPushButton::clicked, this, &MainWindow::bReadXPLClick);
    connect(c_.bDemux, &QPushButton::clicked, this, &MainWindow::bDemuxClick);
    connect(c_.bRebuild, &QPushButton::clicked, this, &MainWindow::bRebuildClick);
    connect(c_.bWriteChaps, &QPushButton::clicked, this, &MainWindow::bWriteChapsClick);
    connect(c_.bCancel, &QPushButton::clicked, this, &MainWindow::bCancelClick);
    connect(c_.bbEVO, &QToolButton::clicked, this, &MainWindow::bbEVOClick);
    connect(c_.bbXPL, &QToolButton::clicked, this, &MainWindow::bbXPLClick);
    connect(c_.bbWorkdir, &QToolButton::clicked, this, &MainWindow::bbWorkdirClick);
    connect(c_.bClear, &QPushButton::clicked, this, [this] { log_->clear(); });
    connect(c_.cbAutoClear, &QCheckBox::clicked, this,
            [this](bool ticked) { state_.cbAutoClear = ticked; });
    connect(c_.PageControl, &QTabWidget::currentChanged, this,
            [this](int page) { state_.page = static_cast<Page>(page); });
    connect(c_.XPLSplitter, &QSplitter::splitterMoved, this,
            [this] { treeWidth_ = c_.XPLSplitter->sizes().front(); });

    // A click on any stream box ticks it in the state at once (a running
    // Demux reads the boxes for every payload piece) and applies the rule.
    auto boxes = [this](auto& widgets, auto& states) {
        for (size_t k = 0; k < widgets.size(); ++k)
            connect(widgets[k], &QCheckBox::clicked, this, [this, &states, k](bool ticked) {
                states[k].ticked = ticked;
                cbVideoClick(state_);
                refresh();
            });
    };
    boxes(c_.cbVideo, state_.boxes.cbVideo);
    boxes(c_.cbAudio, state_.boxes.cbAudio);
    boxes(c_.cbSub, state_.boxes.cbSub);
    connectOptions();
}

void MainWindow::connectOptions() {
    Options& o = state_.options;
    auto text = [this](QLineEdit* edit, std::string& field) {
        connect(edit, &QLineEdit::textEdited, this,
                [&field](const QString& t) { field = t.toStdString(); });
    };
    text(c_.eVideoExt, o.eVideoExt);
    text(c_.eAudioExt, o.eAudioExt);
    text(c_.eSubExt, o.eSubExt);
    connect(c_.eWorkdir, &QLineEdit::textEdited, this,
            [&o](const QString& t) { o.eWorkdir = localPath(t); });
    text(c_.ieFastSize, o.ieFastSize);
    auto flag = [this](QCheckBox* box, bool& field) {
        connect(box, &QCheckBox::clicked, this, [this, &field](bool ticked) {
            field = ticked;
            refresh(); // "Fast EVO checking" enables its size field
        });
    };
    flag(c_.cbContinue, o.cbContinue);
    flag(c_.cbFastCheck, o.cbFastCheck);
    flag(c_.cbCountFr, o.cbCountFr);
    flag(c_.cbDetails, o.cbDetails);
    flag(c_.cbAutoRead, o.cbAutoRead);
    flag(c_.cbRBAdvanced, o.cbRBAdvanced);
    flag(c_.cbMuxMKV, o.cbMuxMKV);
    auto radio = [this, &o](QRadioButton* button, AutoStep step) {
        connect(button, &QRadioButton::clicked, this, [&o, step] { selectAutoStep(o, step); });
    };
    radio(c_.rbNoAuto, AutoStep::None);
    radio(c_.rbAutoDemux, AutoStep::Demux);
    radio(c_.rbAutoRebuild, AutoStep::Rebuild);
}

} // namespace tarnwick
