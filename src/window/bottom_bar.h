#pragma once
// The foot of the main window: "Demux" and "Rebuild" at the left, the logo in
// the middle, "Cancel" at the right.

#include <QWidget>

namespace tarnwick {

// The left edge of the 125-pixel logo for a window of the given width: kept
// centred, but never left of 153 pixels.
int logoLeft(int windowWidth);

class BottomBar : public QWidget {
public:
    explicit BottomBar(QWidget* parent = nullptr);

    void place(QWidget* demux, QWidget* rebuild, QWidget* logo, QWidget* cancel);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange();

    QWidget* demux_ = nullptr;
    QWidget* rebuild_ = nullptr;
    QWidget* logo_ = nullptr;
    QWidget* cancel_ = nullptr;
};

} // namespace tarnwick
