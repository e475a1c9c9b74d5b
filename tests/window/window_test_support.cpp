#include "window_test_support.h"

#include "support/ps_writer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace tarnwick::testing {

TemporarySettings::TemporarySettings() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

QString TemporarySettings::iniFile() const {
    return dir_.path() + QStringLiteral("/Brackenfold/Tarnwick.ini");
}

void TemporarySettings::write(const QStringList& lines) const {
    QDir().mkpath(QFileInfo(iniFile()).path());
    QFile file(iniFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write((QStringLiteral("[General]\n") + lines.join(QLatin1Char('\n')) + "\n").toUtf8());
}

QString TemporarySettings::read() const {
    QFile file(iniFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString TemporarySettings::value(const QString& name) const {
    for (const QString& line : read().split(QLatin1Char('\n')))
        if (line.startsWith(name + QLatin1Char('='))) return line.mid(name.size() + 1);
    return {};
}

std::unique_ptr<MainWindow> startWindow(const QStringList& arguments) {
    auto window = std::make_unique<MainWindow>(arguments);
    QSignalSpy started(window.get(), &MainWindow::startUpFinished);
    window->show();
    // A hang guard only: the start-up ends as soon as the events are handled.
    if (started.isEmpty() && !started.wait(60000)) return nullptr;
    return window;
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton button) : button_(button) {
    qApp->installEventFilter(this);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    qApp->removeEventFilter(this);
}

bool MessageBoxAnswerer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            texts.append(box->text());
            // Clicked from the box's own event loop, once it runs.
            QPointer<QAbstractButton> answer = box->button(button_);
            QMetaObject::invokeMethod(
                box,
                [answer] {
                    if (answer) answer->click();
                },
                Qt::QueuedConnection);
        }
    }
    return false;
}

FileDialogAnswerer::FileDialogAnswerer(QString choice) : choice_(std::move(choice)) {
    qApp->installEventFilter(this);
}

FileDialogAnswerer::~FileDialogAnswerer() {
    qApp->removeEventFilter(this);
}

bool FileDialogAnswerer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<QFileDialog*>(watched)) {
            titles.append(dialog->windowTitle());
            startFolders.append(dialog->directory().absolutePath());
            QPointer<QFileDialog> open = dialog;
            QMetaObject::invokeMethod(
                dialog,
                [open, choice = choice_] {
                    if (!open) return;
                    if (choice.isEmpty()) {
                        open->reject();
                        return;
                    }
                    open->selectFile(choice);
                    static_cast<QDialog*>(open.data())->accept();
                },
                Qt::QueuedConnection);
        }
    }
    return false;
}

namespace {

QString describeDialog(const QDialog& dialog) {
    QString text = QString::fromLatin1(dialog.metaObject()->className()) + QStringLiteral(" \"") +
                   dialog.windowTitle() + QLatin1Char('"');
    if (auto* box = qobject_cast<const QMessageBox*>(&dialog))
        text += QStringLiteral(": ") + box->text();
    return text;
}

void failRunningTest(const QString& dialog) {
    const QByteArray message = ("A modal dialog was left open and closed: " + dialog).toUtf8();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
}

} // namespace

DialogWatchdog::DialogWatchdog(int milliseconds, Report report)
    : milliseconds_(milliseconds), report_(report ? std::move(report) : failRunningTest) {
    qApp->installEventFilter(this);
}

DialogWatchdog::~DialogWatchdog() {
    qApp->removeEventFilter(this);
}

bool DialogWatchdog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isModal()) return false;
    // The timer runs in the dialog's own event loop, which is where a test
    // would otherwise wait.
    QPointer<QDialog> open = dialog;
    QTimer::singleShot(milliseconds_, this, [this, open] {
        if (!open || !open->isVisible()) return;
        const QString name = describeDialog(*open);
        open->done(QDialog::Rejected);
        report_(name);
    });
    return false;
}

void atNextPump(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

QString writeLargeSource(const QString& folder, const QString& name, int mebibytes) {
    const size_t size = size_t(mebibytes) << 20;
    StreamSpec video;
    video.streamId = 0xE0;
    video.data = noiseWithoutStartCodes(size - size / 16, 7);
    StreamSpec audio;
    audio.streamId = 0xBD;
    audio.subStreamId = 0x80;
    audio.subStreamHeader = audioSubStreamHeader(0x80);
    audio.data = noiseWithoutStartCodes(size / 16, 8);
    PackWriter writer;
    muxStreams(writer, {video, audio});
    const QString path = folder + QLatin1Char('/') + name;
    writeFile(QFile::encodeName(path).toStdString(), writer.bytes());
    return path;
}

QStringList openFiles() {
    QStringList out;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        out.append(QFileInfo(fds.filePath(fd)).symLinkTarget());
    return out;
}

void clickBox(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

QStringList logLines(const MainWindow& window) {
    return window.controls().reMessage->toPlainText().split(QLatin1Char('\n'));
}

} // namespace tarnwick::testing
