#pragma once
// TIntEdit: a one-line field that takes only a whole number. Typed keys other
// than the digits, "+", "-", Backspace and Enter are swallowed with a beep.

#include <QLineEdit>

namespace tarnwick {

class IntEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IntEdit(QWidget* parent = nullptr);

    // The text as a signed 32-bit number; 0 when it is not a valid number.
    int value() const;
    void setValue(int value);

signals:
    // A typed key was swallowed.
    void keyRejected();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tarnwick
