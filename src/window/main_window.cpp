// The main window's life: building, start-up at the first activation,
// settings, running commands and closing.

#include "main_window.h"

#include "window/window_paths.h"
#include "model/file_names.h"
#include "window/stream_boxes.h"
#include "layout.h"
#include "locale_format.h"
#include "qt_settings_store.h"
#include "window_front_end.h"
#include "window_log.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QSplitter>
#include <QTreeWidget>

#include <algorithm>

// The logo and the icon are compiled into the window's static library, whose
// resource object the linker keeps only when it is referred to.
static void initWindowResources() {
    Q_INIT_RESOURCE(window);
}

namespace tarnwick {

QFont windowFont() {
    QFont font(QStringLiteral("Tahoma"));
    if (!QFontDatabase::families().contains(font.family()))
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

MainWindow::MainWindow(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
    initWindowResources();
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("Tarnwick 0.626"));
    setWindowIcon(QIcon(QStringLiteral(":/tarnwick/tarnwick.png")));
    setFont(windowFont());
    c_ = buildControls(*this);
    log_ = std::make_unique<WindowLog>(c_.reMessage, c_.StatusBar, c_.panels);
    ui_ = std::make_unique<WindowFrontEnd>(*this, [this] { refresh(); });
    session_ = std::make_unique<WindowSession>(state_, *log_, *ui_);
    setMinimumSize(ClientWidth, ClientHeight);
    resize(ClientWidth, ClientHeight);
    connectControls();
    refresh();
}

MainWindow::~MainWindow() = default;

LogSink& MainWindow::logSink() {
    return *log_;
}

void MainWindow::refresh() {
    showState(c_, state_, running_, shownPlaylist_);
}

bool MainWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        // Start-up runs once the activation has been handled, so a command
        // line file is read in a window that is fully shown.
        QMetaObject::invokeMethod(this, &MainWindow::FormActivate, Qt::QueuedConnection);
    }
    return QMainWindow::event(e);
}

void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    setAcceptDrops(true);
    if (!activated_) activateWindow();
}

void MainWindow::FormActivate() {
    WindowGeometry geometry = geometrySettings();
    QtSettingsStore store;
    const std::string error = tarnwick::RegRead(store, state_, geometry);
    applyGeometrySettings(geometry);
    refresh();
    if (!error.empty()) {
        // The values read so far stay; the rest of the start-up is skipped.
        startUpDone_ = true;
        ui_->showError(error);
        emit startUpFinished();
        return;
    }
    Resetcbs(state_);
    session_->locale = localeTimeFormat(QLocale::system());
    refresh();
    startUpDone_ = true;
    if (arguments_.size() == 1) {
        const QString path = QFileInfo(arguments_.front()).absoluteFilePath();
        const std::string file = QFile::encodeName(path).toStdString();
        // A file that is not there is still the one asked for: Read EVO
        // names it in its error.
        state_.eEVOfile = file;
        EVOadj(state_);
        refresh();
        bReadEVOClick();
    }
    emit startUpFinished();
}

WindowGeometry MainWindow::geometrySettings() const {
    WindowGeometry g;
    g.shown = isMinimized() ? ShowMinimised : isMaximized() ? ShowMaximised : ShowNormal;
    // Position and size of the whole window, frame included; a minimised
    // window gives the place it will come back to.
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    const QRect normal = normalGeometry();
    const int extraWidth = frame.width() - client.width();
    const int extraHeight = frame.height() - client.height();
    g.left = normal.x() - (client.x() - frame.x());
    g.top = normal.y() - (client.y() - frame.y());
    g.width = normal.width() + extraWidth;
    g.height = normal.height() + extraHeight;
    g.treeWidth = treeWidth_;
    return g;
}

void MainWindow::applyGeometrySettings(const WindowGeometry& g) {
    const QRect frame = frameGeometry();
    const int extraWidth = frame.width() - width();
    const int extraHeight = frame.height() - height();
    if (g.width != frame.width() || g.height != frame.height())
        resize(std::max(g.width - extraWidth, minimumWidth()),
               std::max(g.height - extraHeight, minimumHeight()));
    if (g.left != frame.x() || g.top != frame.y()) move(g.left, g.top);
    if (g.treeWidth != treeWidth_) {
        treeWidth_ = std::max(g.treeWidth, c_.tvXPL->minimumWidth());
        c_.XPLSplitter->setSizes({treeWidth_, std::max(c_.XPLSplitter->width() - treeWidth_, 50)});
    }
    if (g.shown == ShowMaximised)
        showMaximized();
    else if (g.shown == ShowMinimised)
        showMinimized();
}

void MainWindow::RegWrite() {
    QtSettingsStore store;
    tarnwick::RegWrite(store, state_, geometrySettings());
}

void MainWindow::runCommand(const std::function<void()>& command) {
    // Commands never nest: a second one started from inside the pump of a
    // running one would replace the source file and chunk buffer under it.
    if (running_) return;
    running_ = true;
    refresh();
    try {
        command();
    } catch (const std::exception& e) {
        ui_->showError(e.what());
    }
    running_ = false;
    refresh();
    emit commandFinished();
    if (closeRequested_) close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (running_) {
        if (session_->control().writingOutput) {
            tarnwick::bCancelClick(*session_);
            refresh();
            if (!session_->control().cancelRequested) {
                e->ignore();
                return;
            }
        } else {
            session_->host.run.cancelRequested = true;
        }
        // A closing window starts no automatic step after the scan it
        // stopped; the option itself is stored as the user left it.
        if (!closeRequested_) {
            closingAutoStep_ = autoStep(state_.options);
            selectAutoStep(state_.options, AutoStep::None);
        }
        closeRequested_ = true;
        // The window must outlive the command on the stack; it closes when
        // the command has returned.
        e->ignore();
        return;
    }
    if (closeRequested_) selectAutoStep(state_.options, closingAutoStep_);
    RegWrite();
    e->accept();
}

} // namespace tarnwick
