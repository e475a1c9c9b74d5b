#pragma once
// Helpers of the window tests: settings in a folder of their own, a started
// window, message boxes answered from inside a running command, a watchdog
// over unanswered dialogs, and large sources built in code.

#include "main_window.h"

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QAbstractButton;

namespace tarnwick::testing {

// The window's settings go to a fresh folder for the life of the object.
class TemporarySettings {
public:
    TemporarySettings();
    QString iniFile() const; // .../Brackenfold/Tarnwick.ini
    void write(const QStringList& lines) const;
    QString read() const;
    // The value of a name as it stands in the file ("" when absent).
    QString value(const QString& name) const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Creates, shows and starts a window (the start-up of the first activation,
// including a command-line Read EVO); false when it never came.
std::unique_ptr<MainWindow> startWindow(const QStringList& arguments = {});

// Answers every message box shown while it lives with `button`, and keeps
// their texts.
class MessageBoxAnswerer : public QObject {
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button);
    ~MessageBoxAnswerer() override;

    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMessageBox::StandardButton button_;
};

// Answers every file dialog shown while it lives: picks `choice`, or cancels
// when it is empty; keeps the titles and the folders they started in.
class FileDialogAnswerer : public QObject {
public:
    explicit FileDialogAnswerer(QString choice);
    ~FileDialogAnswerer() override;

    QStringList titles;
    QStringList startFolders;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString choice_;
};

// Closes every modal dialog still open `milliseconds` after it was shown, so
// that no test waits on one, and reports it by its class, title and text; by
// default the running test fails naming it. Dialogs a test expects are
// answered by the answerers above long before.
class DialogWatchdog : public QObject {
public:
    using Report = std::function<void(const QString& dialog)>;
    explicit DialogWatchdog(int milliseconds = 3000, Report report = {});
    ~DialogWatchdog() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int milliseconds_;
    Report report_;
};

// Runs `action` at the next processing of events, e.g. inside the pump of a
// running command.
void atNextPump(std::function<void()> action);

// A program stream of about `mebibytes` MiB (a video and an audio stream)
// written to `folder`/`name`; returns its path.
QString writeLargeSource(const QString& folder, const QString& name, int mebibytes);

// The paths of the files this process holds open.
QStringList openFiles();

// A mouse click on the indicator of a check box or radio button.
void clickBox(QAbstractButton* box);

// The plain lines of the message log.
QStringList logLines(const MainWindow& window);

} // namespace tarnwick::testing
