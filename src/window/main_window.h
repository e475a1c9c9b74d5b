#pragma once
// TfMain: the main window. It keeps the window state and the stream table,
// mirrors the state in its widgets both ways, and runs the commands of its
// buttons on its own thread.

#include "window/settings.h"
#include "controls.h"
#include "window/window_session.h"
#include "show_state.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

namespace tarnwick {

class WindowFrontEnd;
class WindowLog;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `arguments`: the command line without the program name.
    explicit MainWindow(QStringList arguments, QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowState& state() { return state_; }
    WindowSession& session() { return *session_; }
    const RunControl& run() const { return session_->control(); }
    const Controls& controls() const { return c_; }
    LogSink& logSink();
    bool commandRunning() const { return running_; }
    bool startUpDone() const { return startUpDone_; }

    // Shows the window state in the widgets.
    void refresh();

    // Button handlers.
    void bReadEVOClick();
    void bReadXPLClick();
    void bDemuxClick();
    void bRebuildClick();
    void bWriteChapsClick();
    void bCancelClick();
    void bbEVOClick();
    void bbXPLClick();
    void bbWorkdirClick();
    // Files dropped on the window: the first one is taken.
    void WMDropFiles(const QStringList& paths);

    // The geometry to store, and the stored geometry applied.
    WindowGeometry geometrySettings() const;
    void applyGeometrySettings(const WindowGeometry& geometry);

signals:
    void startUpFinished();
    void commandFinished();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormActivate();
    void connectControls();
    void connectOptions();
    void runCommand(const std::function<void()>& command);
    void RegWrite();

    QStringList arguments_;
    WindowState state_;
    Controls c_;
    std::unique_ptr<WindowLog> log_;
    std::unique_ptr<WindowFrontEnd> ui_;
    std::unique_ptr<WindowSession> session_;
    ShownPlaylist shownPlaylist_;
    int treeWidth_ = 96;

    bool activated_ = false;
    bool startUpDone_ = false;
    bool running_ = false;
    // A close asked for while a command ran: the window goes once it returned.
    bool closeRequested_ = false;
    AutoStep closingAutoStep_ = AutoStep::None;
};

// Tahoma 8 points where installed, else the desktop's sans at 8 points.
QFont windowFont();

} // namespace tarnwick
