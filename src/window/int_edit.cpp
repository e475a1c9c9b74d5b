#include "int_edit.h"

#include "window/window_state.h"

#include <QApplication>
#include <QKeyEvent>

namespace tarnwick {

IntEdit::IntEdit(QWidget* parent) : QLineEdit(QStringLiteral("0"), parent) {}

int IntEdit::value() const {
    return intEditValue(text().toStdString());
}

void IntEdit::setValue(int value) {
    setText(QString::number(value));
}

void IntEdit::keyPressEvent(QKeyEvent* event) {
    // Keys without a character (arrows, Delete, Home) move and edit as usual;
    // only typed characters are filtered.
    const QString typed = event->text();
    if (typed.isEmpty()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed.front();
    if (c.unicode() < 128 && intEditAccepts(static_cast<char>(c.unicode()))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QApplication::beep();
    event->accept();
    emit keyRejected();
}

} // namespace tarnwick
