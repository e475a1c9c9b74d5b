#include "window_front_end.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QWidget>

namespace tarnwick {

WindowFrontEnd::WindowFrontEnd(QWidget& window, std::function<void()> showState)
    : window_(window), showState_(std::move(showState)) {}

void WindowFrontEnd::pump() {
    QCoreApplication::processEvents();
}

void WindowFrontEnd::repaint() {
    window_.repaint();
}

void WindowFrontEnd::stateChanged() {
    showState_();
}

bool WindowFrontEnd::confirm(const std::string& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No, &window_);
    box.setObjectName(QStringLiteral("ConfirmBox"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void WindowFrontEnd::showError(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("HD DVD Tarnwick"),
                    QString::fromStdString(message), QMessageBox::Ok, &window_);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

double WindowFrontEnd::now() {
    const QDateTime local = QDateTime::currentDateTime();
    const double msecs = double(local.toMSecsSinceEpoch()) + double(local.offsetFromUtc()) * 1000;
    return msecs / 86400000.0;
}

} // namespace tarnwick
