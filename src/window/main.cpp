// tarnwick: the desktop window.

#include "main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brackenfold"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral("0.626"));
    // No application display name: Qt would append it to every window title.
    // The task bar takes "HD DVD Tarnwick" from the desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    tarnwick::MainWindow window(arguments);
    window.show();
    return app.exec();
}
