// Opens the window on a source file as `tarnwick FILE` would, with default
// settings, and saves a picture of it once Read EVO has finished. With "-" for
// the picture it stays open on the page instead, for a picture of the screen
// with the window manager's frame (scripts/screenshots.sh).
//   window_screenshot <source file> <picture.png | -> [page number]

#include "main_window.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    const QStringList args = QApplication::arguments();
    if (args.size() != 3 && args.size() != 4) {
        std::fprintf(stderr, "usage: window_screenshot <source file> <picture.png> [page]\n");
        return 2;
    }
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    tarnwick::MainWindow window({args[1]});
    bool saved = false;
    QObject::connect(&window, &tarnwick::MainWindow::startUpFinished, [&] {
        if (args.size() == 4) window.controls().PageControl->setCurrentIndex(args[3].toInt());
        if (args[2] == QLatin1String("-")) {
            saved = true;
            return;
        }
        saved = window.grab().save(args[2], "PNG");
        QCoreApplication::quit();
    });
    window.show();
    app.exec();
    return saved ? 0 : 1;
}
